// A self-describing history (the kvl-csv export) read back into an archive: its head gives
// the module and the segment's status, its rows the record frames as they were archived
// and the numbers that were lost. The whole file is checked before anything is written;
// the records then go in as one new segment of the module.
#pragma once

#include <filesystem>
#include <string>

#include "logger/archive/archive.h"

namespace kavrel::logger::archive {

struct ImportOutcome {
    bool ok = false;
    std::string error;          // UTF-8: what is wrong with the file (its line) or the archive
    std::int64_t segment = 0;
    long long records = 0;
    long long holes = 0;
};

// `text` is the file's whole content; `name` names it in the messages. A file written by a
// download (no segment in its head) becomes a segment started `now` ("YYYY-MM-DD hh:mm:ss",
// local time) for the import.
ImportOutcome importHistory(Archive& archive, const std::string& text, const std::string& name, const std::string& now);

// Reads the file and imports it.
ImportOutcome importHistoryFile(Archive& archive, const std::filesystem::path& file, const std::string& now);

} // namespace kavrel::logger::archive
