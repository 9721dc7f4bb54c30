#include "link/wire_trace.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "common/clock.h"
#include "common/file_names.h"
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
    errno = 0;
    std::FILE* file = openFile(pathFromUtf8(path), mode == Mode::Append ? "ab" : "wb");
    if (!file) {
        if (reason) *reason = errno != 0 ? std::strerror(errno) : "cannot open";
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

WireTrace::WireTrace(std::FILE* file, std::string target, bool ownsFile)
    : file_(file), target_(std::move(target)), ownsFile_(ownsFile) {}

WireTrace::~WireTrace() {
    std::lock_guard lock(mutex_);
    flushBinaryLocked();
    if (ownsFile_) std::fclose(file_);
    else std::fflush(file_);
}

long long WireTrace::elapsedMs() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - began_).count();
}

// One entry, written and flushed at once: a trace must hold everything up to a crash, and
// entries of links on other threads never interleave within a line.
void WireTrace::writeEntry(long long ms, char direction, const std::string& text) {
    // The milliseconds right-aligned in six columns (std::to_string: no %lld, which not
    // every C runtime's printf knows).
    const std::string count = std::to_string(ms);
    std::string line(count.size() < 6 ? 6 - count.size() : 0, ' ');
    line += count;
    line += ' ';
    line += direction;
    line += ' ';
    line += text;
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), file_);
    std::fflush(file_);
}

void WireTrace::beginOperation(std::string_view connection) {
    std::lock_guard lock(mutex_);
    flushBinaryLocked();
    const LocalDateTime t = systemClock().now();
    char head[64];
    std::snprintf(head, sizeof head, "--- %04d-%02d-%02d %02d:%02d:%02d ", t.year, t.month, t.day, t.hour, t.minute, t.second);
    std::string line = head;
    line += connection;
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), file_);
    std::fflush(file_);
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

} // namespace kavrel::link
