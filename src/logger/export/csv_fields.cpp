#include "logger/export/csv_fields.h"

namespace kavrel::logger {

std::string csvField(std::string_view text, char separator) {
    if (text.find_first_of(std::string{separator, '"', '\r', '\n'}) == std::string_view::npos) return std::string(text);
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

std::string csvLine(const std::vector<std::string>& fields, char separator) {
    std::string line;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i) line += separator;
        line += csvField(fields[i], separator);
    }
    return line;
}

std::vector<std::string> splitPlainFields(std::string_view line, char separator) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = line.find(separator, start);
        fields.emplace_back(line.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
        if (end == std::string_view::npos) return fields;
        start = end + 1;
    }
}

bool CsvReader::next(std::vector<std::string>& fields) {
    fields.clear();
    if (at_ >= text_.size() || malformed_) return false;
    line_ = nextLine_;
    std::string field;
    bool quoted = false;
    while (at_ < text_.size()) {
        const char c = text_[at_++];
        if (quoted) {
            if (c == '"' && at_ < text_.size() && text_[at_] == '"') {
                field += '"';
                ++at_;
            } else if (c == '"') {
                quoted = false;
            } else {
                if (c == '\n') ++nextLine_;
                field += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == separator_) {
            fields.push_back(std::move(field));
            field.clear();
        } else if (c == '\n' || c == '\r') {
            if (c == '\r' && at_ < text_.size() && text_[at_] == '\n') ++at_;
            ++nextLine_;
            break;
        } else {
            field += c;
        }
    }
    if (quoted) {
        malformed_ = true;
        return false;
    }
    fields.push_back(std::move(field));
    return true;
}

} // namespace kavrel::logger
