#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <iterator>

#include "logger/descriptions/line_descriptions.h"
#include "support/file_contents.h"
#include "support/temp_folder.h"

using namespace kavrel::logger;
using kavrel::testing::TempFolder;
using kavrel::testing::writeWholeFile;
namespace fs = std::filesystem;

namespace {

// A text file as a user writes it: the magic word, blank lines, two comment lines, entries.
std::string textFile(const std::vector<std::string>& entries) {
    std::string text = "Kavrel\r\n\r\n; typ,x,y,nazwa\r\n; L1..L8, XL1..XL16\r\n";
    for (const auto& e : entries) text += e + "\r\n";
    return text;
}

} // namespace

TEST(DescriptionText, EntriesWithNumbersAndNames) {
    const auto table = parseDescriptionText(textFile({
        "1,10,20,Zbiornik",
        "255,0,0,Nieużywana",
        "2, -3 ,4,Temp, zewnętrzna",        // a comma in the name stays in the name
        "3,5",                              // fewer than three commas: no name
        "0,0,0,ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789",  // cut to 31 characters
        "x,1,2,Bez liczb",                  // the numbers stop scanning at the first failure
    }));
    ASSERT_TRUE(table);
    EXPECT_TRUE(table->loadedFromText);
    EXPECT_EQ(table->fullExport, 1);
    EXPECT_EQ(table->lines[0], (LineDescription{1, 10, 20, "Zbiornik"}));
    EXPECT_EQ(table->lines[1], (LineDescription{255, 0, 0, "Nieużywana"}));
    EXPECT_EQ(table->lines[2], (LineDescription{2, -3, 0, "Temp, zewnętrzna"}));
    EXPECT_EQ(table->lines[3], (LineDescription{3, 5, 0, ""}));
    EXPECT_EQ(table->lines[4].name, "ABCDEFGHIJKLMNOPQRSTUVWXYZ01234");
    EXPECT_EQ(table->lines[5], (LineDescription{0, 0, 0, "Bez liczb"}));
    EXPECT_EQ(table->lines[23], LineDescription{});  // missing lines stay cleared
}

TEST(DescriptionText, ACommaBeyondTheFirstHundredCharactersDoesNotStartAName) {
    const std::string longLine = "1,2" + std::string(100, ' ') + ",Nazwa";
    const auto table = parseDescriptionText(textFile({longLine, "4,0,0,Drzwi"}));
    ASSERT_TRUE(table);
    EXPECT_EQ(table->lines[0].name, "");
    EXPECT_EQ(table->lines[1], (LineDescription{4, 0, 0, "Drzwi"}));  // the next entry is not shifted
}

TEST(DescriptionText, AForeignFirstWordIsIgnored) {
    EXPECT_FALSE(parseDescriptionText("Kavrel2\r\n"));
    EXPECT_FALSE(parseDescriptionText(""));
    EXPECT_TRUE(parseDescriptionText("  \r\n Kavrel"));
}

TEST(DescriptionData, WrittenBytesAndReadBack) {
    LineDescriptions table;
    table.lines[0] = {1, -2, 3, "Zbiornik"};
    table.lines[23] = {255, 0, 0, std::string(40, 'N')};
    const auto data = descriptionData(table);
    ASSERT_EQ(data.size(), kDescriptionDataSize);
    EXPECT_EQ(std::string(data.begin(), data.begin() + 8), "KVRL-Log");
    EXPECT_EQ(std::vector<std::uint8_t>(data.begin() + 8, data.begin() + 16), std::vector<std::uint8_t>(8, 0));
    const std::vector<std::uint8_t> entry0 = {1, 0, 0, 0, 0xFE, 0xFF, 0xFF, 0xFF, 3, 0, 0, 0, 0, 0, 0, 0,
                                              'Z', 'b', 'i', 'o', 'r', 'n', 'i', 'k', 0};
    EXPECT_EQ(std::vector<std::uint8_t>(data.begin() + 16, data.begin() + 16 + entry0.size()), entry0);
    EXPECT_EQ(data[16 + 23 * 48 + 16 + 30], 'N');
    EXPECT_EQ(data[16 + 23 * 48 + 16 + 31], 0);  // the name stays terminated

    const auto back = parseDescriptionData(data);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->fullExport, 0);
    EXPECT_EQ(back->lines[0], table.lines[0]);
    EXPECT_EQ(back->lines[23].name, std::string(31, 'N'));
}

