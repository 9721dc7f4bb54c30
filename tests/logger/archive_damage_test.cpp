// Damage on either side of the archive: a frame that arrived broken at the archive's end, and
// an archive file whose stored frames were changed after they were written. Against the
// simulator over real loopback TCP.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <memory>

#include "logger/archive/archive.h"
#include "logger/archive/archive_export.h"
#include "logger/archive/archive_update.h"
#include "logger_sim.h"
#include "sim/record_memory.h"
#include "support/file_contents.h"
#include "support/temp_folder.h"

namespace kavrel::logger::archive {
namespace {

namespace fs = std::filesystem;
using kavrel::testing::LoggerSim;
using kavrel::testing::readFileBytes;
using kavrel::testing::readWholeFile;
using kavrel::testing::TempFolder;
using kavrel::testing::writeFileBytes;

sim::SimOptions memoryOf(int records) {
    sim::SimOptions options;
    options.memory.records = records;
    options.memory.pendingRecords = std::make_shared<std::atomic<int>>(0);
    return options;
}

int newestMeasurementSlot(const sim::SimOptions& options) {
    const sim::RecordMemory memory(options.memory);
    int slot = options.memory.records;
    while (slot > 1 && memory.frame(slot)[2] != 'P') --slot;
    return slot;
}

UpdateResult updateOnce(const sim::SimOptions& options, Archive& archive) {
    LoggerSim t(options);
    EXPECT_EQ(connectSession(t.session), StatusResult::Ok);
    UpdateResult result = updateArchive(t.session, archive, "Stacja", t.clock);
    disconnectSession(t.session);
    return result;
}

// The newest measurement failed its CRC on every attempt and was archived as incorrect. The
// next update finds its place by the intact record before it: the same segment, and only
// what the module logged since is fetched.
TEST(ArchiveDamage, ANewestMeasurementWithABadCrcDoesNotStartTheArchiveAgain) {
    const TempFolder temp;
    sim::SimOptions faulty = memoryOf(300);
    const int slot = newestMeasurementSlot(faulty);
    faulty.memory.faults.crcError = {slot, 100};
    Archive archive;
    ASSERT_TRUE(archive.open(temp.path / "a.db"));
    const UpdateResult first = updateOnce(faulty, archive);
    ASSERT_TRUE(first.complete());

    sim::SimOptions healed = faulty;
    healed.memory.faults = {};
    *healed.memory.pendingRecords = 10;
    const UpdateResult second = updateOnce(healed, archive);
    ASSERT_TRUE(second.complete());
    EXPECT_TRUE(second.newSegments.empty()) << ::testing::PrintToString(second.newSegments);
    EXPECT_EQ(second.segment, first.segment);
    EXPECT_EQ(second.fetched, 10);
    EXPECT_TRUE(second.holes.empty());
    EXPECT_EQ(archive.segmentInfo(first.segment).records, 310);
}

// A byte of a stored measurement changed in the file (the file system, a disk, a hand with
// an editor): the export refuses to write values the module never sent, names the record,
// and neither an earlier export nor the archive itself is touched.
TEST(ArchiveDamage, AnExportOfADamagedArchiveIsRefused) {
    const TempFolder temp;
    const fs::path file = temp.path / "a.db";
    const sim::SimOptions options = memoryOf(120);
    {
        Archive archive;
        ASSERT_TRUE(archive.open(file));
        ASSERT_TRUE(updateOnce(options, archive).complete());
    }
    const sim::RecordMemory memory(options.memory);
    const int slot = newestMeasurementSlot(options);
    const std::string frame = memory.frame(slot);
    std::vector<std::uint8_t> bytes = readFileBytes(file);
    const auto at = std::search(bytes.begin(), bytes.end(), frame.begin(), frame.end(),
                                [](std::uint8_t a, char b) { return a == static_cast<std::uint8_t>(b); });
    ASSERT_NE(at, bytes.end());
    at[12] ^= 0x10;   // inside the line values
    writeFileBytes(file, bytes);

    Archive archive;
    ASSERT_TRUE(archive.open(file, Archive::Access::ReadOnly)) << archive.error();
    writeFileBytes(temp.path / "archiwum.csv", {'o', 'k'});
    const ExportOutcome out = exportArchive(archive, {}, temp.path / "archiwum", LineDescriptions{}, LocalDateTime{});
    EXPECT_FALSE(out.ok);
    EXPECT_EQ(out.error, "Archiwum jest uszkodzone: rekord na miejscu " + std::to_string(slot) +
                             " segmentu 1 nie zgadza się ze swoją sumą kontrolną. Eksport przerwany.");
    EXPECT_EQ(readWholeFile(temp.path / "archiwum.csv"), "ok");
    EXPECT_EQ(readFileBytes(file), bytes);
}

} // namespace
} // namespace kavrel::logger::archive
