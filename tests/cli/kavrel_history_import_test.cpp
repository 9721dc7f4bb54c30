// The self-describing history as a user runs it: an archive with a hole, an erased slot and
// a record that failed its check, exported as kvl-csv and imported into an empty archive,
// holds the same records and holes; times carry their UTC offset through the autumn hour.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "logger/archive/archive.h"
#include "logger/archive/archive_import.h"
#include "logger/export/offset_stamps.h"
#include "run_kavrel.h"
#include "sim/record_memory.h"
#include "support/sim_fixture.h"

namespace kavrel::testing {
namespace {

namespace fs = std::filesystem;
using namespace kavrel::logger;
using namespace kavrel::logger::archive;

struct Segment {
    std::vector<ArchivedRecord> records;
    std::vector<Hole> holes;
};

Segment onlySegment(const fs::path& file) {
    Archive archive;
    EXPECT_TRUE(archive.open(file, Archive::Access::ReadOnly)) << archive.error();
    const auto modules = archive.modules();
    EXPECT_EQ(modules.size(), 1u);
    if (modules.size() != 1 || modules[0].segments.size() != 1) return {};
    const std::int64_t id = modules[0].segments[0].id;
    Segment segment;
    archive.forEach(id, "", "", [&](const ArchivedRecord& r) {
        segment.records.push_back(r);
        return true;
    });
    segment.holes = archive.holes(id);
    return segment;
}

void expectSame(const Segment& a, const Segment& b) {
    ASSERT_EQ(a.records.size(), b.records.size());
    for (std::size_t i = 0; i < a.records.size(); ++i) {
        const ArchivedRecord &x = a.records[i], &y = b.records[i];
        EXPECT_EQ(std::tie(x.seq, x.number, x.kind, x.stamp, x.correct, x.moduleIndex, x.frame),
                  std::tie(y.seq, y.number, y.kind, y.stamp, y.correct, y.moduleIndex, y.frame))
            << "record " << x.seq;
    }
    ASSERT_EQ(a.holes.size(), b.holes.size());
    for (std::size_t i = 0; i < a.holes.size(); ++i)
        EXPECT_EQ(std::tie(a.holes[i].first, a.holes[i].last, a.holes[i].noticed),
                  std::tie(b.holes[i].first, b.holes[i].last, b.holes[i].noticed));
}

TEST(KavrelHistoryImport, AnExportImportedIntoAnEmptyArchiveGivesItsRecordsAndHolesBack) {
    sim::SimOptions options;
    options.memory.records = 160;
    options.memory.cyclic = true;
    options.memory.blankSlots = {40};
    options.memory.faults.crcError = {57, -1};
    options.memory.pendingRecords = std::make_shared<std::atomic<int>>(0);
    SimFixture sim(options);
    const TempFolder temp;
    const std::string tcp = "--tcp 127.0.0.1:" + std::to_string(sim.port());
    const fs::path a = temp.path / "a.db", b = temp.path / "b.db";
    ASSERT_NE(runKavrel(tcp + " logger archive update " + a.string() + " --name Stacja", "", temp.path).exitCode, 1);
    // More than the whole memory is logged before the next update: a hole.
    *options.memory.pendingRecords = 160 + 75;
    const ToolRun second = runKavrel(tcp + " logger archive update " + a.string() + " --name Stacja", "", temp.path);
    ASSERT_EQ(second.exitCode, 3) << second.out << second.err;

    const fs::path exported = temp.path / "historia.csv";
    ASSERT_EQ(runKavrel("logger archive export " + a.string() + " --format kvl-csv -o " + exported.string(), "", temp.path)
                  .exitCode, 0);
    const std::string text = readWholeFile(exported);
    EXPECT_TRUE(text.starts_with("KVL-CSV,1,Stacja,V3.6,kavrel,")) << text.substr(0, 80);
    EXPECT_NE(text.find(",luka,"), std::string::npos);
    EXPECT_NE(text.find(",pusty,"), std::string::npos);

    const ToolRun imported = runKavrel("logger archive import " + exported.string() + " --archive " + b.string(), "", temp.path);
    ASSERT_EQ(imported.exitCode, 0) << imported.err;
    const Segment original = onlySegment(a), copy = onlySegment(b);
    EXPECT_FALSE(original.holes.empty());
    EXPECT_TRUE(std::any_of(original.records.begin(), original.records.end(), [](const ArchivedRecord& r) { return !r.correct; }));
    expectSame(original, copy);
    // The copy exports to the same bytes, and the same file is not imported twice.
    const fs::path again = temp.path / "znowu.csv";
    ASSERT_EQ(runKavrel("logger archive export " + b.string() + " --format kvl-csv -o " + again.string(), "", temp.path).exitCode, 0);
    EXPECT_EQ(readWholeFile(again), text);
    const ToolRun twice = runKavrel("logger archive import " + exported.string() + " --archive " + b.string(), "", temp.path);
    EXPECT_EQ(twice.exitCode, 1);
    EXPECT_NE(twice.err.find("zawiera już rekordy tego pliku"), std::string::npos) << twice.err;

    // A download's file carries no segment: it becomes one of the import, and once only.
    const fs::path c = temp.path / "c.db", downloaded = temp.path / "pobrane.csv";
    ASSERT_EQ(runKavrel(tcp + " logger download --format kvl-csv -o " + downloaded.string(), "", temp.path).exitCode, 0);
    const std::string importDownload = "logger archive import " + downloaded.string() + " --archive " + c.string();
    ASSERT_EQ(runKavrel(importDownload, "", temp.path).exitCode, 0);
    EXPECT_EQ(runKavrel(importDownload, "", temp.path).exitCode, 1);
    const ToolRun status = runKavrel("logger archive status " + c.string(), "", temp.path);
    EXPECT_NE(status.out.find("(import z pliku " + downloaded.string() + ")"), std::string::npos) << status.out;
}

TEST(KavrelHistoryImport, ADamagedFileIsRefusedByItsLineAndWritesNothing) {
    const TempFolder temp;
    Archive archive;
    ASSERT_TRUE(archive.open(temp.path / "c.db"));
    const std::string head = "KVL-CSV,1,S,V3.6,kavrel,0.1.0,,,00,,\r\nNr,Rodzaj\r\n,\r\nnumber,record\r\n";
    EXPECT_EQ(importHistory(archive, "Lp,Czas RTC\r\n", "x.csv", "").error, "Plik „x.csv”: to nie jest plik formatu kvl-csv.");
    EXPECT_EQ(importHistory(archive, head, "x.csv", "").error, "Plik „x.csv”: nagłówek nie zawiera stanu modułu.");
    EXPECT_TRUE(archive.modules().empty());
}

// The module logs wall-clock time; the hour that comes twice in October stays in order.
TEST(OffsetStamps, TheRepeatedAutumnHourGetsBothOffsetsInOrder) {
    const char* saved = std::getenv("TZ");
    const std::string before = saved ? saved : "";
    ::setenv("TZ", "Europe/Warsaw", 1);
    ::tzset();
    OffsetStamps stamps;
    std::vector<std::string> got;
    for (const char* t : {"2026-10-25 01:45:00", "2026-10-25 02:30:00", "2026-10-25 02:45:00", "2026-10-25 02:00:00",
                          "2026-10-25 02:30:00", "2026-10-25 03:00:00", "2026-03-29 02:30:00", "2026-07-01 12:00:00"})
        got.push_back(stamps.nextStamp(t));
    EXPECT_EQ(got, (std::vector<std::string>{"2026-10-25T01:45:00+02:00", "2026-10-25T02:30:00+02:00",
                                             "2026-10-25T02:45:00+02:00", "2026-10-25T02:00:00+01:00",
                                             "2026-10-25T02:30:00+01:00", "2026-10-25T03:00:00+01:00",
                                             "2026-03-29T02:30:00+01:00", "2026-07-01T12:00:00+02:00"}));
    EXPECT_EQ(stampOfIsoTime(got[3]), "2026-10-25 02:00:00");
    if (saved) ::setenv("TZ", before.c_str(), 1);
    else ::unsetenv("TZ");
    ::tzset();
}

} // namespace
} // namespace kavrel::testing
