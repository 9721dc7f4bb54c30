// Measurement and extended-line records of any bytes, in any order, give CSV text whose
// line ends only the records place.
#include <cstdlib>
#include <span>

#include "logger/descriptions/line_descriptions.h"
#include "logger/records/history_line.h"
#include "record_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kavrel::logger;
    if (size == 0) return 0;
    LineDescriptions descriptions;
    // The first byte picks overrides for a few lines, so that named kinds are reached too.
    for (std::size_t i = 0; i < 8; ++i) {
        descriptions.lines[i * 3] = {.kindOverride = (data[0] >> (i % 8)) & 1 ? static_cast<int>(i) : 255,
                                     .name = (data[0] & 0x80) ? "N" : ""};
    }
    const auto first = kavrel::fuzz::recordInput(data + 1, size - 1);
    HistoryLineBuilder builder(descriptions, first.lines, (data[0] & 0x40) != 0);
    for (std::size_t at = 1; at < size; at += kRecordBytes) {
        const auto in = kavrel::fuzz::recordInput(data + at, size - at);
        const RecordTime time = decodeRecordTime(std::span(in.record).subspan<record::kTime, 4>());
        const std::string text = in.record[record::kKind] & 1 ? builder.measurement(in.record, time, true)
                                                             : builder.extended(in.record);
        if (text.size() > 1024) std::abort();
    }
    return 0;
}
