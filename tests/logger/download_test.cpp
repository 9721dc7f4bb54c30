#include <gtest/gtest.h>

#include <algorithm>

#include "common/bytes.h"
#include "logger/download/download.h"
#include "logger_sim.h"
#include "recording_sink.h"
#include "sim/record_memory.h"

namespace kavrel::logger {
namespace {

using testing::LoggerSim;
using testing::RecordingSink;

// A simulated memory that logs the requests it is sent.
struct Memory {
    explicit Memory(int records) {
        options.memory.records = records;
        options.memory.requestLog = log;
    }
    sim::SimOptions options;
    std::shared_ptr<std::vector<std::string>> log = std::make_shared<std::vector<std::string>>();

    std::vector<std::string> requests() const {
        std::vector<std::string> out;
        for (const auto& line : *log)
            if (!line.ends_with(",0")) out.push_back(line);  // leave out the status requests
        return out;
    }
};

StepResult runDownload(LoggerSim& t, DownloadState& state, RecordingSink& sink, bool printMode = false) {
    startDownload(state, printMode);
    for (int step = 0; step < 100000; ++step) {
        const StepResult r = downloadStep(t.session, state, sink);
        if (r != StepResult::Continue) return r;
    }
    return StepResult::Continue;
}

// A logger connected to a simulated memory, with the state and sink of its downloads.
class DownloadTest : public ::testing::Test {
protected:
    ::testing::AssertionResult connect(const Memory& m, bool tcp = true) {
        t = std::make_unique<LoggerSim>(m.options, tcp);
        if (connectSession(t->session) == StatusResult::Ok) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "no status from the simulator";
    }
    StepResult run(bool printMode = false) { return runDownload(*t, state, sink, printMode); }

