// The logger window's device operations without the window: connect, status, a download to
// the export files, an archive update that clears the memory it holds, against the simulated
// module over loopback TCP; and the refusals without a link.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>

#include "logger/device/logger_device.h"
#include "support/recording_observer.h"
#include "support/sim_fixture.h"
#include "support/temp_folder.h"

using namespace kavrel;
using namespace kavrel::logger;
using kavrel::testing::RecordingObserver;

namespace {

sim::SimOptions memoryOf(int records) {
    sim::SimOptions options;
    options.memory.records = records;
    return options;
}

} // namespace

TEST(LoggerDevice, WithoutALinkStatusAndArchiveAreRefused) {
    LoggerDevice device{LineDescriptions{}};
    RecordingObserver observer;
    const std::atomic<bool> cancel{false};
    device.readStatus(observer);
    device.archive(observer, ArchiveOrder{}, [](int, int) {}, cancel);
    EXPECT_EQ(observer.calls, (std::vector<std::string>{"message[warning]: Brak połączenia z modułem!",
                                                        "message[warning]: Brak połączenia z modułem!"}));
    EXPECT_FALSE(device.snapshot().connected);
    EXPECT_FALSE(device.snapshot().linkOpen);
}

TEST(LoggerDevice, DownloadsToTheExportAndArchivesWhatTheMemoryHoldsBeforeClearingIt) {
    const kavrel::testing::TempFolder folder;
    kavrel::testing::SimFixture sim(memoryOf(40));
    LoggerDevice device{LineDescriptions{}};
    RecordingObserver observer;
    const std::atomic<bool> cancel{false};

    device.connect(observer, sim.tcp(), false);
    DeviceSnapshot shown = device.snapshot();
    ASSERT_TRUE(shown.connected) << ::testing::PrintToString(observer.calls);
    EXPECT_FALSE(shown.serialLinkOpen);
    EXPECT_EQ(shown.status.recordCount(), 40);

    DownloadOrder order;
    order.folder = folder.path;
    order.chosenFile = folder.path / "historia.csv";
    order.exportFileName = order.chosenFile;
    order.now = LocalDateTime{2025, 3, 7, 14, 5, 9};
    int lastRead = -1;
    const DownloadReport report =
        device.download(observer, order, [&](int read, int total) { lastRead = read == total ? read : lastRead; }, cancel);
    EXPECT_EQ(report.outcome, DownloadOutcome::Complete);
    EXPECT_FALSE(report.writeFailed);
    EXPECT_EQ(lastRead, 40);
    EXPECT_TRUE(std::filesystem::is_regular_file(report.csvFile)) << report.csvFile;

    ArchiveOrder archive;
    archive.file = folder.path / "archiwum.kva";
    archive.moduleName = "hala";
    archive.clearAfter = true;
    observer.calls.clear();
    observer.answers = {true, true, true};
    device.archive(observer, archive, [](int, int) {}, cancel);
    const auto messages = observer.only("message");
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.front().rfind("message[information]: ", 0), 0u) << messages.front();
    EXPECT_TRUE(std::filesystem::is_regular_file(archive.file));
    device.readStatus(observer);
    EXPECT_EQ(device.snapshot().status.recordCount(), 0) << ::testing::PrintToString(observer.calls);
    device.end(Ending::CloseBox);
}
