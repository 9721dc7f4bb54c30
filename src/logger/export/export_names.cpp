#include "logger/export/export_names.h"

#include <string>

namespace kavrel::logger {

std::filesystem::path csvFileName(const std::filesystem::path& chosen) {
    const std::string name = chosen.filename().string();
    if (name.find(".csv") != std::string::npos || name.find(".CSV") != std::string::npos) return chosen;
    return chosen.parent_path() / (name + ".csv");
}

std::filesystem::path htmlFileName(const std::filesystem::path& csvName) {
    std::string name = csvName.filename().string();
    for (char& c : name)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    for (std::size_t at = name.find(".csv"); at != std::string::npos; at = name.find(".csv", at + 5))
        name.replace(at, 4, ".html");
    return csvName.parent_path() / name;
}

} // namespace kavrel::logger
