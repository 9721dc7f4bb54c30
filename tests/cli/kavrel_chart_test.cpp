// kavrel logger chart as a user runs it: a picture of a history file, the same from either
// form of the file, with a legend naming each drawn line (read back from the PDF form with
// poppler's pdftotext), and clear refusals.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <filesystem>
#include <fstream>

#include "cli/run_kavrel.h"

namespace {

namespace fs = std::filesystem;
using kavrel::testing::readWholeFile;
using kavrel::testing::runKavrel;
using kavrel::testing::TempFolder;

// Two days of a history in the form the logger writes: ";" with decimal commas, or ",".
std::string history(char separator) {
    const bool semicolon = separator == ';';
    std::string text = std::string("Lp") + separator + "Czas RTC" + separator + "L1 [V]" + separator + "T2 [\xB0" "C]" +
                       separator + "U4 []" + separator + "GSM" + separator + "SMS" + separator + "Alarmowy" + separator +
                       "Poprawno\x9C\xE6" + separator + "XL2\r\n";
    for (int row = 0; row < 96; ++row) {
        const int hour = row / 2 % 24, minute = row % 2 * 30, day = 7 + row / 48;
        char line[160];
        const double volts = 12 + row % 10 * 0.125, degrees = -5 + row * 0.25;
        std::snprintf(line, sizeof line, "%d%c2025-03-%02d %2d:%02d:05%c%.3f%c%.1f%c%d%c14%c0%c0%c1%c%.1f\r\n", row + 1, separator,
                      day, hour, minute, separator, volts, separator, degrees, separator, 11000 + row * 10, separator,
                      separator, separator, separator, separator, degrees / 2);
        std::string l = line;
        if (semicolon)
            for (char& c : l)
                if (c == '.') c = ',';
        text += l;
    }
    return text;
}

void write(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

TEST(KavrelChart, DrawsTheSamePictureFromEitherFormWithALegendOfTheDrawnLines) {
    TempFolder folder;
    write(folder.path / "srednik" / "historia.csv", history(';'));
    write(folder.path / "przecinek" / "historia.csv", history(','));
    for (const char* form : {"srednik", "przecinek"}) {
        const fs::path dir = folder.path / form;
        const auto run = runKavrel("logger chart '" + (dir / "historia.csv").string() + "' -o '" + (dir / "wykres.png").string() +
                                   "' --size 900x500", "", folder.path);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.out, (dir / "wykres.png").string() + "\n");
    }
    const std::string semicolon = readWholeFile(folder.path / "srednik" / "wykres.png");
    ASSERT_GT(semicolon.size(), 1000u);
    EXPECT_EQ(semicolon.substr(1, 3), "PNG");
    EXPECT_TRUE(semicolon == readWholeFile(folder.path / "przecinek" / "wykres.png"));

    // The chosen lines and days, as a PDF page whose words say what the legend names.
    const fs::path pdf = folder.path / "wykres.pdf";
    const auto run = runKavrel("logger chart '" + (folder.path / "srednik" / "historia.csv").string() + "' -o '" +
                               pdf.string() + "' --lines L1,XL2 --from 2025-03-08 --to 2025-03-08", "", folder.path);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    ASSERT_EQ(std::system(("pdftotext '" + pdf.string() + "' '" + (folder.path / "wykres.txt").string() + "'").c_str()), 0);
    const std::string words = readWholeFile(folder.path / "wykres.txt");
    EXPECT_NE(words.find("L1 [V]"), std::string::npos) << words;
    EXPECT_NE(words.find("XL2"), std::string::npos) << words;
    EXPECT_EQ(words.find("T2"), std::string::npos) << words;
    EXPECT_NE(words.find("08.03.2025"), std::string::npos) << words;   // the one day drawn
    EXPECT_EQ(words.find("07.03.2025"), std::string::npos) << words;
}

TEST(KavrelChart, RefusesWhatItCannotDrawWithAReason) {
    TempFolder folder;
    const fs::path csv = folder.path / "historia.csv";
    write(csv, history(';'));
    write(folder.path / "strona.csv", "<HTML>\r\n");
    const std::string png = " -o '" + (folder.path / "wykres.png").string() + "'";
    const struct {
        std::string arguments;
        int exitCode;
        std::string says;
    } cases[] = {
        {"'" + (folder.path / "brak.csv").string() + "'" + png, 1, "Nie można otworzyć pliku brak.csv."},
        {"'" + (folder.path / "strona.csv").string() + "'" + png, 1, "Plik strona.csv nie zawiera historii pomiarów."},
        {"'" + folder.path.string() + "'" + png, 1, "nie jest zwykłym plikiem."},
        {"'" + csv.string() + "'" + png + " --lines L1,XL9", 1, "historia.csv nie ma linii XL9; jego linie: L1 T2 U4 XL2"},
        {"'" + csv.string() + "'" + png + " --from 2025-04-01", 1, "Brak pomiarów w wybranym okresie"},
        {"'" + csv.string() + "' -o '" + (folder.path / "brak" / "wykres.png").string() + "'", 1, "nie można zapisać"},
        {"'" + csv.string() + "'" + png + " --size 90x50", 2, "--size oczekuje"},
        {"'" + csv.string() + "'" + png + " --from 8.03.2025", 2, "--from oczekuje dnia"},
        {"'" + csv.string() + "'", 2, "chart wymaga -o"},
    };
    for (const auto& c : cases) {
        const auto run = runKavrel("logger chart " + c.arguments, "", folder.path);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.arguments << "\n" << run.err;
        EXPECT_NE(run.err.find(c.says), std::string::npos) << c.arguments << "\n" << run.err;
    }
    EXPECT_FALSE(fs::exists(folder.path / "wykres.png"));
}

// A disk that fills up while the picture is written keeps the older picture of that name
// whole and leaves no temporary file (a limit on file sizes plays the full disk).
TEST(KavrelChart, AFullDiskKeepsTheOlderPicture) {
    TempFolder folder;
    write(folder.path / "historia.csv", history(';'));
    for (const char* name : {"wykres.png", "wykres.pdf"}) {
        write(folder.path / name, "poprzedni wykres");
        const std::string command = "cd '" + folder.path.string() + "' && trap '' XFSZ && ulimit -f 4 && XDG_CONFIG_HOME='" +
                                    folder.path.string() + "/config' " + KAVREL_CLI +
                                    " logger chart historia.csv -o " + name + " --size 1600x900 >/dev/null 2>err.txt";
        const int status = std::system(command.c_str());
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << name << ": " << readWholeFile(folder.path / "err.txt");
        EXPECT_EQ(readWholeFile(folder.path / name), "poprzedni wykres") << name;
    }
    for (const auto& entry : fs::directory_iterator(folder.path)) EXPECT_NE(entry.path().extension(), ".tmp") << entry.path();
}

} // namespace
