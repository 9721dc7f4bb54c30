// The logger's commands that are not downloads: clearing the memory and setting the
// logging period, optionally with the module clock. Each is confirmed by a reply that
// starts with "OK" and is followed by a fresh status read.
#pragma once

#include <string>

#include "common/clock.h"
#include "logger/protocol/session.h"

namespace kavrel::logger {

enum class [[nodiscard]] CommandResult : int {
    Confirmed = 0,
    NotConfirmed = 1,
    Declined = 2,   // the user answered No
};

inline constexpr int kMaxLoggingPeriod = 255;

// "Skasuj pamięć": asks first; after Yes sends "*CLR=1,0". The status is read again in
// every case, also after No.
CommandResult clearMemory(LoggerSession& session);

// "*CLR=1,0" without asking, its outcome shown ("Zawartość pamięci skasowana." or
// "Brak potwierdzenia."); the status is not read again.
CommandResult sendClear(LoggerSession& session);

// "LOGT=%d", or with the clock "LOGT=%d TIME=yy/mm/dd,hh:mm:ss" of the given local time.
std::string loggingCommand(int periodMinutes, bool setClock, const LocalDateTime& now);

// "Zmień ustawienia" after its dialog was accepted: sends the command; confirmed, the
// status is read again; otherwise "Brak potwierdzenia!".
CommandResult changeLogging(LoggerSession& session, int periodMinutes, bool setClock, const Clock& clock);

} // namespace kavrel::logger
