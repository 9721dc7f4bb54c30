// Any bytes as a monitor settings file: loaded without reading past the data or past a
// field, every text within its field, and saved again as the same 688-byte layout.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "monitor/monitor_settings.h"

using namespace kavrel::monitor;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    MonitorSettings settings;
    if (decodeMonitorSettings(std::span<const std::uint8_t>(data, size), settings) != kavrel::FileResult::Ok) return 0;
    bool fits = settings.resultsFile.size() <= kResultsFileMax;
    for (const auto& name : settings.lineName) fits = fits && name.size() <= kLineNameMax;
    for (const auto& name : settings.extName) fits = fits && name.size() <= kExtNameMax;
    if (!fits) std::abort();
    return 0;
}