    std::unique_ptr<LoggerSim> t;
    DownloadState state;
    RecordingSink sink;
};

// The records the download must have handed over: those of the simulated memory, from
// `first` to `last`, minus the numbers given, each marked correct.
void expectRecords(const RecordingSink& sink, const sim::MemoryOptions& memory, int first, int last,
                   std::vector<int> missing = {}) {
    const sim::RecordMemory expected(memory);
    std::size_t at = 0;
    for (int k = first; k <= last; ++k) {
        if (std::find(missing.begin(), missing.end(), k) != missing.end()) continue;
        ASSERT_LT(at, sink.records.size()) << "record " << k << " missing";
        const std::string frame = expected.frame(k);
        RecordBytes bytes{};
        std::copy_n(reinterpret_cast<const std::uint8_t*>(frame.data()), bytes.size(), bytes.begin());
        EXPECT_EQ(sink.records[at].bytes, bytes) << "record " << k;
        EXPECT_TRUE(sink.records[at].correct) << "record " << k;
        ++at;
    }
    EXPECT_EQ(at, sink.records.size());
}

std::vector<std::string> messages(const LoggerSim& t) { return t.observer.only("message"); }

const std::string kComplete = "message[information]: Zawartość pamięci odczytana.";

TEST_F(DownloadTest, TenRecordsInTwoBatchesTheSecondReachingPastTheEnd) {
    Memory m(10);
    ASSERT_TRUE(connect(m));
    ASSERT_EQ(run(), StepResult::Complete);
    EXPECT_EQ(m.requests(), (std::vector<std::string>{"*RD_1,6", "*RD_7,6"}));
    expectRecords(sink, m.options.memory, 1, 10);
    EXPECT_EQ(state.handledRecords, 10);
    EXPECT_EQ(sink.ends, std::vector<DownloadEnd>{DownloadEnd::Complete});
    ASSERT_EQ(messages(*t).size(), 2u);
    EXPECT_EQ(messages(*t)[0], kComplete);
    EXPECT_EQ(messages(*t)[1], "message[information]: Transfer zakończony.\nPrzesłano 10 rekordów w czasie 1 s (10.0 rek/s)\n"
                              "Liczba powtórzeń transmisji: 0\nLiczba niepoprawnych rekordów: 0");
    EXPECT_TRUE(t->link.isOpen());  // a complete download stays connected
}

TEST_F(DownloadTest, PrintModeStartsAtTheSecondRecordWithoutMessages) {
    Memory m(10);
    ASSERT_TRUE(connect(m, false));
    ASSERT_EQ(run(true), StepResult::Complete);
    EXPECT_EQ(m.requests(), (std::vector<std::string>{"*RD_2,6", "*RD_8,6"}));
    expectRecords(sink, m.options.memory, 2, 10);
    EXPECT_EQ(messages(*t), std::vector<std::string>{});
}

TEST_F(DownloadTest, AWrappedMemoryIsReadToItsCapacity) {
    Memory m(40);
    m.options.memory.cyclic = true;
    m.options.memory.energyMeter = true;
    ASSERT_TRUE(connect(m));
    EXPECT_EQ(t->session.status.storedRecords, 16);
    ASSERT_EQ(run(), StepResult::Complete);
    expectRecords(sink, m.options.memory, 1, 48);
}

TEST_F(DownloadTest, BlankSlotsAreSkippedWithoutReRequests) {
    Memory m(12);
    m.options.memory.blankSlots = {3, 12};
    ASSERT_TRUE(connect(m));
    ASSERT_EQ(run(), StepResult::Complete);
    expectRecords(sink, m.options.memory, 1, 12, {3, 12});
    EXPECT_EQ(state.reRequests, 0);
    EXPECT_EQ(state.handledRecords, 10);
}

class RecordLengths : public DownloadTest, public ::testing::WithParamInterface<int> {};

// Frames shorter and longer than the 39 bytes the decoders read: a short one reaches the
// sink zero-filled behind its own bytes, a long one cut; nothing is read past a frame.
TEST_P(RecordLengths, FramesOfAnyUsableLengthAreHandedOnWhole) {
    const int length = GetParam();
    Memory m(13);
    m.options.memory.recordLength = length;
    ASSERT_TRUE(connect(m));
    ASSERT_EQ(run(), StepResult::Complete);
    ASSERT_EQ(sink.records.size(), 13u);
    const sim::RecordMemory memory(m.options.memory);
    for (int k = 1; k <= 13; ++k) {
        const std::string frame = memory.frame(k);
        RecordBytes expected{};
        std::copy_n(reinterpret_cast<const std::uint8_t*>(frame.data()), std::min(frame.size(), expected.size()),
                    expected.begin());
        EXPECT_EQ(sink.records[static_cast<std::size_t>(k - 1)].bytes, expected) << k;
        EXPECT_TRUE(sink.records[static_cast<std::size_t>(k - 1)].correct) << k;
    }
    EXPECT_EQ(m.requests().front(), "*RD_1,6");
}

INSTANTIATE_TEST_SUITE_P(ShortestAndLongest, RecordLengths, ::testing::Values(11, 127));

TEST_F(DownloadTest, AMemoryOfFewerRecordsThanTheFirstOffsetSendsNoRequest) {
    // Print mode of a one-record memory: "*RD_2,0" would be a status request.
    Memory m(1);
    ASSERT_TRUE(connect(m));
    EXPECT_EQ(run(true), StepResult::Complete);
    EXPECT_EQ(m.requests(), std::vector<std::string>{});
    EXPECT_EQ(sink.ends, std::vector<DownloadEnd>{DownloadEnd::Complete});
}

TEST_F(DownloadTest, ASecondDownloadOfASmallMemoryRepeatsItsFirstBatchSixTimes) {
    Memory m(5);
    ASSERT_TRUE(connect(m));
    RecordingSink first, second;
    ASSERT_EQ(runDownload(*t, state, first), StepResult::Complete);
    m.log->clear();
    ASSERT_EQ(runDownload(*t, state, second), StepResult::Complete);
    // The numbers remembered from the first download match: asked six times, then taken.
    EXPECT_EQ(m.requests(), std::vector<std::string>(6, "*RD_1,5"));
    expectRecords(second, m.options.memory, 1, 5);
}

TEST_F(DownloadTest, ARepeatedBatchIsAskedForAgain) {
    Memory m(18);
    m.options.memory.faults.repeatBatch = {2, 1};
    ASSERT_TRUE(connect(m));
    ASSERT_EQ(run(), StepResult::Complete);
    EXPECT_EQ(m.requests(), (std::vector<std::string>{"*RD_1,6", "*RD_7,6", "*RD_7,6", "*RD_13,6"}));
    expectRecords(sink, m.options.memory, 1, 18);
    // The repeat is seen although the batch holds extended-line records whose bytes 3..6,
    // read as a signed number, are below zero.
    ASSERT_EQ(sink.records[2].kind, 'X');
    EXPECT_LT(static_cast<std::int32_t>(bytes::get32le(sink.records[2].bytes, 3)), 0);
}

TEST_F(DownloadTest, ABatchRepeatedSixTimesIsAccepted) {
    Memory m(12);
    m.options.memory.faults.repeatBatch = {2, -1};
    ASSERT_TRUE(connect(m));
    ASSERT_EQ(run(), StepResult::Complete);
    EXPECT_EQ(m.requests().size(), 7u);
    ASSERT_EQ(sink.records.size(), 12u);
    // The second batch holds the first batch's records once more.
    for (std::size_t i = 0; i < 6; ++i) EXPECT_EQ(sink.records[i].bytes, sink.records[i + 6].bytes);
}

TEST_F(DownloadTest, AShortBatchIsAskedForAgain) {
    Memory m(12);
    m.options.memory.faults.shortBatch = {1, 1};
    ASSERT_TRUE(connect(m, false));
    ASSERT_EQ(run(), StepResult::Complete);
    EXPECT_EQ(m.requests(), (std::vector<std::string>{"*RD_1,6", "*RD_1,6", "*RD_7,6"}));
    expectRecords(sink, m.options.memory, 1, 12);
}

TEST_F(DownloadTest, SixShortBatchesEndTheDownloadAndTheLink) {
    Memory m(12);
    m.options.memory.faults.shortBatch = {2, -1};
    ASSERT_TRUE(connect(m, false));
    ASSERT_EQ(run(), StepResult::Failed);
    EXPECT_EQ(m.requests().size(), 7u);
    EXPECT_EQ(messages(*t), std::vector<std::string>{"message[error]: Błąd odbioru danych z urządzenia!"});
    EXPECT_EQ(sink.ends, std::vector<DownloadEnd>{DownloadEnd::Failed});
    expectRecords(sink, m.options.memory, 1, 6);  // what was written stays written
    EXPECT_FALSE(t->link.isOpen());
}

TEST_F(DownloadTest, ALongBatchIsDrainedAndAskedForAgain) {
    Memory m(12);
    m.options.memory.faults.longBatch = {1, 1};
    ASSERT_TRUE(connect(m));
    ASSERT_EQ(run(), StepResult::Complete);
    EXPECT_EQ(m.requests(), (std::vector<std::string>{"*RD_1,6", "*RD_1,6", "*RD_7,6"}));
    expectRecords(sink, m.options.memory, 1, 12);
}

TEST_F(DownloadTest, SixLongBatchesEndTheDownloadWithAMessage) {
    Memory m(12);
    m.options.memory.faults.longBatch = {1, -1};
    ASSERT_TRUE(connect(m));
    ASSERT_EQ(run(), StepResult::Failed);
    EXPECT_EQ(messages(*t), std::vector<std::string>{"message[error]: Błąd odbioru danych z urządzenia!"});
    EXPECT_FALSE(t->link.isOpen());
}

TEST_F(DownloadTest, ADroppedConnectionIsMadeAgainAtTheFourthAttempt) {
    Memory m(18);
    m.options.memory.faults.dropAtBatch = 2;
    ASSERT_TRUE(connect(m));
    ASSERT_EQ(run(), StepResult::Complete);
    // The first "*RD_7,6" met the drop; attempts 1 and 2 had no connection to go out on.
    EXPECT_EQ(m.requests(), (std::vector<std::string>{"*RD_1,6", "*RD_7,6", "*RD_7,6", "*RD_13,6"}));
    expectRecords(sink, m.options.memory, 1, 18);
}

TEST_F(DownloadTest, AReconnectionThatFailsEndsTheDownload) {
    Memory m(18);
    m.options.memory.faults.dropAtBatch = 2;
    ASSERT_TRUE(connect(m));
    t->link.setConnection(link::Connection::tcp("127.0.0.1", 1));  // nobody listens there
    ASSERT_EQ(run(), StepResult::Failed);
    EXPECT_EQ(messages(*t), std::vector<std::string>{"message[error]: Błąd resetowania połączenia przez sieć LAN (TCP/IP)!"});
    EXPECT_EQ(sink.ends, std::vector<DownloadEnd>{DownloadEnd::Failed});
}

struct RecordFault {
    const char* name;
    sim::FaultShot sim::MemoryFaults::*fault;
    sim::FaultShot shot;
    bool tcp;
    StepResult result;
    int reRequests;
    const char* message;   // nullptr: none besides the completion
};

void PrintTo(const RecordFault& fault, std::ostream* os) { *os << fault.name; }

class RecordFaults : public DownloadTest, public ::testing::WithParamInterface<RecordFault> {};

TEST_P(RecordFaults, AreReRequestedAndEndAsTheirKindDemands) {
    const RecordFault& f = GetParam();
    Memory m(12);
    m.options.memory.faults.*f.fault = f.shot;
    ASSERT_TRUE(connect(m, f.tcp));
    ASSERT_EQ(run(), f.result);
    EXPECT_EQ(state.reRequests, f.reRequests);
    const auto requests = m.requests();
    EXPECT_EQ(std::count(requests.begin(), requests.end(), "*RD_8,1"), f.reRequests);
    if (f.result == StepResult::Complete) {
        expectRecords(sink, m.options.memory, 1, 12);
        EXPECT_EQ(messages(*t).front(), kComplete);
    } else {
        EXPECT_EQ(messages(*t), std::vector<std::string>{std::string("message[error]: ") + f.message});
        EXPECT_FALSE(t->link.isOpen());
        expectRecords(sink, m.options.memory, 1, 7);  // those before the bad one stay written
    }
}

INSTANTIATE_TEST_SUITE_P(
    Faults, RecordFaults,
    ::testing::Values(
        RecordFault{"CrcOnce", &sim::MemoryFaults::crcError, {8, 1}, true, StepResult::Complete, 1, nullptr},
        RecordFault{"WrongTypeThrice", &sim::MemoryFaults::wrongType, {8, 3}, false, StepResult::Complete, 3, nullptr},
        RecordFault{"LengthOnce", &sim::MemoryFaults::badLength, {8, 1}, true, StepResult::Complete, 1, nullptr},
        RecordFault{"WrongTypeAlways", &sim::MemoryFaults::wrongType, {8, -1}, true, StepResult::Failed, 5,
                    "Błędny format odebranych danych!"},
        RecordFault{"WrongTypeAlwaysSerial", &sim::MemoryFaults::wrongType, {8, -1}, false, StepResult::Failed, 5,
                    "Błędny format odebranych danych!"},
        RecordFault{"LengthAlways", &sim::MemoryFaults::badLength, {8, -1}, true, StepResult::Failed, 5,
                    "Niewłaściwa długość danych!"}),
    [](const auto& info) { return info.param.name; });

TEST_F(DownloadTest, ARecordWhoseCrcKeepsFailingIsWrittenAsIncorrect) {
    Memory m(12);
    m.options.memory.faults.crcError = {8, -1};  // a "P" record of the simulated memory
    ASSERT_TRUE(connect(m));
    ASSERT_EQ(run(), StepResult::Complete);
    ASSERT_EQ(sink.records.size(), 12u);
    EXPECT_EQ(sink.records[7].kind, 'P');
    EXPECT_FALSE(sink.records[7].correct);
    EXPECT_EQ(state.reRequests, 2);
    EXPECT_EQ(state.invalidRecords, 1);
    EXPECT_EQ(messages(*t).back(), "message[information]: Transfer zakończony.\nPrzesłano 12 rekordów w czasie 1 s (12.0 rek/s)\n"
                                  "Liczba powtórzeń transmisji: 2\nLiczba niepoprawnych rekordów: 1");
}

// A clock that stands still except while a message box is open: 9 s each.
struct ReadingClock final : Clock {
    LocalDateTime now() const override { return {}; }
    long long seconds() const override { return at; }
    void sleep(int) const override {}
    long long at = 100;
};

struct SlowReader final : testing::RecordingObserver {
    explicit SlowReader(ReadingClock& c) : clock(c) {}
    void message(const std::string& text, MessageIcon icon) override {
        RecordingObserver::message(text, icon);
        clock.at += 9;
    }
    ReadingClock& clock;
};

TEST(TransferSummary, TimesTheTransferNotTheUserReadingTheFirstBox) {
    ReadingClock clock;
    SlowReader reader(clock);
    LoggerSim t(testing::memoryOf(10));
    LoggerSession session{t.link, reader};
    session.clock = &clock;
    ASSERT_EQ(connectSession(session), StatusResult::Ok);
    DownloadState state;
    RecordingSink sink;
    startDownload(state, false);
    StepResult step = StepResult::Continue;
    while (step == StepResult::Continue) step = downloadStep(session, state, sink);
    ASSERT_EQ(step, StepResult::Complete);
    EXPECT_EQ(reader.only("message").back(),
              "message[information]: Transfer zakończony.\nPrzesłano 10 rekordów w czasie 1 s (10.0 rek/s)\n"
              "Liczba powtórzeń transmisji: 0\nLiczba niepoprawnych rekordów: 0");
}

TEST(TransferSummary, CountsAZeroSecondTransferAsOneSecond) {
    DownloadState state;
    state.recordCount = 2000;
    state.startTime = 50;
    state.reRequests = 3;
    EXPECT_EQ(cp1250::toUtf8(transferSummary(state, 50)),
              "Transfer zakończony.\nPrzesłano 2000 rekordów w czasie 1 s (2000.0 rek/s)\n"
              "Liczba powtórzeń transmisji: 3\nLiczba niepoprawnych rekordów: 0");
    EXPECT_EQ(cp1250::toUtf8(transferSummary(state, 58)),
              "Transfer zakończony.\nPrzesłano 2000 rekordów w czasie 8 s (250.0 rek/s)\n"
              "Liczba powtórzeń transmisji: 3\nLiczba niepoprawnych rekordów: 0");
}

} // namespace
} // namespace kavrel::logger
