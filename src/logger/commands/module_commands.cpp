#include "logger/commands/module_commands.h"

#include "common/win1250.h"
#include "link/clock_line.h"

namespace kavrel::logger {
namespace {

constexpr std::size_t kConfirmationBytes = 3;

bool confirmed(LoggerSession& session, const std::string& command) {
    const std::size_t got = session.link.queryFixed(command, kConfirmationBytes);
    const auto reply = session.link.received();
    return got >= kConfirmationBytes && reply[0] == 'O' && reply[1] == 'K';
}

} // namespace

CommandResult sendClear(LoggerSession& session) {
    if (confirmed(session, "*CLR=1,0")) {
        session.observer.message(W("Zawartość pamięci skasowana."), MessageIcon::Information);
        return CommandResult::Confirmed;
    }
    session.observer.message(W("Brak potwierdzenia."), MessageIcon::Error);
    return CommandResult::NotConfirmed;
}

CommandResult clearMemory(LoggerSession& session) {
    CommandResult result = CommandResult::Declined;
    if (session.observer.askYesNo(W("Czy na pewno chcesz skasować\nzawartość pamięci w module ?"))) result = sendClear(session);
    // A failed status read has shown its own message and closed the link (session.connected).
    (void)readStatus(session, kStatusSelector);
    return result;
}

std::string loggingCommand(int periodMinutes, bool setClock, const LocalDateTime& now) {
    std::string command = "LOGT=" + std::to_string(periodMinutes);
    if (setClock) command += " " + link::clockLine(now);
    return command;
}

CommandResult changeLogging(LoggerSession& session, int periodMinutes, bool setClock, const Clock& clock) {
    if (!confirmed(session, loggingCommand(periodMinutes, setClock, clock.now()))) {
        session.observer.message(W("Brak potwierdzenia!"), MessageIcon::Error);
        return CommandResult::NotConfirmed;
    }
    // A failed status read has shown its own message and closed the link (session.connected).
    (void)readStatus(session, kStatusSelector);
    return CommandResult::Confirmed;
}

} // namespace kavrel::logger
