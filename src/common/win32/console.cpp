#include "common/win32/console.h"

#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <iostream>
#include <optional>

#include "common/utf16_stream_buffer.h"

namespace kavrel::win32 {
namespace {

// The standard handle when it is a console (a file, a pipe or no handle at all: none).
HANDLE consoleHandle(DWORD which) {
    const HANDLE handle = ::GetStdHandle(which);
    DWORD mode = 0;
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE || !::GetConsoleMode(handle, &mode)) return nullptr;
    return handle;
}

bool writeConsole(HANDLE console, std::u16string_view text) {
    static_assert(sizeof(wchar_t) == sizeof(char16_t));
    while (!text.empty()) {
        // Old consoles refuse one large write; pieces of a few thousand characters pass.
        const auto piece = static_cast<DWORD>(std::min<std::size_t>(text.size(), 8192));
        DWORD written = 0;
        if (!::WriteConsoleW(console, reinterpret_cast<const wchar_t*>(text.data()), piece, &written, nullptr) ||
            written == 0)
            return false;
        text.remove_prefix(written);
    }
    return true;
}

// A standard stream turned to the console for the program's run. It gives the stream its
// own buffer back before the runtime's last flush at exit.
class ConsoleStream {
public:
    ConsoleStream(std::ostream& stream, HANDLE console)
        : stream_(stream), buffer_([console](std::u16string_view text) { return writeConsole(console, text); }) {
        stream_.flush();
        previous_ = stream_.rdbuf(&buffer_);
    }
    ~ConsoleStream() {
        stream_.flush();
        stream_.rdbuf(previous_);
    }
    ConsoleStream(const ConsoleStream&) = delete;
    ConsoleStream& operator=(const ConsoleStream&) = delete;

private:
    std::ostream& stream_;
    Utf16StreamBuffer buffer_;
    std::streambuf* previous_ = nullptr;
};

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

void useWideConsole() {
    // Made after the runtime's standard streams, so gone before their last flush.
    static std::optional<ConsoleStream> output;
    static std::optional<ConsoleStream> error;
    if (const HANDLE console = consoleHandle(STD_OUTPUT_HANDLE); console && !output) output.emplace(std::cout, console);
    if (const HANDLE console = consoleHandle(STD_ERROR_HANDLE); console && !error) error.emplace(std::cerr, console);
}

} // namespace kavrel::win32
