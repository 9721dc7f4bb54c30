// A text description file of any bytes loads into names the data file can hold.
#include <cstdlib>
#include <string_view>

#include "logger/descriptions/line_descriptions.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kavrel::logger;
    const auto table = parseDescriptionText(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!table) return 0;
    for (const auto& line : table->lines)
        if (line.name.size() > kLineNameMax || line.name.find('\n') != std::string::npos) std::abort();
    return 0;
}
