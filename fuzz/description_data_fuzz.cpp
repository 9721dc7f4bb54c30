// A data file of any bytes loads without reading past its end, and what it loads is
// written back to the same table.
#include <cstdlib>
#include <span>

#include "logger/descriptions/line_descriptions.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kavrel::logger;
    const auto table = parseDescriptionData(std::span(data, size));
    if (!table) return 0;
    for (const auto& line : table->lines)
        if (line.name.size() > kLineNameMax || line.name.find('\0') != std::string::npos) std::abort();
    auto again = parseDescriptionData(descriptionData(*table));
    if (!again) std::abort();
    again->fullExport = table->fullExport;
    if (again->lines != table->lines) std::abort();
    return 0;
}
