#include "logger/archive/archive.h"

#include <cstdio>

#include "common/file_names.h"
#include "logger/archive/archive_readings.h"
#include "logger/protocol/frame.h"
#include "logger/records/record_bytes.h"
#include "logger/records/record_layout.h"
#include "logger/records/record_time.h"

namespace kavrel::logger::archive {
namespace {

// Schema version 1. A write-ahead log with normal synchronisation: a commit is in the file
// when it returns, so a killed program or a cut link loses at most the batch in flight; only
// a power cut may lose the last batches (never the file's consistency), and no batch waits
// for the disk. Records are keyed by their place in the segment, so that the order of
// the module's memory (what the exports follow) is the order of the key.
constexpr const char* kSchema = R"sql(
PRAGMA journal_mode = WAL;
PRAGMA synchronous = NORMAL;
CREATE TABLE IF NOT EXISTS archive_info(key TEXT PRIMARY KEY, value TEXT NOT NULL);
INSERT OR IGNORE INTO archive_info VALUES('schema', '1');
CREATE TABLE IF NOT EXISTS modules(
  id INTEGER PRIMARY KEY,
  name TEXT NOT NULL,
  version TEXT NOT NULL,
  geometry_factor INTEGER NOT NULL,
  geometry_blocks INTEGER NOT NULL,
  record_length INTEGER NOT NULL,
  UNIQUE(name, version, geometry_factor, geometry_blocks, record_length));
CREATE TABLE IF NOT EXISTS segments(
  id INTEGER PRIMARY KEY,
  module_id INTEGER NOT NULL REFERENCES modules(id),
  started TEXT NOT NULL,
  reason TEXT NOT NULL,
  status BLOB NOT NULL);
CREATE TABLE IF NOT EXISTS records(
  segment_id INTEGER NOT NULL REFERENCES segments(id),
  seq INTEGER NOT NULL,
  number INTEGER NOT NULL,
  kind INTEGER NOT NULL,
  stamp TEXT NOT NULL,
  correct INTEGER NOT NULL,
  module_index INTEGER NOT NULL,
  frame BLOB NOT NULL,
  PRIMARY KEY(segment_id, seq)) WITHOUT ROWID;
CREATE INDEX IF NOT EXISTS records_by_number ON records(segment_id, number);
CREATE TABLE IF NOT EXISTS holes(
  segment_id INTEGER NOT NULL REFERENCES segments(id),
  first_number INTEGER NOT NULL,
  last_number INTEGER NOT NULL,
  noticed TEXT NOT NULL,
  PRIMARY KEY(segment_id, first_number));
)sql";

std::vector<std::uint8_t> statusBytes(const ModuleStatus& status) {
    const auto frame = encodeStatus(status);
    return {frame.begin(), frame.end()};
}

constexpr const char* kRecordColumns = "seq, number, kind, stamp, correct, module_index, frame";

ArchivedRecord readRecord(const Statement& row) {
    ArchivedRecord r;
    r.seq = row.integer(0);
    r.number = row.integer(1);
    r.kind = static_cast<std::uint8_t>(row.integer(2));
    r.stamp = row.text(3);
    r.correct = row.integer(4) != 0;
    r.moduleIndex = static_cast<int>(row.integer(5));
    r.frame = row.blob(6);
    return r;
}

} // namespace

std::string stampOf(std::span<const std::uint8_t> frame) {
    if (frame.size() < record::kTime + 4) return "";
    RecordBytes record{};
    std::copy_n(frame.begin(), std::min(frame.size(), record.size()), record.begin());
    if (isBlankTime(record)) return "";
    const RecordTime t = decodeRecordTime(std::span(record).subspan<record::kTime, 4>());
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute, t.second);
    return text;
}

ModuleIdentity identityOf(const ModuleStatus& status, const std::string& name) {
    return {name, status.versionText(), status.geometryFactor, status.geometryBlocks, status.recordLength};
}

