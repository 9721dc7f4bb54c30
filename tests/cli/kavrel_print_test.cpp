// kavrel logger print as a user runs it: the download for printing from the simulator,
// the pages in a PDF file, read back with poppler's pdftotext -bbox (words with their
// boxes in points) to check what stands where.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sys/wait.h>
#include <unistd.h>

#include "support/file_contents.h"
#include "support/sim_fixture.h"
#include "support/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using kavrel::testing::readWholeFile;
using kavrel::testing::SimFixture;
using kavrel::testing::TempFolder;

constexpr double kPointsPerMm = 72.0 / 25.4;

struct Word {
    int page;
    double x, y;   // top left corner, points
    std::string text;
    double right;  // right edge, points
};

struct PrintRun {
    int exitCode = -1;
    std::string err;
};

class KavrelPrint : public ::testing::Test {
protected:
    // `fileBlocks` > 0 limits every file the tool writes to that many 512-byte blocks, as a
    // disk that fills up would (the write beyond fails instead of killing the tool).
    PrintRun print(const SimFixture& sim, const std::string& arguments, int fileBlocks = 0) {
        const std::string limit = fileBlocks > 0 ? "trap '' XFSZ && ulimit -f " + std::to_string(fileBlocks) + " && " : "";
        const std::string command = "cd '" + folder.string() + "' && " + limit + "XDG_CONFIG_HOME='" + folder.string() + "/config' " +
                                    KAVREL_CLI + " --tcp 127.0.0.1:" + std::to_string(sim.port()) + " logger print " +
                                    arguments + " >out.txt 2>err.txt";
        const int status = std::system(command.c_str());
        PrintRun run;
        run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        run.err = readWholeFile(folder / "err.txt");
        return run;
    }

    // The words of the PDF, page by page.
    std::vector<Word> words(const std::string& pdf) {
        const std::string command = "cd '" + folder.string() + "' && pdftotext -bbox " + pdf + " words.html";
        if (std::system(command.c_str()) != 0) return {};
        const std::string html = readWholeFile(folder / "words.html");
        std::vector<Word> found;
        static const std::regex item(R"re(<page |<word xMin="([0-9.]+)" yMin="([0-9.]+)" xMax="([0-9.]+)"[^>]*>([^<]*)</word>)re");
        int page = 0;
        for (auto it = std::sregex_iterator(html.begin(), html.end(), item); it != std::sregex_iterator(); ++it) {
            if ((*it)[0].str().starts_with("<page")) {
                ++page;
                continue;
            }
            found.push_back({page, std::stod((*it)[1]), std::stod((*it)[2]), (*it)[4], std::stod((*it)[3])});
        }
        return found;
    }

    static const Word* find(const std::vector<Word>& all, int page, const std::string& text) {
        for (const Word& w : all)
            if (w.page == page && w.text == text) return &w;
        return nullptr;
    }

    int dataLines() {
        std::ifstream in(folder / "kavrellogger_tmp.csv", std::ios::binary);
        std::string line;
        int lines = -1;   // the heading
        while (std::getline(in, line)) lines += !line.empty();
        return lines;
    }

    const TempFolder temp;
    const fs::path& folder = temp.path;
};

bool havePdftotext() { return std::system("pdftotext -v >/dev/null 2>&1") == 0; }

// Within half a millimetre of a position given in millimetres; the top of a word's box
// lies a little below the top of its line box.
#define EXPECT_AT_MM(points, mm, slackMm) EXPECT_NEAR((points) / kPointsPerMm, (mm), (slackMm))

TEST_F(KavrelPrint, PagesHoldTheTitleTheRowsAndTheFootWhereTheyBelong) {
    if (!havePdftotext()) GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    kavrel::sim::SimOptions options;
    options.memory.records = 130;
    SimFixture sim(options);
    const PrintRun run = print(sim, "--period 5 --fixed-columns --pdf wydruk.pdf");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const int lines = dataLines();
    ASSERT_GT(lines, 48);
    ASSERT_LE(lines, 96);  // two pages
    const std::vector<Word> all = words("wydruk.pdf");
    ASSERT_FALSE(all.empty());

    for (int page = 1; page <= 2; ++page) {
        const Word* title = find(all, page, "Historia");
        ASSERT_NE(title, nullptr) << page;
        EXPECT_AT_MM(title->x, 10, 0.5);
        EXPECT_AT_MM(title->y, 9.5, 1);
        EXPECT_NE(find(all, page, "pamięci)"), nullptr);   // "... zakres danych: cała zawartość pamięci)"
        const Word* strona = find(all, page, "Strona");
        ASSERT_NE(strona, nullptr);
        EXPECT_AT_MM(strona->x, 105 - 12, 0.5);
        EXPECT_AT_MM(strona->y, 269.5, 1);
        const Word* program = find(all, page, "Kavrel-Logger");
        ASSERT_NE(program, nullptr);
        EXPECT_AT_MM(program->y, 264.5, 1);
        // The heading row: Lp at the margin, the time at 8 mm, the first line at 36 mm.
        const Word* lp = find(all, page, "Lp");
        const Word* time = find(all, page, "Czas");
        const Word* first = find(all, page, "L1");
        ASSERT_TRUE(lp && time && first);
        EXPECT_AT_MM(lp->x, 10, 0.5);
        EXPECT_AT_MM(lp->y, 17.5, 1);
        EXPECT_AT_MM(time->x, 18, 0.5);
        EXPECT_AT_MM(first->x, 46, 0.5);
        // "L1 [V]" is 6 characters: the next column starts 9 + 3 mm further on.
        const Word* second = find(all, page, "T2");
        ASSERT_NE(second, nullptr);
        EXPECT_AT_MM(second->x, 46 + 12, 0.5);
    }
    EXPECT_NE(find(all, 1, "1"), nullptr);
    EXPECT_EQ(find(all, 1, "KONIEC"), nullptr);
    const Word* end = find(all, 2, "KONIEC");
    ASSERT_NE(end, nullptr);
    const int rows = 1 + (lines - 48);   // heading and data rows of the last page
    EXPECT_AT_MM(end->y, 18 + 5.0 * rows, 1);
    const Word* stars = nullptr;   // "***" KONIEC "***": the line starts with the first stars
    for (const Word& w : all)
        if (w.page == 2 && w.text == "***" && std::abs(w.y - end->y) < 1 && (!stars || w.x < stars->x)) stars = &w;
    ASSERT_NE(stars, nullptr);
    EXPECT_AT_MM(stars->x, 105 - 12, 0.5);
    EXPECT_NE(find(all, 2, "2"), nullptr);
}

