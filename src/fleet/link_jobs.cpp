#include "fleet/link_jobs.h"

#include <ctime>
#include <filesystem>
#include <system_error>

#include "common/clock.h"
#include "common/observer.h"
#include "common/win1250.h"
#include "config/model/backup_store.h"
#include "config/model/settings_compare.h"
#include "config/model/settings_file.h"
#include "config/model/version_notes.h"
#include "config/protocol/read_settings.h"
#include "fleet/unattended_link.h"
#include "link/module_link.h"
#include "logger/archive/archive.h"
#include "logger/archive/archive_update.h"
#include "logger/protocol/session.h"

namespace kavrel::fleet {
namespace {

link::Connection connectionOf(const FleetModule& module, const std::string& address, link::SerialTiming timing) {
    return link::Connection::tcp(address, module.port, timing);
}

// Legs of one collection: a link that breaks again and again is given up on after this
// many reconnections in a row that brought nothing, or this many in all.
constexpr int kFruitlessLegs = 2;
constexpr int kMostLegs = 200;

WallTime wallNow() { return std::chrono::system_clock::now(); }

std::string pathText(const std::filesystem::path& path) {
    const auto text = path.u8string();
    return std::string(text.begin(), text.end());
}

// The memory's fill and the clock's offset from the status a collection read (the module's
// clock runs in this computer's time zone); nothing from a status with no valid clock.
void noteStatus(const logger::ModuleStatus& status, WallTime readAt, JobReport& report) {
    if (status.month < 1 || status.month > 12 || status.day < 1 || status.day > 31) return;
    report.memoryFillPercent = status.fillPercent;
    std::tm tm{};
    tm.tm_year = 100 + status.year;
    tm.tm_mon = status.month - 1;
    tm.tm_mday = status.day;
    tm.tm_hour = status.hour;
    tm.tm_min = status.minute;
    tm.tm_sec = status.second;
    tm.tm_isdst = -1;
    const std::time_t module = std::mktime(&tm);
    if (module == static_cast<std::time_t>(-1)) return;
    report.clockOffsetSeconds =
        static_cast<double>(module) - static_cast<double>(std::chrono::system_clock::to_time_t(readAt));
}

} // namespace

JobReport LinkJobRunner::run(const JobRequest& request, const std::atomic<bool>& cut) {
    if (cut) {   // the service is ending: a job not begun yet is not begun
        JobReport report;
        report.started = report.ended = wallNow();
        report.outcome = JobOutcome::Cut;
        return report;
    }
    JobReport report = request.kind == JobKind::Collect ? collect(request, cut) : backup(request);
    report.ended = wallNow();
    return report;
}

JobReport LinkJobRunner::collect(const JobRequest& request, const std::atomic<bool>& cut) {
    using namespace logger::archive;
    JobReport report;
    report.started = wallNow();
    const std::filesystem::path file = request.folder / (request.target.name + ".db");
    report.archiveFile = pathText(file);
    std::error_code made;
    std::filesystem::create_directories(request.folder, made);
    const std::string address = moduleAddress(request.target, report.error);
    if (address.empty()) return report;
    Archive archive;
    if (!archive.open(file)) {
        report.error = archive.error();
        return report;
    }
    link::ModuleLink moduleLink(link::LinkVariant::logger(), connectionOf(request.target, address, options_.timing));
    moduleLink.setTrace(nullptr);
    UnattendedObserver observer;
    logger::LoggerSession session(moduleLink, observer);
    if (logger::connectSession(session) != logger::StatusResult::Ok) {
        report.error = observer.last("brak odpowiedzi modułu");
        return report;
    }
    UpdateHooks hooks;
    hooks.cancel = &cut;
    hooks.showAsFound = false;
    // A link that breaks off (a GPRS cut) is connected anew and the update goes on where
    // the archive ends, as the window's "go on" does, while each leg brings records.
    UpdateResult total;
    UpdateResult leg;
    int fruitless = 0;
    for (int legs = 0;; ++legs) {
        const WallTime legStarted = wallNow();
        leg = updateArchive(session, archive, request.target.name, systemClock(), hooks);
        if (legs == 0) noteStatus(leg.status, legStarted, report);
        addLeg(total, leg);
        if (leg.complete() || !leg.error.empty() || cut) break;
        fruitless = leg.fetched > 0 ? 0 : fruitless + 1;
        if (fruitless >= kFruitlessLegs || legs + 1 >= kMostLegs) break;
        if (logger::connectSession(session) != logger::StatusResult::Ok) break;
    }
    logger::disconnectSession(session);
    report.records = total.fetched;
    report.holes = static_cast<long long>(total.holes.size());
    for (const Hole& hole : total.holes) report.lostRecords += hole.count();
    report.newSegments = total.newSegments;
    if (leg.complete()) report.outcome = JobOutcome::Ok;
    else if (cut) report.outcome = JobOutcome::Cut;
    else report.error = !leg.error.empty() ? leg.error : observer.last("pobieranie przerwane");
    return report;
}

JobReport LinkJobRunner::backup(const JobRequest& request) {
    JobReport report;
    report.started = wallNow();
    const std::string address = moduleAddress(request.target, report.error);
    if (address.empty()) return report;
    link::ModuleLink moduleLink(link::LinkVariant::configurator(), connectionOf(request.target, address, options_.timing));
    moduleLink.setTrace(nullptr);
    UnattendedObserver observer;
    config::SettingsImage image;
    std::string versionText;
    if (config::readSettings(moduleLink, image, observer, &versionText) != config::ConfigResult::Ok) {
        report.error = observer.last("odczyt ustawień nie powiódł się");
        return report;
    }
    report.version = cp1250::toUtf8(versionText);
    const std::string folder = pathText(request.folder / request.target.name);
    std::error_code problem;
    const std::vector<config::BackupEntry> earlier = config::listBackups(folder, &problem);
    if (problem) {
        report.error = "nie można odczytać folderu kopii " + folder + ": " + problem.message();
        return report;
    }
    config::SettingsImage last;
    bool haveLast = false;
    for (const config::BackupEntry& entry : earlier)   // newest first; an unreadable one is passed over
        if (config::loadSettingsFile(entry.path, last) == FileResult::Ok) {
            haveLast = true;
            break;
        }
    report.firstBackup = !haveLast;
    if (haveLast) {
        const auto changes = config::compareSettings(
            last, image, config::CompareMode::Values,
            [](const config::FieldInfo& info, int) { return !info.changesByItself; });
        for (const config::FieldChange& change : changes)
            report.changes.push_back({change.key, change.caption, change.before, change.after});
        if (changes.empty()) {
            report.outcome = JobOutcome::Ok;   // the same record: no new version
            return report;
        }
    }
    const config::BackupResult saved = config::saveBackup(folder, image, versionText, request.target.name,
                                                          systemClock().now());
    if (!saved.saved) {
        report.error = "nie można zapisać kopii " + saved.path;
        return report;
    }
    (void)config::noteSettingsVersion(folder, image, versionText);
    report.backupFile = saved.path;
    report.outcome = JobOutcome::Ok;
    return report;
}

} // namespace kavrel::fleet
