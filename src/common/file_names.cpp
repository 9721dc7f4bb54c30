#include "common/file_names.h"

#include "common/utf8.h"

#ifdef _WIN32
#include <process.h>
#include <windows.h>
#else
#include <cstdlib>
#include <unistd.h>
#endif

namespace kavrel {

#ifdef _WIN32
// std::filesystem's own UTF-8 conversion throws on a malformed sequence; this one cannot.
std::filesystem::path pathFromUtf8(std::string_view utf8Name) {
    const std::u16string wide = utf8::toUtf16(utf8Name);
    return std::filesystem::path(std::wstring(wide.begin(), wide.end()));
}

std::string pathToUtf8(const std::filesystem::path& path) {
    const std::wstring& wide = path.native();
    return utf8::fromUtf16(std::u16string_view(reinterpret_cast<const char16_t*>(wide.data()), wide.size()));
}

std::string environmentText(const char* name) {
    const std::u16string wideName16 = utf8::toUtf16(name);
    const std::wstring wideName(wideName16.begin(), wideName16.end());
    std::wstring value(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetEnvironmentVariableW(wideName.c_str(), value.data(), static_cast<DWORD>(value.size()));
        if (length == 0) return {};
        if (length < value.size()) {
            value.resize(length);
            break;
        }
        value.resize(length);   // the size needed, with its terminating zero
    }
    return utf8::fromUtf16(std::u16string_view(reinterpret_cast<const char16_t*>(value.data()), value.size()));
}
#else
std::filesystem::path pathFromUtf8(std::string_view utf8Name) { return std::filesystem::path(std::string(utf8Name)); }

std::string pathToUtf8(const std::filesystem::path& path) { return path.native(); }

std::string environmentText(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}
#endif

std::filesystem::path environmentPath(const char* name) { return pathFromUtf8(environmentText(name)); }

std::string fileFailureText(const std::filesystem::filesystem_error& failure) {
    std::string text = "Błąd dostępu do pliku";
    if (!failure.path1().empty()) text += " „" + pathToUtf8(failure.path1()) + "”";
    if (!failure.path2().empty()) text += " lub „" + pathToUtf8(failure.path2()) + "”";
    if (failure.code()) text += " (kod " + std::to_string(failure.code().value()) + ")";
    return text + ".";
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
