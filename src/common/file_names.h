// File names as the core holds them (UTF-8 text) and as the platform opens them: on Linux the
// same bytes, on Windows UTF-16, so that a Polish file name works whatever the ANSI code page.
// Every path that comes from a text (a command line, a window, an environment variable) or
// goes into one passes here; none of these conversions throws, whatever the bytes.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

namespace kavrel {

// Bytes that are not UTF-8 become U+FFFD on Windows (a name that then does not exist), and
// stay as they are on Linux, where a name is any bytes.
std::filesystem::path pathFromUtf8(std::string_view utf8Name);
std::string pathToUtf8(const std::filesystem::path& path);

// An environment variable's value as UTF-8, read in UTF-16 on Windows (a profile folder such
// as C:\Users\Michał has no spelling in every ANSI code page); empty when it is not set.
std::string environmentText(const char* name);
std::filesystem::path environmentPath(const char* name);

// What the programs say (UTF-8) when an exception from the file system stopped what they did,
// instead of ending: "Błąd dostępu do pliku „C:\Użytkownicy\...” (kod 123)." It names the
// path and the system's error number only, since the system's own text comes in the ANSI
// code page.
std::string fileFailureText(const std::filesystem::filesystem_error& failure);

// std::fopen for a path of any spelling; nullptr when the file cannot be opened.
std::FILE* openFile(const std::filesystem::path& path, const char* mode);

// This process's id, for names of temporary files that no other process picks.
int processId();

} // namespace kavrel