std::string identityText(const ModuleIdentity& id) {
    return id.version + ", pamięć " + std::to_string(id.geometryFactor) + "x" + std::to_string(id.geometryBlocks) +
           ", rekord " + std::to_string(id.recordLength) + " B";
}

bool Archive::open(const std::filesystem::path& file, Access access) {
    error_.clear();
    busy_ = false;
    if (access == Access::ReadOnly) return db_.open(file, true);
    switch (lock_.acquire(file)) {
    case WriterLock::Result::Locked: break;
    case WriterLock::Result::Busy:
        busy_ = true;
        error_ = "Archiwum " + pathToUtf8(file) +
                 " jest właśnie uzupełniane przez inny program; spróbuj ponownie, gdy skończy.";
        return false;
    case WriterLock::Result::Failed:
        error_ = "Nie można zablokować archiwum " + pathToUtf8(file) + " do zapisu (" + lock_.error() + ").";
        return false;
    }
    if (db_.open(file) && createSchema()) return true;
    lock_.release();
    return false;
}

bool Archive::createSchema() {
    if (!db_.exec(kSchema) || !db_.exec(kReadingsSchema)) return false;
    // An archive written before its records were decoded into rows (or by a program that
    // does not decode them) gets its rows now, a segment a transaction.
    Statement pending = db_.prepare("SELECT s.id FROM segments s LEFT JOIN decoded d ON d.segment_id = s.id "
                                    "WHERE (SELECT max(seq) FROM records r WHERE r.segment_id = s.id) > coalesce(d.through_seq, 0)");
    std::vector<std::int64_t> segments;
    while (pending.step()) segments.push_back(pending.integer(0));
    if (!pending.done()) return false;
    for (const std::int64_t segment : segments) {
        Transaction transaction(db_);
        if (!transaction.began() || !decodeSegment(segment) || !transaction.commit()) return false;
    }
    return true;
}

bool Archive::decodeSegment(std::int64_t segment) {
    const std::optional<ModuleStatus> status = segmentStatus(segment);
    return status && decodeNewRecords(db_, segment, status->lineConfiguration);
}

std::optional<std::int64_t> Archive::module(const ModuleIdentity& id) {
    Statement insert = db_.prepare(
        "INSERT OR IGNORE INTO modules(name, version, geometry_factor, geometry_blocks, record_length) VALUES(?,?,?,?,?)");
    insert.bind(1, id.name).bind(2, id.version).bind(3, id.geometryFactor).bind(4, id.geometryBlocks).bind(5, id.recordLength);
    if (!insert.run()) return std::nullopt;
    Statement find = db_.prepare("SELECT id FROM modules WHERE name=? AND version=? AND geometry_factor=? AND "
                                 "geometry_blocks=? AND record_length=?");
    find.bind(1, id.name).bind(2, id.version).bind(3, id.geometryFactor).bind(4, id.geometryBlocks).bind(5, id.recordLength);
    if (!find.step()) return std::nullopt;
    return find.integer(0);
}

std::vector<ModuleInfo> Archive::modules(const std::optional<std::string>& name) {
    std::vector<ModuleInfo> found;
    Statement list = db_.prepare("SELECT id, name, version, geometry_factor, geometry_blocks, record_length FROM modules "
                                 "WHERE ?1 IS NULL OR name = ?1 ORDER BY id");
    if (name) list.bind(1, *name);
    while (list.step()) {
        ModuleInfo m;
        m.id = list.integer(0);
        m.identity = {list.text(1), list.text(2), static_cast<int>(list.integer(3)), static_cast<int>(list.integer(4)),
                      static_cast<int>(list.integer(5))};
        found.push_back(std::move(m));
    }
    for (ModuleInfo& m : found) {
        Statement segments = db_.prepare("SELECT id FROM segments WHERE module_id=? ORDER BY id");
        segments.bind(1, m.id);
        while (segments.step()) m.segments.push_back(segmentInfo(segments.integer(0)));
    }
    return found;
}

