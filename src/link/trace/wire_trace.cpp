#include "link/trace/wire_trace.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <set>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "common/clock.h"
#include "common/file_names.h"
#include "common/regular_file.h"
#include "common/win1250.h"

namespace kavrel::link {
namespace {

// Code points a Windows-1250 byte can stand for that show nothing on their own: the C1
// controls (the code page's five undefined bytes), the no-break space and the soft hyphen.
bool invisible(char32_t codePoint) {
    return (codePoint >= 0x80 && codePoint <= 0x9F) || codePoint == 0xA0 || codePoint == 0xAD;
}

void appendEscaped(std::string& text, std::uint8_t byte) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    text += "\\x";
    text += kDigits[byte >> 4];
    text += kDigits[byte & 0x0F];
}

const char* const kNotRegular = "to nie jest zwykły plik (przebieg na standardowe wyjście błędów: -)";

std::string systemReason(int error) { return error != 0 ? std::strerror(error) : "cannot open"; }

// Only a regular file takes a trace: a FIFO with no reader would hold the program before
// its first line, a device such as /dev/full swallows the trace. The file is opened
// without waiting and looked at before it is emptied.
std::FILE* openTraceFile(const std::string& path, WireTrace::Mode mode, std::string& reason) {
    const bool append = mode == WireTrace::Mode::Append;
#ifdef _WIN32
    if (!mayWriteRegularFile(pathFromUtf8(path))) {
        reason = kNotRegular;
        return nullptr;
    }
    errno = 0;
    std::FILE* file = openFile(pathFromUtf8(path), append ? "ab" : "wb");
    if (!file) reason = systemReason(errno);
    return file;
#else
    const int fd = ::open(pathFromUtf8(path).c_str(),
                          O_WRONLY | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | (append ? O_APPEND : 0), 0666);
    if (fd < 0) {
        // ENXIO: a FIFO that nobody reads.
        reason = errno == ENXIO ? kNotRegular : systemReason(errno);
        return nullptr;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        reason = kNotRegular;
        ::close(fd);
        return nullptr;
    }
    if ((!append && ::ftruncate(fd, 0) != 0) || ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        reason = systemReason(errno);
        ::close(fd);
        return nullptr;
    }
    std::FILE* file = ::fdopen(fd, append ? "ab" : "wb");
    if (!file) {
        reason = systemReason(errno);
        ::close(fd);
    }
    return file;
#endif
}

// Says on standard error that the trace in `target` lacks entries: once per file and
// process, however many links share it or fail after it.
void tellIncomplete(const std::string& target, int error) {
    static std::mutex mutex;
    static std::set<std::string> told;
    std::lock_guard lock(mutex);
    if (!told.insert(target).second) return;
    std::fprintf(stderr, "Przebieg transmisji %s jest niepełny: zapis do pliku nie powiódł się (%s).\n", target.c_str(),
                 systemReason(error).c_str());
}

// "--- 2026-12-08 18:30:01 CONNECTION" and its line end.
std::string headerLine(std::string_view connection) {
    const LocalDateTime t = systemClock().now();
    char head[64];
    std::snprintf(head, sizeof head, "--- %04d-%02d-%02d %02d:%02d:%02d ", t.year, t.month, t.day, t.hour, t.minute, t.second);
    std::string line = head;
    line += connection;
    line += '\n';
    return line;
}

// One entry: the milliseconds right-aligned in six columns (std::to_string: no %lld, which
// not every C runtime's printf knows), the direction and the text.
std::string entryLine(long long ms, char direction, std::string_view text) {
    const std::string count = std::to_string(ms);
    std::string line(count.size() < 6 ? 6 - count.size() : 0, ' ');
    line += count;
    line += ' ';
    line += direction;
    line += ' ';
    line += text;
    line += '\n';
    return line;
}

bool switchedOff(const char* value) { return !value || !*value || std::strcmp(value, "0") == 0; }
bool meansStandardError(const char* value) { return std::strcmp(value, "-") == 0 || std::strcmp(value, "1") == 0; }

} // namespace

std::string traceText(std::span<const std::uint8_t> bytes) {
    std::string text;
    text.reserve(bytes.size() + 8);
    for (const std::uint8_t byte : bytes) {
        if (byte == '\r') text += "\\r";
        else if (byte == '\n') text += "\\n";
        else if (byte == '\\') text += "\\\\";
        else if (byte >= 0x20 && byte < 0x7F) text += static_cast<char>(byte);
        else if (byte >= 0x80 && !invisible(cp1250::toUnicode(byte))) {
            const char single = static_cast<char>(byte);
            text += cp1250::toUtf8(std::string_view(&single, 1));
        } else {
            appendEscaped(text, byte);
        }
    }
    return text;
}

std::string traceHex(std::span<const std::uint8_t> bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(bytes.size() * 3);
    for (const std::uint8_t byte : bytes) {
        if (!text.empty()) text += ' ';
        text += kDigits[byte >> 4];
        text += kDigits[byte & 0x0F];
    }
    return text;
}

std::shared_ptr<WireTrace> WireTrace::toFile(const std::string& path, Mode mode, std::string* reason) {
    std::string why;
    std::FILE* file = openTraceFile(path, mode, why);
    if (!file) {
        if (reason) *reason = why;
        return nullptr;
    }
    return std::shared_ptr<WireTrace>(new WireTrace(file, path, true));
}

