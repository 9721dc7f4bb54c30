// kavrel logger chart HISTORY.csv|--archive ARCHIVE.db [--name NAME] [--segment N] -o FILE.png|FILE.pdf
// [--lines L1,T2,...] [--from DAY] [--to DAY] [--size WxH]: the history chart of
// Kavrel-Logger's "Wykres" drawn from a history file (or an archive's history) into a
// picture, for reports and scripts. No module is opened.
#include <QCoreApplication>
#include <QGuiApplication>
#include <QSize>
#include <QString>
#include <QTemporaryDir>
#include <cstdio>
#include <optional>
#include <ostream>

#include "cli/commands.h"
#include "cli/file_overlap.h"
#include "cli/logger_archive.h"
#include "common/file_names.h"
#include "common/qt/chart/chart_painter.h"
#include "logger/chart/history_chart.h"
#include "logger/chart/history_series.h"

namespace kavrel::cli {
namespace {

struct ChartArgs {
    std::string csv;
    std::string archive;                  // --archive: the history exported from it
    std::optional<std::string> name;      // --name: the archive's module
    std::optional<std::int64_t> segment;  // --segment: one segment of the archive
    std::string output;
    logger::HistoryChartChoice choice;
    int width = 1200;
    int height = 700;
};

bool parseDay(const std::string& text, LocalDateTime& day) {
    int year = 0, month = 0, dayOfMonth = 0;
    char end = 0;
    if (text.size() != 10 || std::sscanf(text.c_str(), "%4d-%2d-%2d%c", &year, &month, &dayOfMonth, &end) != 3) return false;
    if (month < 1 || month > 12 || dayOfMonth < 1 || dayOfMonth > 31) return false;
    day = LocalDateTime{year, month, dayOfMonth};
    return true;
}

bool parseSize(const std::string& text, int& width, int& height) {
    char end = 0;
    if (std::sscanf(text.c_str(), "%dx%d%c", &width, &height, &end) != 2) return false;
    return width >= 200 && width <= 8000 && height >= 150 && height <= 8000;
}

std::vector<std::string> splitNames(const std::string& text) {
    std::vector<std::string> names;
    std::size_t at = 0;
    while (at <= text.size()) {
        const std::size_t comma = std::min(text.find(',', at), text.size());
        if (comma > at) names.push_back(text.substr(at, comma - at));
        at = comma + 1;
    }
    return names;
}

// "" when the arguments are good, else what is wrong.
std::string parseChartArgs(std::span<const std::string> args, ChartArgs& parsed) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == "-o" && hasValue) {
            parsed.output = args[++i];
        } else if (arg == "--archive" && hasValue) {
            parsed.archive = args[++i];
        } else if (arg == "--name" && hasValue) {
            parsed.name = args[++i];
        } else if (arg == "--segment" && hasValue) {
            std::int64_t segment = 0;
            if (!parseSegmentNumber(args[++i], segment)) return segmentNumberError();
            parsed.segment = segment;
        } else if (arg == "--lines" && hasValue) {
            parsed.choice.lines = splitNames(args[++i]);
            if (parsed.choice.lines.empty()) return "--lines wymaga nazw linii, np. L1,T2,XL2";
        } else if ((arg == "--from" || arg == "--to") && hasValue) {
            LocalDateTime day;
            if (!parseDay(args[++i], day)) return arg + " oczekuje dnia RRRR-MM-DD";
            (arg == "--from" ? parsed.choice.from : parsed.choice.to) = day;
        } else if (arg == "--size" && hasValue) {
            if (!parseSize(args[++i], parsed.width, parsed.height))
                return "--size oczekuje SZEROKOŚĆxWYSOKOŚĆ w pikselach, od 200x150 do 8000x8000";
        } else if (!arg.empty() && arg[0] != '-' && parsed.csv.empty()) {
            parsed.csv = arg;
        } else {
            return "nieoczekiwany argument " + arg;
        }
    }
    if (!parsed.csv.empty() && !parsed.archive.empty()) return "chart rysuje HISTORIA.csv albo --archive ARCHIWUM.db, nie oba";
    if (parsed.name && parsed.archive.empty()) return "--name idzie w parze z --archive ARCHIWUM.db";
    if (parsed.segment && parsed.archive.empty()) return "--segment działa tylko z --archive ARCHIWUM.db";
    if (parsed.csv.empty() && parsed.archive.empty()) return "chart wymaga pliku historii HISTORIA.csv (albo --archive ARCHIWUM.db)";
    if (parsed.output.empty()) return "chart wymaga -o PLIK.png (albo PLIK.pdf)";
    return "";
}

