#include "common/file_names.h"

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

namespace kavrel {

std::filesystem::path pathFromUtf8(std::string_view utf8Name) {
    return std::filesystem::path(std::u8string(utf8Name.begin(), utf8Name.end()));
}

std::string pathToUtf8(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

std::FILE* openFile(const std::filesystem::path& path, const char* mode) {
#ifdef _WIN32
    const std::wstring wideMode(mode, mode + std::char_traits<char>::length(mode));
    return ::_wfopen(path.c_str(), wideMode.c_str());
#else
    return std::fopen(path.c_str(), mode);
#endif
}

int processId() {
#ifdef _WIN32
    return ::_getpid();
#else
    return ::getpid();
#endif
}

} // namespace kavrel
