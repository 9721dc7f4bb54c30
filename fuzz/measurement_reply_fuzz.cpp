// Any bytes as a reply to "MSR?" or "MSRX?": decoded, shown and logged without reading
// or writing past anything, and no text longer than its 15-character field.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "monitor/display.h"
#include "monitor/measurement.h"
#include "monitor/measurement_log.h"

using namespace kavrel::monitor;

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

void decode(const std::string& reply) {
    MeasurementSnapshot snapshot;
    ExtendedReadings readings;
    MonitorSettings settings;
    MonitorDisplay display;
    if (parseMeasurementReply(reply, snapshot)) {
        for (const auto& value : snapshot.lineValue) check(value.size() <= kReadingMax);
        showMeasurement(display, snapshot, settings);
        const std::string row = formatLogRow(1, kavrel::LocalDateTime{}, snapshot);
        check(row.size() >= 2 && row.compare(row.size() - 2, 2, "\r\n") == 0);
    }
    if (parseExtendedReply(reply, readings)) {
        for (const auto& value : readings.value) check(value.size() <= kReadingMax);
        showExtendedReadings(display, readings);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    decode(bytes);
    // Most random inputs lack the prefixes; give the field scanner its share.
    decode("MSR=" + bytes);
    decode("MSRX=" + bytes);
    return 0;
}
