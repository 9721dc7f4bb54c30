// What a module operation of the logger's window works on: the link, the session with
// the last status, the download state kept from one download to the next, and the line
// descriptions read at start. Exactly one side holds it at a time: the window between
// operations, the worker thread while one runs, which hands it back with its results.
#pragma once

#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "common/clock.h"
#include "common/observer.h"
#include "link/module_link.h"
#include "logger/archive/archive_update.h"
#include "logger/descriptions/line_descriptions.h"
#include "logger/download/download.h"
#include "logger/protocol/session.h"

namespace kavrel::logger {

// What the window shows of the device after an operation.
struct DeviceSnapshot {
    ModuleStatus status;          // the status read last
    bool connected = false;       // "Połączenie nawiązane": a status was read on the open link
    bool linkOpen = false;
    bool serialLinkOpen = false;  // the fixed-speed box stays disabled meanwhile
};

struct DownloadOrder {
    bool printMode = false;
    bool separateComma = false;
    std::filesystem::path folder;          // the working folder (the temporary file of printing)
    std::filesystem::path chosenFile;      // export: the name the save dialog gave
    std::filesystem::path exportFileName;  // the name kept for the program's run
    LocalDateTime now;                     // when the button was pressed (the HTML's time)
};

enum class DownloadOutcome { NotStarted, Complete, Failed, Cancelled };

struct DownloadReport {
    DownloadOutcome outcome = DownloadOutcome::NotStarted;
    std::filesystem::path exportFileName;  // the kept name after this export
    std::filesystem::path csvFile;         // the history file written (complete downloads)
    bool writeFailed = false;              // the files could not be written whole (a full disk)
};

// Called on the worker after every batch: records read so far and the records to read.
using BatchProgress = std::function<void(int read, int total)>;

// "Pobierz do archiwum" and "Pobierz i skasuj".
struct ArchiveOrder {
    std::filesystem::path file;
    std::string moduleName;     // UTF-8
    bool clearAfter = false;
};

// What the end of "Pobierz do archiwum" says of all its updates (UTF-8): records, time and
// requests, the holes found, a name shared with another module; "" when an update that
// did not complete archived nothing.
std::string archiveSummary(const archive::UpdateResult& total);

// Asked after a download or an archive update that the link broke off (UTF-8).
inline constexpr const char* kDownloadGoOnQuestion =
    "Pobieranie zostało przerwane.\nPołączyć ponownie i pobrać dane jeszcze raz?";
inline constexpr const char* kArchiveGoOnQuestion =
    "Pobieranie zostało przerwane.\nPołączyć ponownie i kontynuować od miejsca, w którym kończy się archiwum?";

enum class Ending {
    Finish,    // "Koniec pracy": "*EOT!" only when the serial line was switched to 115200
    CloseBox,  // the window's close box: "*EOT!" whenever the link is open
};

class LoggerDevice {
public:
    explicit LoggerDevice(LineDescriptions descriptions);
    LoggerDevice(const LoggerDevice&) = delete;
    LoggerDevice& operator=(const LoggerDevice&) = delete;

    DeviceSnapshot snapshot() const;

    // The operations, each on the worker with that operation's observer. The connection
    // comes resolved from the window's settings (the device its COM number stands for,
    // the timing: the compatible (gap) one keeps the protocol's reply limits on a slow link).
    void connect(OperationObserver& observer, const link::Connection& connection, bool fixedSpeed);
    // "Odczytaj status": refuses without an open link.
    void readStatus(OperationObserver& observer);
    // "Odczytaj dane" and the download for printing, batch by batch until the end, an
    // error, or cancel (checked between batches; the files are then closed unfinished).
    // After a link failure the user is asked whether to connect again and download anew.
    DownloadReport download(OperationObserver& observer, const DownloadOrder& order, const BatchProgress& progress,
                            const std::atomic<bool>& cancel);
    void clearMemory(OperationObserver& observer);
    // Downloads what is new into the archive, then (clearAfter) clears the memory only when
    // the archive holds all of it; the summary and every refusal are shown. After a link
    // failure the user is asked whether to connect again and go on where the archive ends.
    void archive(OperationObserver& observer, const ArchiveOrder& order, const BatchProgress& progress,
                 const std::atomic<bool>& cancel);
    void changeLogging(OperationObserver& observer, int periodMinutes, bool setClock, const LocalDateTime& now);
    // What each way of ending says to the module; the link is left to the program's end.
    void end(Ending ending);

    link::ModuleLink& link() { return link_; }

private:
    // The session's observer: passes every call to the observer of the running operation.
    class Forwarder final : public OperationObserver {
    public:
        OperationObserver* target = nullptr;
        void status(const std::string& text) override { target->status(text); }
        void appendStatus(const std::string& text) override { target->appendStatus(text); }
        void progress(int position) override { target->progress(position); }
        void message(const std::string& text, MessageIcon icon) override { target->message(text, icon); }
        bool askYesNo(const std::string& text) override { return target->askYesNo(text); }
        void version(const std::string& text) override { target->version(text); }
    };
    struct Using;

    DownloadReport downloadOnce(OperationObserver& observer, const DownloadOrder& order, const BatchProgress& progress,
                                const std::atomic<bool>& cancel);
    // After a download broken off by the link: asks whether to go on and connects again.
    bool goOnAfterBreak(OperationObserver& observer, const char* question, const std::atomic<bool>& cancel);

    link::ModuleLink link_{link::LinkVariant::logger()};
    Forwarder forwarder_;
    LoggerSession session_{link_, forwarder_};
    DownloadState download_;
    const LineDescriptions descriptions_;
};

} // namespace kavrel::logger
