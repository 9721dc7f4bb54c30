// Settings files byte for byte, and saves that fail without losing the previous file.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <process.h>
#else
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <filesystem>

#include "common/file_names.h"
#include "config/model/settings_file.h"
#include "support/file_contents.h"
#include "support/recording_observer.h"
#include "support/temp_folder.h"

using namespace kavrel;
using namespace kavrel::config;
using kavrel::testing::RecordingObserver;
namespace fs = std::filesystem;

namespace {

class SettingsFileTest : public ::testing::Test {
protected:
    // File names are UTF-8 texts, as the programs hold them, on every platform.
    std::string path(const std::string& name) const { return pathToUtf8(folder_.path / pathFromUtf8(name)); }

    static std::vector<std::uint8_t> contents(const std::string& file) {
        return kavrel::testing::readFileBytes(pathFromUtf8(file));
    }
    static void writeBytes(const std::string& file, const std::vector<std::uint8_t>& bytes) {
        kavrel::testing::writeFileBytes(pathFromUtf8(file), bytes);
    }
    // A record in which every byte, reserved ones included, has its own value.
    static SettingsImage patterned() {
        SettingsImage image;
        auto bytes = image.bytes();
        for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + 3);
        return image;
    }

    kavrel::testing::TempFolder folder_;
};

} // namespace

TEST_F(SettingsFileTest, SaveAndLoadGiveTheRecordBackByteForByte) {
    const SettingsImage image = patterned();
    RecordingObserver observer;
    ASSERT_EQ(saveSettingsToFile(path("moduł.kvl"), image, observer), FileResult::Ok);
    const auto saved = contents(path("moduł.kvl"));
    ASSERT_EQ(saved.size(), kSettingsSize);
    EXPECT_TRUE(std::equal(saved.begin(), saved.end(), image.bytes().begin()));
    EXPECT_EQ(pathToUtf8(fs::directory_iterator(folder_.path)->path().filename()), "moduł.kvl") << "no temporary file is left";

    SettingsImage loaded;
    loaded.setText(Field::Pin, "old");
    ASSERT_EQ(loadSettingsFromFile(path("moduł.kvl"), loaded, observer), FileResult::Ok);
    EXPECT_EQ(loaded, image);
    EXPECT_EQ(observer.calls, (std::vector<std::string>{"status: Ustawienia zapisane do pliku:\r\nmoduł.kvl",
                                                        "status: Ustawienia odczytane z pliku:\r\nmoduł.kvl"}));
}

TEST_F(SettingsFileTest, ShortEmptyAndLongFilesLoad) {
    std::vector<std::uint8_t> hundred(100, 0x41);
    writeBytes(path("short.kvl"), hundred);
    SettingsImage image = patterned();
    ASSERT_EQ(loadSettingsFile(path("short.kvl"), image), FileResult::Ok);
    for (std::size_t i = 0; i < kSettingsSize; ++i) ASSERT_EQ(image.bytes()[i], i < 100 ? 0x41 : 0) << i;

    writeBytes(path("empty.kvl"), {});
    image = patterned();
    RecordingObserver observer;
    ASSERT_EQ(loadSettingsFromFile(path("empty.kvl"), image, observer), FileResult::Ok);
    EXPECT_EQ(image, SettingsImage());
    EXPECT_EQ(observer.calls, std::vector<std::string>{"status: Ustawienia odczytane z pliku:\r\nempty.kvl"});

    std::vector<std::uint8_t> longer(5000);
    for (std::size_t i = 0; i < longer.size(); ++i) longer[i] = static_cast<std::uint8_t>(i);
    writeBytes(path("long.kvl"), longer);
    ASSERT_EQ(loadSettingsFile(path("long.kvl"), image), FileResult::Ok);
    EXPECT_TRUE(std::equal(image.bytes().begin(), image.bytes().end(), longer.begin()));
}

TEST_F(SettingsFileTest, MissingFilesLeaveTheRecordAndSayWhy) {
    const SettingsImage before = patterned();
    SettingsImage image = before;
    RecordingObserver observer;
    EXPECT_EQ(loadSettingsFromFile(path("none.kvl"), image, observer), FileResult::OpenFailed);
    EXPECT_EQ(loadStartupFile("no/such/default.kvl", image, observer), FileResult::OpenFailed);
    EXPECT_EQ(image, before);
    writeBytes(path("start.kvl"), {1, 2, 3});
    EXPECT_EQ(loadStartupFile(path("start.kvl"), image, observer), FileResult::Ok);
    EXPECT_EQ(observer.calls, (std::vector<std::string>{
                                  "status: Błąd otwarcia pliku do odczytu",
                                  "status: Błąd otwarcia pliku:\r\nno/such/default.kvl",
                                  "status: Ustawienia odczytane z pliku:\r\n" + path("start.kvl"),
                              }));
}

