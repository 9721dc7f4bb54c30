// The logger's archive: one SQLite file holding, per module, every record frame exactly as
// it came from the module, in memory order, with what the archive needs to find its place
// again (record number, kind, time stamp, index in the module's memory).
//
// A module is known by its name (given by the user) and by what it says of itself and
// cannot change without a new memory: firmware version, memory geometry and record length.
// Its records form segments: a segment is one unbroken run of the module's numbering under
// one line configuration. When the module's records no longer continue the archived ones
// (memory cleared, another module behind the same address, lines configured anew), a new
// segment starts instead of the records being mixed. Records the module overwrote before
// they were archived are holes of their segment.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "logger/archive/sqlite_db.h"
#include "logger/archive/writer_lock.h"
#include "logger/protocol/module_status.h"

namespace kavrel::logger::archive {

struct ModuleIdentity {
    std::string name;          // UTF-8, as the user gave it ("" when none)
    std::string version;       // "V3.6"
    int geometryFactor = 0;
    int geometryBlocks = 0;
    int recordLength = 0;

    bool operator==(const ModuleIdentity&) const = default;
};

ModuleIdentity identityOf(const ModuleStatus& status, const std::string& name);
// "V3.6, pamięć 4x128, rekord 37 B" (UTF-8): what tells modules of one name apart.
std::string identityText(const ModuleIdentity& identity);

// One record slot as archived. `number` is the record's own number for "P" and "Z"; an
// extended-line record, an erased slot or an unknown kind carries the number of the
// numbered record before it.
struct ArchivedRecord {
    std::int64_t seq = 0;            // place in the segment, from 1
    std::int64_t number = 0;
    std::uint8_t kind = 0;
    std::string stamp;               // "YYYY-MM-DD hh:mm:ss" ("" when blank); "X" has its "P"'s
    bool correct = true;
    int moduleIndex = 0;             // index in the module's memory when it was read
    std::vector<std::uint8_t> frame; // L + 2 bytes as received
};

// Where a segment ends: its newest numbered record and what follows it.
struct SegmentTail {
    std::int64_t lastSeq = 0;         // 0: the segment is empty
    std::int64_t number = 0;          // the newest record number
    std::vector<std::uint8_t> numberedFrame;
    int numberedIndex = 0;            // its index in the module's memory when it was read
    int rowsAfter = 0;                // slots archived after it (its extended-line record)
    int erasedAfter = 0;              // ...of them erased slots (or of a kind not known)
    std::uint8_t lastKind = 0;        // kind of the segment's last slot
    std::string numberedStamp;
    bool numberedCorrect = true;      // its frame passed its check when it was received
    bool empty() const { return lastSeq == 0; }
};

struct Hole {
    std::int64_t first = 0, last = 0;  // record numbers lost, inclusive
    std::string noticed;               // local time of the update that found it
    std::int64_t count() const { return last - first + 1; }
};

struct SegmentInfo {
    std::int64_t id = 0;
    std::string started, reason;
    std::int64_t records = 0;             // slots archived
    std::int64_t firstNumber = 0, lastNumber = 0;
    std::string firstStamp, lastStamp;
    std::vector<Hole> holes;
};

struct ModuleInfo {
    std::int64_t id = 0;
    ModuleIdentity identity;
    std::vector<SegmentInfo> segments;
};

class Archive {
public:
    enum class Access {
        Write,     // an update: creates the file when missing and holds its writer lock
        ReadOnly,  // status, export, the count before a clear: the file exists and is never written
    };
    // Opens the archive file; false with error() set (UTF-8). A second writer of the same
    // file is refused, with busy() set, while the first one holds it.
    bool open(const std::filesystem::path& file, Access access = Access::Write);
    const std::string& error() const { return error_.empty() ? db_.lastError() : error_; }
    bool busy() const { return busy_; }

    // The module of this identity, created when missing.
    std::optional<std::int64_t> module(const ModuleIdentity& identity);
    // Modules of a name; every module when the name is empty.
    std::vector<ModuleInfo> modules(const std::optional<std::string>& name = std::nullopt);

    // The module's newest segment, if it has one.
    std::optional<std::int64_t> currentSegment(std::int64_t module);
    std::optional<std::int64_t> newSegment(std::int64_t module, const ModuleStatus& status, const std::string& reason,
                                           const std::string& started);
    // The status the segment was started with (the line configuration of its export).
    std::optional<ModuleStatus> segmentStatus(std::int64_t segment);
    SegmentTail tail(std::int64_t segment);
    // The tail as seen from the newest numbered record that arrived intact: a frame that
    // kept failing its check cannot be compared with the module's memory, so a search
    // finds its place by the record before it (whose followers then include it).
    SegmentTail trustedTail(std::int64_t segment);

    // Adds records after the segment's last one, all in one transaction. `lastSeq` is the
    // segment's last place as the caller knows it: when the file holds more (another
    // program wrote to it meanwhile), nothing is added and false is returned.
    bool append(std::int64_t segment, std::span<const ArchivedRecord> records, std::int64_t lastSeq);
    // Notes lost numbers; a hole noticed again (grown since) is kept once.
    bool noteHole(std::int64_t segment, const Hole& hole);
    std::vector<Hole> holes(std::int64_t segment);
    SegmentInfo segmentInfo(std::int64_t segment);

    // The segment's records in order, those of a period only when from/to ("YYYY-MM-DD",
    // inclusive) are set. The callback returns false to stop.
    bool forEach(std::int64_t segment, const std::string& from, const std::string& to,
                 const std::function<bool(const ArchivedRecord&)>& visit);
    // The last archived slot with this number, kind and frame.
    std::optional<std::int64_t> findSlot(std::int64_t segment, std::int64_t number, std::uint8_t kind,
                                         std::span<const std::uint8_t> frame);

private:
    bool createSchema();
    bool decodeSegment(std::int64_t segment);
    SegmentTail tailFrom(std::int64_t segment, bool intactOnly);
    WriterLock lock_;     // before the database: released after its connection is closed
    Database db_;
    std::string error_;
    bool busy_ = false;
};

// "YYYY-MM-DD hh:mm:ss" of a frame's time stamp, "" when it is blank or too short.
std::string stampOf(std::span<const std::uint8_t> frame);

} // namespace kavrel::logger::archive
