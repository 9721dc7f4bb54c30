// What the configurator's module operations (read, write with its verification, the
// reviewed write) end with. A link failure that stopped one passes through with its own
// number (LinkResult 1..5); the configurator's own outcomes are numbered above them.
#pragma once

#include <cstddef>
#include <iterator>

#include "common/result_code.h"
#include "link/module_link.h"

namespace kavrel::config {

enum class [[nodiscard]] ConfigResult : int {
    Ok = 0,
    VerificationFailed = 16,   // every line was acknowledged but the read-back differed
    NoSettingsInReply = 17,    // a read's reply held none of its query's keys
    BackupFailed = 18,         // the reviewed write: the backup could not be written, nothing sent
    WriteCancelled = 19,       // the reviewed write: the user chose not to send
    WriteRefused = 20,         // the write was refused once the module answered (another firmware not
                               // confirmed, a resume on another module): only the handshake was sent
    NothingToResume = 21,      // no unfinished write for the connection (or no backup to restore), nothing sent
};

// Every result above, for the check that no two share a number (a caller that tells a
// cancelled write from a failed read relies on it). A new result goes here too.
inline constexpr ConfigResult kConfigResults[] = {ConfigResult::Ok, ConfigResult::VerificationFailed,
                                                  ConfigResult::NoSettingsInReply, ConfigResult::BackupFailed,
                                                  ConfigResult::WriteCancelled, ConfigResult::WriteRefused,
                                                  ConfigResult::NothingToResume};

// The configurator's own numbers lie above the link's (1..5), which pass through.
consteval bool configResultsDistinct() {
    for (std::size_t i = 0; i < std::size(kConfigResults); ++i) {
        if (i > 0 && toInt(kConfigResults[i]) <= 5) return false;
        for (std::size_t j = i + 1; j < std::size(kConfigResults); ++j)
            if (toInt(kConfigResults[i]) == toInt(kConfigResults[j])) return false;
    }
    return true;
}
static_assert(configResultsDistinct(), "two configurator results share a number");

// A link result as the operation's result, number for number.
constexpr ConfigResult configResult(link::LinkResult result) { return static_cast<ConfigResult>(toInt(result)); }

} // namespace kavrel::config
