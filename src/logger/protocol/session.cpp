#include "logger/protocol/session.h"

#include <array>
#include <cstdio>

#include "common/win1250.h"
#include "link/command_words.h"
#include "link/handshake.h"

namespace kavrel::logger {
namespace {

constexpr int kStatusAttempts = 6;
constexpr int kShortStatusPauseMs = 100;
constexpr int kReconnectPauseMs = 100;

StatusResult failStatus(LoggerSession& session, StatusResult result, const std::string& text) {
    session.observer.message(text, MessageIcon::Error);
    disconnectSession(session);
    return result;
}

} // namespace

StatusResult connectSession(LoggerSession& session) {
    if (session.link.isOpen()) {
        disconnectSession(session);
        session.clock->sleep(kReconnectPauseMs);
    }
    if (link::openLoggerLink(session.link, !session.fixedSpeed, session.observer) != link::LinkResult::Ok)
        return StatusResult::NoReply;
    return readStatus(session, kStatusSelector);
}

void endFastTransfer(link::ModuleLink& link) {
    for (int i = 0; i < 2; ++i) link.queryFixed(link::command::kEndOfTransfer, 1);
}

void disconnectSession(LoggerSession& session) {
    if (session.link.isOpen() && session.link.serialSpeed() > link::ModuleLink::kSlowSpeed) {
        endFastTransfer(session.link);
    }
    session.link.close();
    session.connected = false;
}

link::LinkResult reopenLink(LoggerSession& session) {
    session.link.close();
    return session.link.open(!session.fixedSpeed);
}

StatusResult readStatus(LoggerSession& session, int selector) {
    link::ModuleLink& link = session.link;
    link.queryFixed(link::command::kHaltDebugOff, 4);
    char request[32];
    std::snprintf(request, sizeof request, "*RD_%d,0", selector);

    // The message follows the last frame that was checked: a short reply is only waited
    // out, so it leaves an earlier CRC or format failure standing. With no frame checked
    // at all (every attempt short) the reply is a length error.
    FrameCheck check = FrameCheck::BadLength;
    std::array<std::uint8_t, kStatusFrameSize> frame{};
    for (int attempt = 0; attempt < kStatusAttempts; ++attempt) {
        const std::size_t got = link.queryFixed(request, kStatusFrameSize);
        if (got == 0) return failStatus(session, StatusResult::NoReply, W("Brak komunikacji z urządzeniem!"));
        if (got < kStatusFrameSize) {
            session.clock->sleep(kShortStatusPauseMs);
            continue;
        }
        check = checkFrame(link.received(), kStatusType, kStatusLength, got);
        if (check == FrameCheck::Valid) {
            std::copy_n(link.received().begin(), kStatusFrameSize, frame.begin());
            break;
        }
    }
    switch (check) {
    case FrameCheck::Valid: break;
    case FrameCheck::WrongType: return failStatus(session, StatusResult::Unrecognised, W("Błąd komunikacji: nierozpoznany format!"));
    case FrameCheck::BadLength: return failStatus(session, StatusResult::WrongLength, W("Błąd komunikacji: niewłaściwa długość!"));
    default: return failStatus(session, StatusResult::Error, W("Błąd przy odczycie statusu!"));
    }

    const ModuleStatus status = decodeStatus(frame);
    // A record length the frames could never carry would make every batch fail (or, with
    // fewer than 11 bytes, hand on records without a time stamp): refuse it here.
    if (!status.recordLengthUsable()) {
        char text[160];
        std::snprintf(text, sizeof text, "%s (%u)", W("Błąd komunikacji: niewłaściwa długość rekordów w statusie modułu").c_str(),
                      unsigned{status.recordLength});
        return failStatus(session, StatusResult::WrongLength, text);
    }
    session.status = status;
    session.connected = true;
    session.observer.version(status.versionText());
    return StatusResult::Ok;
}

} // namespace kavrel::logger
