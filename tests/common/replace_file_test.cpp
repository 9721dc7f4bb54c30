// Files written over through a temporary file: the old file survives every failure.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#ifndef _WIN32
#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "common/replace_file.h"
#include "support/file_contents.h"
#include "support/temp_folder.h"

namespace kavrel {
namespace {

namespace fs = std::filesystem;
using testing::readWholeFile;
using testing::TempFolder;

bool onlyFile(const fs::path& folder, const fs::path& file) {
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path() != file) return false;
    return true;
}

TEST(ReplaceFile, WritesNewAndOldFilesWholeAndRefusesWhatIsNoFile) {
    const TempFolder temp;
    const fs::path file = temp.path / "ustawienia.kvl";
    EXPECT_EQ(replaceFile(file, "pierwszy"), ReplaceResult::Ok);
    EXPECT_EQ(replaceFile(file, std::string(100000, 'x')), ReplaceResult::Ok);
    EXPECT_EQ(readWholeFile(file), std::string(100000, 'x'));
    EXPECT_TRUE(onlyFile(temp.path, file));

    EXPECT_EQ(replaceFile(temp.path, "x"), ReplaceResult::NotOpened);   // a folder
    EXPECT_EQ(replaceFile(temp.path / "brak" / "a.kvl", "x"), ReplaceResult::NotOpened);
    EXPECT_TRUE(onlyFile(temp.path, file));
}

#ifndef _WIN32
// A disk that fills up mid-write (a file size limit in a child process): the old file is
// kept byte for byte and no temporary stays behind.
TEST(ReplaceFile, AWriteCutShortKeepsTheOldFile) {
    const TempFolder temp;
    const fs::path file = temp.path / "KAVRELM-DEFAULT.CFG";
    std::ofstream(file, std::ios::binary) << "stary plik";
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        ::_exit(static_cast<int>(replaceFile(file, std::string(20000, 'n'))));
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), static_cast<int>(ReplaceResult::WriteFailed));
    EXPECT_EQ(readWholeFile(file), "stary plik");
    EXPECT_TRUE(onlyFile(temp.path, file));
}
#endif

} // namespace
} // namespace kavrel
