// An output text file as the logger writes them: bytes in the Windows-1250 code page,
// every line feed written as CR LF. The text goes to a temporary file beside the target;
// the target is replaced only by commit(), so that a file of that name from an earlier run
// stays whole until the new one is.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string_view>

#include "common/file_result.h"

namespace kavrel::logger {

// Moves `from` over `to` (replacing it); false when it could not.
bool replaceFile(const std::filesystem::path& from, const std::filesystem::path& to);

class TextOutput {
public:
    TextOutput() = default;
    TextOutput(const TextOutput&) = delete;
    TextOutput& operator=(const TextOutput&) = delete;
    ~TextOutput() { discard(); }

    // Starts the file: its temporary is created beside `path`; OpenFailed when it cannot be
    // (nor the target be a file: a folder of that name).
    FileResult create(const std::filesystem::path& path);
    bool isOpen() const { return file_ != nullptr; }
    const std::filesystem::path& target() const { return target_; }
    // A temporary is there (written, not yet in place).
    bool isKept() const { return !temporary_.empty(); }

    void write(std::string_view text);
    // The bytes as they are, line feeds included (the formats read by programs).
    void writeBytes(std::string_view bytes);

    // Closes the file and puts it in place of the target; false when anything written was
    // lost (the temporary is removed) or it could not be put there (the temporary stays for
    // keepAs). The target is kept in both cases.
    bool commit();
    // Closes the file and keeps it under another name; false when it could not be.
    bool keepAs(const std::filesystem::path& other);
    // Commits where no file of the target's name exists; otherwise discards, keeping that file.
    bool commitUnlessTargetExists();
    // Closes and removes the temporary.
    void discard();
    // Closes without putting the file anywhere; false when anything written was lost.
    bool close();
    // Whether a write has failed so far (a full disk, a removed medium).
    bool failed() const { return failed_; }

private:
    std::FILE* file_ = nullptr;
    bool failed_ = false;
    std::filesystem::path target_;
    std::filesystem::path temporary_;
};

} // namespace kavrel::logger
