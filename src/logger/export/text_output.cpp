#include "logger/export/text_output.h"

#include <system_error>

#ifdef _WIN32
#include <windows.h>
#endif

#include "common/file_names.h"
#include "common/replace_file.h"

namespace kavrel::logger {

bool replaceFile(const std::filesystem::path& from, const std::filesystem::path& to) {
#ifdef _WIN32
    return ::MoveFileExW(from.wstring().c_str(), to.wstring().c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
#else
    std::error_code error;
    std::filesystem::rename(from, to, error);
    return !error;
#endif
}

FileResult TextOutput::create(const std::filesystem::path& path) {
    discard();
    failed_ = false;
    std::error_code error;
    const auto type = std::filesystem::status(path, error).type();
    if (type == std::filesystem::file_type::directory) return FileResult::OpenFailed;
    if (type != std::filesystem::file_type::not_found && type != std::filesystem::file_type::regular) {
        // A device or a pipe is written as it is: a temporary would replace it.
        target_ = path;
        file_ = openFile(path, "wb");
        return file_ ? FileResult::Ok : FileResult::OpenFailed;
    }
    // A short name of this process alone, beside the target (the same file system, so that
    // the move is a rename, and within the name limit whatever the target's length).
    target_ = path;
    temporary_ = temporaryNameFor(path);
    file_ = openFile(temporary_, "wb");
    if (!file_) temporary_.clear();
    return file_ ? FileResult::Ok : FileResult::OpenFailed;
}

bool TextOutput::commit() {
    if (temporary_.empty()) return close();
    const bool written = close();
    if (written && replaceFile(temporary_, target_)) {
        temporary_.clear();
        return true;
    }
    if (!written) discard();
    // Written but not put in place (the target held open by another program): the file
    // stays as the temporary, for keepAs.
    failed_ = true;
    return false;
}

bool TextOutput::keepAs(const std::filesystem::path& other) {
    if (temporary_.empty()) {
        close();
        return false;
    }
    close();
    const bool kept = replaceFile(temporary_, other);
    if (kept) temporary_.clear();
    else discard();
    return kept;
}

bool TextOutput::commitUnlessTargetExists() {
    std::error_code error;
    if (!temporary_.empty() && std::filesystem::exists(target_, error)) {
        discard();
        return false;
    }
    return commit();
}

void TextOutput::discard() {
    close();
    if (temporary_.empty()) return;
    std::error_code error;
    std::filesystem::remove(temporary_, error);
    temporary_.clear();
}

void TextOutput::write(std::string_view text) {
    if (!file_) return;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t lineFeed = text.find('\n', start);
        const std::size_t end = lineFeed == std::string_view::npos ? text.size() : lineFeed;
        if (std::fwrite(text.data() + start, 1, end - start, file_) != end - start) failed_ = true;
        if (lineFeed == std::string_view::npos) break;
        if (std::fwrite("\r\n", 1, 2, file_) != 2) failed_ = true;
        start = lineFeed + 1;
    }
}

void TextOutput::writeBytes(std::string_view bytes) {
    if (file_ && std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) failed_ = true;
}

bool TextOutput::close() {
    if (!file_) return !failed_;
    if (std::fclose(file_) != 0) failed_ = true;
    file_ = nullptr;
    return !failed_;
}

} // namespace kavrel::logger
