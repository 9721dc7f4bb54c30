// The logger's archive against the simulator over real loopback TCP and a real
// pseudo-terminal: cut links, a memory that grows and wraps, holes, another module, and the
// clear that must never lose a record.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <filesystem>
#include <memory>
#include <sstream>
#include <algorithm>
#include <cctype>

#include "common/bytes.h"
#include "logger/archive/archive.h"
#include "logger/archive/archive_export.h"
#include "logger/archive/archive_update.h"
#include "logger/archive/archived_clear.h"
#include "logger/archive/sqlite_db.h"
#include "logger/download/download.h"
#include "logger/export/prepare_export.h"
#include "logger_sim.h"
#include "sim/record_memory.h"
#include "support/file_contents.h"
#include "support/temp_folder.h"

namespace kavrel::logger::archive {
namespace {

namespace fs = std::filesystem;
using kavrel::testing::LoggerSim;
using kavrel::testing::readWholeFile;
using kavrel::testing::TempFolder;

sim::SimOptions memoryOf(int records, bool cyclic = false) {
    sim::SimOptions options;
    options.memory.records = records;
    options.memory.cyclic = cyclic;
    options.memory.requestLog = std::make_shared<std::vector<std::string>>();
    options.memory.pendingRecords = std::make_shared<std::atomic<int>>(0);
    return options;
}

struct Files {
    std::string csv, html;
    bool operator==(const Files&) const = default;
};

// What "Odczytaj dane" writes for a module with these records, uncut.
Files fullDownload(sim::SimOptions options, const fs::path& folder) {
    options.memory.faults = {};
    LoggerSim t(options);
    EXPECT_EQ(connectSession(t.session), StatusResult::Ok);
    ExportRequest request;
    request.folder = folder;
    request.chooseFile = [&](const fs::path&) { return std::optional(folder / "full"); };
    fs::path name;
    const LineDescriptions descriptions;
    auto files = prepareExport(t.session, request, descriptions, t.clock, name);
    DownloadState state;
    startDownload(state, false);
    while (downloadStep(t.session, state, *files) == StepResult::Continue) {}
    return {readWholeFile(folder / "full.csv"), readWholeFile(folder / "full.html")};
}

Files exported(Archive& archive, const fs::path& folder, ExportChoice choice = {}) {
    const LineDescriptions descriptions;
    const ExportOutcome out = exportArchive(archive, choice, folder / "archiwum", descriptions, LocalDateTime{});
    EXPECT_TRUE(out.ok) << out.error;
    return {readWholeFile(folder / "archiwum.csv"), readWholeFile(folder / "archiwum.html")};
}

// Every record of the segment once, in order: "P" and "Z" numbered one after another
// (across holes only as noted), each "X" right after its "P".
void expectUnbroken(Archive& archive, std::int64_t segment) {
    std::int64_t last = 0;
    std::uint8_t lastKind = 0;
    const auto holes = archive.holes(segment);
    ASSERT_TRUE(archive.forEach(segment, "", "", [&](const ArchivedRecord& r) {
        if (r.kind == 'X') {
            EXPECT_EQ(lastKind, 'P') << "record " << r.seq;
        } else if (last != 0) {
            std::int64_t expected = last + 1;
            for (const Hole& h : holes)
                if (h.first == expected) expected = h.last + 1;
            EXPECT_EQ(r.number, expected) << "record " << r.seq;
        }
        if (r.kind != 'X') last = r.number;
        lastKind = r.kind;
        return !::testing::Test::HasFailure();
    }));
}

// Updates until one completes (each a new connection, as a technician tries again).
UpdateResult updateUntilComplete(LoggerSim& t, Archive& archive, int& runs) {
    UpdateResult result;
    int refused = 0;
    for (runs = 1; runs <= 40; ++runs) {
        // A terminal that was cut comes back a moment later, as an adapter plugged in again.
        while (connectSession(t.session) != StatusResult::Ok && ++refused < 200)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        result = updateArchive(t.session, archive, "Stacja", t.clock);
        disconnectSession(t.session);
        if (result.complete()) break;
    }
    return result;
}

int recordsRequested(const std::vector<std::string>& log, std::size_t from) {
    int records = 0;
    for (std::size_t i = from; i < log.size(); ++i) {
        int first = 0, count = 0;
        if (std::sscanf(log[i].c_str(), "*RD_%d,%d", &first, &count) == 2) records += count;
    }
    return records;
}

class ArchiveCuts : public ::testing::TestWithParam<bool> {};

TEST_P(ArchiveCuts, RepeatedUpdatesAfterACutEveryTenthBatchEndAsOneUncutDownload) {
    const bool tcp = GetParam();
    const TempFolder temp;
    sim::SimOptions options = memoryOf(300);
    options.memory.faults.cutEveryBatch = 10;
    LoggerSim t(options, tcp);
    if (!tcp) {
        t.sim.linkPty((temp.path / "ttyKavrel").string());
        t.sim.useSerial(t.link);
    }
    Archive archive;
    ASSERT_TRUE(archive.open(temp.path / "a.db"));
    int runs = 0;
    const UpdateResult last = updateUntilComplete(t, archive, runs);
    ASSERT_TRUE(last.complete()) << ::testing::PrintToString(t.observer.only("message"));
    EXPECT_GE(runs, 300 / 6 / 9);   // the cuts did end updates
    expectUnbroken(archive, last.segment);
    EXPECT_EQ(archive.segmentInfo(last.segment).records, 300);
    EXPECT_TRUE(archive.holes(last.segment).empty());
    EXPECT_EQ(exported(archive, temp.path), fullDownload(options, temp.path));
}

INSTANTIATE_TEST_SUITE_P(TcpAndPty, ArchiveCuts, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "tcp" : "pty"; });

TEST(Archive, NewRecordsOfAWrappedMemoryCostTheirOwnBatchesAndAShortSearch) {
    const TempFolder temp;
    const sim::SimOptions options = memoryOf(1200, true);
    LoggerSim t(options);
    Archive archive;
    ASSERT_TRUE(archive.open(temp.path / "a.db"));
    int runs = 0;
    ASSERT_TRUE(updateUntilComplete(t, archive, runs).complete());

    constexpr int kNew = 100;
    *options.memory.pendingRecords = kNew;   // the module logs, overwriting its oldest
    const std::size_t before = options.memory.requestLog->size();
    const UpdateResult second = updateUntilComplete(t, archive, runs);
    ASSERT_TRUE(second.complete());
    EXPECT_EQ(second.fetched, kNew);
    EXPECT_TRUE(second.holes.empty());
    const std::size_t statusReads = 2;   // the connection's and the one before the download
    const int requested = recordsRequested(*options.memory.requestLog, before);
    EXPECT_LE(requested, kNew + 6 + second.searchRequests);
    EXPECT_LE(second.searchRequests, 8);
    EXPECT_GE(options.memory.requestLog->size() - before, statusReads);

    // The archive holds what the module held before and after, each record once.
    sim::RecordMemory now(options.memory);
    now.append(kNew);
    expectUnbroken(archive, second.segment);
    std::vector<std::vector<std::uint8_t>> frames;
    ASSERT_TRUE(archive.forEach(second.segment, "", "", [&](const ArchivedRecord& r) {
        frames.push_back(r.frame);
        return true;
    }));
    ASSERT_EQ(frames.size(), 1200u + kNew);
    for (int i = 1; i <= now.recordCount(); ++i) {
        const std::string f = now.frame(i);
        ASSERT_EQ(frames[static_cast<std::size_t>(kNew + i - 1)], std::vector<std::uint8_t>(f.begin(), f.end())) << i;
    }
}

TEST(Archive, AMemoryThatWrapsWhileItIsReadIsArchivedWithoutGapsOrRepeats) {
    const TempFolder temp;
    sim::SimOptions options = memoryOf(480, true);
    options.memory.growPerBatch = 1;
    LoggerSim t(options);
    Archive archive;
    ASSERT_TRUE(archive.open(temp.path / "a.db"));
    int runs = 0;
    const UpdateResult result = updateUntilComplete(t, archive, runs);
    ASSERT_TRUE(result.complete());
    EXPECT_EQ(runs, 1);
    EXPECT_TRUE(result.holes.empty());
    expectUnbroken(archive, result.segment);
    EXPECT_GE(archive.segmentInfo(result.segment).records, 480);
}

TEST(Archive, RecordsOverwrittenBeforeTheyWereArchivedAreReportedExactly) {
    const TempFolder temp;
    const sim::SimOptions options = memoryOf(160, true);
    LoggerSim t(options);
    Archive archive;
    ASSERT_TRUE(archive.open(temp.path / "a.db"));
    int runs = 0;
    const UpdateResult first = updateUntilComplete(t, archive, runs);
    ASSERT_TRUE(first.complete());
    const std::int64_t newest = archive.tail(first.segment).number;

    // More than the whole memory is logged: the module's oldest record is now far past
    // the archive's newest.
    *options.memory.pendingRecords = 160 + 75;
    sim::RecordMemory now(options.memory);
    now.append(160 + 75);
    std::int64_t oldest = 0;
    for (int i = 1; oldest == 0; ++i) {
        const std::string f = now.frame(i);
        if (f[2] != 'X') oldest = static_cast<std::int32_t>(bytes::get32le(std::span(reinterpret_cast<const std::uint8_t*>(f.data()), f.size()), 3));
    }
    const UpdateResult second = updateUntilComplete(t, archive, runs);
    ASSERT_TRUE(second.complete());
    ASSERT_EQ(second.holes.size(), 1u);
    EXPECT_EQ(second.holes[0].first, newest + 1);
    EXPECT_EQ(second.holes[0].last, oldest - 1);
    EXPECT_EQ(archive.holes(second.segment).size(), 1u);
    const auto lost = t.observer.only("message[warning]: Utracone rekordy");
    ASSERT_EQ(lost.size(), 1u);
    EXPECT_EQ(lost[0], "message[warning]: " + holeText(second.holes[0]));
    expectUnbroken(archive, second.segment);

    // The export holds both sides of the hole and nothing between them.
    const Files files = exported(archive, temp.path);
    const auto lines = std::count(files.csv.begin(), files.csv.end(), '\n');
    long long measurements = 0;
    ASSERT_TRUE(archive.forEach(second.segment, "", "", [&](const ArchivedRecord& r) {
        measurements += r.kind == 'P';
        return true;
    }));
    EXPECT_EQ(lines, 1 + measurements);
}

TEST(Archive, AnotherModuleBehindTheSameAddressStartsANewSegment) {
    const TempFolder temp;
    sim::SimOptions options = memoryOf(300);
    options.memory.replaceAfterBatches = 20;
    LoggerSim t(options);
    Archive archive;
    ASSERT_TRUE(archive.open(temp.path / "a.db"));
    ASSERT_EQ(connectSession(t.session), StatusResult::Ok);
    const UpdateResult result = updateArchive(t.session, archive, "Stacja", t.clock);
    ASSERT_TRUE(result.complete());
    const auto modules = archive.modules();
    ASSERT_EQ(modules.size(), 1u);
    ASSERT_EQ(modules[0].segments.size(), 2u);
    EXPECT_EQ(modules[0].segments[1].records, 300);
    EXPECT_EQ(modules[0].segments[1].firstNumber, 40001);
    EXPECT_EQ(t.observer.only("message[warning]: Moduł nie kontynuuje").size(), 1u);
    expectUnbroken(archive, result.segment);
}

// Two writers of one archive would both search from its end and append the same records:
// the second is refused while the first holds the file, and an append that no longer
// follows the segment's end (written by someone else meanwhile) adds nothing.
TEST(Archive, OneWriterAtATimeAndNothingAppendedTwice) {
    const TempFolder temp;
    const fs::path file = temp.path / "a.db";
    auto first = std::make_unique<Archive>();
    ASSERT_TRUE(first->open(file));
    Archive second;
    EXPECT_FALSE(second.open(file));
    EXPECT_TRUE(second.busy());
    EXPECT_EQ(second.error(), "Archiwum " + file.string() + " jest właśnie uzupełniane przez inny program; spróbuj ponownie, gdy skończy.");
    Archive reader;
    EXPECT_TRUE(reader.open(file, Archive::Access::ReadOnly)) << reader.error();

    LoggerSim t(memoryOf(60));
    ASSERT_EQ(connectSession(t.session), StatusResult::Ok);
    const UpdateResult update = updateArchive(t.session, *first, "Stacja", t.clock);
    ASSERT_TRUE(update.complete());
    ArchivedRecord again;
    again.frame.assign(39, 0);
    const ArchivedRecord records[] = {again};
    EXPECT_FALSE(first->append(update.segment, records, 59));
    EXPECT_EQ(first->segmentInfo(update.segment).records, 60);
    EXPECT_TRUE(first->append(update.segment, records, 60));

    first.reset();
    EXPECT_TRUE(second.open(file)) << second.error();
}

// The decoded rows an `sqlite3` user selects: every row as the CSV export shows the record,
// events counted, and the rows made again, equal, for an archive that had none yet.
std::vector<std::string> readingRows(const fs::path& file) {
    Database db;
    EXPECT_TRUE(db.open(file, true)) << db.lastError();
    std::string sql = "SELECT number, stamp";
    for (int i = 1; i <= 8; ++i) sql += ", l" + std::to_string(i);
    for (int i = 1; i <= 16; ++i) sql += ", xl" + std::to_string(i);
    Statement rows = db.prepare(sql + " FROM module_readings WHERE module = 'Stacja' ORDER BY number");
    std::vector<std::string> out;
    while (rows.step()) {
        std::string row = rows.text(0) + ";" + rows.text(1);
        for (int c = 2; c < 26; ++c) row += ";" + rows.text(c);  // "" for NULL
        out.push_back(row);
    }
    EXPECT_TRUE(rows.done()) << db.lastError();
    return out;
}

std::vector<std::string> fieldsOf(const std::string& line, char separator) {
    std::vector<std::string> fields(1);
    for (const char c : line) {
        if (c == separator) fields.emplace_back();
        else fields.back().push_back(c);
    }
    return fields;
}

double csvNumber(std::string text) {
    std::replace(text.begin(), text.end(), ',', '.');
    if (!text.empty() && text.back() == '%') text.pop_back();
    return std::stod(text);
}

TEST(ArchiveReadings, RowsShowWhatTheExportShowsAndAreMadeAgainForAnOlderArchive) {
    for (const bool energyMeter : {false, true}) {
        SCOPED_TRACE(energyMeter ? "energy meter" : "extended lines");
        const TempFolder temp;
        sim::SimOptions options = memoryOf(400);
        options.memory.energyMeter = energyMeter;
        LoggerSim t(options);
        const fs::path file = temp.path / "a.db";
        std::int64_t events = 0;
        {
            Archive archive;
            ASSERT_TRUE(archive.open(file));
            ASSERT_EQ(connectSession(t.session), StatusResult::Ok);
            ASSERT_TRUE(updateArchive(t.session, archive, "Stacja", t.clock).complete());
            exported(archive, temp.path);
            ASSERT_TRUE(archive.forEach(archive.modules()[0].segments[0].id, "", "", [&](const ArchivedRecord& r) {
                events += r.kind == 'Z';
                return true;
            }));
        }
        const std::vector<std::string> rows = readingRows(file);
        // The export's data lines: number; time; the logged inputs; twelve state fields; XL1..XL16.
        std::vector<std::vector<std::string>> csv;
        std::istringstream lines(readWholeFile(temp.path / "archiwum.csv"));
        for (std::string line; std::getline(lines, line);)
            if (!line.empty() && std::isdigit(static_cast<unsigned char>(line[0]))) csv.push_back(fieldsOf(line, ';'));
        ASSERT_EQ(rows.size(), csv.size());
        ASSERT_GT(rows.size(), 100u);
        for (std::size_t r = 0; r < rows.size(); ++r) {
            const std::vector<std::string> row = fieldsOf(rows[r], ';');
            ASSERT_EQ(row[0], csv[r][0]);
            // The CSV pads the hour with a space; the stamp is zero-padded, so that it sorts.
            std::string csvStamp = csv[r][1];
            if (csvStamp.size() > 11 && csvStamp[11] == ' ') csvStamp[11] = '0';
            EXPECT_EQ(row[1], csvStamp);
            std::size_t at = 2;
            for (int i = 0; i < 8; ++i) {
                if (row[2 + i].empty()) continue;
                EXPECT_NEAR(std::stod(row[2 + i]), csvNumber(csv[r][at++]), 1e-9) << rows[r];
            }
            at += 12;
            // A "P" whose "X" holds no values has no XL fields in the CSV, and NULLs here.
            const bool extended = csv[r].size() > at && !csv[r][at].empty();
            for (int n = 0; n < 16; ++n) {
                ASSERT_EQ(row[10 + n].empty(), !extended) << rows[r];
                if (!extended) continue;
                EXPECT_NEAR(std::stod(row[10 + n]), csvNumber(csv[r][at + n]), 1e-9) << rows[r];
            }
        }
        {
            Database db;
            ASSERT_TRUE(db.open(file));
            Statement count = db.prepare("SELECT count(*) FROM module_events WHERE module = 'Stacja'");
            ASSERT_TRUE(count.step());
            EXPECT_EQ(count.integer(0), events);
            EXPECT_GT(events, 0);
            ASSERT_TRUE(db.exec("DELETE FROM readings; DELETE FROM events; DELETE FROM decoded;"));
        }
        Archive archive;
        ASSERT_TRUE(archive.open(file));
        EXPECT_EQ(readingRows(file), rows);
    }
}

std::int64_t numberAt(const sim::RecordMemory& memory, int index) {
    const std::string f = memory.frame(index);
    return static_cast<std::int32_t>(bytes::get32le(std::span(reinterpret_cast<const std::uint8_t*>(f.data()), f.size()), 3));
}

// A slot erased where a measurement was: the update goes past it in one run as the
// download does, its number is a hole of one, the extended-line record after it fills no
// other measurement's row, and the export is the download's.
TEST(Archive, AnErasedMeasurementIsArchivedAsTheDownloadReadsIt) {
    const TempFolder temp;
    constexpr int kErased = 302;   // a "P" slot, followed by its "X"
    sim::SimOptions clean = memoryOf(600);
    sim::SimOptions options = memoryOf(600);
    options.memory.blankSlots = {kErased};
    const sim::RecordMemory memory(clean.memory);
    ASSERT_EQ(memory.frame(kErased)[2], 'P');
    ASSERT_EQ(memory.frame(kErased + 1)[2], 'X');

    const fs::path erasedFile = temp.path / "erased.db", cleanFile = temp.path / "clean.db";
    for (const auto& [simOptions, file] : {std::pair{options, erasedFile}, std::pair{clean, cleanFile}}) {
        LoggerSim t(simOptions);
        Archive archive;
        ASSERT_TRUE(archive.open(file));
        int runs = 0;
        const UpdateResult result = updateUntilComplete(t, archive, runs);
        ASSERT_TRUE(result.complete()) << ::testing::PrintToString(t.observer.only("message"));
        EXPECT_EQ(runs, 1);
        EXPECT_EQ(archive.segmentInfo(result.segment).records, 600);
        if (file != erasedFile) continue;
        ASSERT_EQ(result.holes.size(), 1u);
        EXPECT_EQ(result.holes[0].first, numberAt(memory, kErased));
        EXPECT_EQ(result.holes[0].last, numberAt(memory, kErased));
        EXPECT_EQ(exported(archive, temp.path), fullDownload(options, temp.path));
        // Nothing more to fetch: the next update finds its place behind the erased slot.
        ASSERT_EQ(connectSession(t.session), StatusResult::Ok);
        const UpdateResult again = updateArchive(t.session, archive, "Stacja", t.clock);
        EXPECT_TRUE(again.complete());
        EXPECT_EQ(again.fetched, 0);
        EXPECT_TRUE(t.observer.only("message[error]").empty()) << ::testing::PrintToString(t.observer.only("message"));
    }
    // The readings are those of the whole memory less the erased measurement.
    std::vector<std::string> expected = readingRows(cleanFile);
    const std::string lost = std::to_string(numberAt(memory, kErased)) + ";";
    std::erase_if(expected, [&](const std::string& row) { return row.starts_with(lost); });
    EXPECT_EQ(readingRows(erasedFile), expected);
}

// The archive ends at a measurement whose extended-line record was not logged yet; the
// memory then wraps past it, and its oldest slot is the extended-line record of a lost
// measurement. That record completes no line of the export and no row of the readings.
TEST(Archive, AnExtendedRecordWhoseMeasurementWasOverwrittenCompletesNoOtherOne) {
    const TempFolder temp;
    const sim::SimOptions options = memoryOf(160, true);
    LoggerSim t(options);
    const fs::path file = temp.path / "a.db";
    Archive archive;
    ASSERT_TRUE(archive.open(file));
    int runs = 0;
    const UpdateResult first = updateUntilComplete(t, archive, runs);
    ASSERT_TRUE(first.complete());
    ASSERT_EQ(archive.tail(first.segment).lastKind, 'P');
    const Files before = exported(archive, temp.path);
    const std::vector<std::string> rowsBefore = readingRows(file);

    constexpr int kLogged = 160 + 75;
    *options.memory.pendingRecords = kLogged;
    sim::RecordMemory now(options.memory);
    now.append(kLogged);
    ASSERT_EQ(now.frame(1)[2], 'X');
    ASSERT_NE(static_cast<std::uint8_t>(now.frame(1)[3]), 0x80) << "an extended-line record with values";
    const UpdateResult second = updateUntilComplete(t, archive, runs);
    ASSERT_TRUE(second.complete());
    ASSERT_EQ(second.holes.size(), 1u);

    const Files after = exported(archive, temp.path);
    EXPECT_TRUE(after.csv.starts_with(before.csv)) << "the line of the archive's last measurement changed";
    const std::vector<std::string> rowsAfter = readingRows(file);
    ASSERT_GT(rowsAfter.size(), rowsBefore.size());
    EXPECT_TRUE(std::equal(rowsBefore.begin(), rowsBefore.end(), rowsAfter.begin()));
    // Kept, without a time of its own.
    std::optional<ArchivedRecord> oldest;
    ASSERT_TRUE(archive.forEach(second.segment, "", "", [&](const ArchivedRecord& r) {
        if (r.moduleIndex == 1 && r.seq > first.fetched) oldest = r;
        return !oldest;
    }));
    ASSERT_TRUE(oldest);
    EXPECT_EQ(oldest->kind, 'X');
    EXPECT_EQ(oldest->stamp, "");
}

// The module overwrote only the archive's last measurement: its extended-line record, now the
// oldest slot, continues the archive and completes that measurement, in the same segment.
TEST(Archive, TheExtendedRecordOfTheArchivesLastMeasurementStillCompletesIt) {
    const TempFolder temp;
    const sim::SimOptions options = memoryOf(160, true);
    LoggerSim t(options);
    const fs::path file = temp.path / "a.db";
    Archive archive;
    ASSERT_TRUE(archive.open(file));
    int runs = 0;
    const UpdateResult first = updateUntilComplete(t, archive, runs);
    ASSERT_TRUE(first.complete());
    ASSERT_EQ(archive.tail(first.segment).lastKind, 'P');
    const std::vector<std::string> rowsBefore = readingRows(file);

    *options.memory.pendingRecords = 160;
    sim::RecordMemory now(options.memory);
    now.append(160);
    ASSERT_EQ(now.frame(1)[2], 'X');
    ASSERT_NE(static_cast<std::uint8_t>(now.frame(1)[3]), 0x80) << "an extended-line record with values";
    const UpdateResult second = updateUntilComplete(t, archive, runs);
    ASSERT_TRUE(second.complete());
    EXPECT_TRUE(second.newSegments.empty()) << ::testing::PrintToString(second.newSegments);
    EXPECT_EQ(second.segment, first.segment);
    EXPECT_EQ(second.fetched, 160);
    EXPECT_TRUE(second.holes.empty());
    expectUnbroken(archive, second.segment);
    // The last measurement's row gained its extended lines; every other row stayed.
    const std::vector<std::string> rowsAfter = readingRows(file);
    ASSERT_GT(rowsAfter.size(), rowsBefore.size());
    EXPECT_TRUE(std::equal(rowsBefore.begin(), rowsBefore.end() - 1, rowsAfter.begin()));
    EXPECT_TRUE(rowsBefore.back().ends_with(";;;;;;;;;;;;;;;;"));
    EXPECT_FALSE(rowsAfter[rowsBefore.size() - 1].ends_with(";;;;;;;;;;;;;;;;")) << rowsAfter[rowsBefore.size() - 1];
}

TEST(ArchivedClear, ClearsOnlyAfterACompleteUpdateWithNothingAddedSince) {
    const TempFolder temp;
    sim::SimOptions options = memoryOf(200);
    options.memory.faults.cutEveryBatch = 12;
    LoggerSim t(options);
    const fs::path file = temp.path / "a.db";
    Archive archive;
    ASSERT_TRUE(archive.open(file));

    // A cut update: refused, nothing cleared.
    ASSERT_EQ(connectSession(t.session), StatusResult::Ok);
    const UpdateResult partial = updateArchive(t.session, archive, "Stacja", t.clock);
    ASSERT_FALSE(partial.complete());
    EXPECT_EQ(clearArchived(t.session, file, partial), ArchivedClear::Refused);
    ASSERT_EQ(connectSession(t.session), StatusResult::Ok);
    EXPECT_EQ(t.session.status.storedRecords, 200);

    // Complete, but the module logs while the user reads the question: refused.
    int runs = 0;
    UpdateResult complete = updateUntilComplete(t, archive, runs);
    ASSERT_TRUE(complete.complete());
    ASSERT_EQ(connectSession(t.session), StatusResult::Ok);
    complete = updateArchive(t.session, archive, "Stacja", t.clock);
    ASSERT_TRUE(complete.complete());
    t.observer.answers = {true};
    *options.memory.pendingRecords = 1;
    EXPECT_EQ(clearArchived(t.session, file, complete), ArchivedClear::Refused);
    EXPECT_EQ(t.observer.only("ask: ").back(), "ask: Skasować 200 rekordów? W archiwum: 200");
    EXPECT_EQ(t.observer.only("message[warning]").back(),
              "message[warning]: Od pobrania moduł zapisał nowe rekordy. Pamięć modułu nie została skasowana.");

    // Everything archived and nothing new: cleared.
    ASSERT_EQ(connectSession(t.session), StatusResult::Ok);
    complete = updateArchive(t.session, archive, "Stacja", t.clock);
    ASSERT_TRUE(complete.complete());
    t.observer.answers = {true};
    EXPECT_EQ(clearArchived(t.session, file, complete), ArchivedClear::Cleared);
    EXPECT_EQ(t.session.status.storedRecords, 0);
    EXPECT_EQ(archive.segmentInfo(complete.segment).records, 201);
}

TEST(ArchivedClear, GroupsThousands) {
    EXPECT_EQ(groupedNumber(12345), "12 345");
    EXPECT_EQ(groupedNumber(999), "999");
    EXPECT_EQ(groupedNumber(1234567), "1 234 567");
}

} // namespace
} // namespace kavrel::logger::archive
