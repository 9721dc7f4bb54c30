// The link's debug switch: a written record of every line sent to the module and every
// reply received, for diagnosis in the field. Given to a link once (ModuleLink::setTrace);
// a link without one formats nothing.
//
// The file is UTF-8 text, one entry a line. Each operation (every open of the link) starts
// with a header line; each entry gives the milliseconds since that open, a direction mark
// (">" sent, "<" received, "=" the link itself: speed, open, close) and the bytes:
//   --- 2026-12-08 18:30:01 TCP 127.0.0.1:23
//        0 = połączono
//        2 > VER?\r
//       14 < OK\r\nKavrel V3.6EL\r\n
// Printable Windows-1250 characters are written as the characters they are (Polish letters
// stay letters), CR and LF as \r and \n, a backslash as \\, and every other byte as \xNN.
// A reply that arrives in pieces is one entry a piece. A binary reply (the logger's frames)
// is written once complete: each frame as hex with its size and the verdict on its CRC,
//      812 < [34 B] 53 20 01 ... 4B 37 (CRC dobry)
// and whatever is no frame as text.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>


namespace kavrel::link {

class TraceSection;

// The environment variable of the debug switch: a file name; "-" (or the older "1") for
// standard error; unset, empty or "0" for none.
inline constexpr const char* kTraceVariable = "KAVREL_TRACE";

// One piece of a binary reply: its size and, for a recognised frame, the verdict shown
// beside its hex (UTF-8, for example "CRC dobry"). An empty verdict: no frame, written as text.
struct TracedPiece {
    std::size_t size = 0;
    std::string verdict;
};
// Cuts a complete binary reply into pieces that together cover it.
using FrameDescriber = std::function<std::vector<TracedPiece>(std::span<const std::uint8_t> reply)>;

class WireTrace {
public:
    enum class Mode { Append, Replace };

    // A trace into a file; nullptr with the reason when it cannot be opened or is no regular
    // file (a FIFO, a device). A write that fails later is said once on standard error: the
    // trace is incomplete, the operation goes on.
    static std::shared_ptr<WireTrace> toFile(const std::string& path, Mode mode, std::string* reason = nullptr);
    static std::shared_ptr<WireTrace> toStandardError();
    // What KAVREL_TRACE asks for: nullptr when unset, empty or "0"; a file is appended to.
    // A file that cannot be opened is said once on standard error, and there is no trace.
    static std::shared_ptr<WireTrace> fromEnvironment();
    // The file KAVREL_TRACE names; empty when it asks for none or for standard error.
    static std::string environmentFile();

    ~WireTrace();
    WireTrace(const WireTrace&) = delete;
    WireTrace& operator=(const WireTrace&) = delete;

    // A new operation: the header line, and the milliseconds count from 0 again.
    void beginOperation(std::string_view connection);
    void sent(std::span<const std::uint8_t> bytes);
    void received(std::span<const std::uint8_t> bytes);
    // A line about the link itself ("połączenie zamknięte"); direction is '<', '>' or '='.
    void event(char direction, std::string_view utf8Text);

    // What is received from here until endBinaryReply is held back and written then, cut
    // by the describer (none: all as text). A line sent or an event meanwhile writes what
    // was held so far first, so the entries keep their order.
    void beginBinaryReply(const FrameDescriber* describer);
    void endBinaryReply();

    // Writes a section gathered apart as one block: its header and its entries, each
    // timed from the section's own start.
    void write(const TraceSection& section);

    // The path given, or "-" for standard error.
    const std::string& target() const { return target_; }

private:
    WireTrace(std::FILE* file, std::string target, bool ownsFile);
    void writeEntry(long long ms, char direction, const std::string& text);
    void writeLocked(const std::string& line);
    // Writes what a binary reply held so far; flushBinaryLocked also ends the reply.
    void writePendingLocked();
    void flushBinaryLocked();
    long long elapsedMs() const;

    std::mutex mutex_;   // a trace may be shared by links on several threads
    std::FILE* file_;
    std::string target_;
    bool ownsFile_;
    std::chrono::steady_clock::time_point began_ = std::chrono::steady_clock::now();
    bool collecting_ = false;
    const FrameDescriber* describer_ = nullptr;
    std::vector<std::uint8_t> pending_;
    long long pendingMs_ = 0;
};

// One exchange's entries kept apart and then written whole (WireTrace::write), in the
// trace's own format: exchanges that run side by side on one thread (a fleet's modules)
// each get a section of their own instead of lines of every module interleaved.
class TraceSection {
public:
    // `connection` names the section in its header line, as beginOperation's does.
    explicit TraceSection(std::string_view connection);
    void sent(std::span<const std::uint8_t> bytes);
    void received(std::span<const std::uint8_t> bytes);
    void event(char direction, std::string_view utf8Text);
    const std::string& text() const { return text_; }

private:
    long long elapsedMs() const;

    std::chrono::steady_clock::time_point began_ = std::chrono::steady_clock::now();
    std::string text_;
};

// The bytes as a trace writes them: UTF-8, printable Windows-1250 as characters, CR, LF
// and backslash as \r \n \\, the rest as \xNN.
std::string traceText(std::span<const std::uint8_t> bytes);
// "53 20 01": two hex digits a byte, separated by spaces.
std::string traceHex(std::span<const std::uint8_t> bytes);

} // namespace kavrel::link