std::optional<std::int64_t> Archive::currentSegment(std::int64_t module) {
    Statement find = db_.prepare("SELECT max(id) FROM segments WHERE module_id=?");
    find.bind(1, module);
    if (!find.step() || find.integer(0) == 0) return std::nullopt;
    return find.integer(0);
}

std::optional<std::int64_t> Archive::newSegment(std::int64_t module, const ModuleStatus& status, const std::string& reason,
                                                const std::string& started) {
    Statement insert = db_.prepare("INSERT INTO segments(module_id, started, reason, status) VALUES(?,?,?,?)");
    const auto bytes = statusBytes(status);
    insert.bind(1, module).bind(2, started).bind(3, reason).bind(4, std::span<const std::uint8_t>(bytes));
    if (!insert.run()) return std::nullopt;
    return db_.lastInsertId();
}

std::optional<ModuleStatus> Archive::segmentStatus(std::int64_t segment) {
    Statement find = db_.prepare("SELECT status FROM segments WHERE id=?");
    find.bind(1, segment);
    if (!find.step()) return std::nullopt;
    const auto bytes = find.blob(0);
    if (bytes.size() != kStatusFrameSize) return std::nullopt;
    return decodeStatus(std::span<const std::uint8_t, kStatusFrameSize>(bytes.data(), kStatusFrameSize));
}

SegmentTail Archive::tail(std::int64_t segment) { return tailFrom(segment, false); }

SegmentTail Archive::trustedTail(std::int64_t segment) { return tailFrom(segment, true); }

SegmentTail Archive::tailFrom(std::int64_t segment, bool intactOnly) {
    SegmentTail t;
    Statement last = db_.prepare("SELECT seq, kind FROM records WHERE segment_id=? ORDER BY seq DESC LIMIT 1");
    last.bind(1, segment);
    if (!last.step()) return t;
    t.lastSeq = last.integer(0);
    t.lastKind = static_cast<std::uint8_t>(last.integer(1));
    Statement numbered = db_.prepare(intactOnly ? "SELECT seq, number, module_index, frame, stamp, correct FROM records "
                                                  "WHERE segment_id=? AND kind IN (80, 90) AND correct=1 "
                                                  "ORDER BY seq DESC LIMIT 1"
                                                : "SELECT seq, number, module_index, frame, stamp, correct FROM records "
                                                  "WHERE segment_id=? AND kind IN (80, 90) ORDER BY seq DESC LIMIT 1");
    numbered.bind(1, segment);
    if (numbered.step()) {
        t.number = numbered.integer(1);
        t.numberedIndex = static_cast<int>(numbered.integer(2));
        t.numberedFrame = numbered.blob(3);
        t.numberedStamp = numbered.text(4);
        t.numberedCorrect = numbered.integer(5) != 0;
        t.rowsAfter = static_cast<int>(t.lastSeq - numbered.integer(0));
        Statement erased = db_.prepare("SELECT count(*) FROM records WHERE segment_id=? AND seq>? AND kind NOT IN (80, 88, 90)");
        erased.bind(1, segment).bind(2, numbered.integer(0));
        if (erased.step()) t.erasedAfter = static_cast<int>(erased.integer(0));
    } else {
        // Only slots without a number so far (a segment that began with erased slots).
        t.rowsAfter = static_cast<int>(t.lastSeq);
    }
    return t;
}

