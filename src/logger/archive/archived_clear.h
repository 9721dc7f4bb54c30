// "Pobierz i skasuj": the module's memory is cleared only when the archive holds every
// record the status shows and nothing was logged since. After an update that completed,
// the archive file is opened anew and the records counted from the slot holding the
// module's oldest record to the one holding its newest (both read again from the module);
// the user is asked with both numbers; a status read just before the clear must show the
// memory as the update saw it. Otherwise nothing is cleared and the reason is shown.
#pragma once

#include <filesystem>
#include <string>

#include "logger/archive/archive_update.h"
#include "logger/protocol/session.h"

namespace kavrel::logger::archive {

enum class ArchivedClear {
    Cleared,
    Refused,      // the archive does not hold everything, or records were added (reason shown)
    Declined,     // the user answered No
    Failed,       // the link failed or the module did not confirm (message shown)
};

// `update` is the update just run on this session into the archive at `file`.
ArchivedClear clearArchived(LoggerSession& session, const std::filesystem::path& file, const UpdateResult& update);

// "12 345": thousands apart by a space, as the confirmation shows them.
std::string groupedNumber(long long value);

} // namespace kavrel::logger::archive