std::shared_ptr<WireTrace> WireTrace::toStandardError() {
    return std::shared_ptr<WireTrace>(new WireTrace(stderr, "-", false));
}

std::shared_ptr<WireTrace> WireTrace::fromEnvironment() {
    // Read in UTF-16 on Windows: the file may be named in a folder of any spelling.
    const std::string text = environmentText(kTraceVariable);
    const char* value = text.c_str();
    if (switchedOff(value)) return nullptr;
    if (meansStandardError(value)) return toStandardError();
    std::string reason;
    auto trace = toFile(value, Mode::Append, &reason);
    if (!trace) {
        // Said once per process: every link of a program would try the same file.
        static std::once_flag told;
        std::call_once(told, [&] { std::fprintf(stderr, "%s=%s: %s\n", kTraceVariable, value, reason.c_str()); });
    }
    return trace;
}

std::string WireTrace::environmentFile() {
    const char* value = std::getenv(kTraceVariable);
    if (switchedOff(value) || meansStandardError(value)) return {};
    return value;
}

WireTrace::WireTrace(std::FILE* file, std::string target, bool ownsFile)
    : file_(file), target_(std::move(target)), ownsFile_(ownsFile) {}

WireTrace::~WireTrace() {
    std::lock_guard lock(mutex_);
    flushBinaryLocked();
    errno = 0;
    if (ownsFile_ && std::fclose(file_) != 0) tellIncomplete(target_, errno);
    else if (!ownsFile_) std::fflush(file_);
}

// A line of the trace, flushed at once. A failed write is told once and the trace goes on:
// the operation itself is not the trace's to stop.
void WireTrace::writeLocked(const std::string& line) {
    errno = 0;
    const bool written = std::fwrite(line.data(), 1, line.size(), file_) == line.size();
    if ((!written || std::fflush(file_) != 0) && ownsFile_) {
        tellIncomplete(target_, errno);
        std::clearerr(file_);
    }
}

long long WireTrace::elapsedMs() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - began_).count();
}

// One entry, written and flushed at once: a trace must hold everything up to a crash, and
// entries of links on other threads never interleave within a line.
void WireTrace::writeEntry(long long ms, char direction, const std::string& text) {
    writeLocked(entryLine(ms, direction, text));
}

void WireTrace::beginOperation(std::string_view connection) {
    std::lock_guard lock(mutex_);
    flushBinaryLocked();
    writeLocked(headerLine(connection));
    began_ = std::chrono::steady_clock::now();
}

void WireTrace::sent(std::span<const std::uint8_t> bytes) {
    std::lock_guard lock(mutex_);
    writePendingLocked();
    writeEntry(elapsedMs(), '>', traceText(bytes));
}

void WireTrace::received(std::span<const std::uint8_t> bytes) {
    std::lock_guard lock(mutex_);
    if (collecting_) {
        if (pending_.empty()) pendingMs_ = elapsedMs();
        pending_.insert(pending_.end(), bytes.begin(), bytes.end());
        return;
    }
    writeEntry(elapsedMs(), '<', traceText(bytes));
}

void WireTrace::event(char direction, std::string_view utf8Text) {
    std::lock_guard lock(mutex_);
    writePendingLocked();
    writeEntry(elapsedMs(), direction, std::string(utf8Text));
}

void WireTrace::beginBinaryReply(const FrameDescriber* describer) {
    std::lock_guard lock(mutex_);
    flushBinaryLocked();
    collecting_ = true;
    describer_ = describer;
}

void WireTrace::endBinaryReply() {
    std::lock_guard lock(mutex_);
    flushBinaryLocked();
}

void WireTrace::flushBinaryLocked() {
    writePendingLocked();
    collecting_ = false;
    describer_ = nullptr;
}

void WireTrace::writePendingLocked() {
    if (pending_.empty()) return;
    const std::span<const std::uint8_t> reply(pending_);
    std::vector<TracedPiece> pieces;
    if (describer_ && *describer_) pieces = (*describer_)(reply);
    std::size_t at = 0;
    for (const TracedPiece& piece : pieces) {
        if (piece.size == 0 || piece.size > reply.size() - at) break;   // a describer that miscounts
        const auto bytes = reply.subspan(at, piece.size);
        if (piece.verdict.empty()) {
            writeEntry(pendingMs_, '<', traceText(bytes));
        } else {
            writeEntry(pendingMs_, '<', "[" + std::to_string(piece.size) + " B] " + traceHex(bytes) + " (" + piece.verdict + ")");
        }
        at += piece.size;
    }
    if (at < reply.size()) writeEntry(pendingMs_, '<', traceText(reply.subspan(at)));
    pending_.clear();
}

void WireTrace::write(const TraceSection& section) {
    std::lock_guard lock(mutex_);
    writePendingLocked();
    writeLocked(section.text());
}

TraceSection::TraceSection(std::string_view connection) : text_(headerLine(connection)) {}

long long TraceSection::elapsedMs() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - began_).count();
}

void TraceSection::sent(std::span<const std::uint8_t> bytes) { text_ += entryLine(elapsedMs(), '>', traceText(bytes)); }

void TraceSection::received(std::span<const std::uint8_t> bytes) {
    text_ += entryLine(elapsedMs(), '<', traceText(bytes));
}

void TraceSection::event(char direction, std::string_view utf8Text) {
    text_ += entryLine(elapsedMs(), direction, utf8Text);
}

} // namespace kavrel::link
