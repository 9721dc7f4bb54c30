#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "common/win1250.h"
#include "logger/export/prepare_export.h"
#include "support/file_contents.h"
#include "support/temp_folder.h"
#include "logger_sim.h"

using namespace kavrel;
using namespace kavrel::logger;
using kavrel::testing::LoggerSim;
using kavrel::testing::memoryOf;
namespace fs = std::filesystem;

namespace {


std::string firstLine(const fs::path& path) {
    const std::string text = kavrel::testing::readWholeFile(path);
    return cp1250::toUtf8(text.substr(0, text.find("\r\n")));
}

struct PrepareExportTest : ::testing::Test {
    kavrel::testing::TempFolder temp;
    const fs::path& folder = temp.path;
    LineDescriptions descriptions;
    FixedClock clock{{2025, 3, 8, 17, 4, 3}};
    fs::path exportFileName;
    std::vector<fs::path> offered;

    ExportRequest request(std::optional<fs::path> chosen) {
        return {.folder = folder, .chooseFile = [this, chosen](const fs::path& last) {
                    offered.push_back(last);
                    return chosen;
                }};
    }
};

} // namespace

TEST_F(PrepareExportTest, WritesBothHeadsUnderTheChosenNames) {
    LoggerSim t(memoryOf(20));
    ASSERT_EQ(connectSession(t.session), StatusResult::Ok);
    exportFileName = folder / "Maj.CSV";
    auto files = prepareExport(t.session, request(folder / "Wyniki"), descriptions, clock, exportFileName);
    ASSERT_TRUE(files);
    EXPECT_EQ(offered, std::vector<fs::path>{folder / "Maj.CSV"});
    EXPECT_EQ(exportFileName, folder / "Wyniki");
    files->downloadEnded(DownloadEnd::Complete);

    EXPECT_EQ(firstLine(folder / "Wyniki.csv"),
              "Lp;Czas RTC;L1 [V];T2 [°C];RH3 [%];U4 [];L5 [V];L6 [V];LOW;HIGH;Wyjścia;GSM;Roaming;SMS;E-mail;"
              "Alarmowy;Czuwanie;Flagi;Stan_XL;Poprawność;XL1;XL2;XL3;XL4;XL5;XL6;XL7;XL8;XL9;XL10;XL11;XL12;XL13;"
              "XL14;XL15;XL16");
    const std::string html = kavrel::testing::readWholeFile(folder / "wyniki.html");
    EXPECT_NE(html.find("(wygenerowany: 2025-03-08 17:04:03)"), std::string::npos);
    EXPECT_EQ(html.substr(html.size() - 9), "</HTML>\r\n");
    EXPECT_TRUE(t.link.isOpen());
    EXPECT_EQ(t.observer.only("message"), std::vector<std::string>{});
}

TEST_F(PrepareExportTest, PrintModeWritesTheTemporaryFileWithoutAsking) {
    LoggerSim t(memoryOf(20));
    ASSERT_EQ(connectSession(t.session), StatusResult::Ok);
    auto req = request(std::nullopt);
    req.printMode = true;
    req.separateComma = true;
    auto files = prepareExport(t.session, req, descriptions, clock, exportFileName);
    ASSERT_TRUE(files);
    EXPECT_TRUE(offered.empty());
    files->downloadEnded(DownloadEnd::Complete);
    EXPECT_EQ(exportFileName, folder / "kavrellogger_tmp.csv");
    EXPECT_TRUE(fs::exists(folder / "kavrellogger_tmp.html"));
    EXPECT_EQ(firstLine(folder / "kavrellogger_tmp.csv"),
              "Lp;Czas RTC;L1 [V];T2 [°C];RH3 [%];U4 [];L5 [V];L6 [V];GSM;SMS;Alarmowy;Poprawność;XL1;XL2;XL3;XL4;XL5;"
              "XL6;XL7;XL8;XL9;XL10;XL11;XL12;XL13;XL14;XL15;XL16");
}

TEST_F(PrepareExportTest, NothingHappensWithoutALinkRecordsOrAName) {
    LoggerSim t(memoryOf(0));
    EXPECT_FALSE(prepareExport(t.session, request(folder / "a"), descriptions, clock, exportFileName));
    ASSERT_EQ(connectSession(t.session), StatusResult::Ok);
    EXPECT_FALSE(prepareExport(t.session, request(folder / "a"), descriptions, clock, exportFileName));
    EXPECT_EQ(t.observer.only("message"), (std::vector<std::string>{
                                               "message[warning]: Brak połączenia z modułem!",
                                               "message[warning]: Brak danych do odczytania z modułu"}));
    EXPECT_TRUE(offered.empty());

    LoggerSim u(memoryOf(3));
    ASSERT_EQ(connectSession(u.session), StatusResult::Ok);
    exportFileName = "poprzedni";
    EXPECT_FALSE(prepareExport(u.session, request(std::nullopt), descriptions, clock, exportFileName));
    EXPECT_EQ(exportFileName, "poprzedni");  // a cancelled dialog keeps the last name
    EXPECT_TRUE(fs::is_empty(folder));
    EXPECT_EQ(u.observer.only("message"), std::vector<std::string>{});
}

TEST_F(PrepareExportTest, FilesThatCannotBeCreatedStopWithTheirMessage) {
    LoggerSim t(memoryOf(3));
    ASSERT_EQ(connectSession(t.session), StatusResult::Ok);
    EXPECT_FALSE(prepareExport(t.session, request(folder / "brak" / "a.csv"), descriptions, clock, exportFileName));
    fs::create_directories(folder / "b.html");
    EXPECT_FALSE(prepareExport(t.session, request(folder / "b"), descriptions, clock, exportFileName));
    EXPECT_EQ(t.observer.only("message"), (std::vector<std::string>{
                                               "message[warning]: Błąd otwarcia pliku CSV do zapisu.",
                                               "message[warning]: Błąd otwarcia pliku HTML do zapisu."}));
    EXPECT_EQ(fs::file_size(folder / "b.csv"), 0u);
    EXPECT_TRUE(t.link.isOpen());
}
