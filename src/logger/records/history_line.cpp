#include "logger/records/history_line.h"

#include "common/bytes.h"
#include "logger/values/decimal_text.h"

namespace kavrel::logger {
namespace {

// Room for a whole line at once, so that composing it allocates once: a full measurement
// line holds at most about 200 characters, the extended values at most 16 x 8.
constexpr std::size_t kLineRoom = 256;

void appendNumber(std::string& line, long value) {
    line += ',';
    appendInteger(line, value);
}

// ",1 3 ": the one-based numbers of the set bits, each followed by a space.
void appendBitNumbers(std::string& line, std::uint8_t bits, int count) {
    line += ',';
    for (int i = 0; i < count; ++i)
        if (bits & (1u << i)) {
            line += static_cast<char>('1' + i);
            line += ' ';
        }
}

} // namespace

HistoryLineBuilder::HistoryLineBuilder(const LineDescriptions& descriptions, const LineConfiguration& lines, bool full)
    : descriptions_(descriptions), lines_(lines), full_(full) {}

std::string HistoryLineBuilder::measurement(const RecordBytes& record, const RecordTime& time, bool correct) {
    std::string line;
    line.reserve(kLineRoom);
    if (lineOpen_) line += '\n';

    appendInteger(line, static_cast<std::int32_t>(bytes::get32le(record, record::kNumber)));
    line += ',';
    appendRecordTime(line, time);

    for (std::size_t i = 0; i < kInputLines; ++i) {
        const auto& description = descriptions_.input(i);
        if (description.removed() || (!isLoggedLine(lines_[i]) && !description.hasName())) continue;
        const ValueKind kind = description.chosenKind().value_or(inputLineKind(lines_[i]));
        appendValueField(line, kind, bytes::get16le(record, measurement::kValues + 2 * i));
    }

    const std::uint8_t gsm = record[measurement::kGsm];
    const std::uint8_t flags = record[measurement::kFlags];
    if (full_) {
        appendBitNumbers(line, record[measurement::kLow], 8);
        appendBitNumbers(line, record[measurement::kHigh], 8);
        appendBitNumbers(line, record[measurement::kOutputs], 6);
    }
    appendNumber(line, (gsm & 0x80) ? gsm & 0x3F : 0);
    if (full_) appendNumber(line, (gsm >> 6) & 1);
    appendNumber(line, bytes::get16le(record, measurement::kSms));
    if (full_) appendNumber(line, record[measurement::kEmail]);
    appendNumber(line, flags & measurement::kFlagAlarm);
    if (full_) {
        appendNumber(line, (flags & measurement::kFlagGuard) ? 1 : 0);
        appendNumber(line, flags);
        appendNumber(line, bytes::get16le(record, measurement::kXlState));
    }
    appendNumber(line, correct ? 1 : 0);
    if (!correct) ++invalidRecords_;

    lastFlags_ = flags;
    lineOpen_ = true;
    return line;
}

std::string HistoryLineBuilder::extended(const RecordBytes& record) {
    const std::uint8_t kinds = record[extended::kKinds];
    lineOpen_ = false;
    if (kinds == extended::kNoValues) return "\n";

    std::string line;
    line.reserve(kLineRoom);
    const bool energyMeter = (lastFlags_ & measurement::kFlagEnergyMeter) != 0;
    for (std::size_t n = 0; n < kExtendedLines; ++n) {
        const auto& description = descriptions_.extended(n);
        if (description.removed()) continue;
        const ValueKind kind = description.chosenKind().value_or(extendedValueKind(static_cast<int>(n), kinds, energyMeter));
        appendValueField(line, kind, bytes::get16le(record, extended::kValues + 2 * n));
    }
    return line + "\n";
}

} // namespace kavrel::logger
