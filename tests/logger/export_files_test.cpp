#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "common/win1250.h"
#include "logger/export/export_files.h"
#include "logger/export/export_formats.h"
#include "logger/export/export_names.h"
#include "logger/record_builder.h"
#include "support/file_contents.h"
#include "support/recording_observer.h"
#include "support/temp_folder.h"

using namespace kavrel::logger;
using namespace kavrel::logger::testing;
using kavrel::testing::TempFolder;
using kavrel::W;
namespace fs = std::filesystem;

namespace {


// Windows line ends for an expected text written with "\n".
std::string crlf(std::string_view text) {
    std::string out;
    for (char c : text) out += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return out;
}

constexpr LineConfiguration kLines = {0x42, 0xC2, 0, 0, 0, 0, 0, 0};  // L1 voltage, L2 temperature
const kavrel::LocalDateTime kGenerated{2025, 3, 8, 7, 4, 3};

const std::string kHtmlHead = crlf(W(
    "<HTML><HEAD>\n<TITLE>Log zdarzeń</TITLE>\n"
    "<META NAME=\"Generator\" CONTENT=\"Kavrel Logger\">\n"
    "<meta content=\"text/html; charset=Windows-1250\" http-equiv=\"content-type\">\n"
    "</HEAD>\n\n<BODY>\n"
    "<FONT SIZE=\"5\" COLOR=\"blue\"><B>Log zdarzeń z Kavrel (wygenerowany: 2025-03-08 7:04:03)</B></FONT><br>\n\n"
    "<TABLE style=\"text-align: left; font-family: Arial;\" border=\"2\">\n<TR>\n"
    "<TD><B>Lp </B></TD>\t<TD><B>Czas </B></TD>\t<TD><B>Zdarzenie </B></TD>\t<TD><B>Parametr </B></TD>\t"
    "<TD><B>Tz </B></TD><TD><B>A1 </B></TD><TD><B>A2</B></TD><TD><B>A3</B></TD><TD><B>Poprawność</B></TD>\n"
    "</TR>\n"));

struct ExportFilesTest : ::testing::Test {
    TempFolder temp;
    const fs::path& folder = temp.path;
    LineDescriptions descriptions;

    ExportFilesTest() {
        for (std::size_t n = 2; n < 16; ++n) descriptions.lines[8 + n].kindOverride = kRemovedLine;  // XL1, XL2 only
    }

    // Creates the files and writes both heads, as the export does before the download.
    void begin(ExportFiles& e, bool extendedLines = true) {
        ASSERT_EQ(e.create(folder / "Wyniki.CSV", folder / "wyniki.html"), ExportFiles::CreateResult::FilesCreated);
        e.writeHeaders({kLines, extendedLines, false}, kGenerated);
        e.downloadStarted();
    }

    // A small memory: events, measurements with and without their extended record, a CRC error.
    void feed(ExportFiles& e) {
        e.eventRecord(eventRecord({.number = 1, .time = {2025, 3, 7, 9, 0, 0}, .code = 1, .p1 = 1,
                                   .text = "Restart & <test>"}), true);
        Measurement p2{.number = 2, .time = {2025, 3, 7, 9, 5, 1}};
        p2.values[0] = 12345;
        p2.values[1] = static_cast<std::uint16_t>(-200);
        p2.low = 0x01, p2.outputs = 0x02, p2.gsm = 0x80 | 15, p2.sms = 3, p2.flags = 0x03, p2.email = 1, p2.xlState = 5;
        e.historyRecord(measurementRecord(p2), true);
        std::array<std::uint16_t, 16> xl{};
        xl[0] = 3300;
        xl[1] = 50;
        e.historyRecord(extendedRecord(0x00, xl), true);
        Measurement p3{.number = 3, .time = {2025, 3, 7, 9, 20, 1}};
        p3.values[0] = 5000;
        p3.values[1] = 215;
        e.historyRecord(measurementRecord(p3), true);
        e.eventRecord(eventRecord({.number = 4, .time = {2025, 3, 7, 9, 30, 0}, .code = 5, .p1 = 2, .text = "23.5'C"}),
                      true);
        e.historyRecord(measurementRecord({.number = 5, .time = {2025, 3, 7, 9, 35, 1}}), false);
        e.historyRecord(extendedRecord(0x80, {}), false);
    }

