// The forms the history CSV can take beside the default one. The default (Original) is the
// logger's own: Windows-1250, ";" and decimal commas unless the user asked for commas.
// rfc4180 is UTF-8 with "," and decimal points, for programs and English spreadsheets;
// excel is UTF-8 behind a byte order mark with ";" and decimal commas, which Polish and
// German spreadsheets open in columns with numbers as numbers. Neither writes a "sep=" line.
// Headings are quoted where they need it; the values never hold the separator.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kavrel::logger {

enum class CsvDialect { Original, Rfc4180, Excel };

// The dialect of a --dialect name; none when there is no such dialect.
std::optional<CsvDialect> csvDialectNamed(std::string_view name);
// Every dialect's name, for the messages and the help.
std::string csvDialectNames();

// What the file starts with: the byte order mark of excel, nothing else.
std::string dialectPreamble(CsvDialect dialect);
// The heading line (headings in Windows-1250, "Lp" and "Czas RTC" included), ending in a line feed.
std::string dialectHeading(CsvDialect dialect, const std::vector<std::string>& headings);
// A piece of a history line in the program's form (Windows-1250, ",", ".") in the dialect.
std::string dialectText(CsvDialect dialect, std::string_view text);

} // namespace kavrel::logger
