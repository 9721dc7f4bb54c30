#include "common/win32/console.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdlib>

namespace kavrel::win32 {
namespace {

UINT previousOutputCodePage = 0;

void restoreCodePage() {
    if (previousOutputCodePage != 0) ::SetConsoleOutputCP(previousOutputCodePage);
}

std::string toUtf8(const wchar_t* text) {
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1) return {};
    std::string result(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text, -1, result.data(), size, nullptr, nullptr);
    result.resize(static_cast<std::size_t>(size) - 1);
    return result;
}

} // namespace

std::vector<std::string> utf8Arguments() {
    std::vector<std::string> arguments;
    int count = 0;
    wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (!wide) return arguments;
    for (int i = 1; i < count; ++i) arguments.push_back(toUtf8(wide[i]));
    ::LocalFree(wide);
    return arguments;
}

void useUtf8Console() {
    const UINT current = ::GetConsoleOutputCP();
    if (current == 0 || current == CP_UTF8) return; // no console, or already UTF-8
    if (!::SetConsoleOutputCP(CP_UTF8)) return;
    previousOutputCodePage = current;
    std::atexit(restoreCodePage);
}

} // namespace kavrel::win32
