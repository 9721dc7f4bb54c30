// kavrel config history [--connection TEXT] [--json]: one line a write attempt, oldest
// first, as the history file holds them (an attempt without its closing line is "przerwany").
#include <ostream>

#include "cli/commands.h"
#include "cli/config_history.h"
#include "cli/config_journal.h"
#include "config/model/backup_store.h"
#include "config/model/write_history.h"

namespace kavrel::cli {
namespace {

std::string changedKeys(const config::HistoryRecord& record) {
    if (!record.changes) return "?";
    if (record.changes->empty()) return "-";
    std::string keys;
    for (const auto& change : *record.changes) keys += (keys.empty() ? "" : ",") + change.key;
    return keys;
}

void printRecord(CliContext& context, const config::HistoryRecord& r) {
    context.out << r.time << "  " << r.outcome << "  " << r.action << "  " << r.connection << "  "
                << (r.moduleVersion.empty() ? "?" : r.moduleVersion) << "  " << r.user << "@" << r.computer << "  "
                << r.tool << " " << r.toolVersion << "  " << changedKeys(r);
    if (!r.run.empty()) context.out << "  wdrożenie " << r.run;
    context.out << "\n";
    if (r.changes)
        for (const auto& change : *r.changes)
            context.out << "    " << change.key << ": " << change.before << " -> " << change.after << "\n";
}

} // namespace

int runConfigHistory(CliContext& context, std::span<const std::string> args) {
    std::string connection;
    bool json = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--json") {
            json = true;
        } else if (args[i] == "--connection" && i + 1 < args.size()) {
            connection = args[++i];
        } else {
            context.err << "kavrel config: history: nieoczekiwany argument " << args[i] << "\n"
                        << helpText(configUsage());
            return kExitUsage;
        }
    }
    if (!backupFolderKnown(context)) return kExitFailure;
    const std::string path = config::historyPath(config::backupFolder());
    const config::HistoryLoad load = config::loadHistory(path);
    if (!load.problem.empty()) {
        context.err << "Nie można odczytać historii zapisów: " << load.problem << "\n";
        return kExitFailure;
    }
    if (load.damagedLines > 0)
        context.err << "Pominięto uszkodzone wiersze historii " << path << ": " << load.damagedLines << "\n";
    int shown = 0;
    for (const config::HistoryRecord& record : load.records) {
        if (!connection.empty() && record.connection.find(connection) == std::string::npos) continue;
        ++shown;
        if (json) context.out << config::historyRecordJson(record) << "\n";
        else printRecord(context, record);
    }
    if (shown == 0 && !json) context.err << "Brak zapisów w historii " << path << "\n";
    return kExitOk;
}

} // namespace kavrel::cli