#ifndef _WIN32  // FIFOs are a POSIX kind of file
// A folder or a FIFO named like a settings file is no record: read as zeros and written
// to a module it would wipe it, and opening a FIFO would wait for a writer for ever.
TEST_F(SettingsFileTest, FoldersAndFifosAreRefusedAndTheRecordKept) {
    fs::create_directory(path("folder.kvl"));
    ASSERT_EQ(::mkfifo(path("fifo.kvl").c_str(), 0600), 0);
    const SettingsImage before = patterned();
    SettingsImage image = before;
    RecordingObserver observer;
    EXPECT_EQ(loadSettingsFromFile(path("folder.kvl"), image, observer), FileResult::OpenFailed);
    EXPECT_EQ(loadSettingsFromFile(path("fifo.kvl"), image, observer), FileResult::OpenFailed);
    EXPECT_EQ(loadStartupFile(path("fifo.kvl"), image, observer), FileResult::OpenFailed);
    EXPECT_EQ(image, before);
    EXPECT_EQ(observer.calls, (std::vector<std::string>{"status: Błąd otwarcia pliku do odczytu",
                                                        "status: Błąd otwarcia pliku do odczytu",
                                                        "status: Błąd otwarcia pliku:\r\n" + path("fifo.kvl")}));
}
#endif

#ifndef _WIN32  // a 255-byte name is a POSIX file system's limit; Windows counts the whole path
// A legal name close to the file system's 255-byte limit leaves no room for a temporary
// name built from it.
TEST_F(SettingsFileTest, ANameNearTheLengthLimitIsSaved) {
    const std::string name = std::string(246, 'k') + ".kvl";
    RecordingObserver observer;
    ASSERT_EQ(saveSettingsToFile(path(name), patterned(), observer), FileResult::Ok);
    SettingsImage loaded;
    ASSERT_EQ(loadSettingsFile(path(name), loaded), FileResult::Ok);
    EXPECT_EQ(loaded, patterned());
    EXPECT_EQ(std::distance(fs::directory_iterator(folder_.path), fs::directory_iterator()), 1) << "no temporary left";
}
#endif

TEST_F(SettingsFileTest, SaveThatCannotOpenItsFileSaysSo) {
    RecordingObserver observer;
    EXPECT_EQ(saveSettingsToFile(path("no-folder/x.kvl"), patterned(), observer), FileResult::OpenFailed);
    fs::create_directory(pathFromUtf8(path("folder.kvl")));
    EXPECT_EQ(saveSettingsToFile(path("folder.kvl"), patterned(), observer), FileResult::OpenFailed);
    EXPECT_TRUE(fs::is_directory(pathFromUtf8(path("folder.kvl"))));
    EXPECT_EQ(observer.calls, (std::vector<std::string>{"status: Błąd otwarcia pliku do zapisu",
                                                        "status: Błąd otwarcia pliku do zapisu"}));
}

#ifndef _WIN32 // the file-size limit is POSIX's
TEST_F(SettingsFileTest, SaveWhoseWritingFailsKeepsTheOldFile) {
    const std::vector<std::uint8_t> old(3608, 0x55);
    writeBytes(path("keep.kvl"), old);
    // The file-size limit makes the write fail part-way, as a full disk would.
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = ::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 1000;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    RecordingObserver observer;
    const FileResult result = saveSettingsToFile(path("keep.kvl"), patterned(), observer);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    ::signal(SIGXFSZ, previousHandler);

    EXPECT_EQ(result, FileResult::WriteFailed);
    EXPECT_EQ(contents(path("keep.kvl")), old);
    EXPECT_EQ(observer.calls, std::vector<std::string>{"status: Błąd zapisu pliku, poprzedni plik pozostał bez zmian"});
    EXPECT_EQ(std::distance(fs::directory_iterator(folder_.path), fs::directory_iterator()), 1) << "temporary file removed";
}
#endif
