// Fields of a CSV line: quoting where a field needs it (RFC 4180) and reading quoted
// lines back. The history CSV of the default form never quotes; the other forms do.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kavrel::logger {

// The field as written: in double quotes (inner quotes doubled) when it holds the
// separator, a quote or a line break, otherwise as it is.
std::string csvField(std::string_view text, char separator);
// The fields joined by the separator, each through csvField.
std::string csvLine(const std::vector<std::string>& fields, char separator);
// A line of unquoted fields (as the history line composes them) cut at every separator.
std::vector<std::string> splitPlainFields(std::string_view line, char separator = ',');

// Reads CSV records one after another from a whole text: quoted fields may hold the
// separator, doubled quotes and line breaks; lines end in LF or CR LF.
class CsvReader {
public:
    CsvReader(std::string_view text, char separator) : text_(text), separator_(separator) {}
    // The next record's fields; false at the end of the text or on a quote left open
    // (malformed() tells which).
    bool next(std::vector<std::string>& fields);
    bool malformed() const { return malformed_; }
    // The line the last record began on, from 1.
    int line() const { return line_; }

private:
    std::string_view text_;
    char separator_;
    std::size_t at_ = 0;
    int line_ = 0;
    int nextLine_ = 1;
    bool malformed_ = false;
};

} // namespace kavrel::logger
