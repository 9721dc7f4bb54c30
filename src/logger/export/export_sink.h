// What an export writes records into: a RecordSink that owns the files of one format. The
// export's routine names and creates them, writes their heads, hands on the records, and
// asks at the end whether every byte reached them.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "common/clock.h"
#include "common/observer.h"
#include "logger/descriptions/line_descriptions.h"
#include "logger/download/record_sink.h"

namespace kavrel::logger {

// The columns the files get: from the status read just before a download, or the status an
// archive segment was started with.
struct ExportColumns {
    LineConfiguration lines{};
    bool extendedLines = false;
    bool energyMeter = false;
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
    // Where to say that a file was put beside an earlier one rather than over it.
    virtual void setObserver(OperationObserver* observer) = 0;
};

} // namespace kavrel::logger
