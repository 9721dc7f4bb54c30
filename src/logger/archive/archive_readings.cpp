#include "logger/archive/archive_readings.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string>

#include "common/bytes.h"
#include "common/win1250.h"
#include "logger/records/event_row.h"
#include "logger/descriptions/line_descriptions.h"
#include "logger/records/record_layout.h"

namespace kavrel::logger::archive {

// readings: a row per "P" record (its place in the segment), the extended lines of the "X"
// right after it filled in (an "X" whose "P" is lost fills in nothing); NULL for a line the module does not log. events: a row per "Z".
// decoded: how far each segment's records have been decoded.
const char* const kReadingsSchema = R"sql(
CREATE TABLE IF NOT EXISTS decoded(
  segment_id INTEGER PRIMARY KEY REFERENCES segments(id),
  through_seq INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS readings(
  segment_id INTEGER NOT NULL REFERENCES segments(id),
  seq INTEGER NOT NULL,
  flags INTEGER NOT NULL,
  l1 REAL,
  l2 REAL,
  l3 REAL,
  l4 REAL,
  l5 REAL,
  l6 REAL,
  l7 REAL,
  l8 REAL,
  alarm INTEGER NOT NULL,
  xl1 REAL,
  xl2 REAL,
  xl3 REAL,
  xl4 REAL,
  xl5 REAL,
  xl6 REAL,
  xl7 REAL,
  xl8 REAL,
  xl9 REAL,
  xl10 REAL,
  xl11 REAL,
  xl12 REAL,
  xl13 REAL,
  xl14 REAL,
  xl15 REAL,
  xl16 REAL,
  PRIMARY KEY(segment_id, seq)) WITHOUT ROWID;
CREATE TABLE IF NOT EXISTS events(
  segment_id INTEGER NOT NULL REFERENCES segments(id),
  seq INTEGER NOT NULL,
  code INTEGER NOT NULL,
  name TEXT NOT NULL,
  p1 INTEGER NOT NULL,
  p2 INTEGER NOT NULL,
  PRIMARY KEY(segment_id, seq)) WITHOUT ROWID;
CREATE VIEW IF NOT EXISTS module_readings AS
  SELECT m.name AS module, v.segment_id AS segment, r.number AS number, r.stamp AS stamp, r.correct AS correct,
         v.l1 AS l1, v.l2 AS l2, v.l3 AS l3, v.l4 AS l4, v.l5 AS l5, v.l6 AS l6, v.l7 AS l7, v.l8 AS l8, v.alarm AS alarm, v.xl1 AS xl1, v.xl2 AS xl2, v.xl3 AS xl3, v.xl4 AS xl4, v.xl5 AS xl5, v.xl6 AS xl6, v.xl7 AS xl7, v.xl8 AS xl8, v.xl9 AS xl9, v.xl10 AS xl10, v.xl11 AS xl11, v.xl12 AS xl12, v.xl13 AS xl13, v.xl14 AS xl14, v.xl15 AS xl15, v.xl16 AS xl16
  FROM readings v JOIN records r ON r.segment_id = v.segment_id AND r.seq = v.seq
  JOIN segments s ON s.id = v.segment_id JOIN modules m ON m.id = s.module_id;
CREATE VIEW IF NOT EXISTS module_events AS
  SELECT m.name AS module, e.segment_id AS segment, r.number AS number, r.stamp AS stamp, r.correct AS correct,
         e.code AS code, e.name AS name, e.p1 AS p1, e.p2 AS p2
  FROM events e JOIN records r ON r.segment_id = e.segment_id AND r.seq = e.seq
  JOIN segments s ON s.id = e.segment_id JOIN modules m ON m.id = s.module_id;
)sql";

namespace {

std::optional<std::int64_t> decodedThrough(Database& db, std::int64_t segment) {
    Statement find = db.prepare("SELECT through_seq FROM decoded WHERE segment_id=?");
    find.bind(1, segment);
    if (find.step()) return find.integer(0);
    return find.done() ? std::optional<std::int64_t>(0) : std::nullopt;
}

} // namespace

bool decodeNewRecords(Database& db, std::int64_t segment, const LineConfiguration& lines) {
    const std::optional<std::int64_t> through = decodedThrough(db, segment);
    if (!through) return false;
    Statement rows = db.prepare("SELECT seq, kind, frame, stamp FROM records WHERE segment_id=? AND seq>? ORDER BY seq");
    rows.bind(1, segment).bind(2, *through);
    Statement measurement = db.prepare("INSERT OR REPLACE INTO readings(segment_id, seq, flags, l1, l2, l3, l4, l5, l6, l7, l8, alarm) "
                                       "VALUES(?,?,?,?,?,?,?,?,?,?,?,?)");
    Statement extendedRow = db.prepare("UPDATE readings SET xl1=?, xl2=?, xl3=?, xl4=?, xl5=?, xl6=?, xl7=?, xl8=?, xl9=?, xl10=?, xl11=?, xl12=?, xl13=?, xl14=?, xl15=?, xl16=? WHERE segment_id=? AND seq=?");
    // The "P" an "X" completes is the slot right before it, with the time the "X" was given.
    Statement ownMeasurement = db.prepare("SELECT v.flags FROM readings v JOIN records r ON r.segment_id = v.segment_id "
                                          "AND r.seq = v.seq WHERE v.segment_id=? AND v.seq=? AND r.stamp=?");
    Statement event = db.prepare("INSERT OR REPLACE INTO events(segment_id, seq, code, name, p1, p2) VALUES(?,?,?,?,?,?)");
    std::int64_t last = *through;
    while (rows.step()) {
        last = rows.integer(0);
        const auto kind = static_cast<std::uint8_t>(rows.integer(1));
        // The fields at the record's offsets; a shorter frame reads zeros past its end, as its
        // time stamp does.
        const std::vector<std::uint8_t> bytes = rows.blob(2);
        RecordBytes frame{};
        std::copy_n(bytes.begin(), std::min(bytes.size(), frame.size()), frame.begin());
        if (kind == record::kMeasurement) {
            const std::uint8_t flags = frame[measurement::kFlags];
            measurement.reset();
            measurement.bind(1, segment).bind(2, last).bind(3, flags);
            for (std::size_t i = 0; i < kInputLines; ++i) {
                if (!isLoggedLine(lines[i])) continue;  // stays NULL
                measurement.bindReal(static_cast<int>(4 + i),
                           valueNumber(inputLineKind(lines[i]), bytes::get16le(frame, measurement::kValues + 2 * i)));
            }
            measurement.bind(12, flags & measurement::kFlagAlarm);
            if (!measurement.run()) return false;
        } else if (kind == record::kExtended) {
            const std::uint8_t kinds = frame[extended::kKinds];
            if (kinds == extended::kNoValues) continue;
            ownMeasurement.reset();
            ownMeasurement.bind(1, segment).bind(2, last - 1).bind(3, rows.text(3));
            if (!ownMeasurement.step()) continue;  // its "P" is lost (erased, overwritten) or not in the segment
            const std::int64_t owner = last - 1;
            const bool energyMeter = (ownMeasurement.integer(0) & measurement::kFlagEnergyMeter) != 0;
            extendedRow.reset();
            for (std::size_t n = 0; n < kExtendedLines; ++n)
                extendedRow.bindReal(static_cast<int>(1 + n),
                           valueNumber(extendedValueKind(static_cast<int>(n), kinds, energyMeter),
                                       bytes::get16le(frame, extended::kValues + 2 * n)));
            extendedRow.bind(17, segment).bind(18, owner);
            if (!extendedRow.run()) return false;
        } else if (kind == record::kEvent) {
            const int code = frame[event::kCode];
            event.reset();
            event.bind(1, segment).bind(2, last).bind(3, code).bind(4, cp1250::toUtf8(eventName(code)));
            event.bind(5, frame[event::kP1]).bind(6, frame[event::kP2]);
            if (!event.run()) return false;
        }
    }
    if (!rows.done()) return false;
    Statement note = db.prepare("INSERT INTO decoded(segment_id, through_seq) VALUES(?,?) "
                                "ON CONFLICT(segment_id) DO UPDATE SET through_seq = excluded.through_seq");
    note.bind(1, segment).bind(2, last);
    return note.run();
}

} // namespace kavrel::logger::archive