    const std::string kRows = crlf(
        "<TR>\n<TD>1 </TD><TD>2025-03-07  9:00:00</TD>"
        "<TD> <FONT COLOR=\"red\"><B>START programu (PWR)</B></FONT> </TD>"
        "<TD>Restart &amp; &lt;test&gt; </TD><TD>1 </TD><TD>1 </TD><TD>0 </TD><TD>0</TD> <TD> 1 </TD>\n</TR>\n"
        "<TR>\n<TD>4 </TD><TD>2025-03-07  9:30:00</TD><TD> Normalny poziom (T2) </TD>"
        "<TD>23.5&deg;C </TD><TD>5 </TD><TD>2 </TD><TD>0 </TD><TD>0</TD> <TD> 1 </TD>\n</TR>\n");
};

} // namespace

TEST_F(ExportFilesTest, CompleteDownloadInTheSemicolonForm) {
    ExportFiles e(descriptions, false, false);
    begin(e);
    feed(e);
    e.downloadEnded(DownloadEnd::Complete);
    EXPECT_EQ(e.invalidRecords(), 1);
    EXPECT_FALSE(e.writeFailed());

    EXPECT_EQ(kavrel::testing::readWholeFile(folder / "Wyniki.CSV"),
              W("Lp;Czas RTC;L1 [V];T2 [°C];LOW;HIGH;Wyjścia;GSM;Roaming;SMS;E-mail;Alarmowy;Czuwanie;Flagi;Stan_XL;"
                "Poprawność;XL1;XL2\r\n") +
                  "2;2025-03-07  9:05:01;12,345;-20,0;1 ;;2 ;15;0;3;1;1;1;3;5;1;3,300;0,050\r\n"
                  "3;2025-03-07  9:20:01;5,000;21,5;;;;0;0;0;0;0;0;0;0;1\r\n"
                  "5;2025-03-07  9:35:01;0,000;0,0;;;;0;0;0;0;0;0;0;0;0\r\n");
    EXPECT_EQ(kavrel::testing::readWholeFile(folder / "wyniki.html"), kHtmlHead + kRows + "\r\n</TABLE>\r\n</BODY>\r\n</HTML>\r\n");
}

TEST_F(ExportFilesTest, CommasKeptWhenChosen) {
    descriptions.fullExport = 0;
    ExportFiles e(descriptions, false, true);
    begin(e, false);
    feed(e);
    e.downloadEnded(DownloadEnd::Complete);
    // Reduced columns, no XL headings although extended values arrive.
    EXPECT_EQ(kavrel::testing::readWholeFile(folder / "Wyniki.CSV"),
              W("Lp,Czas RTC,L1 [V],T2 [°C],GSM,SMS,Alarmowy,Poprawność\r\n") +
                  "2,2025-03-07  9:05:01,12.345,-20.0,15,3,1,1,3.300,0.050\r\n"
                  "3,2025-03-07  9:20:01,5.000,21.5,0,0,0,1\r\n"
                  "5,2025-03-07  9:35:01,0.000,0.0,0,0,0,0\r\n");
}

TEST_F(ExportFilesTest, PrintModeIsReducedAndSemicolonWhateverTheSettingsSay) {
    ExportFiles e(descriptions, true, true);
    EXPECT_FALSE(e.full());
    begin(e, false);
    feed(e);
    e.downloadEnded(DownloadEnd::Complete);
    const std::string csv = kavrel::testing::readWholeFile(folder / "Wyniki.CSV");
    EXPECT_EQ(csv.substr(0, csv.find('\r')), W("Lp;Czas RTC;L1 [V];T2 [°C];GSM;SMS;Alarmowy;Poprawność"));
    EXPECT_NE(csv.find("\r\n3;2025-03-07  9:20:01;5,000;21,5;0;0;0;1\r\n"), std::string::npos);
}

