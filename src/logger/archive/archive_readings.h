// The archive's records decoded into plain SQL rows, so that the sqlite3 shell alone can
// select a module's readings and events by time:
//   SELECT stamp, l1, l2 FROM module_readings WHERE module = 'K01' AND stamp >= '2026-12-01';
//   SELECT stamp, name, p1, p2 FROM module_events WHERE module = 'K01' ORDER BY stamp;
// The frames stay the archive's truth (the exports are made from them); these rows are made
// from the frames in the transaction that adds them, and for an archive written before they
// existed at its next update. Values are in the units of the CSV (volts, percent, degrees,
// 0/1 for levels) by the kinds the module reports, without the user's line descriptions.
#pragma once

#include <cstdint>

#include "logger/archive/sqlite_db.h"
#include "logger/values/value_kind.h"

namespace kavrel::logger::archive {

// The tables and views, created when missing.
extern const char* const kReadingsSchema;

// Decodes the segment's records that have no rows yet; inside the caller's transaction.
bool decodeNewRecords(Database& db, std::int64_t segment, const LineConfiguration& lines);

} // namespace kavrel::logger::archive
