// The history CSV's dialects opened by a real spreadsheet: LibreOffice, started headless
// under Polish, German and English locales, converts each export meant for that locale;
// every heading is a column of its own and every number of the file a number cell of the
// same value. Skipped, with a message, where LibreOffice is not installed.
#include <gtest/gtest.h>

#include <regex>

#include "logger/export/csv_fields.h"
#include "run_kavrel.h"
#include "support/sim_fixture.h"

namespace kavrel::testing {
namespace {

namespace fs = std::filesystem;

struct Cell {
    std::string type;   // "float", "string", "date", ... ("" empty)
    double value = 0;
};

// The cells of each row of a flat ODS document, repeated cells spelled out.
std::vector<std::vector<Cell>> sheetRows(const std::string& fods) {
    static const std::regex cellPattern(R"(<table:table-cell([^>]*?)(/?)>)");
    static const std::regex typePattern(R"re(office:value-type="([a-z]+)")re"),
        valuePattern(R"re(office:value="([^"]+)")re"), repeatPattern(R"re(table:number-columns-repeated="(\d+)")re");
    std::vector<std::vector<Cell>> rows;
    for (std::size_t at = fods.find("<table:table-row"); at != std::string::npos;
         at = fods.find("<table:table-row", at + 1)) {
        const std::size_t end = fods.find("</table:table-row>", at);
        const std::string row = fods.substr(at, end - at);
        std::vector<Cell> cells;
        for (auto it = std::sregex_iterator(row.begin(), row.end(), cellPattern); it != std::sregex_iterator(); ++it) {
            const std::string attributes = (*it)[1];
            std::smatch m;
            Cell cell;
            if (std::regex_search(attributes, m, typePattern)) cell.type = m[1];
            if (std::regex_search(attributes, m, valuePattern)) cell.value = std::stod(m[1]);
            const int repeat = std::regex_search(attributes, m, repeatPattern) ? std::stoi(m[1]) : 1;
            cells.insert(cells.end(), std::min(repeat, 64), cell);
        }
        while (!cells.empty() && cells.back().type.empty()) cells.pop_back();
        rows.push_back(std::move(cells));
    }
    return rows;
}

// A plain decimal number in the file's form: what a spreadsheet must type as a number.
std::optional<double> plainNumber(std::string text, char decimal) {
    static const std::regex number(R"(-?\d+([.,]\d+)?)");
    if (!std::regex_match(text, number) || (text.find_first_of(".,") != std::string::npos &&
                                           text[text.find_first_of(".,")] != decimal))
        return std::nullopt;
    std::replace(text.begin(), text.end(), ',', '.');
    return std::stod(text);
}

struct Case {
    const char* dialect;
    const char* locale;
    char separator;
    char decimal;
};

TEST(KavrelSpreadsheet, EachDialectOpensInColumnsWithNumbersAsNumbers) {
    if (runShellCommand("command -v soffice >/dev/null 2>&1").exitCode != 0)
        GTEST_SKIP() << "soffice (libreoffice-calc-nogui, scripts/setup) is not installed: the spreadsheet matrix is not run";
    sim::SimOptions options;
    options.memory.records = 200;
    SimFixture sim(options);
    const TempFolder temp;
    const fs::path db = temp.path / "a.db";
    ASSERT_EQ(runKavrel("--tcp 127.0.0.1:" + std::to_string(sim.port()) + " logger archive update " + db.string(), "",
                        temp.path).exitCode, 0);
    for (const Case& c : {Case{"excel", "pl_PL", ';', ','}, Case{"excel", "de_DE", ';', ','},
                          Case{"rfc4180", "en_US", ',', '.'}}) {
        SCOPED_TRACE(std::string(c.dialect) + " " + c.locale);
        const std::string name = std::string(c.dialect) + "_" + c.locale;
        ASSERT_EQ(runKavrel("logger archive export " + db.string() + " --dialect " + c.dialect + " -o " +
                                (temp.path / name).string(), "", temp.path).exitCode, 0);
        std::string text = readWholeFile(temp.path / (name + ".csv"));
        EXPECT_EQ(text.starts_with("\xEF\xBB\xBF"), std::string(c.dialect) == "excel");
        EXPECT_EQ(text.find("sep="), std::string::npos);
        // The separator and the character set are what a user picks; the numbers follow the locale.
        const std::string command = "LC_ALL=" + std::string(c.locale) + ".UTF-8 LANG=" + c.locale +
                                    ".UTF-8 soffice -env:UserInstallation=file://" + (temp.path / "lo").string() +
                                    " --headless --infilter=CSV:" + std::to_string(int(c.separator)) +
                                    ",34,76,1 --convert-to fods --outdir " + temp.path.string() + " " +
                                    (temp.path / (name + ".csv")).string() + " >/dev/null 2>&1";
        ASSERT_EQ(runShellCommand(command).exitCode, 0);
        const auto rows = sheetRows(readWholeFile(temp.path / (name + ".fods")));

        if (text.starts_with("\xEF\xBB\xBF")) text.erase(0, 3);
        logger::CsvReader reader(text, c.separator);
        std::vector<std::string> fields;
        std::size_t row = 0, numbers = 0;
        for (; reader.next(fields) && row < rows.size(); ++row) {
            if (fields.size() == 1 && fields[0].empty()) break;
            if (row == 0) {
                EXPECT_EQ(rows[0].size(), fields.size()) << "headings in columns of their own";
                continue;
            }
            for (std::size_t i = 0; i < fields.size(); ++i) {
                const auto expected = plainNumber(fields[i], c.decimal);
                if (!expected) continue;
                ++numbers;
                ASSERT_LT(i, rows[row].size()) << "row " << row;
                EXPECT_EQ(rows[row][i].type, "float") << "row " << row << " column " << i << ": " << fields[i];
                EXPECT_DOUBLE_EQ(rows[row][i].value, *expected) << "row " << row << " column " << i << ": " << fields[i];
            }
        }
        EXPECT_GT(row, 40u);
        EXPECT_GT(numbers, 400u);
    }
}

} // namespace
} // namespace kavrel::testing
