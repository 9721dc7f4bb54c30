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

enum class BatchOutcome {
    Accepted,
    Short,
    Long,
    Repeated,        // the previous batch on every attempt: taken as it is
    ReconnectFailed,
};

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


// The state of a new download, from the module's status.
void beginDownload(LoggerSession& session, DownloadState& state, RecordSink& sink) {
    state.startPending = false;
    state.recordCount = session.status.recordCount();
    state.nextIndex = state.printMode ? 1 : std::max(0, state.firstIndex);
    state.batchSize = std::clamp(state.recordCount - state.nextIndex, 0, kBatchRecords);
    state.reRequests = state.invalidRecords = state.handledRecords = 0;
    state.startTime = nowSeconds(session);
    sink.downloadStarted();
}

// Batch retry: asks for the next batch until a reply of exactly its size arrives that is
// not the previous batch again, at most six times. A reply too long or repeated is drained
// before the next attempt; a TCP link is reconnected at the fourth and sixth attempt unless
// the input was just drained. The accepted reply is left in the link's reply buffer.
BatchOutcome requestBatch(LoggerSession& session, const DownloadState& state, std::size_t frameSize) {
    link::ModuleLink& link = session.link;
    const int n = state.batchSize;
    char request[48];
    std::snprintf(request, sizeof request, "*RD_%d,%d", state.nextIndex + 1, n);
    const std::size_t expected = frameSize * static_cast<std::size_t>(n);

    BatchOutcome outcome = BatchOutcome::Short;
    bool drained = false;
    for (int attempt = 0; attempt < kBatchAttempts; ++attempt) {
        if (link.reconnectsBetweenRetries() && (attempt == 3 || attempt == 5) && !drained && !reconnect(session))
            return BatchOutcome::ReconnectFailed;
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
        return BatchOutcome::Accepted;
    }
    return outcome;
}

// What slot repair leaves of one record slot.
struct SlotRepair {
    // Valid, none for a blank slot, or the failed check it was given up with.
    std::optional<FrameCheck> check = FrameCheck::Valid;
    const char* failure = nullptr;  // set when the download ends at this slot
};

// Slot repair: a frame that fails its check is requested again on its own until it passes
// or is blank, at most five times; a CRC mismatch is given up (and handed on as incorrect)
// after two. A TCP link is reconnected before the third and fifth re-request.
SlotRepair repairSlot(LoggerSession& session, DownloadState& state, int slot, std::span<std::uint8_t> frame) {
    link::ModuleLink& link = session.link;
    const int length = session.status.recordLength;
    SlotRepair repair{checkSlot(frame, length)};
    for (int reRequests = 0;; ++reRequests) {
        if (repair.check == FrameCheck::Valid || !repair.check) break;
        if (repair.check == FrameCheck::CrcMismatch && reRequests >= kCrcReRequests) break;
        if (reRequests == kMostReRequests) {
            repair.failure = repair.check == FrameCheck::WrongType ? "Błędny format odebranych danych!" : "Niewłaściwa długość danych!";
            break;
        }
        if (link.reconnectsBetweenRetries() && (reRequests == 2 || reRequests == 4) && !reconnect(session)) {
            repair.failure = kReconnectFailed;
            break;
        }
        char single[48];
        std::snprintf(single, sizeof single, "*RD_%d,1", state.nextIndex + slot + 1);
        link.queryFixed(single, frame.size(), frame);
        ++state.reRequests;
        repair.check = checkSlot(frame, length);
    }
    return repair;
}

// Hand-on: a slot past the last record is left out; the others go to the sink as they
// came, then by kind. An incorrect "P" record is counted as invalid.
void handOn(DownloadState& state, RecordSink& sink, int slot, std::span<const std::uint8_t> frame, bool correct) {
    if (state.nextIndex + slot >= state.recordCount) return;  // past the last record
    sink.recordSlot(state.nextIndex + slot + 1, frame, correct);
    const HandOff handed = handOnRecord(sink, frame, correct);
    if (handed == HandOff::Skipped) return;
    if (!correct && frame[kKindOffset] == 'P') ++state.invalidRecords;
    ++state.handledRecords;
}

// The sink's files finished and, for an export, the completion shown.
StepResult completeDownload(LoggerSession& session, const DownloadState& state, RecordSink& sink) {
    // The transfer ends here: the time the first box stays open is no part of it.
    const long long ended = nowSeconds(session);
    sink.downloadEnded(DownloadEnd::Complete);
    if (!state.printMode && state.announce) {
        session.observer.message(W("Zawartość pamięci odczytana."), MessageIcon::Information);
        session.observer.message(transferSummary(state, ended), MessageIcon::Information);
    }
    return StepResult::Complete;
}

} // namespace

HandOff handOnRecord(RecordSink& sink, std::span<const std::uint8_t> frame, bool correct) {
    RecordBytes record{};
    std::copy_n(frame.begin(), std::min(frame.size(), record.size()), record.begin());
    if (!correct && isBlankTime(record)) return HandOff::Skipped;
    switch (record[kKindOffset]) {
    case 'P':
    case 'X': sink.historyRecord(record, correct); return HandOff::History;
    case 'Z': sink.eventRecord(record, correct); return HandOff::Event;
    default: return HandOff::OtherKind;  // a kind this logger does not know
    }
}

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
    if (state.startPending) beginDownload(session, state, sink);
    const int n = state.batchSize;
    // Nothing (more) to read, or no status to read it by: a request for no records would
    // be a status request, so none is sent.
    if (n <= 0 || state.nextIndex >= state.recordCount) return completeDownload(session, state, sink);
    if (!session.status.recordLengthUsable()) return fail(session, sink, "Niewłaściwa długość danych!");

    const auto frameSize = static_cast<std::size_t>(session.status.recordLength) + 2;
    switch (requestBatch(session, state, frameSize)) {
    case BatchOutcome::ReconnectFailed: return fail(session, sink, kReconnectFailed);
    // A batch still too short or too long at its sixth attempt fails the transfer with its
    // message, whichever way it was wrong: a download never ends without saying why.
    case BatchOutcome::Short:
    case BatchOutcome::Long: return fail(session, sink, "Błąd odbioru danych z urządzenia!");
    case BatchOutcome::Accepted:
    case BatchOutcome::Repeated: break;
    }

    // The reply buffer is reused by the re-requests: the batch is kept apart from it.
    std::array<std::uint8_t, kLargestFrame * kBatchRecords> batch{};
    std::copy_n(session.link.received().begin(), frameSize * static_cast<std::size_t>(n), batch.begin());
    for (int i = 0; i < n; ++i)
        state.previousNumbers[static_cast<std::size_t>(i)] = recordNumber(std::span(batch).subspan(frameSize * i));

    for (int slot = 0; slot < n; ++slot) {
        const auto frame = std::span(batch).subspan(frameSize * static_cast<std::size_t>(slot), frameSize);
        const SlotRepair repair = repairSlot(session, state, slot, frame);
        if (repair.failure) return fail(session, sink, repair.failure);
        handOn(state, sink, slot, frame, repair.check == FrameCheck::Valid);
    }
    state.nextIndex += n;
    sink.batchEnded();
    const long long shown = std::min(state.nextIndex, state.recordCount);
    session.observer.progress(state.recordCount > 0 ? static_cast<int>(shown * 100 / state.recordCount) : 100);
    if (state.nextIndex < state.recordCount) return StepResult::Continue;
    return completeDownload(session, state, sink);
}

} // namespace kavrel::logger
