// Splits a fuzzer's input into a 39-byte record and the line configuration that goes
// with it; missing bytes are zero.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "logger/records/record_layout.h"
#include "logger/values/value_kind.h"

namespace kavrel::fuzz {

struct RecordInput {
    logger::RecordBytes record{};
    logger::LineConfiguration lines{};
};

inline RecordInput recordInput(const std::uint8_t* data, std::size_t size) {
    RecordInput in;
    const std::size_t recordPart = std::min(size, in.record.size());
    std::copy_n(data, recordPart, in.record.begin());
    std::copy_n(data + recordPart, std::min(size - recordPart, in.lines.size()), in.lines.begin());
    return in;
}

} // namespace kavrel::fuzz
