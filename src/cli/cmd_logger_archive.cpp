// kavrel logger archive update|export|status, and the archive's part of
// kavrel logger clear --archived: the logger's archive from the command line.
#include <cstdio>
#include <filesystem>
#include <optional>
#include <ostream>

#include "cli/commands.h"
#include "cli/file_overlap.h"
#include "cli/logger_archive.h"
#include "common/file_names.h"
#include "common/win1250.h"
#include "logger/archive/archive.h"
#include "cli/export_choice.h"
#include "logger/archive/archive_export.h"
#include "logger/archive/archive_import.h"
#include "logger/archive/archive_update.h"
#include "logger/archive/archived_clear.h"
#include "logger/descriptions/line_descriptions.h"

namespace kavrel::cli {
namespace {

using namespace kavrel::logger;
using namespace kavrel::logger::archive;

struct ArchiveArgs {
    std::string action;
    std::filesystem::path file;
    std::optional<std::string> name;
    std::optional<std::int64_t> segment;
    std::string output;
    bool comma = false;
    std::string from, to;
    ExportFormat format = ExportFormat::CsvAndHtml;
    CsvDialect dialect = CsvDialect::Original;
    bool dialectGiven = false;
    std::filesystem::path input;   // import: the file read
};

bool isDate(const std::string& text) {
    int y = 0, m = 0, d = 0, used = 0;
    return text.size() == 10 && std::sscanf(text.c_str(), "%4d-%2d-%2d%n", &y, &m, &d, &used) == 3 && used == 10 &&
           m >= 1 && m <= 12 && d >= 1 && d <= 31;
}

// Returns "" when the arguments are good, else what is wrong.
std::string parseArchiveArgs(std::span<const std::string> args, ArchiveArgs& parsed) {
    if (args.empty()) return "archive oczekuje update, export, import albo status";
    parsed.action = args[0];
    if (parsed.action != "update" && parsed.action != "export" && parsed.action != "status" && parsed.action != "import")
        return "nieznane działanie archiwum " + parsed.action;
    const bool importing = parsed.action == "import";
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        const bool exporting = parsed.action == "export";
        if (arg == "--name" && hasValue) parsed.name = args[++i];
        else if (arg == "-o" && exporting && hasValue) parsed.output = args[++i];
        else if (arg == "--comma" && exporting) parsed.comma = true;
        else if (arg == "--format" && exporting && hasValue) {
            if (std::string error = parseExportFormat(args[++i], parsed.format); !error.empty()) return error;
        } else if (arg == "--dialect" && exporting && hasValue) {
            if (std::string error = parseCsvDialect(args[++i], parsed.dialect); !error.empty()) return error;
            parsed.dialectGiven = true;
        } else if (arg == "--archive" && importing && hasValue && parsed.file.empty()) {
            parsed.file = pathFromUtf8(args[++i]);
        } else if (importing && parsed.input.empty() && arg.rfind("-", 0) != 0) {
            parsed.input = pathFromUtf8(arg);
        }
        else if ((arg == "--from" || arg == "--to") && exporting && hasValue) {
            const std::string& date = args[++i];
            if (!isDate(date)) return arg + " oczekuje daty RRRR-MM-DD";
            (arg == "--from" ? parsed.from : parsed.to) = date;
        } else if (arg == "--segment" && exporting && hasValue) {
            std::int64_t segment = 0;
            if (!parseSegmentNumber(args[++i], segment)) return segmentNumberError();
            parsed.segment = segment;
        } else if (arg == "--fixed-speed" && parsed.action == "update") {
            // taken by the logger's own options
        } else if (parsed.file.empty() && arg.rfind("-", 0) != 0) {
            parsed.file = pathFromUtf8(arg);
        } else {
            return "nieoczekiwany argument " + arg;
        }
    }
    if (importing && parsed.input.empty()) return "archive import wymaga PLIKU kvl-csv";
    if (importing && parsed.file.empty()) return "archive import wymaga --archive ARCHIWUM.db";
    if (parsed.file.empty()) return "archive " + parsed.action + " wymaga ARCHIWUM.db";
    if (parsed.action == "export" && parsed.output.empty()) return "archive export wymaga -o NAZWA";
    return checkExportChoice(parsed.format, parsed.dialect, parsed.comma, parsed.dialectGiven);
}

int usage(CliContext& context, const std::string& text) {
    context.err << "kavrel logger: " << text << "\n";
    return kExitUsage;
}

// The archive file of an export or status must exist: opening would create an empty one.
bool openExisting(CliContext& context, Archive& archive, const std::filesystem::path& file) {
    std::error_code error;
    if (!std::filesystem::exists(file, error)) {
        context.err << "kavrel logger: Brak archiwum " << pathToUtf8(file) << ".\n";
        return false;
    }
    if (!archive.open(file, Archive::Access::ReadOnly)) {
        context.err << "kavrel logger: Nie można otworzyć archiwum " << pathToUtf8(file) << ": " << archive.error() << "\n";
        return false;
    }
    return true;
}

// The archive of an update, created when missing and held against a second writer.
bool openForUpdate(CliContext& context, Archive& archive, const std::filesystem::path& file) {
    if (archive.open(file)) return true;
    if (archive.busy()) context.err << "kavrel logger: " << archive.error() << "\n";
    else context.err << "kavrel logger: Nie można otworzyć archiwum " << pathToUtf8(file) << ": " << archive.error() << "\n";
    return false;
}

void printHoles(std::ostream& out, const std::vector<Hole>& holes, const char* indent) {
    for (const Hole& hole : holes) out << indent << holeText(hole) << "\n";
}

int runStatus(CliContext& context, const ArchiveArgs& args) {
    Archive archive;
    if (!openExisting(context, archive, args.file)) return kExitFailure;
    const auto modules = archive.modules(args.name);
    if (modules.empty()) context.out << (args.name ? "Brak modułu o tej nazwie w archiwum.\n" : "Archiwum jest puste.\n");
    for (const ModuleInfo& m : modules) {
        const ModuleIdentity& id = m.identity;
        context.out << "Moduł: " << (id.name.empty() ? "(bez nazwy)" : id.name) << " (" << id.version << ", pamięć "
                    << id.geometryFactor << "x" << id.geometryBlocks << ", rekord " << id.recordLength << " B)\n";
        for (const SegmentInfo& s : m.segments) {
            context.out << "  Segment " << s.id << " od " << s.started << " (" << s.reason << "): " << s.records
                        << " rekordów";
            if (s.records > 0)
                context.out << ", nr " << s.firstNumber << "–" << s.lastNumber << ", " << s.firstStamp << " – " << s.lastStamp;
            context.out << "\n";
            printHoles(context.out, s.holes, "    ");
        }
    }
    return kExitOk;
}

int runExport(CliContext& context, const ArchiveArgs& args) {
    Archive archive;
    if (!openExisting(context, archive, args.file)) return kExitFailure;
    const LineDescriptions descriptions = loadLineDescriptions(std::filesystem::current_path(), false);
    ExportChoice choice;
    choice.moduleName = args.name;
    choice.segment = args.segment;
    choice.from = args.from;
    choice.to = args.to;
    choice.separateComma = args.comma;
    choice.format = args.format;
    choice.dialect = args.dialect;
    const ExportOutcome outcome = exportArchive(archive, choice, pathFromUtf8(args.output), descriptions, context.clock.now());
    if (!outcome.ok) {
        context.err << "kavrel logger: " << outcome.error << "\n";
        return kExitFailure;
    }
    for (const std::filesystem::path& file : outcome.files) context.out << pathToUtf8(file) << "\n";
    return kExitOk;
}

// A kvl-csv export read back as a new segment of the archive (created when missing).
int runImport(CliContext& context, const ArchiveArgs& args) {
    Archive archive;
    if (!openForUpdate(context, archive, args.file)) return kExitFailure;
    const ImportOutcome outcome = importHistoryFile(archive, args.input, timeText(context.clock.now()));
    if (!outcome.ok) {
        context.err << "kavrel logger: " << outcome.error << "\n";
        return kExitFailure;
    }
    context.out << "Zaimportowano " << outcome.records << " rekordów do segmentu " << outcome.segment << " (dziury: "
                << outcome.holes << ").\n";
    return kExitOk;
}

} // namespace

