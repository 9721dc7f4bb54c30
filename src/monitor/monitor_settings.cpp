#include "monitor/monitor_settings.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "common/bytes.h"
#include "common/file_names.h"
#include "common/replace_file.h"
#include "common/regular_file.h"

namespace kavrel::monitor {
namespace {

constexpr char kMagic[8] = {'K', 'V', 'R', 'L', 'C', 'F', 'G', '1'};

// The file's layout: every field with its offset, in file order. Both the reader and
// the writer walk this one description.
template <class Settings, class Visitor>
void forEachField(Settings& settings, Visitor&& visit) {
    visit.integer(8, settings.comPort);
    visit.text(12, kResultsFileMax + 1, settings.resultsFile);
    visit.integer(76, settings.recordPeriod);
    for (int i = 0; i < kInputLines; ++i) visit.text(80 + 32 * i, kLineNameMax + 1, settings.lineName[i]);
    for (int i = 0; i < kInputLines; ++i) visit.integer(336 + 4 * i, settings.lineType[i]);
    for (int i = 0; i < kExtendedLines; ++i) visit.text(368 + 16 * i, kExtNameMax + 1, settings.extName[i]);
    for (int i = 0; i < kInputLines; ++i) visit.integer(624 + 4 * i, settings.barMin[i]);
    for (int i = 0; i < kInputLines; ++i) visit.integer(656 + 4 * i, settings.barMax[i]);
}

// Takes a field only when the file holds all of its bytes.
struct FieldReader {
    std::span<const std::uint8_t> file;

    bool holds(std::size_t at, std::size_t size) const { return at + size <= file.size(); }
    void integer(std::size_t at, std::int32_t& value) const {
        if (holds(at, 4)) value = static_cast<std::int32_t>(bytes::get32le(file, at));
    }
    void text(std::size_t at, std::size_t size, std::string& value) const {
        if (!holds(at, size)) return;
        const auto* begin = reinterpret_cast<const char*>(file.data() + at);
        value.assign(begin, std::find(begin, begin + size - 1, '\0'));
    }
};

struct FieldWriter {
    std::span<std::uint8_t> file;

    void integer(std::size_t at, std::int32_t value) const { bytes::put32le(file, at, static_cast<std::uint32_t>(value)); }
    void text(std::size_t at, std::size_t size, const std::string& value) const {
        const std::size_t length = std::min(value.size(), size - 1);
        std::memcpy(file.data() + at, value.data(), length);   // the rest of the field stays 0
    }
};

} // namespace

LineType MonitorSettings::typeOf(int line) const {
    const std::int32_t type = lineType[static_cast<std::size_t>(line)];
    if (type == static_cast<std::int32_t>(LineType::Temperature)) return LineType::Temperature;
    if (type == static_cast<std::int32_t>(LineType::Humidity)) return LineType::Humidity;
    return LineType::Voltage;
}

FileResult loadMonitorSettings(const std::string& path, MonitorSettings& settings) {
    // A folder, a FIFO or a device is no settings file, and a failed read is no short one.
    std::string content;
    if (readRegularFile(pathFromUtf8(path), kSettingsFileSize, content) != FileRead::Ok)
        return FileResult::OpenFailed;
    const auto* begin = reinterpret_cast<const std::uint8_t*>(content.data());
    return decodeMonitorSettings(std::span(begin, content.size()), settings);
}

FileResult decodeMonitorSettings(std::span<const std::uint8_t> file, MonitorSettings& settings) {
    if (file.size() < sizeof kMagic || !std::equal(std::begin(kMagic), std::end(kMagic), file.begin()))
        return FileResult::WrongFormat;
    forEachField(settings, FieldReader{file.first(std::min(file.size(), kSettingsFileSize))});
    return FileResult::Ok;
}

FileResult saveMonitorSettings(const std::string& path, const MonitorSettings& settings) {
    const std::filesystem::path file = pathFromUtf8(path);
    std::array<std::uint8_t, kSettingsFileSize> content{};
    std::copy(std::begin(kMagic), std::end(kMagic), content.begin());
    forEachField(settings, FieldWriter{content});
    // Through a temporary file: a full disk leaves the old settings file as it was.
    return toFileResult(replaceFile(file, std::string_view(reinterpret_cast<const char*>(content.data()), content.size())));
}

} // namespace kavrel::monitor
