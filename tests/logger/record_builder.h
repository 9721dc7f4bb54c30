// Builds the 39-byte records the decoders take, field by field, for the tests.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "common/bytes.h"
#include "logger/records/record_layout.h"
#include "logger/records/record_time.h"

namespace kavrel::logger::testing {

inline RecordBytes blankRecord(std::uint8_t kind, std::int32_t number = 0, RecordTime time = {}) {
    RecordBytes r{};
    r[0] = 'R';
    r[1] = 37;
    r[record::kKind] = kind;
    bytes::put32le(r, record::kNumber, static_cast<std::uint32_t>(number));
    encodeRecordTime(time, std::span(r).subspan<record::kTime, 4>());
    return r;
}

struct Event {
    std::int32_t number = 1;
    RecordTime time{2024, 5, 17, 8, 3, 9};
    std::uint8_t code = 0, p1 = 0, p2 = 0, p3 = 0;
    std::string_view text;  // Windows-1250 bytes
};

inline RecordBytes eventRecord(const Event& e) {
    RecordBytes r = blankRecord(record::kEvent, e.number, e.time);
    r[event::kCode] = e.code;
    r[event::kP1] = e.p1;
    r[event::kP2] = e.p2;
    r[event::kP3] = e.p3;
    std::copy_n(e.text.begin(), std::min(e.text.size(), event::kTextSize), r.begin() + event::kText);
    return r;
}

struct Measurement {
    std::int32_t number = 1;
    RecordTime time{2024, 5, 17, 8, 3, 9};
    std::array<std::uint16_t, 8> values{};
    std::uint8_t low = 0, high = 0, outputs = 0, gsm = 0;
    std::uint16_t sms = 0;
    std::uint8_t flags = 0, email = 0;
    std::uint16_t xlState = 0;
};

inline RecordBytes measurementRecord(const Measurement& m) {
    RecordBytes r = blankRecord(record::kMeasurement, m.number, m.time);
    for (std::size_t i = 0; i < 8; ++i) bytes::put16le(r, measurement::kValues + 2 * i, m.values[i]);
    r[measurement::kLow] = m.low;
    r[measurement::kHigh] = m.high;
    r[measurement::kOutputs] = m.outputs;
    r[measurement::kGsm] = m.gsm;
    bytes::put16le(r, measurement::kSms, m.sms);
    r[measurement::kFlags] = m.flags;
    r[measurement::kEmail] = m.email;
    bytes::put16le(r, measurement::kXlState, m.xlState);
    return r;
}

inline RecordBytes extendedRecord(std::uint8_t kinds, const std::array<std::uint16_t, 16>& values) {
    RecordBytes r{};
    r[0] = 'R';
    r[1] = 37;
    r[record::kKind] = record::kExtended;
    r[extended::kKinds] = kinds;
    for (std::size_t i = 0; i < 16; ++i) bytes::put16le(r, extended::kValues + 2 * i, values[i]);
    return r;
}

} // namespace kavrel::logger::testing