bool parseSegmentNumber(const std::string& text, std::int64_t& segment) {
    if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    segment = std::stoll(text);
    return true;
}

std::string segmentNumberError() { return "--segment wymaga numeru segmentu (wypisuje je archive status)"; }

bool isArchiveAction(std::span<const std::string> args) { return !args.empty() && args[0] == "archive"; }

bool archiveNeedsModule(std::span<const std::string> args) { return args.size() >= 2 && args[1] == "update"; }

int runArchiveOffline(CliContext& context, std::span<const std::string> args) {
    ArchiveArgs parsed;
    if (const std::string error = parseArchiveArgs(args.subspan(1), parsed); !error.empty()) return usage(context, error);
    // The export writes NAME as given and, in its formats, NAME.csv and NAME.html, NAME.lp, NAME.jsonl.
    const std::string file = pathToUtf8(parsed.file), output = parsed.output;
    if (parsed.action == "export" &&
        !outputsSpareInputs(context, {file}, {output, output + ".csv", output + ".html", output + ".lp", output + ".jsonl"}))
        return kExitFailure;
    if (parsed.action == "import") {
        if (!outputsSpareInputs(context, {pathToUtf8(parsed.input)}, {file})) return kExitFailure;
        return runImport(context, parsed);
    }
    return parsed.action == "status" ? runStatus(context, parsed) : runExport(context, parsed);
}

