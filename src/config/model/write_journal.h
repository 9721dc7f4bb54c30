// The journal of a write in progress: what a cut link, a crash or a sleeping laptop must
// not take away. Before the first line of a write goes out, the configurator writes one
// journal per connection into the backup folder; each line is marked once its "OK" came,
// and the entry is removed when the read-back matched. A journal still there at the next
// start is a write that did not finish: its lines are finished ("Dokończ zapis") or the
// backup it names is written instead ("Przywróć kopię").
//
// The file, "<connection>.zapis" (the connection made safe for a file name), is text,
// one item a line, LF-ended; values are bytes as they are, '%' and controls as %XX:
//
//   Kavrel zapis 1
//   polaczenie COM3 /dev/ttyUSB0        COM number and device, or "address:port"
//   wersja Kavrel V3.6EL                the module's version text (Windows-1250)
//   cel 8c1f0e2d4a5b6c7d                 hash of the record being written (settingsHash)
//   rekord 0102...                       the record itself, hex (for the verification)
//   kopia /home/.../kopie/....kvl        the backup made before the write; absent: none
//   czas 2026-12-08 14:05:09             when the write started
//   akcje rtc restart                    service actions chosen for after the write
//   + PIN=1234 NUM0=600100200 NUM1=      a line the module acknowledged ("+ ")
//   - SMS0=Alarm                         a line not acknowledged (yet) ("- ")
//
// Every change replaces the whole file through a temporary one. Marks only move forward,
// so an older copy left by a power cut is still safe: it only sends a few lines again.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/clock.h"
#include "config/model/settings_image.h"

namespace kavrel::config {

struct JournalLine {
    std::string text;          // Windows-1250, as sent
    bool acknowledged = false;
};

struct WriteJournal {
    std::string connection;    // connectionIdentity()
    std::string versionText;   // Windows-1250
    SettingsImage target;
    std::string backupPath;    // UTF-8; "" when the write made no backup
    LocalDateTime started;
    std::vector<std::string> actions;   // "rtc", "restart", "counters", "erase"
    std::vector<JournalLine> lines;

    // The first line without its "OK" (lines.size() when all have one).
    std::size_t firstUnacknowledged() const;
    std::size_t acknowledgedCount() const;
};

// "COM3 /dev/ttyUSB0" (the device the number stands for, as opened), or "10.0.0.5:4001":
// the same connection has the same journal.
std::string connectionIdentity(bool tcp, int comPort, const std::string& device, const std::string& address, int tcpPort);

// 16 hex digits (64-bit FNV-1a over the 3608 bytes): names a record in the journal and in
// the version notes.
std::string settingsHash(const SettingsImage& image);

// The journal's file for the connection in the folder; "" without a folder.
std::string journalPath(const std::string& folder, const std::string& connection);

// Creates the folder when needed; `flush` waits for the disk (the first save of a write).
bool saveJournal(const std::string& path, const WriteJournal& journal, bool flush);

enum class JournalLoad { Ok, Missing, Damaged };
// Damaged: not a journal, or its record does not match its hash.
JournalLoad loadJournal(const std::string& path, WriteJournal& journal);

// True when no journal is left at path.
bool removeJournal(const std::string& path);

} // namespace kavrel::config
