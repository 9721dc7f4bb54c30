#include "monitor/measurement.h"

#include <algorithm>
#include <climits>

namespace kavrel::monitor {
namespace {

// Reads the white-space separated fields of a reply the way the module's C formats
// ("%s %d ...") are defined, but never past the end of the text and never more than a
// field holds. The first field that cannot be read stops the scanning.
class FieldScanner {
public:
    explicit FieldScanner(std::string_view text) : text_(text.substr(0, text.find('\0'))) {}

    bool stopped() const { return stopped_; }
    // Fields read so far.
    int count() const { return count_; }

    // A run of non-blank bytes; the part beyond the field's 15 characters is dropped.
    std::string text() {
        skipBlanks();
        const std::size_t start = at_;
        while (at_ < text_.size() && !isBlank(text_[at_])) ++at_;
        if (at_ == start) stopped_ = true;
        if (stopped_) return {};
        ++count_;
        return std::string(text_.substr(start, std::min(at_ - start, kReadingMax)));
    }

    // An optionally signed decimal number; a value beyond int saturates.
    int number() {
        skipBlanks();
        std::size_t at = at_;
        bool negative = false;
        if (at < text_.size() && (text_[at] == '+' || text_[at] == '-')) negative = text_[at++] == '-';
        const std::size_t digitsStart = at;
        long long magnitude = 0;
        for (; at < text_.size() && text_[at] >= '0' && text_[at] <= '9'; ++at)
            if (magnitude <= INT_MAX) magnitude = magnitude * 10 + (text_[at] - '0');
        if (at == digitsStart) stopped_ = true;
        if (stopped_) return 0;
        ++count_;
        at_ = at;
        const long long value = negative ? -magnitude : magnitude;
        return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
    }

private:
    static bool isBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
    void skipBlanks() {
        while (at_ < text_.size() && isBlank(text_[at_])) ++at_;
    }

    std::string_view text_;
    std::size_t at_ = 0;
    bool stopped_ = false;
    int count_ = 0;
};

bool startsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

} // namespace

void markDegrees(std::string& text, bool firstOnly) {
    for (std::size_t at = text.find("'C"); at != std::string::npos; at = text.find("'C", at + 2)) {
        text[at] = kDegreeSign;
        if (firstOnly) break;
    }
}

bool parseMeasurementReply(std::string_view reply, MeasurementSnapshot& snapshot) {
    snapshot.extMode = 0;
    snapshot.extLowMask = 0;
    snapshot.extHighMask = 0;
    if (!startsWith(reply, "MSR=")) return false;

    FieldScanner scan(reply.substr(4));
    for (auto& value : snapshot.lineValue) {
        value = scan.text();
        markDegrees(value);
    }
    snapshot.lowMask = scan.number();
    snapshot.highMask = scan.number();
    snapshot.alarm = scan.number();
    snapshot.outputs = scan.number();
    snapshot.gsmSignal = scan.number();
    snapshot.gsmNetwork = scan.number();
    snapshot.smsCount = scan.number();
    scan.number();  // two counters the monitor does not show
    scan.number();
    snapshot.emailCount = scan.number();
    snapshot.extMode = scan.number();
    const int lowFirst = scan.number(), lowSecond = scan.number();
    const int highFirst = scan.number(), highSecond = scan.number();
    // Each half carries eight lines; bits above them mean nothing.
    snapshot.extLowMask = static_cast<std::uint16_t>((lowFirst & 0xFF) | ((lowSecond & 0xFF) << 8));
    snapshot.extHighMask = static_cast<std::uint16_t>((highFirst & 0xFF) | ((highSecond & 0xFF) << 8));
    snapshot.fieldsSent = scan.count();
    return true;
}

bool parseExtendedReply(std::string_view reply, ExtendedReadings& readings) {
    if (!startsWith(reply, "MSRX=")) return false;
    FieldScanner scan(reply.substr(5));
    for (auto& value : readings.value) {
        value = scan.text();
        markDegrees(value, true);
    }
    return true;
}

} // namespace kavrel::monitor
