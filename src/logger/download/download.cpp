#include "logger/download/download.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <span>

#include "common/bytes.h"
#include "common/win1250.h"
#include "logger/protocol/frame.h"

namespace kavrel::logger {
namespace {

constexpr int kBatchAttempts = 6;
constexpr int kMostReRequests = 5;
constexpr int kCrcReRequests = 2;     // a CRC mismatch is given up after this many re-requests
constexpr int kRepeatPauseMs = 500;
constexpr int kReconnectPauseMs = 300;
constexpr std::size_t kNumberOffset = 3;
constexpr std::size_t kKindOffset = 2;
constexpr std::size_t kLargestFrame = kMaxRecordLength + 2;

enum class BatchOutcome { Accepted, Short, Long, Repeated };

long long nowSeconds(const LoggerSession& session) {
    return session.clock->seconds();
}

std::int32_t recordNumber(std::span<const std::uint8_t> frame) {
    return static_cast<std::int32_t>(bytes::get32le(frame, kNumberOffset));
}

// Why a download ended early; the texts are the module-facing messages of the logger.
StepResult fail(LoggerSession& session, RecordSink& sink, const char* utf8Message) {
    sink.downloadEnded(DownloadEnd::Failed);
    if (utf8Message) session.observer.message(W(utf8Message), MessageIcon::Error);
    disconnectSession(session);
    return StepResult::Failed;
}

// TCP only: a fresh connection when the module seems stuck. False when it cannot be made.
bool reconnect(LoggerSession& session) {
    if (reopenLink(session) != link::LinkResult::Ok) return false;
    session.clock->sleep(kReconnectPauseMs);
    session.link.drainInput();
    return true;
}

constexpr const char* kReconnectFailed = "Błąd resetowania połączenia przez sieć LAN (TCP/IP)!";

// The module answered with the very batch it sent last: every position carries the
// record number it carried then. Blank slots (0, or -1 for erased memory) never match.
// The bytes are compared as they are: in an extended-line record they hold line values,
// not a number, and reading them as a signed count would hide half of the repeats.
bool repeatsPrevious(std::span<const std::uint8_t> reply, std::size_t frameSize, int count,
                     const std::array<std::int32_t, kBatchRecords>& previous) {
    int matching = 0;
    for (int i = 0; i < count; ++i) {
        const std::int32_t number = recordNumber(reply.subspan(static_cast<std::size_t>(i) * frameSize));
        if (number != 0 && number != -1 && number == previous[static_cast<std::size_t>(i)]) ++matching;
    }
    return matching == count;
}

// The frame check of a record slot; none for a slot of erased memory.
std::optional<FrameCheck> checkSlot(std::span<const std::uint8_t> frame, int length) {
    if (isBlankSlot(frame)) return std::nullopt;
    return checkFrame(frame, kRecordType, length, frame.size());
}

} // namespace

void startDownload(DownloadState& state, bool printMode) {
    state.printMode = printMode;
    state.startPending = true;
}

std::string transferSummary(const DownloadState& state, long long endTime) {
    long long elapsed = endTime - state.startTime;
    if (elapsed <= 0) elapsed = 1;
    char text[320];
    std::snprintf(text, sizeof text, "%s\n%s %d %s %lld s (%4.1f rek/s)\n%s %d\n%s %d", W("Transfer zakończony.").c_str(),
                  W("Przesłano").c_str(), state.recordCount, W("rekordów w czasie").c_str(), elapsed,
                  static_cast<double>(state.recordCount) / static_cast<double>(elapsed),
                  W("Liczba powtórzeń transmisji:").c_str(), state.reRequests, W("Liczba niepoprawnych rekordów:").c_str(),
                  state.invalidRecords);
    return text;
}

StepResult downloadStep(LoggerSession& session, DownloadState& state, RecordSink& sink) {
    link::ModuleLink& link = session.link;
    if (state.startPending) {
        state.startPending = false;
        state.recordCount = session.status.recordCount();
        state.nextIndex = state.printMode ? 1 : 0;
        state.batchSize = std::clamp(state.recordCount - state.nextIndex, 0, kBatchRecords);
        state.reRequests = state.invalidRecords = state.handledRecords = 0;
        state.startTime = nowSeconds(session);
        sink.downloadStarted();
    }

    const int length = session.status.recordLength;
    const auto frameSize = static_cast<std::size_t>(length) + 2;
    const int n = state.batchSize;
    // Nothing (more) to read, or no status to read it by: a request for no records would
    // be a status request, so none is sent.
    if (n > 0 && state.nextIndex < state.recordCount) {
        if (!session.status.recordLengthUsable()) return fail(session, sink, "Niewłaściwa długość danych!");

        char request[48];
        std::snprintf(request, sizeof request, "*RD_%d,%d", state.nextIndex + 1, n);
        const std::size_t expected = frameSize * static_cast<std::size_t>(n);

        BatchOutcome outcome = BatchOutcome::Short;
        bool drained = false;
        for (int attempt = 0; attempt < kBatchAttempts; ++attempt) {
            if (link.tcpMode() && (attempt == 3 || attempt == 5) && !drained && !reconnect(session))
                return fail(session, sink, kReconnectFailed);
            const std::size_t received = link.queryFixed(request, expected);
            if (received > expected) {
                session.clock->sleep(kRepeatPauseMs);
                link.drainInput();
                drained = true;
                outcome = BatchOutcome::Long;
                continue;
            }
            drained = false;
            if (received < expected) {
                outcome = BatchOutcome::Short;
                continue;
            }
            if (repeatsPrevious(link.received(), frameSize, n, state.previousNumbers)) {
                session.clock->sleep(kRepeatPauseMs);
                link.drainInput();
                drained = true;
                outcome = BatchOutcome::Repeated;
                continue;
            }
            outcome = BatchOutcome::Accepted;
            break;
        }
        // Too many bytes six times over is as much a failed transfer as too few; it used
        // to end the download without a word.
        if (outcome == BatchOutcome::Short || outcome == BatchOutcome::Long)
            return fail(session, sink, "Błąd odbioru danych z urządzenia!");

        std::array<std::uint8_t, kLargestFrame * kBatchRecords> batch{};
        std::copy_n(link.received().begin(), expected, batch.begin());
        for (int i = 0; i < n; ++i)
            state.previousNumbers[static_cast<std::size_t>(i)] = recordNumber(std::span(batch).subspan(frameSize * i));

        for (int i = 0; i < n; ++i) {
            const std::span<std::uint8_t> frame = std::span(batch).subspan(frameSize * static_cast<std::size_t>(i), frameSize);
            std::optional<FrameCheck> result = checkSlot(frame, length);
            for (int reRequests = 0;; ++reRequests) {
                if (result == FrameCheck::Valid || !result) break;
                if (result == FrameCheck::CrcMismatch && reRequests >= kCrcReRequests) break;
                if (reRequests == kMostReRequests)
                    return fail(session, sink,
                                result == FrameCheck::WrongType ? "Błędny format odebranych danych!" : "Niewłaściwa długość danych!");
                if (link.tcpMode() && (reRequests == 2 || reRequests == 4) && !reconnect(session))
                    return fail(session, sink, kReconnectFailed);
                char single[48];
                std::snprintf(single, sizeof single, "*RD_%d,1", state.nextIndex + i + 1);
                link.queryFixed(single, frameSize, frame);
                ++state.reRequests;
                result = checkSlot(frame, length);
            }

            if (state.nextIndex + i >= state.recordCount) continue;  // past the last record
            const bool correct = result == FrameCheck::Valid;
            RecordBytes record{};
            std::copy_n(frame.begin(), std::min(frame.size(), record.size()), record.begin());
            if (!correct && isBlankTime(record)) continue;
            switch (record[kKindOffset]) {
            case 'P':
                if (!correct) ++state.invalidRecords;
                sink.historyRecord(record, correct);
                break;
            case 'X': sink.historyRecord(record, correct); break;
            case 'Z': sink.eventRecord(record, correct); break;
            default: break;  // a kind this logger does not know
            }
            ++state.handledRecords;
        }
        state.nextIndex += n;
        const long long shown = std::min(state.nextIndex, state.recordCount);
        session.observer.progress(state.recordCount > 0 ? static_cast<int>(shown * 100 / state.recordCount) : 100);
        if (state.nextIndex < state.recordCount) return StepResult::Continue;
    }

    sink.downloadEnded(DownloadEnd::Complete);
    if (!state.printMode) {
        session.observer.message(W("Zawartość pamięci odczytana."), MessageIcon::Information);
        session.observer.message(transferSummary(state, nowSeconds(session)), MessageIcon::Information);
    }
    return StepResult::Complete;
}

} // namespace kavrel::logger
