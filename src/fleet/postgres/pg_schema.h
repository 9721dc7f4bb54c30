// The fleet's tables on a PostgreSQL server: the SQLite file's `polls`, `modules` and
// `poller_figures` with the same columns and meaning, and what sharing a server adds: each
// poll's scheduled slot (its time column and, with the module, its key: a round written again
// never doubles a row, and the layout can be made a time-series hypertable as it is), the
// schema's version in `fleet_meta`, and the services sharing the fleet in `fleet_members`.
#pragma once

#include <string>

#include "fleet/store_rows.h"

namespace kavrel::fleet::postgres {

// Raised when a later version changes the tables; a server holding a newer one is refused.
inline constexpr int kSchemaVersion = 1;

// Creates what is missing and records the version (one transaction; safe to run from several
// services at once).
std::string schemaSql();
// The version recorded, read after schemaSql().
extern const char* const kSchemaVersionSql;

// A poll row's slot: when it was scheduled (its start less its lateness), in ms since the
// epoch, rounded to a tenth of a second so that two services polling a module on the same
// schedule name the same slot.
long long slotOf(const SqlRow& pollRow);

// `INSERT INTO polls` of `rows` rows (the slot, the SQLite row's values, the member), skipping
// rows whose (module, slot) is there already and returning those it wrote.
std::string insertPollsSql(std::size_t rows);
// The `modules` upsert of `rows` rows (names distinct; the SQLite row's values, then the
// member that polled, kept as the module's owner), the SQLite upsert's meaning.
std::string upsertModulesSql(std::size_t rows);
extern const char* const kAddFigureSql;

// Values of the SQLite store's poll row, so that callers need not count them.
std::size_t pollRowValues();
inline constexpr std::size_t kModuleRowValues = 9;

} // namespace kavrel::fleet::postgres
