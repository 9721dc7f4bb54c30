// What the configurator's module operations (read, write with its verification, the
// reviewed write) end with. A link failure that stopped one is carried under its own name
// and with the link's own number (1..5); the configurator's own outcomes are numbered above.
#pragma once

#include <cstddef>
#include <iterator>

#include "common/result_code.h"
#include "link/link_result.h"

namespace kavrel::config {

enum class [[nodiscard]] ConfigResult : int {
    Ok = 0,
    // The link's results, as the link numbers them.
    LinkFailed = 1,            // the port did not open, or a write or send failed
    LinkBadReply = 2,          // serial: a reply that does not start with "OK"
    LinkNothingReceived = 3,   // serial: no reply; TCP: the connection was closed
    LinkReceiveError = 4,      // TCP: a receive failed
    LinkSendError = 5,         // TCP: a send failed, or there was no connection
    // The configurator's own.
    VerificationFailed = 16,   // every line was acknowledged but the read-back differed
    NoSettingsInReply = 17,    // a read's reply held none of its query's keys
    BackupFailed = 18,         // the reviewed write: the backup could not be written, nothing sent
    WriteCancelled = 19,       // the reviewed write: the user chose not to send
    WriteRefused = 20,         // the write was refused once the module answered (another firmware not
                               // confirmed, a resume on another module): only the handshake was sent
    NothingToResume = 21,      // no unfinished write for the connection (or no backup to restore), nothing sent
    JournalFailed = 22,        // the write's journal could not be saved: the write stopped there (before
                               // its first line, or after the last one the journal on the disk holds)
};

// Every result above, for the check that no two share a number (a caller that tells a
// cancelled write from a failed read relies on it). A new result goes here too.
inline constexpr ConfigResult kConfigResults[] = {
    ConfigResult::Ok,                 ConfigResult::LinkFailed,        ConfigResult::LinkBadReply,
    ConfigResult::LinkNothingReceived, ConfigResult::LinkReceiveError, ConfigResult::LinkSendError,
    ConfigResult::VerificationFailed, ConfigResult::NoSettingsInReply, ConfigResult::BackupFailed,
    ConfigResult::WriteCancelled,     ConfigResult::WriteRefused,      ConfigResult::NothingToResume,
    ConfigResult::JournalFailed};

consteval bool configResultsDistinct() {
    for (std::size_t i = 0; i < std::size(kConfigResults); ++i)
        for (std::size_t j = i + 1; j < std::size(kConfigResults); ++j)
            if (toInt(kConfigResults[i]) == toInt(kConfigResults[j])) return false;
    return true;
}
static_assert(configResultsDistinct(), "two configurator results share a number");

// A link result under its name here; the numbers stay the link's, as callers may print them.
constexpr ConfigResult configResult(link::LinkResult result) {
    switch (result) {
    case link::LinkResult::Ok: return ConfigResult::Ok;
    case link::LinkResult::Failed: return ConfigResult::LinkFailed;
    case link::LinkResult::BadReply: return ConfigResult::LinkBadReply;
    case link::LinkResult::NothingReceived: return ConfigResult::LinkNothingReceived;
    case link::LinkResult::ReceiveError: return ConfigResult::LinkReceiveError;
    case link::LinkResult::SendError: return ConfigResult::LinkSendError;
    }
    return ConfigResult::LinkFailed;
}
static_assert(toInt(configResult(link::LinkResult::Failed)) == toInt(link::LinkResult::Failed) &&
              toInt(configResult(link::LinkResult::BadReply)) == toInt(link::LinkResult::BadReply) &&
              toInt(configResult(link::LinkResult::NothingReceived)) == toInt(link::LinkResult::NothingReceived) &&
              toInt(configResult(link::LinkResult::ReceiveError)) == toInt(link::LinkResult::ReceiveError) &&
              toInt(configResult(link::LinkResult::SendError)) == toInt(link::LinkResult::SendError),
              "a link result keeps its number");

} // namespace kavrel::config
