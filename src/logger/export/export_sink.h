// What an export writes records into: a RecordSink that owns the files of one format. The
// export's routine names and creates them, writes their heads, hands on the records, and
// asks at the end whether every byte reached them.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "common/clock.h"
#include "common/observer.h"
#include "logger/descriptions/line_descriptions.h"
#include "logger/download/record_sink.h"
#include "logger/protocol/module_status.h"

namespace kavrel::logger {

// The columns the files get: from the status read just before a download, or the status an
// archive segment was started with.
struct ExportColumns {
    LineConfiguration lines{};
    bool extendedLines = false;
    bool energyMeter = false;
};

// Record numbers the source knows to be lost (overwritten before they were archived).
struct LostNumbers {
    std::int64_t first = 0, last = 0;
    std::string noticed;   // "YYYY-MM-DD hh:mm:ss", local time
};

// Where the records come from, for the formats that describe it in their head. Texts UTF-8.
struct ExportSource {
    std::string moduleName;              // the archive's name of the module ("" when none)
    std::optional<ModuleStatus> status;  // the download's status, or the segment's
    std::string started, reason;         // the archive segment's start and why it began
    std::string from, to;                // the period asked for ("YYYY-MM-DD"; "" no bound)
    std::vector<LostNumbers> lost;       // in number order
};

// One archived slot: the number and time stamp the archive gave it (an extended-line
// record carries its measurement's), and its index in the module's memory when read.
struct ArchivedPlace {
    std::int64_t number = 0;
    std::string stamp;   // "YYYY-MM-DD hh:mm:ss", "" when blank
    int index = 0;
};

class ExportSink : public RecordSink {
public:
    // Names the files after the chosen name and creates them (each beside its name until it
    // is complete). Returns "" when they were created, otherwise the message to show (UTF-8);
    // nothing of this export is then left behind but what the format says.
    virtual std::string createFiles(const std::filesystem::path& chosen) = 0;
    // The files' names, as createFiles gave them, in the order they are reported.
    virtual std::vector<std::filesystem::path> files() const = 0;
    // The heads of the files, before the first record.
    virtual void writeHeaders(const ExportColumns& columns, const LocalDateTime& generated) = 0;
    // Nothing will be written after the heads: the files are closed without records.
    virtual void abandon() = 0;
    // Whether anything written was lost (a full disk, a removed medium).
    virtual bool writeFailed() const = 0;
    // Before writeHeaders: where the records come from. The CSV and HTML do not use it.
    virtual void describeSource(const ExportSource& source) { (void)source; }
    // Every slot of an archive segment, as archived, before its records are handed on.
    virtual void archivedSlot(const ArchivedPlace& place, std::span<const std::uint8_t> frame, bool correct) {
        (void)place, (void)frame, (void)correct;
    }
    // Where to say that a file was put beside an earlier one rather than over it.
    virtual void setObserver(OperationObserver* observer) = 0;
};

} // namespace kavrel::logger
