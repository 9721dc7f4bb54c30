// An output text file as the logger writes them: bytes in the Windows-1250 code page,
// every line feed written as CR LF.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string_view>

namespace kavrel::logger {

class TextOutput {
public:
    TextOutput() = default;
    TextOutput(const TextOutput&) = delete;
    TextOutput& operator=(const TextOutput&) = delete;
    ~TextOutput() { close(); }

    // Creates the file anew (an existing one is replaced); false when it cannot be.
    bool create(const std::filesystem::path& path);
    bool isOpen() const { return file_ != nullptr; }

    void write(std::string_view text);

    // Closes the file; false when anything written since create was lost.
    bool close();
    // Whether a write has failed so far (a full disk, a removed medium).
    bool failed() const { return failed_; }

private:
    std::FILE* file_ = nullptr;
    bool failed_ = false;
};

} // namespace kavrel::logger