// By default the 16 extended-line columns move apart and the table shrinks to the page:
// every word lies within the margins and no two words of the heading touch.
TEST_F(KavrelPrint, FittedColumnsKeepEveryValueOnThePageAndApart) {
    if (!havePdftotext()) GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    kavrel::sim::SimOptions options;
    options.memory.records = 130;
    SimFixture sim(options);
    const PrintRun run = print(sim, "--period 5 --pdf wydruk.pdf");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::vector<Word> all = words("wydruk.pdf");
    ASSERT_NE(find(all, 1, "XL16"), nullptr);
    for (const Word& w : all) EXPECT_LE(w.right / kPointsPerMm, 200.5) << w.text << " on page " << w.page;
    const Word* lp = find(all, 1, "Lp");
    const Word* first = find(all, 1, "L1");
    ASSERT_TRUE(lp && first);
    EXPECT_AT_MM(lp->x, 10, 0.5);
    EXPECT_AT_MM(first->x, 46, 0.5);
    std::vector<Word> heading;
    for (const Word& w : all)
        if (w.page == 1 && std::abs(w.y - lp->y) < 1) heading.push_back(w);
    std::sort(heading.begin(), heading.end(), [](const Word& a, const Word& b) { return a.x < b.x; });
    for (std::size_t i = 1; i < heading.size(); ++i)
        EXPECT_LT(heading[i - 1].right, heading[i].x) << heading[i - 1].text << " runs into " << heading[i].text;
}

TEST_F(KavrelPrint, AMemoryLoggedUntilNowPrintsItsLastDay) {
    kavrel::sim::SimOptions options;
    options.memory.records = 40;
    options.memory.untilNow = true;
    SimFixture sim(options);
    const PrintRun run = print(sim, "--period 0 --pdf dzien.pdf");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_GT(fs::file_size(folder / "dzien.pdf"), 1000u);
}

TEST_F(KavrelPrint, SaysWhyNothingWasPrinted) {
    kavrel::sim::SimOptions few;
    few.memory.records = 9;
    SimFixture small(few);
    PrintRun run = print(small, "--pdf w.pdf");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("Brak wystarczającej ilości danych do odczytania"), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(folder / "w.pdf"));

    kavrel::sim::SimOptions old;
    old.memory.records = 40;   // records of March 2025, long before the day of the test
    SimFixture sim(old);
    run = print(sim, "--period 0 --pdf w.pdf");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("Brak danych do wydruku"), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(folder / "w.pdf"));
    EXPECT_TRUE(fs::exists(folder / "kavrellogger_tmp.csv"));

    EXPECT_EQ(print(sim, "--period 6 --pdf w.pdf").exitCode, 2);
    EXPECT_EQ(print(sim, "--period 1").exitCode, 2);
}

// A disk that fills up: a temporary history cut short prints nothing, and a PDF that does
// not fit leaves the older PDF of that name as it was, with no temporary file behind.
TEST_F(KavrelPrint, AFullDiskNeverPrintsACutHistoryNorCostsTheOldPdf) {
    kavrel::sim::SimOptions options;
    options.memory.records = 3000;
    options.memory.untilNow = true;
    SimFixture large(options);
    PrintRun run = print(large, "--period 5 --pdf w.pdf", 64);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("Błąd zapisu plików wynikowych: dane nie zostały zapisane w całości!"), std::string::npos)
        << run.err;
    EXPECT_FALSE(fs::exists(folder / "w.pdf"));

    options.memory.records = 60;
    SimFixture sim(options);
    std::ofstream(folder / "w.pdf") << "poprzedni wydruk";
    run = print(sim, "--period 5 --pdf w.pdf", 24);
    ASSERT_LT(fs::file_size(folder / "kavrellogger_tmp.csv"), 24u * 512) << "the history itself fits";
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("kavrel logger: nie można zapisać w.pdf"), std::string::npos) << run.err;
    EXPECT_EQ(readWholeFile(folder / "w.pdf"), "poprzedni wydruk");
    for (const auto& entry : fs::directory_iterator(folder)) EXPECT_NE(entry.path().extension(), ".tmp") << entry.path();

    run = print(sim, "--period 5 --pdf w.pdf");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(readWholeFile(folder / "w.pdf").rfind("%PDF", 0), 0u);
}

} // namespace
