// The names of the two files an export writes.
#pragma once

#include <filesystem>

namespace kavrel::logger {

// The temporary history a download for printing writes in the working folder.
inline constexpr const char* kPrintFileName = "kavrellogger_tmp.csv";

// The chosen name, with ".csv" added unless it holds ".csv" or ".CSV" already:
// wyniki gives wyniki.csv, Wyniki.CSV and a.csv.old stay as they are.
std::filesystem::path csvFileName(const std::filesystem::path& chosen);

// The CSV name in lower case with every ".csv" replaced by ".html": Pomiary.CSV gives
// pomiary.html, a.csv.old gives a.html.old. Only the file's own name changes, never
// the folder it is in.
std::filesystem::path htmlFileName(const std::filesystem::path& csvName);

} // namespace kavrel::logger