TEST(DescriptionData, WrongMagicOrShortFile) {
    auto data = descriptionData({});
    data[0] = 'k';
    EXPECT_FALSE(parseDescriptionData(data));

    const std::vector<std::uint8_t> magicOnly = {'K', 'V', 'R', 'L', '-', 'L', 'o', 'g', 0, 0, 0, 0, 0, 0};
    const auto partial = parseDescriptionData(magicOnly);
    ASSERT_TRUE(partial);
    EXPECT_EQ(partial->fullExport, 1);  // fewer than four bytes of the flag: kept

    std::vector<std::uint8_t> unterminated(kDescriptionDataSize, 'A');
    std::copy_n("KVRL-Log", 8, unterminated.begin());
    EXPECT_EQ(parseDescriptionData(unterminated)->lines[0].name, std::string(31, 'A'));
}

TEST(LoadDescriptions, WrdatSavesTheTextTableAndTheNextStartReadsItReduced) {
    TempFolder folder;
    writeWholeFile(folder.path / kDescriptionTextFile, textFile({"1,0,0,Wilgotność"}));

    const auto first = loadLineDescriptions(folder.path, false);
    EXPECT_EQ(first.lines[0].name, "Wilgotność");
    EXPECT_EQ(first.fullExport, 1);
    EXPECT_FALSE(fs::exists(folder.path / kDescriptionDataFile));

    bool failed = true;
    loadLineDescriptions(folder.path, true, &failed);
    EXPECT_FALSE(failed);
    EXPECT_EQ(kavrel::testing::readFileBytes(folder.path / kDescriptionDataFile), descriptionData(first));

    writeWholeFile(folder.path / kDescriptionTextFile, textFile({"2,0,0,Inna"}));  // not read: the data file is there
    const auto second = loadLineDescriptions(folder.path, true);
    EXPECT_EQ(second.lines[0].name, "Wilgotność");
    EXPECT_EQ(second.fullExport, 0);
    EXPECT_FALSE(second.loadedFromText);
}

TEST(LoadDescriptions, MissingOrForeignFilesGiveTheClearedTable) {
    TempFolder folder;
    EXPECT_EQ(loadLineDescriptions(folder.path, true), LineDescriptions{});
    EXPECT_FALSE(fs::exists(folder.path / kDescriptionDataFile));

    writeWholeFile(folder.path / kDescriptionDataFile, "NOT-KVRL and more bytes");
    writeWholeFile(folder.path / kDescriptionTextFile, textFile({"1,0,0,Zbiornik"}));
    EXPECT_EQ(loadLineDescriptions(folder.path, false), LineDescriptions{});  // a data file there: text unread
}

#ifndef _WIN32  // FIFOs are a POSIX kind of file
// A folder or a FIFO in a description file's place is no file: the next one is used, and
// nothing waits for a FIFO's writer or reader.
TEST(LoadDescriptions, FoldersAndFifosCountAsMissing) {
    TempFolder folder;
    ASSERT_EQ(::mkfifo((folder.path / kDescriptionDataFile).c_str(), 0600), 0);
    writeWholeFile(folder.path / kDescriptionTextFile, textFile({"1,0,0,Zbiornik"}));
    bool failed = false;
    EXPECT_EQ(loadLineDescriptions(folder.path, true, &failed).lines[0].name, "Zbiornik");
    EXPECT_TRUE(failed) << "the data file's place is taken";

    fs::remove(folder.path / kDescriptionDataFile);
    fs::remove(folder.path / kDescriptionTextFile);
    fs::create_directory(folder.path / kDescriptionDataFile);
    ASSERT_EQ(::mkfifo((folder.path / kDescriptionTextFile).c_str(), 0600), 0);
    EXPECT_EQ(loadLineDescriptions(folder.path, false), LineDescriptions{});
}
#endif

TEST(LoadDescriptions, TheWrdatSwitchAmongTheFirstTenWords) {
    using Words = std::vector<std::string>;
    EXPECT_TRUE(asksToWriteDescriptionData(Words{"/wrdat"}));
    EXPECT_TRUE(asksToWriteDescriptionData(Words{"a", "x/wrdat2"}));
    EXPECT_FALSE(asksToWriteDescriptionData(Words{}));
    EXPECT_FALSE(asksToWriteDescriptionData(Words{"/WRDAT", "wrdat"}));
    Words eleven(10, "x");
    eleven.push_back("/wrdat");
    EXPECT_FALSE(asksToWriteDescriptionData(eleven));
    EXPECT_FALSE(asksToWriteDescriptionData(Words{std::string(250, 'x') + "/wrdat"}));  // beyond 255 characters
}
