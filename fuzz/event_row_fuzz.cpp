// An event record of any bytes gives one well-formed row.
#include <cstdlib>
#include <span>

#include "logger/records/event_row.h"
#include "record_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kavrel::logger;
    const auto in = kavrel::fuzz::recordInput(data, size);
    const RecordTime time = decodeRecordTime(std::span(in.record).subspan<record::kTime, 4>());
    const std::string row = eventRow(in.record, time, size % 2 == 0, in.lines);
    // Markup from the module's text never reaches the page unescaped.
    const std::string text = eventTextHtml(std::span(in.record).subspan(event::kText, event::kTextSize));
    if (text.find('<') != std::string::npos || text.find('>') != std::string::npos) std::abort();
    if (row.rfind("<TR>\n", 0) != 0 || row.size() < 10 || row.substr(row.size() - 6) != "</TR>\n") std::abort();
    return 0;
}
