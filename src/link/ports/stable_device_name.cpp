#include "link/ports/stable_device_name.h"

#include <algorithm>
#include <system_error>

#include "common/file_names.h"

namespace kavrel::link {
namespace fs = std::filesystem;

fs::path serialByIdFolder() {
    if (const std::string folder = environmentText("KAVREL_SERIAL_BY_ID"); !folder.empty()) return pathFromUtf8(folder);
    return fs::path(kSerialByIdFolder);
}

std::vector<StableDeviceName> stableDeviceNames(const fs::path& folder) {
    std::vector<StableDeviceName> names;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        std::error_code resolved;
        const fs::path device = fs::canonical(it->path(), resolved);
        if (resolved) continue;
        names.push_back({pathToUtf8(device), pathToUtf8(it->path())});
    }
    std::sort(names.begin(), names.end(),
              [](const StableDeviceName& a, const StableDeviceName& b) { return a.stable < b.stable; });
    return names;
}

bool sameDevice(const std::string& a, const std::string& b) {
    if (a == b) return true;
    std::error_code error;
    return fs::equivalent(pathFromUtf8(a), pathFromUtf8(b), error) && !error;
}

std::string stableDeviceName(const std::string& device, const std::vector<StableDeviceName>& names) {
    for (const StableDeviceName& name : names)
        if (name.stable == device) return name.stable;
    for (const StableDeviceName& name : names)
        if (name.device == device || sameDevice(name.device, device)) return name.stable;
    return {};
}

} // namespace kavrel::link
