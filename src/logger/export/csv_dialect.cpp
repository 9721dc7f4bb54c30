#include "logger/export/csv_dialect.h"

#include <array>

#include "common/win1250.h"
#include "logger/export/csv_fields.h"
#include "logger/export/csv_form.h"

namespace kavrel::logger {
namespace {

struct DialectRow {
    CsvDialect dialect;
    const char* name;
};
constexpr std::array kDialects = {
    DialectRow{CsvDialect::Original, "original"},
    DialectRow{CsvDialect::Rfc4180, "rfc4180"},
    DialectRow{CsvDialect::Excel, "excel"},
};

char separatorOf(CsvDialect dialect) { return dialect == CsvDialect::Excel ? ';' : ','; }

} // namespace

std::optional<CsvDialect> csvDialectNamed(std::string_view name) {
    for (const DialectRow& row : kDialects)
        if (name == row.name) return row.dialect;
    return std::nullopt;
}

std::string csvDialectNames() {
    std::string names;
    for (const DialectRow& row : kDialects) names += std::string(names.empty() ? "" : ", ") + row.name;
    return names;
}

std::string dialectPreamble(CsvDialect dialect) { return dialect == CsvDialect::Excel ? "\xEF\xBB\xBF" : ""; }

std::string dialectHeading(CsvDialect dialect, const std::vector<std::string>& headings) {
    std::vector<std::string> texts;
    for (const std::string& heading : headings) texts.push_back(cp1250::toUtf8(heading));
    return csvLine(texts, separatorOf(dialect)) + "\n";
}

std::string dialectText(CsvDialect dialect, std::string_view text) {
    // The values are numbers, times and bit lists: no separator or quote to escape.
    return cp1250::toUtf8(dialect == CsvDialect::Excel ? toSemicolonForm(text) : std::string(text));
}

} // namespace kavrel::logger
