#include "logger/records/record_time.h"

#include "logger/values/decimal_text.h"

namespace kavrel::logger {

RecordTime decodeRecordTime(std::span<const std::uint8_t, 4> b) {
    RecordTime t;
    t.year = 2016 + (b[0] >> 4) + ((b[3] & 0x40) ? 16 : 0);
    t.month = b[0] & 0x0F;
    t.day = ((b[1] & 0xE0) >> 3) | ((b[2] & 0xC0) >> 6);
    t.hour = b[1] & 0x1F;
    t.minute = b[2] & 0x3F;
    t.second = b[3] & 0x3F;
    return t;
}

void encodeRecordTime(const RecordTime& t, std::span<std::uint8_t, 4> b) {
    const int years = t.year - 2016;
    b[0] = static_cast<std::uint8_t>(((years & 0x0F) << 4) | (t.month & 0x0F));
    b[1] = static_cast<std::uint8_t>(((t.day & 0x1C) << 3) | (t.hour & 0x1F));
    b[2] = static_cast<std::uint8_t>(((t.day & 0x03) << 6) | (t.minute & 0x3F));
    b[3] = static_cast<std::uint8_t>(((years & 0x10) ? 0x40 : 0) | (t.second & 0x3F));
}

std::string formatRecordTime(const RecordTime& t) {
    std::string text;
    appendRecordTime(text, t);
    return text;
}

void appendRecordTime(std::string& line, const RecordTime& t) {
    appendPadded(line, t.year, 4, '0');
    line += '-';
    appendPadded(line, t.month, 2, '0');
    line += '-';
    appendPadded(line, t.day, 2, '0');
    line += ' ';
    appendPadded(line, t.hour, 2, ' ');
    line += ':';
    appendPadded(line, t.minute, 2, '0');
    line += ':';
    appendPadded(line, t.second, 2, '0');
}

} // namespace kavrel::logger