bool endsWithPdf(const std::string& name) {
    return name.size() >= 4 && QString::fromStdString(name.substr(name.size() - 4)).compare(QStringLiteral(".pdf"), Qt::CaseInsensitive) == 0;
}

} // namespace

int runLoggerChart(CliContext& context, std::span<const std::string> args) {
    ChartArgs parsed;
    if (const std::string error = parseChartArgs(args, parsed); !error.empty()) {
        context.err << "kavrel logger: " << error << "\n";
        return kExitUsage;
    }
    if (!outputsSpareInputs(context, {parsed.csv, parsed.archive}, {parsed.output})) return kExitFailure;
    // Pictures are drawn with fonts, which only a GUI application (offscreen) provides.
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        context.err << "kavrel logger: chart wymaga własnego startu narzędzia (aplikacji GUI na platformie offscreen)\n";
        return kExitFailure;
    }
    // An archive's history goes through a private temporary folder, removed when drawn; the
    // chart is named after the archive.
    QTemporaryDir work;
    std::filesystem::path csv = pathFromUtf8(parsed.csv);
    std::string fileName = pathToUtf8(csv.filename());
    if (!parsed.archive.empty()) {
        if (!work.isValid()) {
            context.err << "kavrel logger: Nie można utworzyć folderu tymczasowego.\n";
            return kExitFailure;
        }
        csv = pathFromUtf8(work.path().toStdString()) / "historia.csv";
        fileName = pathToUtf8(pathFromUtf8(parsed.archive).filename());
        if (!exportArchiveHistory(context, parsed.archive, parsed.name, parsed.segment, csv, false)) return kExitFailure;
    }
    logger::HistoryData history;
    const logger::HistoryReadResult read = logger::readHistorySeries(csv, history);
    if (read != logger::HistoryReadResult::Ok) {
        context.err << "kavrel logger: " << logger::historyReadMessage(read, fileName) << "\n";
        return kExitFailure;
    }
    // Without --lines: the lines that vary, so that 24 columns never crowd one picture.
    if (parsed.choice.lines.empty()) parsed.choice.lines = logger::defaultChartLines(history);
    std::vector<std::string> missing;
    const ::kavrel::ui::ChartData data =
        logger::historyChart(history, "Historia pomiarów: " + fileName, parsed.choice, missing);
    if (!missing.empty()) {
        context.err << "kavrel logger: " << fileName << " nie ma linii " << missing.front() << "; jego linie:";
        for (const logger::HistorySeries& series : history.series) context.err << " " << logger::headingParts(series.name).name;
        context.err << "\n";
        return kExitFailure;
    }
    const bool anySample = std::any_of(data.series.begin(), data.series.end(), [](const auto& s) { return !s.times.empty(); });
    if (!anySample) {
        context.err << "kavrel logger: Brak pomiarów w wybranym okresie w pliku " << fileName << ".\n";
        return kExitFailure;
    }
    ::kavrel::ui::ChartPainter chart;
    chart.setData(data);
    const QString output = QString::fromStdString(parsed.output);
    const QSize size(parsed.width, parsed.height);
    if (!(endsWithPdf(parsed.output) ? chart.writePdf(output, size) : chart.writePng(output, size))) {
        context.err << "kavrel logger: nie można zapisać " << parsed.output << "\n";
        return kExitFailure;
    }
    context.out << parsed.output << "\n";
    return kExitOk;
}

} // namespace kavrel::cli
