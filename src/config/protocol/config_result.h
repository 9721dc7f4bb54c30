// What the configurator's module operations (read, write with its verification, the
// reviewed write) end with. A link failure that stopped one passes through with its own
// number (LinkResult 1..5); the configurator's own outcomes are numbered above them.
#pragma once

#include "common/result_code.h"
#include "link/module_link.h"

namespace kavrel::config {

enum class [[nodiscard]] ConfigResult : int {
    Ok = 0,
    VerificationFailed = 16,   // every line was acknowledged but the read-back differed
    NoSettingsInReply = 17,    // a read's reply held none of its query's keys
    WriteCancelled = 17,       // the reviewed write: the user chose not to send
    BackupFailed = 18,         // the reviewed write: the backup could not be written, nothing sent
};

// A link result as the operation's result, number for number.
constexpr ConfigResult configResult(link::LinkResult result) { return static_cast<ConfigResult>(toInt(result)); }

} // namespace kavrel::config
