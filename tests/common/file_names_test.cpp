#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

#include "common/file_names.h"
#include "common/utf8.h"

using namespace kavrel;
namespace fs = std::filesystem;

namespace {

const std::string kProfile = "C:\\Użytkownicy\\Michał\\Łukasz — pomiary_środa.csv";

#ifdef _WIN32
const std::wstring kProfileWide = L"C:\\U\u017Cytkownicy\\Micha\u0142\\\u0141ukasz \u2014 pomiary_\u015Broda.csv";
#endif

} // namespace

// A path from UTF-8 text is the name the system opens (UTF-16 on Windows, the same bytes on
// Linux) and comes back as the same text; a name the bytes cannot spell never throws.
TEST(FileNames, Utf8TextAndPathsConvertBothWays) {
    const fs::path path = pathFromUtf8(kProfile);
#ifdef _WIN32
    EXPECT_EQ(path.native(), kProfileWide);
#else
    EXPECT_EQ(path.native(), kProfile);
#endif
    EXPECT_EQ(pathToUtf8(path), kProfile);
    EXPECT_EQ(pathToUtf8(pathFromUtf8("dane/Łódź.kvl").filename()), "Łódź.kvl");

    // Windows-1250 bytes taken for UTF-8 ("Micha\xB3"), a cut sequence, a lone surrogate.
    const std::string malformed = "Micha\xB3\\\xC5";
    fs::path odd;
    EXPECT_NO_THROW(odd = pathFromUtf8(malformed));
#ifdef _WIN32
    EXPECT_EQ(odd.native(), L"Micha\uFFFD\\\uFFFD");
    const fs::path surrogate(std::wstring(L"a\xD800z"));
    EXPECT_EQ(pathToUtf8(surrogate), "a\xEF\xBF\xBDz");
#else
    EXPECT_EQ(pathToUtf8(odd), malformed);   // a Linux name is any bytes
#endif
}

TEST(FileNames, Utf16TextToUtf8) {
    EXPECT_EQ(utf8::fromUtf16(u"Michał Łódź"), "Michał Łódź");
    EXPECT_EQ(utf8::fromUtf16(u"\U0001F600"), "\xF0\x9F\x98\x80");   // a surrogate pair
    EXPECT_EQ(utf8::fromUtf16(std::u16string(u"x\xDC00")), "x\xEF\xBF\xBD");
    EXPECT_EQ(utf8::fromUtf16(std::u16string(u"\xD800")), "\xEF\xBF\xBD");
    EXPECT_EQ(utf8::toUtf16(utf8::fromUtf16(u"zażółć gęślą jaźń")), u"zażółć gęślą jaźń");
}

// A profile folder such as APPDATA=C:\Użytkownicy\Michał\AppData\Roaming, which has no spelling
// in every ANSI code page, is read whole.
TEST(FileNames, EnvironmentFolderWithPolishLetters) {
#ifdef _WIN32
    ASSERT_TRUE(::SetEnvironmentVariableW(L"KAVREL_TEST_FOLDER", kProfileWide.c_str()));
#else
    ASSERT_EQ(::setenv("KAVREL_TEST_FOLDER", kProfile.c_str(), 1), 0);
#endif
    EXPECT_EQ(environmentText("KAVREL_TEST_FOLDER"), kProfile);
    EXPECT_EQ(pathToUtf8(environmentPath("KAVREL_TEST_FOLDER")), kProfile);
    EXPECT_EQ(environmentText("KAVREL_TEST_NO_SUCH_VARIABLE"), "");
}

// A file made under a Polish name is found under that name by the system and listed back
// with it.
TEST(FileNames, PolishNamedFileOnDisk) {
    const fs::path folder = fs::temp_directory_path() / pathFromUtf8("kavrel-ścieżka-" + std::to_string(processId()));
    fs::remove_all(folder);
    ASSERT_TRUE(fs::create_directories(folder / pathFromUtf8("Michał")));
    const fs::path file = folder / pathFromUtf8("Michał") / pathFromUtf8("pomiary_środa.csv");
    std::FILE* out = openFile(file, "wb");
    ASSERT_NE(out, nullptr);
    std::fputs("Linia L1\n", out);
    std::fclose(out);

    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder / pathFromUtf8("Michał")))
        names.push_back(pathToUtf8(entry.path().filename()));
    EXPECT_EQ(names, std::vector<std::string>{"pomiary_środa.csv"});
    EXPECT_TRUE(fs::is_regular_file(pathFromUtf8(pathToUtf8(file))));

    // What a refused path says: the path, whole.
    try {
        fs::directory_iterator refused(file);   // a file, not a folder
        ADD_FAILURE() << "a file listed as a folder";
    } catch (const fs::filesystem_error& failure) {
        const std::string text = fileFailureText(failure);
        EXPECT_EQ(text.rfind("Błąd dostępu do pliku „" + pathToUtf8(file) + "”", 0), 0u) << text;
    }
    fs::remove_all(folder);
}
