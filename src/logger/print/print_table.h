// What a printout holds: the print file read back, the lines of the chosen period kept,
// and the layout numbers of its pages (page count, title, column positions).
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "common/clock.h"

namespace kavrel::logger {

inline constexpr int kRowsPerPage = 48;

// The heading line of the print file and the data lines kept for the printout, as read
// (Windows-1250, semicolon form, without their line ends).
struct PrintTable {
    std::string heading;
    std::vector<std::string> lines;
    // The longest data field of each column (longestFields), filled by readPrintTable so
    // that the pages need not scan every line again.
    std::vector<std::string> widest;
    // Columns moved apart where their texts would overlap and the table shrunk to the page
    // width where it would run past it (fitColumns); off, every page keeps the positions of
    // columnPositions whatever the texts.
    bool fitToPage = true;
};

enum class [[nodiscard]] PrintReadResult {
    Ok,          // at least one line kept
    CannotOpen,  // "Błąd otwarcia pliku z historią pomiarów!"
    NoData,      // "Brak danych do wydruku"
};

// Reads the print file: the first line is the heading, every following line is kept when
// it lies in the period counted back from `today`. Lines are read whole, however long.
PrintReadResult readPrintTable(const std::filesystem::path& file, int period, const LocalDateTime& today,
                               PrintTable& table);

// The message of a failed read (Windows-1250), "" for Ok.
std::string printReadMessage(PrintReadResult result);

// Pages of 48 data lines each, the last one possibly shorter.
int pageCount(std::size_t keptLines);

// "2025-3-07 9:05:01" style: the moment the printout was read, "%d-%02d-%02d %d:%02d:%02d".
std::string printReadTime(const LocalDateTime& moment);

// "Historia wyników pomiarów (odczytano: <time>, wybrany zakres danych: <period>)".
std::string printTitle(const std::string& readTime, int period);

// The fields of a row, split at ";".
std::vector<std::string> splitFields(std::string_view row);

// Column positions in millimetres from the left margin, one per field of the heading and
// as many as `fields` when a row has more fields than the heading: 0, 8 and 36 for the
// first three, then each column 1.5 mm per character of the heading before it plus 3 mm
// further on. Columns past the heading follow 15 mm apart.
std::vector<int> columnPositions(std::string_view heading, std::size_t fields = 0);

// The longest field (in characters; the first of equals) of each column over `lines`.
std::vector<std::string> longestFields(const std::vector<std::string>& lines);

// Where the columns of a page go when nothing may overlap or leave the page.
struct FittedColumns {
    std::vector<double> positions;   // millimetres from the left margin, at `scale`
    double scale = 1.0;              // the factor applied to the positions and the font height
};

// Every column keeps its distance from the one before it (as columnPositions gives it)
// unless the widest text of that one (textWidths, millimetres at the full font height)
// needs more room: then it starts `gap` mm after that text; so the first three columns
// (number, time, first line) keep their fixed places only where their texts fit. When
// the last column then ends past `available` mm, the distances from the third column on
// and the font shrink by one factor so that it ends there. Where no text overlaps the next column and the table
// fits, the positions are those of columnPositions.
FittedColumns fitColumns(const std::vector<int>& positions, const std::vector<double>& textWidths, double available,
                         double gap);

} // namespace kavrel::logger
