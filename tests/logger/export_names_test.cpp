#include <gtest/gtest.h>

#include "common/file_names.h"
#include "logger/export/export_names.h"

using namespace kavrel;
using namespace kavrel::logger;

TEST(ExportNames, CsvAndHtmlNamesFromTheChosenName) {
    struct Case { const char* chosen; const char* csv; const char* html; };
    const Case cases[] = {
        {"wyniki", "wyniki.csv", "wyniki.html"},
        {"Wyniki.CSV", "Wyniki.CSV", "wyniki.html"},
        {"Pomiary.csv", "Pomiary.csv", "pomiary.html"},
        {"a.csv.old", "a.csv.old", "a.html.old"},
        {"x.Csv", "x.Csv.csv", "x.html.html"},       // only ".csv" and ".CSV" count as the extension
        {"dane.txt", "dane.txt.csv", "dane.txt.html"},
        {"A.CSV.csv", "A.CSV.csv", "a.html.html"},   // every ".csv" is replaced
        {"Dane/Maj.CSV", "Dane/Maj.CSV", "Dane/maj.html"},  // the folder keeps its name
        {"/tmp/Pomiary.CSV.d/wyniki", "/tmp/Pomiary.CSV.d/wyniki.csv", "/tmp/Pomiary.CSV.d/wyniki.html"},
    };
    for (const auto& c : cases) {
        const auto csv = csvFileName(c.chosen);
        EXPECT_EQ(csv, c.csv) << c.chosen;
        EXPECT_EQ(htmlFileName(csv), c.html) << c.chosen;
    }
    EXPECT_EQ(htmlFileName(csvFileName(kPrintFileName)), "kavrellogger_tmp.html");
}

// Polish letters, whole in both names on every system (Windows keeps them as UTF-16): only
// the ASCII letters of the name are lowered.
TEST(ExportNames, PolishLettersStayWhole) {
    struct Case { const char* chosen; const char* csv; const char* html; };
    const Case cases[] = {
        {"pomiary_środa", "pomiary_środa.csv", "pomiary_środa.html"},
        {"Pomiary_ŚRODA.CSV", "Pomiary_ŚRODA.CSV", "pomiary_Środa.html"},
        {"Użytkownicy/Michał/Łódź", "Użytkownicy/Michał/Łódź.csv", "Użytkownicy/Michał/Łódź.html"},
    };
    for (const auto& c : cases) {
        const auto csv = csvFileName(pathFromUtf8(c.chosen));
        EXPECT_EQ(pathToUtf8(csv), pathToUtf8(pathFromUtf8(c.csv))) << c.chosen;
        EXPECT_EQ(pathToUtf8(htmlFileName(csv)), pathToUtf8(pathFromUtf8(c.html))) << c.chosen;
    }
}
