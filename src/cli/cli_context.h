// What every command of the kavrel tool gets: the link set up from the connection
// options, an observer that prints, and the output streams.
#pragma once

#include <cstdio>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "common/clock.h"
#include "common/observer.h"
#include "common/settings_store.h"
#include "link/module_link.h"

namespace kavrel::cli {

enum ExitCode : int { kExitOk = 0, kExitFailure = 1, kExitUsage = 2 };

// Where the module is, from --tcp, --com, --device or the configurator's saved settings.
struct ConnectionChoice {
    bool tcp = false;
    std::string address;   // dotted IPv4
    int tcpPort = 23;
    int comPort = 1;
    std::string devicePath;  // --device: a serial device by path; empty: by COM number
    bool gapTiming = false;  // --gap-timing: serial replies end only at the 500 ms pause
};

// Prints status and messages for a terminal: messages and errors go to stderr in UTF-8,
// progress only when stderr is a terminal, as one line "[ 42%]" updated in place.
class TerminalObserver final : public OperationObserver {
public:
    explicit TerminalObserver(std::ostream& err, bool interactive);
    ~TerminalObserver() override;
    TerminalObserver(const TerminalObserver&) = delete;
    TerminalObserver& operator=(const TerminalObserver&) = delete;
    void status(const std::string& text) override;
    void appendStatus(const std::string& text) override;
    void progress(int position) override;
    void message(const std::string& text, MessageIcon icon) override;
    bool askYesNo(const std::string& text) override;
    void messageDetail(const std::string& text) override;

    // Messages of the last operation that were errors (so the tool can exit 1).
    bool reportedError() const { return reportedError_; }

private:
    void endProgressLine();

    std::ostream& err_;
    bool interactive_;
    bool progressLineOpen_ = false;
    bool reportedError_ = false;
    int lastProgress_ = -1;
    std::string lastShown_;
};

struct CliContext {
    link::Connection connection;   // every command's link is made for this one
    std::ostream& out;
    std::ostream& err;
    TerminalObserver& observer;
    SystemClock clock;
    // --trace: every link of the command writes its exchanges here (none: KAVREL_TRACE's).
    // Opened by the first traceInto, so that a command first checks that the trace names
    // none of its inputs (the file is written anew).
    mutable std::shared_ptr<link::WireTrace> trace;
    std::string traceFile;   // --trace's value: a file, "-" for stderr, empty for none
    SettingsStore* settings = nullptr;   // the user's settings store (none: the platform's own)

    // Gives a link made for `connection` the command's trace, opening it the first time;
    // false, said on `err`, when the file cannot be written (the command stops there).
    [[nodiscard]] bool traceInto(link::ModuleLink& link) const;
    // The command's trace for exchanges made outside a ModuleLink (the fleet's): --trace's,
    // else KAVREL_TRACE's, else none (nullptr). False, said on `err`, when the file cannot
    // be written.
    [[nodiscard]] bool openTrace(std::shared_ptr<link::WireTrace>& opened) const;
    // The file the run's trace is written to (--trace FILE, else KAVREL_TRACE's); empty when
    // none or standard error.
    std::string traceTarget() const;

private:
    // Opens --trace's file the first time; false, said on `err`, when it cannot be written.
    [[nodiscard]] bool openTraceFile() const;
};

// Prints a Windows-1250 text to a UTF-8 terminal.
std::string toTerminal(const std::string& cp1250Text);

// Flushes standard output and tells whether everything written to it arrived; when not
// (a full disk, a closed pipe), says so on `err`, with the system's reason.
bool finishStandardOutput(std::ostream& err);

// Whether the stream is an interactive terminal (a console on Windows).
bool isTerminal(std::FILE* stream);

} // namespace kavrel::cli
