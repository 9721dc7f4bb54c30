#include "logger/export/export_names.h"

#include <string>

#include "common/file_names.h"

namespace kavrel::logger {

std::filesystem::path csvFileName(const std::filesystem::path& chosen) {
    const std::string name = pathToUtf8(chosen.filename());
    if (name.find(".csv") != std::string::npos || name.find(".CSV") != std::string::npos) return chosen;
    return chosen.parent_path() / pathFromUtf8(name + ".csv");
}

std::filesystem::path htmlFileName(const std::filesystem::path& csvName) {
    // UTF-8: only the ASCII letters change case, a Polish letter's bytes stay as they are.
    std::string name = pathToUtf8(csvName.filename());
    for (char& c : name)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    for (std::size_t at = name.find(".csv"); at != std::string::npos; at = name.find(".csv", at + 5))
        name.replace(at, 4, ".html");
    return csvName.parent_path() / pathFromUtf8(name);
}

} // namespace kavrel::logger
