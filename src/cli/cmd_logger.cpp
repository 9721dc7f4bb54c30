// kavrel logger status|download|print|clear|set-period: what Kavrel-Logger's buttons do, in
// the same order of commands (connect and read the status, then the action).
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <optional>
#include <ostream>

#ifdef KAVREL_CLI_PAGES
#include <QGuiApplication>

#include "common/qt/qt_text.h"
#include "logger/ui/print/page_drawing.h"
#endif

#include "cli/answering_observer.h"
#include "cli/commands.h"
#include "cli/export_choice.h"
#include "cli/file_overlap.h"
#include "cli/json_output.h"
#include "cli/logger_archive.h"
#include "common/file_names.h"
#include "common/win1250.h"
#include "logger/commands/module_commands.h"
#include "logger/descriptions/line_descriptions.h"
#include "logger/download/download.h"
#include "logger/export/export_names.h"
#include "logger/export/prepare_export.h"
#include "logger/export/write_export.h"
#include "logger/print/print_period.h"
#include "logger/print/print_table.h"
#include "logger/protocol/session.h"

namespace kavrel::cli {
namespace {

using namespace kavrel::logger;

// The user's choices of one logger command.
struct LoggerArgs {
    std::string action;
    bool fixedSpeed = false;
    bool yes = false;
    bool clock = false;
    bool comma = false;
    ExportFormat format = ExportFormat::CsvAndHtml;
    CsvDialect dialect = CsvDialect::Original;
    bool dialectGiven = false;
    std::string output;
    int period = -1;
    int printPeriod = kDefaultPeriod;
    std::string pdf;
    bool fixedColumns = false;
    bool json = false;
    std::string archived;     // clear --archived ARCHIVE.db
    std::string moduleName;   // clear or print --name NAME (the module's name in the archive)
    std::string archive;      // print --archive ARCHIVE.db: the history from the archive, no module
    std::optional<std::int64_t> segment;   // print --segment N: that segment of the archive
};

int usageError(CliContext& context, const std::string& text) {
    context.err << "kavrel logger: " << text << "\n";
    return kExitUsage;
}

bool parsePeriod(const std::string& text, int& period) {
    if (text.empty() || text.size() > 3 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    period = std::stoi(text);
    return period <= kMaxLoggingPeriod;
}

// Returns "" when the arguments are good, else what is wrong.
std::string parseArgs(std::span<const std::string> args, LoggerArgs& parsed) {
    if (args.empty()) return "oczekiwano status, download, print, chart, clear, set-period albo archive";
    parsed.action = args[0];
    if (isArchiveAction(args)) {
        for (std::size_t i = 1; i < args.size(); ++i)
            if (args[i] == "--fixed-speed") parsed.fixedSpeed = true;
        return checkArchiveArgs(args);
    }
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool download = parsed.action == "download";
        if (arg == "--fixed-speed") parsed.fixedSpeed = true;
        else if (arg == "--yes" && parsed.action == "clear") parsed.yes = true;
        else if (arg == "--archived" && parsed.action == "clear" && i + 1 < args.size()) parsed.archived = args[++i];
        else if (arg == "--name" && (parsed.action == "clear" || parsed.action == "print") && i + 1 < args.size())
            parsed.moduleName = args[++i];
        else if (arg == "--archive" && parsed.action == "print" && i + 1 < args.size()) parsed.archive = args[++i];
        else if (arg == "--segment" && parsed.action == "print" && i + 1 < args.size()) {
            std::int64_t segment = 0;
            if (!parseSegmentNumber(args[++i], segment)) return segmentNumberError();
            parsed.segment = segment;
        }
        else if (arg == "--clock" && parsed.action == "set-period") parsed.clock = true;
        else if (arg == "--comma" && download) parsed.comma = true;
        else if (arg == "--format" && download && i + 1 < args.size()) {
            if (std::string error = parseExportFormat(args[++i], parsed.format); !error.empty()) return error;
        } else if (arg == "--dialect" && download && i + 1 < args.size()) {
            if (std::string error = parseCsvDialect(args[++i], parsed.dialect); !error.empty()) return error;
            parsed.dialectGiven = true;
        }
        else if (arg == "-o" && download && i + 1 < args.size()) parsed.output = args[++i];
        else if (arg == "--pdf" && parsed.action == "print" && i + 1 < args.size()) parsed.pdf = args[++i];
        else if (arg == "--fixed-columns" && parsed.action == "print") parsed.fixedColumns = true;
        else if (arg == "--json" && parsed.action == "status") parsed.json = true;
        else if (arg == "--period" && parsed.action == "print" && i + 1 < args.size()) {
            const std::string& value = args[++i];
            if (value.size() != 1 || value[0] < '0' || value[0] >= '0' + kPeriodCount)
                return "okres wydruku to 0 (dzień), 1 (tydzień), 2 (miesiąc), 3 (kwartał), 4 (rok) albo 5 (całość)";
            parsed.printPeriod = value[0] - '0';
        }
        else if (parsed.action == "set-period" && parsed.period < 0 && arg.rfind("-", 0) != 0) {
            if (!parsePeriod(arg, parsed.period)) return "okres logowania to liczba całkowita minut 0.." +
                                                          std::to_string(kMaxLoggingPeriod);
        } else {
            return "nieoczekiwany argument " + arg;
        }
    }
    if (parsed.action == "download" && parsed.output.empty()) return "download wymaga -o NAZWA";
    if (std::string error = checkExportChoice(parsed.format, parsed.dialect, parsed.comma, parsed.dialectGiven);
        !error.empty())
        return error;
    if (parsed.action == "set-period" && parsed.period < 0) return "set-period wymaga MINUTY";
    if (parsed.action == "print" && parsed.pdf.empty()) return "print wymaga --pdf PLIK";
    if (parsed.segment && parsed.archive.empty()) return "--segment działa tylko z --archive ARCHIWUM.db";
    if (!parsed.moduleName.empty() && parsed.archived.empty() && parsed.archive.empty())
        return parsed.action == "print" ? "--name idzie w parze z --archive ARCHIWUM.db" : "--name idzie w parze z --archived ARCHIWUM.db";
    if (parsed.action != "status" && parsed.action != "download" && parsed.action != "print" && parsed.action != "clear" &&
        parsed.action != "set-period")
        return "nieznane działanie " + parsed.action;
    return "";
}

void printStatus(CliContext& context, const ModuleStatus& s) {
    struct Field {
        const char* label;
        std::string value;
    };
    const Field fields[] = {
        {"Wersja modułu", s.versionText()},
        {"Liczba rekordów w pamięci", std::to_string(s.storedRecords)},
        {"Max. liczba rekordów", std::to_string(s.recordCapacity())},
        {"Zajętość pamięci", s.fillText()},
        {"Okres logowania [min]", std::to_string(s.loggingPeriod)},
        {"Pojemność pamięci [h]", std::to_string(s.memoryHours())},
        {"Ustawienie zegara", s.clockText()},
        {"Logowanie włączone", s.loggingEnabled() ? "tak" : "nie"},
    };
    for (const Field& field : fields) context.out << field.label << ": " << toTerminal(field.value) << "\n";
}

// The same state for scripts: one JSON object, numbers as numbers, the clock with a
// two-digit hour (the window pads it with a blank).
void printStatusJson(CliContext& context, const ModuleStatus& s) {
    char clock[48];
    std::snprintf(clock, sizeof clock, "20%02d-%02d-%02d %02d:%02d:%02d", s.year, s.month, s.day, s.hour, s.minute,
                  s.second);
    JsonObject object;
    object.add("version", toTerminal(s.versionText()))
        .add("storedRecords", static_cast<long long>(s.storedRecords))
        .add("recordCapacity", s.recordCapacity())
        .add("fillPercent", static_cast<int>(s.fillPercent))
        .add("loggingPeriodMinutes", static_cast<int>(s.loggingPeriod))
        .add("memoryHours", s.memoryHours())
        .add("clock", std::string_view(clock))
        .add("loggingEnabled", s.loggingEnabled())
        .add("cyclicBuffer", s.cyclicBuffer())
        .add("extendedLines", s.extendedLines());
    context.out << object.text() << "\n";
}

int runDownload(CliContext& context, LoggerSession& session, const LoggerArgs& args);
int runPrint(CliContext& context, LoggerSession& session, const LoggerArgs& args);
int runPrintFromArchive(CliContext& context, const LoggerArgs& args);

} // namespace

int runLogger(CliContext& context, std::span<const std::string> args) {
#ifdef KAVREL_CLI_PAGES
    if (!args.empty() && args[0] == "chart") return runLoggerChart(context, args.subspan(1));
#endif
    LoggerArgs parsed;
    if (const std::string error = parseArgs(args, parsed); !error.empty()) return usageError(context, error);
    const std::string archiveFile = isArchiveAction(args) ? archiveFileArgument(args) : std::string();
    if (!outputsSpareInputs(context, {parsed.archived, parsed.archive, archiveFile}, {parsed.pdf})) return kExitFailure;
    if (isArchiveAction(args) && !archiveNeedsModule(args)) return runArchiveOffline(context, args);
    if (parsed.action == "print" && !parsed.archive.empty()) return runPrintFromArchive(context, parsed);
    // The question of the clear button needs someone to answer it; refuse before the
    // module is touched.
    if (parsed.action == "clear" && !parsed.yes && !isTerminal(stdin))
        return usageError(context, "clear pyta o potwierdzenie w terminalu; podaj --yes, aby kasować bez pytania");

    link::ModuleLink moduleLink(link::LinkVariant::logger(), context.connection);

    if (!context.traceInto(moduleLink)) return kExitFailure;
    AnsweringObserver answering(context.observer, [](const std::string&) { return true; });   // --yes
    OperationObserver& observer = parsed.yes ? static_cast<OperationObserver&>(answering) : context.observer;
    LoggerSession session(moduleLink, observer);
    session.fixedSpeed = parsed.fixedSpeed;

    if (connectSession(session) != StatusResult::Ok) return kExitFailure;
    int exitCode = kExitOk;
    if (parsed.action == "status") {
        if (parsed.json) printStatusJson(context, session.status);
        else printStatus(context, session.status);
    } else if (isArchiveAction(args)) {
        exitCode = runArchiveUpdate(context, session, args);
    } else if (parsed.action == "clear" && !parsed.archived.empty()) {
        exitCode = runArchivedClear(context, session, parsed.archived, parsed.moduleName);
    } else if (parsed.action == "clear") {
        const CommandResult result = clearMemory(session);
        if (result == CommandResult::Declined) context.err << "kavrel logger: nic nie skasowano\n";
        exitCode = result == CommandResult::Confirmed && session.connected ? kExitOk : kExitFailure;
    } else if (parsed.action == "set-period") {
        const CommandResult result = changeLogging(session, parsed.period, parsed.clock, context.clock);
        exitCode = result == CommandResult::Confirmed && session.connected ? kExitOk : kExitFailure;
        if (exitCode == kExitOk) printStatus(context, session.status);
    } else if (parsed.action == "print") {
        exitCode = runPrint(context, session, parsed);
    } else {
        exitCode = runDownload(context, session, parsed);
    }
    disconnectSession(session);
    return exitCode;
}

namespace {

// "Odczytaj dane" with the file named on the command line instead of the save dialog.
int runDownload(CliContext& context, LoggerSession& session, const LoggerArgs& args) {
    const LineDescriptions descriptions = loadLineDescriptions(std::filesystem::current_path(), false);
    ExportRequest request;
    request.separateComma = args.comma;
    request.format = args.format;
    request.dialect = args.dialect;
    request.folder = std::filesystem::current_path();
    request.chooseFile = [&args](const std::filesystem::path&) { return std::optional<std::filesystem::path>(pathFromUtf8(args.output)); };
    std::filesystem::path exportName;
    const std::unique_ptr<ExportSink> exporter = prepareExport(session, request, descriptions, context.clock, exportName);
    if (!exporter) return kExitFailure;
    DownloadState state;
    if (writeExport(*exporter, downloadSource(session, state, false), &session.observer) != ExportEnd::Complete)
        return kExitFailure;
    for (const std::filesystem::path& file : exporter->files()) context.out << pathToUtf8(file) << "\n";
    return kExitOk;
}

#ifdef KAVREL_CLI_PAGES
// Pages are drawn with fonts, which only a GUI application (offscreen) provides.
bool canDrawPages(CliContext& context) {
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return true;
    context.err << "kavrel logger: print wymaga własnego startu narzędzia (aplikacji GUI na platformie offscreen)\n";
    return false;
}

// The lines of the period from the print's temporary file, drawn into the PDF.
int printTemporaryFile(CliContext& context, OperationObserver& observer, const LoggerArgs& args,
                       const std::filesystem::path& folder) {
    const LocalDateTime now = context.clock.now();
    PrintTable table;
    const PrintReadResult read = readPrintTable(folder / kPrintFileName, args.printPeriod, now, table);
    if (read != PrintReadResult::Ok) {
        observer.message(printReadMessage(read), MessageIcon::None);
        return kExitFailure;
    }
    table.fitToPage = !args.fixedColumns;
    const int pages = pageCount(table.lines.size());
    const QString title = toQString(printTitle(printReadTime(now), args.printPeriod));
    if (!ui::writePdf(QString::fromStdString(args.pdf), table, title, 1, pages)) {
        context.err << "kavrel logger: nie można zapisać " << args.pdf << "\n";
        return kExitFailure;
    }
    context.out << args.pdf << "\n";
    return kExitOk;
}
#endif

// "Wydruk" with the pages written into a PDF file instead of the printer: the download
// for printing into the temporary file, the lines of the period, the same pages.
int runPrint(CliContext& context, LoggerSession& session, const LoggerArgs& args) {
#ifndef KAVREL_CLI_PAGES
    (void)session;
    (void)args;
    context.err << "kavrel logger: ta kompilacja nie ma print (strony rysuje Qt)\n";
    return kExitFailure;
#else
    if (!canDrawPages(context)) return kExitFailure;
    if (session.status.recordCount() <= 9) {
        session.observer.message(W("Brak wystarczającej ilości danych do odczytania"), MessageIcon::Warning);
        return kExitFailure;
    }
    const std::filesystem::path folder = std::filesystem::current_path();
    const LineDescriptions descriptions = loadLineDescriptions(folder, false);
    ExportRequest request;
    request.printMode = true;
    request.folder = folder;
    std::filesystem::path exportName;
    const std::unique_ptr<ExportSink> exporter = prepareExport(session, request, descriptions, context.clock, exportName);
    if (!exporter) return kExitFailure;
    // A temporary file cut short (a full disk) would print a partial history as a whole one.
    DownloadState state;
    if (writeExport(*exporter, downloadSource(session, state, true), &session.observer) != ExportEnd::Complete)
        return kExitFailure;
    return printTemporaryFile(context, session.observer, args, folder);
#endif
}

// The same print from an archive's history: the archive's records written into the
// temporary file as the download for printing writes them, then the same pages.
int runPrintFromArchive(CliContext& context, const LoggerArgs& args) {
#ifndef KAVREL_CLI_PAGES
    (void)args;
    context.err << "kavrel logger: ta kompilacja nie ma print (strony rysuje Qt)\n";
    return kExitFailure;
#else
    if (!canDrawPages(context)) return kExitFailure;
    const std::filesystem::path folder = std::filesystem::current_path();
    const std::optional<std::string> name = args.moduleName.empty() ? std::nullopt : std::optional(args.moduleName);
    const std::optional<long long> records =
        exportArchiveHistory(context, args.archive, name, args.segment, folder / kPrintFileName, true);
    if (!records) return kExitFailure;
    if (*records <= 9) {
        context.observer.message(W("Brak wystarczającej ilości danych do odczytania"), MessageIcon::Warning);
        return kExitFailure;
    }
    return printTemporaryFile(context, context.observer, args, folder);
#endif
}

} // namespace

} // namespace kavrel::cli