TEST_F(ExportFilesTest, FailedDownloadLeavesTheTableOpen) {
    ExportFiles e(descriptions, false, false);
    begin(e);
    feed(e);
    e.downloadEnded(DownloadEnd::Failed);
    EXPECT_EQ(kavrel::testing::readWholeFile(folder / "wyniki.html"), kHtmlHead + kRows);
}

TEST_F(ExportFilesTest, EventsOnlyGiveTheHeaderLineAlone) {
    ExportFiles e(descriptions, false, false);
    begin(e, false);
    e.eventRecord(eventRecord({.number = 9, .code = 40}), true);
    e.downloadEnded(DownloadEnd::Complete);
    EXPECT_EQ(kavrel::testing::readWholeFile(folder / "Wyniki.CSV"),
              W("Lp;Czas RTC;L1 [V];T2 [°C];LOW;HIGH;Wyjścia;GSM;Roaming;SMS;E-mail;Alarmowy;Czuwanie;Flagi;"
                "Stan_XL;Poprawność\r\n"));
    EXPECT_NE(kavrel::testing::readWholeFile(folder / "wyniki.html").find("<TD> Inne zdarzenie (kod 40) </TD>"), std::string::npos);
}

TEST_F(ExportFilesTest, ALastMeasurementWithoutExtendedRecordLacksItsLineEnd) {
    ExportFiles e(descriptions, false, false);
    begin(e, false);
    e.historyRecord(measurementRecord({.number = 1, .time = {2025, 1, 1, 0, 0, 0}}), true);
    e.downloadEnded(DownloadEnd::Complete);
    const std::string csv = kavrel::testing::readWholeFile(folder / "Wyniki.CSV");
    EXPECT_EQ(csv.substr(csv.rfind('\n') + 1), "1;2025-01-01  0:00:00;0,000;0,0;;;;0;0;0;0;0;0;0;0;1");
}

TEST_F(ExportFilesTest, ASecondDownloadStartsWithAClosedLine) {
    ExportFiles e(descriptions, false, false);
    begin(e, false);
    e.historyRecord(measurementRecord({.number = 1}), false);
    e.downloadStarted();
    EXPECT_EQ(e.invalidRecords(), 0);
    e.historyRecord(measurementRecord({.number = 2, .time = {2025, 1, 1, 0, 0, 0}}), true);
    e.downloadEnded(DownloadEnd::Complete);
    EXPECT_NE(kavrel::testing::readWholeFile(folder / "Wyniki.CSV").find("0;0;0;0;0;02;2025"), std::string::npos);  // no line end between
}

TEST_F(ExportFilesTest, AnEarlierCompleteFileStaysUntilTheNewOneIsCompleteAndAFailedOneIsKeptBeside) {
    const auto write = [](const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; };
    const auto download = [&](DownloadEnd end, kavrel::testing::RecordingObserver* observer) {
        ExportFiles e(descriptions, false, false);
        e.setObserver(observer);
        const bool earlier = fs::exists(folder / "w.csv");
        const std::string before = earlier ? kavrel::testing::readWholeFile(folder / "w.csv") : "";
        EXPECT_EQ(e.create(folder / "w.csv", folder / "w.html"), ExportFiles::CreateResult::FilesCreated);
        e.writeHeaders({kLines, false, false}, kGenerated);
        e.historyRecord(measurementRecord({.number = 7}), true);
        EXPECT_EQ(fs::exists(folder / "w.csv"), earlier);   // untouched while it runs
        EXPECT_EQ(earlier ? kavrel::testing::readWholeFile(folder / "w.csv") : "", before);
        e.downloadEnded(end);
    };
    write(folder / "w.csv", "earlier");
    write(folder / "w.html", "earlier");
    kavrel::testing::RecordingObserver observer;
    download(DownloadEnd::Failed, &observer);
    EXPECT_EQ(kavrel::testing::readWholeFile(folder / "w.csv"), "earlier");
    EXPECT_EQ(kavrel::testing::readWholeFile(folder / "w.html"), "earlier");
    const fs::path partialCsv = partialFileName(folder / "w.csv");
    EXPECT_EQ(partialCsv.filename().string(), "w (niepełny).csv");
    EXPECT_TRUE(kavrel::testing::readWholeFile(partialCsv).starts_with("Lp;Czas RTC;"));
    EXPECT_TRUE(fs::exists(partialFileName(folder / "w.html")));
    ASSERT_EQ(observer.only("message[warning]").size(), 1u);
    EXPECT_NE(observer.calls.back().find(partialCsv.string()), std::string::npos) << observer.calls.back();

    download(DownloadEnd::Complete, nullptr);
    EXPECT_TRUE(kavrel::testing::readWholeFile(folder / "w.csv").starts_with("Lp;Czas RTC;"));
    EXPECT_TRUE(kavrel::testing::readWholeFile(folder / "w.html").ends_with("</HTML>\r\n"));
    // Without earlier files a failed download's files take the names, as they always did.
    fs::remove(folder / "w.csv");
    fs::remove(folder / "w.html");
    download(DownloadEnd::Failed, nullptr);
    EXPECT_TRUE(kavrel::testing::readWholeFile(folder / "w.csv").starts_with("Lp;Czas RTC;"));
    int files = 0;
    for (const auto& entry : fs::directory_iterator(folder)) files += entry.path().extension() == ".tmp" ? 100 : 1;
    EXPECT_EQ(files, 4);   // w.csv, w.html and the two kept beside; no temporaries left
}

