// The port doctor's facts on Linux, from sysfs: the USB serial adapters (ttyUSB*, ttyACM* and
// any tty whose device sits on a USB bus), the driver bound to each, its USB identity, an
// FTDI adapter's latency timer, who may open the device node, and which process holds it.
#include "link/ports/port_facts.h"

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <system_error>

namespace kavrel::link {
namespace {

namespace fs = std::filesystem;

std::string firstLine(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    return line;
}

std::optional<std::uint16_t> hexNumber(const std::string& text) {
    if (text.empty() || text.size() > 4 || text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
        return std::nullopt;
    return static_cast<std::uint16_t>(std::stoul(text, nullptr, 16));
}

bool isAdapter(const std::string& name, const fs::path& device) {
    return name.rfind("ttyUSB", 0) == 0 || name.rfind("ttyACM", 0) == 0 ||
           device.string().find("/usb") != std::string::npos;
}

// The USB device above a tty's device: the first folder up the tree with an idVendor.
void addUsbIdentity(const fs::path& device, PortFacts& facts) {
    std::error_code error;
    for (fs::path folder = device; !folder.empty() && folder != folder.root_path(); folder = folder.parent_path()) {
        if (!fs::exists(folder / "idVendor", error)) continue;
        facts.vendorId = hexNumber(firstLine(folder / "idVendor"));
        facts.productId = hexNumber(firstLine(folder / "idProduct"));
        const std::string product = firstLine(folder / "product");
        const std::string maker = firstLine(folder / "manufacturer");
        facts.description = maker.empty() ? product : product.empty() ? maker : maker + " " + product;
        return;
    }
}

void addAccess(const fs::path& node, PortFacts& facts) {
    struct stat info{};
    if (::stat(node.c_str(), &info) != 0) return;
    if (const group* owner = ::getgrgid(info.st_gid)) facts.groupName = owner->gr_name;
    facts.userMayOpen = ::access(node.c_str(), R_OK | W_OK) == 0;
}

// The first process whose open files include the device node: its name, from /proc.
std::string holder(const fs::path& proc, const fs::path& node) {
    std::error_code error;
    for (const auto& process : fs::directory_iterator(proc, error)) {
        const std::string pid = process.path().filename().string();
        if (pid.empty() || pid.find_first_not_of("0123456789") != std::string::npos || pid == std::to_string(::getpid()))
            continue;
        std::error_code denied;
        for (const auto& fd : fs::directory_iterator(process.path() / "fd", denied)) {
            std::error_code unreadable;
            if (fs::read_symlink(fd.path(), unreadable) == node) return firstLine(process.path() / "comm");
        }
    }
    return {};
}

} // namespace

std::vector<PortFacts> gatherSysfsPortFacts(const fs::path& sys, const fs::path& dev, const fs::path& proc) {
    std::vector<PortFacts> ports;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(sys / "class" / "tty", error)) {
        const std::string name = entry.path().filename().string();
        std::error_code noDevice;
        const fs::path device = fs::canonical(entry.path() / "device", noDevice);
        if (noDevice || !isAdapter(name, device)) continue;
        PortFacts facts;
        facts.device = (dev / name).string();
        facts.instanceId = name;
        std::error_code noDriver;
        const fs::path driver = fs::read_symlink(device / "driver", noDriver);
        if (!noDriver) facts.driver = driver.filename().string();
        addUsbIdentity(device, facts);
        const fs::path latency = device / "latency_timer";
        if (const std::string value = firstLine(latency); !value.empty() && value.find_first_not_of("0123456789") == std::string::npos) {
            facts.latencyMs = std::stoi(value);
            facts.latencyPlace = latency.string();
        }
        addAccess(dev / name, facts);
        facts.heldBy = holder(proc, dev / name);
        ports.push_back(std::move(facts));
    }
    std::sort(ports.begin(), ports.end(), [](const PortFacts& a, const PortFacts& b) { return a.device < b.device; });
    return ports;
}

std::vector<PortFacts> gatherPortFacts() { return gatherSysfsPortFacts("/sys", "/dev", "/proc"); }

} // namespace kavrel::link