std::string archiveFileArgument(std::span<const std::string> args) {
    ArchiveArgs parsed;
    if (!parseArchiveArgs(args.subspan(1), parsed).empty()) return {};
    return pathToUtf8(parsed.file);
}

std::string checkArchiveArgs(std::span<const std::string> args) {
    ArchiveArgs parsed;
    return parseArchiveArgs(args.subspan(1), parsed);
}

std::optional<long long> exportArchiveHistory(CliContext& context, const std::string& file,
                                              const std::optional<std::string>& name,
                                              const std::optional<std::int64_t>& segment,
                                              const std::filesystem::path& csvName, bool printMode) {
    Archive archive;
    if (!openExisting(context, archive, pathFromUtf8(file))) return std::nullopt;
    const LineDescriptions descriptions = loadLineDescriptions(std::filesystem::current_path(), false);
    ExportChoice choice;
    choice.moduleName = name;
    choice.segment = segment;
    choice.printMode = printMode;
    const ExportOutcome outcome = exportArchive(archive, choice, csvName, descriptions, context.clock.now());
    if (!outcome.ok) {
        context.err << "kavrel logger: " << outcome.error << "\n";
        return std::nullopt;
    }
    return outcome.records;
}

int runArchiveUpdate(CliContext& context, LoggerSession& session, std::span<const std::string> args) {
    ArchiveArgs parsed;
    if (const std::string error = parseArchiveArgs(args.subspan(1), parsed); !error.empty()) return usage(context, error);
    Archive archive;
    if (!openForUpdate(context, archive, parsed.file)) return kExitFailure;
    const UpdateResult result = updateArchive(session, archive, parsed.name.value_or(""), context.clock);
    context.out << updateSummary(result) << "\n";
    printHoles(context.out, result.holes, "");
    for (const std::string& reason : result.newSegments) context.out << "Nowy segment: " << reason << "\n";
    if (!result.complete()) return kExitFailure;
    return result.holes.empty() ? kExitOk : kExitHoles;
}

int runArchivedClear(CliContext& context, LoggerSession& session, const std::string& file, const std::string& name) {
    Archive archive;
    const std::filesystem::path path = pathFromUtf8(file);
    if (!openForUpdate(context, archive, path)) return kExitFailure;
    const UpdateResult update = updateArchive(session, archive, name, context.clock);
    context.out << updateSummary(update) << "\n";
    printHoles(context.out, update.holes, "");
    switch (clearArchived(session, path, update)) {
    // Cleared after an update that found records lost: the exit tells it, as the update's does.
    case ArchivedClear::Cleared: return update.holes.empty() ? kExitOk : kExitHoles;
    case ArchivedClear::Declined: context.err << "kavrel logger: nic nie skasowano\n"; return kExitFailure;
    case ArchivedClear::Refused:
    case ArchivedClear::Failed: return kExitFailure;
    }
    return kExitFailure;
}

} // namespace kavrel::cli