TEST_F(ExportFilesTest, FilesThatCannotBeCreated) {
    ExportFiles e(descriptions, false, false);
    EXPECT_EQ(e.create(folder / "missing" / "a.csv", folder / "a.html"), ExportFiles::CreateResult::CsvNotCreated);
    fs::create_directories(folder / "b.html");  // a folder where the HTML file should go
    EXPECT_EQ(e.create(folder / "b.csv", folder / "b.html"), ExportFiles::CreateResult::HtmlNotCreated);
    EXPECT_TRUE(fs::exists(folder / "b.csv"));
    EXPECT_EQ(fs::file_size(folder / "b.csv"), 0u);
}

TEST(TextOutput, LineFeedsBecomeCrLfAndAFullDiskIsNoticed) {
    TempFolder temp;
    const fs::path path = temp.path / "text-output.txt";
    TextOutput out;
    ASSERT_EQ(out.create(path), kavrel::FileResult::Ok);
    out.write("a\nb");
    out.write("\n\nc");
    EXPECT_TRUE(out.commit());
    EXPECT_EQ(kavrel::testing::readWholeFile(path), "a\r\nb\r\n\r\nc");

    if (!fs::exists("/dev/full")) GTEST_SKIP();
    ASSERT_EQ(out.create("/dev/full"), kavrel::FileResult::Ok);
    out.write(std::string(100000, 'x'));
    EXPECT_FALSE(out.close());
}

// Whatever a row of the format table makes, its sink writes exactly the files it names,
// each with its head, and leaves no temporary behind.
TEST_F(ExportFilesTest, EveryFormatWritesTheFilesItNamesAndNothingElse) {
    for (const ExportFormatRow& row : exportFormats()) {
        const fs::path where = folder / std::to_string(static_cast<int>(row.format));
        fs::create_directories(where);
        const std::unique_ptr<ExportSink> sink = row.make(descriptions, {});
        ASSERT_TRUE(sink);
        ASSERT_EQ(sink->createFiles(where / "eksport"), "");
        sink->writeHeaders({kLines, true, false}, kGenerated);
        sink->downloadStarted();
        sink->downloadEnded(DownloadEnd::Complete);
        EXPECT_FALSE(sink->writeFailed());
        std::vector<fs::path> named = sink->files(), found;
        for (const auto& entry : fs::directory_iterator(where)) found.push_back(entry.path());
        std::sort(named.begin(), named.end());
        std::sort(found.begin(), found.end());
        EXPECT_EQ(found, named);
        // Line protocol and JSON Lines have no head: without records their file is empty.
        const bool headless = row.format == ExportFormat::LineProtocol || row.format == ExportFormat::JsonLines;
        for (const fs::path& file : named) EXPECT_EQ(fs::file_size(file) > 0u, !headless) << file;
    }
}
