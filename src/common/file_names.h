// File names as the core holds them (UTF-8 text) and as the platform opens them: on Linux the
// same bytes, on Windows UTF-16, so that a Polish file name works whatever the ANSI code page.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

namespace kavrel {

std::filesystem::path pathFromUtf8(std::string_view utf8Name);
std::string pathToUtf8(const std::filesystem::path& path);

// std::fopen for a path of any spelling; nullptr when the file cannot be opened.
std::FILE* openFile(const std::filesystem::path& path, const char* mode);

// This process's id, for names of temporary files that no other process picks.
int processId();

} // namespace kavrel