bool Archive::append(std::int64_t segment, std::span<const ArchivedRecord> records, std::int64_t lastSeq) {
    if (records.empty()) return true;
    error_.clear();
    Transaction transaction(db_);
    if (!transaction.began()) return false;
    Statement last = db_.prepare("SELECT coalesce(max(seq), 0) FROM records WHERE segment_id=?");
    last.bind(1, segment);
    if (!last.step()) return false;
    std::int64_t seq = last.integer(0);
    if (seq != lastSeq) {
        // Records this update did not write: appending would store what the archive holds.
        error_ = "archiwum zostało w tym czasie zmienione przez inny program";
        return false;
    }
    Statement insert = db_.prepare("INSERT INTO records(segment_id, seq, number, kind, stamp, correct, module_index, frame) "
                                   "VALUES(?,?,?,?,?,?,?,?)");
    for (const ArchivedRecord& r : records) {
        insert.bind(1, segment).bind(2, ++seq).bind(3, r.number).bind(4, r.kind).bind(5, r.stamp).bind(6, r.correct ? 1 : 0);
        insert.bind(7, r.moduleIndex).bind(8, std::span<const std::uint8_t>(r.frame));
        if (!insert.run()) return false;
    }
    return decodeSegment(segment) && transaction.commit();
}

bool Archive::noteHole(std::int64_t segment, const Hole& hole) {
    Statement upsert = db_.prepare(
        "INSERT INTO holes(segment_id, first_number, last_number, noticed) VALUES(?,?,?,?) "
        "ON CONFLICT(segment_id, first_number) DO UPDATE SET last_number = max(last_number, excluded.last_number)");
    upsert.bind(1, segment).bind(2, hole.first).bind(3, hole.last).bind(4, hole.noticed);
    return upsert.run();
}

std::vector<Hole> Archive::holes(std::int64_t segment) {
    std::vector<Hole> found;
    Statement list = db_.prepare("SELECT first_number, last_number, noticed FROM holes WHERE segment_id=? ORDER BY first_number");
    list.bind(1, segment);
    while (list.step()) found.push_back({list.integer(0), list.integer(1), list.text(2)});
    return found;
}

SegmentInfo Archive::segmentInfo(std::int64_t segment) {
    SegmentInfo info;
    info.id = segment;
    Statement head = db_.prepare("SELECT started, reason FROM segments WHERE id=?");
    head.bind(1, segment);
    if (head.step()) {
        info.started = head.text(0);
        info.reason = head.text(1);
    }
    Statement range = db_.prepare(
        "SELECT count(*), min(number), max(number), min(nullif(stamp, '')), max(nullif(stamp, '')) FROM records WHERE segment_id=?");
    range.bind(1, segment);
    if (range.step()) {
        info.records = range.integer(0);
        info.firstNumber = range.integer(1);
        info.lastNumber = range.integer(2);
        info.firstStamp = range.text(3);
        info.lastStamp = range.text(4);
    }
    info.holes = holes(segment);
    return info;
}

bool Archive::forEach(std::int64_t segment, const std::string& from, const std::string& to,
                      const std::function<bool(const ArchivedRecord&)>& visit) {
    // A period is matched on the date of the time stamp; blank stamps belong to no period.
    std::string sql = std::string("SELECT ") + kRecordColumns + " FROM records WHERE segment_id=?1";
    if (!from.empty()) sql += " AND stamp <> '' AND substr(stamp, 1, 10) >= ?2";
    if (!to.empty()) sql += " AND stamp <> '' AND substr(stamp, 1, 10) <= ?3";
    sql += " ORDER BY seq";
    Statement rows = db_.prepare(sql);
    rows.bind(1, segment);
    if (!from.empty()) rows.bind(2, from);
    if (!to.empty()) rows.bind(3, to);
    while (rows.step())
        if (!visit(readRecord(rows))) return true;
    return rows.done();
}

std::optional<std::int64_t> Archive::findSlot(std::int64_t segment, std::int64_t number, std::uint8_t kind,
                                              std::span<const std::uint8_t> frame) {
    Statement find = db_.prepare("SELECT seq FROM records WHERE segment_id=? AND number=? AND kind=? AND frame=? "
                                 "ORDER BY seq DESC LIMIT 1");
    find.bind(1, segment).bind(2, number).bind(3, kind).bind(4, frame);
    if (!find.step()) return std::nullopt;
    return find.integer(0);
}

} // namespace kavrel::logger::archive
