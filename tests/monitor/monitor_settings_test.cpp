// The monitor settings file: 688 bytes at fixed offsets, and what loading does with
// files that are short, foreign or carry texts without terminators.
#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "common/win1250.h"
#include "monitor/monitor_settings.h"
#include "support/file_contents.h"
#include "support/temp_folder.h"

using namespace kavrel;
using namespace kavrel::monitor;
using Bytes = std::vector<std::uint8_t>;

namespace {

class MonitorSettingsFileTest : public ::testing::Test {
protected:
    const kavrel::testing::TempFolder folder;
    const std::filesystem::path file = folder.path / "monitor.cfg";

    Bytes read() const { return kavrel::testing::readFileBytes(file); }
    void write(const Bytes& bytes) const { kavrel::testing::writeFileBytes(file, bytes); }
};

void putText(Bytes& b, std::size_t at, const std::string& text) { std::copy(text.begin(), text.end(), b.begin() + at); }
void put32(Bytes& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

MonitorSettings changedSettings() {
    MonitorSettings s;
    s.comPort = 7;
    s.resultsFile = W("kotłownia.csv");
    s.recordPeriod = 65535;
    s.lineName[0] = W("Zasilanie główne");   // 16 characters, the dialog's longest
    s.lineType = {0, 1, 2, 1, 0, 2, 1, 0};
    s.extName[15] = "Drzwi";
    s.barMin[2] = -40;
    s.barMax[2] = 125;
    return s;
}

bool same(const MonitorSettings& a, const MonitorSettings& b) {
    return a.comPort == b.comPort && a.resultsFile == b.resultsFile && a.recordPeriod == b.recordPeriod &&
           a.lineName == b.lineName && a.lineType == b.lineType && a.extName == b.extName && a.barMin == b.barMin &&
           a.barMax == b.barMax;
}

} // namespace

TEST_F(MonitorSettingsFileTest, DefaultsAreWrittenAt688FixedBytes) {
    ASSERT_EQ(saveMonitorSettings(file, MonitorSettings{}), FileResult::Ok);
    Bytes expected(688, 0);
    putText(expected, 0, "KVRLCFG1");
    put32(expected, 8, 1);
    putText(expected, 12, "test1.csv");
    put32(expected, 76, 5);
    for (int i = 0; i < 8; ++i) putText(expected, 80 + 32 * i, "Linia L" + std::to_string(i + 1));
    EXPECT_EQ(read(), expected);
}

TEST_F(MonitorSettingsFileTest, EveryFieldSurvivesARoundTrip) {
    const MonitorSettings saved = changedSettings();
    ASSERT_EQ(saveMonitorSettings(file, saved), FileResult::Ok);
    const Bytes bytes = read();
    ASSERT_EQ(bytes.size(), 688u);
    EXPECT_EQ(bytes[336 + 4], 1);                 // L2 Temperature
    EXPECT_EQ(bytes[624 + 8], 0xD8);              // L3 minimum -40
    EXPECT_EQ(bytes[624 + 8 + 3], 0xFF);
    EXPECT_EQ(bytes[368 + 15 * 16], 'D');         // XL16's name
    MonitorSettings loaded;
    ASSERT_EQ(loadMonitorSettings(file, loaded), FileResult::Ok);
    EXPECT_TRUE(same(loaded, saved));
}

// A folder or a FIFO is no settings file: refused at once (a FIFO would block a reader),
// and a save over a FIFO is refused too instead of waiting for a reader.
TEST_F(MonitorSettingsFileTest, FoldersAndFifosAreRefused) {
    MonitorSettings settings = changedSettings();
    std::filesystem::create_directory(file);
    EXPECT_EQ(loadMonitorSettings(file, settings), FileResult::OpenFailed);
    std::filesystem::remove(file);
    ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
    EXPECT_EQ(loadMonitorSettings(file, settings), FileResult::OpenFailed);
    EXPECT_NE(saveMonitorSettings(file, settings), FileResult::Ok);
    EXPECT_TRUE(same(settings, changedSettings()));
}

TEST_F(MonitorSettingsFileTest, MissingFileAndForeignMagicLeaveTheSettingsAlone) {
    MonitorSettings settings = changedSettings();
    EXPECT_EQ(loadMonitorSettings(file, settings), FileResult::OpenFailed);

    ASSERT_EQ(saveMonitorSettings(file, MonitorSettings{}), FileResult::Ok);
    const Bytes good = read();
    for (std::size_t at = 0; at < 8; ++at) {
        Bytes bad = good;
        bad[at] ^= 0x20;
        write(bad);
        EXPECT_EQ(loadMonitorSettings(file, settings), FileResult::WrongFormat) << at;
        EXPECT_TRUE(same(settings, changedSettings()));
    }
    for (const Bytes& shortFile : {Bytes{}, Bytes{'K', 'V', 'R', 'L', 'C', 'F', 'G'}}) {
        write(shortFile);
        EXPECT_EQ(loadMonitorSettings(file, settings), FileResult::WrongFormat);
    }
}

TEST_F(MonitorSettingsFileTest, AShortFileFillsOnlyTheFieldsItHoldsWhole) {
    MonitorSettings settings = changedSettings();
    write({'K', 'V', 'R', 'L', 'C', 'F', 'G', '1'});
    EXPECT_EQ(loadMonitorSettings(file, settings), FileResult::Ok);   // the magic alone changes nothing
    EXPECT_TRUE(same(settings, changedSettings()));

    ASSERT_EQ(saveMonitorSettings(file, MonitorSettings{}), FileResult::Ok);
    Bytes bytes = read();
    bytes.resize(78);   // magic, port, file name, half of the period
    write(bytes);
    ASSERT_EQ(loadMonitorSettings(file, settings), FileResult::Ok);
    EXPECT_EQ(settings.comPort, 1);
    EXPECT_EQ(settings.resultsFile, "test1.csv");
    EXPECT_EQ(settings.recordPeriod, 65535);
    EXPECT_EQ(settings.lineName[0], changedSettings().lineName[0]);
}

TEST_F(MonitorSettingsFileTest, UnterminatedTextsStopAtTheEndOfTheirFields) {
    Bytes bytes(688, 'A');
    putText(bytes, 0, "KVRLCFG1");
    put32(bytes, 8, 2);
    put32(bytes, 76, 1);
    write(bytes);
    MonitorSettings settings;
    ASSERT_EQ(loadMonitorSettings(file, settings), FileResult::Ok);
    EXPECT_EQ(settings.resultsFile, std::string(63, 'A'));
    for (const auto& name : settings.lineName) EXPECT_EQ(name, std::string(31, 'A'));
    for (const auto& name : settings.extName) EXPECT_EQ(name, std::string(15, 'A'));
    EXPECT_EQ(settings.barMax[7], 0x41414141);

    // Saved again, every text gets its terminator inside its field.
    ASSERT_EQ(saveMonitorSettings(file, settings), FileResult::Ok);
    const Bytes saved = read();
    EXPECT_EQ(saved[12 + 63], 0);
    EXPECT_EQ(saved[80 + 31], 0);
    EXPECT_EQ(saved[368 + 15], 0);
}

TEST_F(MonitorSettingsFileTest, TooLongTextsAreCutWhenSaved) {
    MonitorSettings settings;
    settings.resultsFile = std::string(100, 'x');
    settings.extName[0] = std::string(40, 'y');
    ASSERT_EQ(saveMonitorSettings(file, settings), FileResult::Ok);
    MonitorSettings loaded;
    ASSERT_EQ(loadMonitorSettings(file, loaded), FileResult::Ok);
    EXPECT_EQ(loaded.resultsFile, std::string(63, 'x'));
    EXPECT_EQ(loaded.extName[0], std::string(15, 'y'));
    EXPECT_EQ(loaded.extName[1], "");

    EXPECT_NE(saveMonitorSettings(file.parent_path() / "brak-katalogu" / "x.cfg", settings), FileResult::Ok);
}
