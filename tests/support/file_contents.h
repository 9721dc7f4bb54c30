// A whole file read back for a byte-for-byte comparison: as text, or as bytes. A file
// that cannot be opened reads as empty, which the comparison then reports.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace kavrel::testing {

inline std::string readWholeFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline std::vector<std::uint8_t> readFileBytes(const std::filesystem::path& file) {
    const std::string text = readWholeFile(file);
    return {text.begin(), text.end()};
}

} // namespace kavrel::testing
