#include "logger/export/text_output.h"

#include "common/file_names.h"

namespace kavrel::logger {

bool TextOutput::create(const std::filesystem::path& path) {
    close();
    failed_ = false;
    file_ = openFile(path, "wb");
    return file_ != nullptr;
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

bool TextOutput::close() {
    if (!file_) return !failed_;
    if (std::fclose(file_) != 0) failed_ = true;
    file_ = nullptr;
    return !failed_;
}

} // namespace kavrel::logger
