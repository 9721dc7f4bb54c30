// A whole file read back for a byte-for-byte comparison: as text, or as bytes. A file
// that cannot be opened reads as empty, which the comparison then reports. And a whole file
// written anew, as a test's input.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
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

inline void writeWholeFile(const std::filesystem::path& file, std::string_view text) {
    std::ofstream(file, std::ios::binary | std::ios::trunc).write(text.data(), static_cast<std::streamsize>(text.size()));
}

inline void writeFileBytes(const std::filesystem::path& file, const std::vector<std::uint8_t>& bytes) {
    writeWholeFile(file, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

} // namespace kavrel::testing
