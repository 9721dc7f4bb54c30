// A group of commands the simulated module understands. The module asks its sets in turn;
// the first that recognises a line answers it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kavrel::sim {

enum class Framing { Tcp, Serial };

// What the module knows about the connection a line came in on.
struct Session {
    Framing framing = Framing::Tcp;
    int baud = 9600;           // serial line speed the module uses now (changed by "*S115!")
    long linesReceived = 0;    // lines of this connection so far, this one included
    long okAnswers = 0;        // answers ending in "OK" CR sent on this connection
    bool writing = false;      // an assignment line came since the last "VER?": a write is under way
};

struct Answer {
    std::string bytes;         // sent back as they are
    bool silent = false;       // recognised, but the module says nothing
    bool closeAfter = false;   // the module ends the connection after answering
    bool cut = false;          // the link is cut instead of an answer: TCP reset, pseudo-terminal gone
    // The line was a command of a configuration write: an assignment, or a "HALT!"
    // between the write's blocks. The module counts them for a cut of the link.
    bool writeCommand = false;

    static Answer ok() { return {.bytes = "OK\r"}; }
    static Answer nothing() { return {.silent = true}; }
};

class CommandSet {
public:
    virtual ~CommandSet() = default;
    // The answer to one command line (without its CR), or nullopt when the line is not
    // one of this set's.
    virtual std::optional<Answer> answer(std::string_view line, Session& session) = 0;
    // A line another set answered; a set that keeps the same setting takes it in too (the
    // logger's "LOGT=" is also the configuration's logging period).
    virtual void noteAnsweredElsewhere(std::string_view line) { (void)line; }
};

} // namespace kavrel::sim
