// The history of configuration writes: every write of a module's settings, from any of the
// tools, leaves its record in "historia.jsonl" beside the backups, one JSON object a line.
//
// One attempt is two lines that share an "id": the opening one, flushed to the disk before
// the first line of the write goes out, and the closing one, with the outcome, once the write
// has ended. An attempt whose closing line never came (the program was killed, the computer
// lost power) is read back with the outcome "przerwany": the history cannot lose a write that
// reached a module. Lines are only ever added; a damaged line (a torn end) is passed over.
//
//   {"id":"…","stage":"start","time":"2026-12-09 20:30:01","user":"anna","computer":"serwis-2",
//    "tool":"kavrel","toolVersion":"0.1.0","action":"zapis","connection":"10.0.0.5:4001",
//    "moduleVersion":"Kavrel V3.6EL","hashBefore":null,"hashAfter":"8c1f0e2d4a5b6c7d",
//    "changes":null,"journal":"/…/kopie/10.0.0.5_4001.zapis","run":null}
//   {"id":"…","stage":"end","time":"2026-12-09 20:30:09","outcome":"zapisany",
//    "moduleVersion":"Kavrel V3.6EL","hashBefore":"…","changes":[{"key":"APN0","before":"…","after":"…"}],"detail":""}
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "common/clock.h"

namespace kavrel::config {

inline constexpr const char* kHistoryFileName = "historia.jsonl";
// The outcome of an attempt whose closing line is missing.
inline constexpr const char* kOutcomeCut = "przerwany";

struct HistoryChange {
    std::string key;      // "APN0", "RCFG(2)"
    std::string before;   // UTF-8, as "kavrel config dump" shows values
    std::string after;
};

// One write attempt as the history holds it; texts are UTF-8, "" where unknown.
struct HistoryRecord {
    std::string id;
    std::string time;            // when the attempt began, "YYYY-MM-DD HH:MM:SS" local
    std::string ended;           // when it ended ("" for an attempt without its closing line)
    std::string user;
    std::string computer;
    std::string tool;            // "kavrel", "Kavrel-Config"
    std::string toolVersion;
    std::string action;          // "zapis", "dokończenie", "przywrócenie", "wdrożenie"
    std::string connection;      // the journal's identity of the connection
    std::string moduleVersion;
    std::string hashBefore;      // settingsHash of the module's record before; "" unknown
    std::string hashAfter;       // of the record written
    std::optional<std::vector<HistoryChange>> changes;   // nullopt when the record before is unknown
    std::string outcome = kOutcomeCut;
    std::string detail;          // why it failed, when it did
    std::string journal;         // the journal the write kept
    std::string run;             // the roll-out run it belonged to
};

// The history file in the backup folder; "" without a folder.
std::string historyPath(const std::string& folder);

// A fresh attempt id: unique across programs and computers writing to one folder.
std::string newAttemptId();
// The OS user and the computer's name, for the records.
std::string currentUserName();
std::string currentComputerName();

// The opening line (what is known when the write begins) and the closing one (the outcome
// and what was learned on the way); each flushed to the disk. Creates the folder when
// needed. False when the line could not be written.
bool appendHistoryOpening(const std::string& path, const HistoryRecord& record);
bool appendHistoryClosing(const std::string& path, const HistoryRecord& record);

struct HistoryLoad {
    std::vector<HistoryRecord> records;   // attempts in the order they began
    int damagedLines = 0;
    bool missing = false;                 // no history file yet
    std::string problem;                  // the file exists but cannot be read
};
HistoryLoad loadHistory(const std::string& path);

// The record as one JSON line (as --json lists it).
std::string historyRecordJson(const HistoryRecord& record);

} // namespace kavrel::config
