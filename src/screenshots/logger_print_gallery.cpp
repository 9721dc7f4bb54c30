// Pictures of Kavrel-Logger's printing and history chart for scripts/screenshots:
//   logger-print-gallery FOLDER HISTORY.csv PRINTFILE.csv
// renders the period dialog, the first and the last printed page, the print preview and
// the history chart into FOLDER (offscreen, no display needed).
#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPrinter>
#include <QTimer>
#include <QWidget>
#include <cstdio>

#include "common/clock.h"
#include "common/qt/qt_text.h"
#include "logger/print/print_period.h"
#include "logger/print/print_table.h"
#include "logger/ui/print/history_chart_dialog.h"
#include "logger/ui/print/page_drawing.h"
#include "logger/ui/print/period_dialog.h"
#include "logger/ui/print/print_preview.h"

namespace {

using namespace kavrel;
using namespace kavrel::logger;

bool saveWidget(QWidget& widget, const QString& path) {
    widget.show();
    QApplication::processEvents();
    QApplication::processEvents();
    return widget.grab().save(path, "PNG");
}

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: logger-print-gallery FOLDER HISTORY.csv PRINTFILE.csv\n");
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    folder.mkpath(QStringLiteral("."));
    auto path = [&](const char* name) { return folder.filePath(QString::fromLatin1(name)); };
    bool ok = true;

    logger::ui::Czakres period;
    period.setPeriod(kDefaultPeriod);
    ok &= saveWidget(period, path("logger-period-dialog.png"));

    const LocalDateTime moment{2025, 3, 12, 9, 30, 0};
    PrintTable table;
    if (readPrintTable(argv[3], kAllData, moment, table) != PrintReadResult::Ok) {
        std::fprintf(stderr, "logger-print-gallery: nothing to print in %s\n", argv[3]);
        return 1;
    }
    const QString title = toQString(printTitle(printReadTime(moment), kAllData));
    const int pages = pageCount(table.lines.size());
    ok &= logger::ui::pageImage(table, title, 1, 200).save(path("logger-print-page-1.png"), "PNG");
    ok &= logger::ui::pageImage(table, title, pages, 200).save(path("logger-print-page-last.png"), "PNG");

    QPrinter printer(QPrinter::HighResolution);
    logger::ui::HistoryPrintPreview preview(printer, table, title, folder.absolutePath().toStdString());
    ok &= saveWidget(preview, path("logger-print-preview.png"));

    logger::ui::HistoryChartDialog chart(QString::fromLocal8Bit(argv[2]));
    chart.waitForLoaded();
    ok &= saveWidget(chart, path("logger-history-chart.png"));
    ok &= chart.savePng(path("logger-history-chart-saved.png"));
    chart.setLineHighlighted(1);   // one line followed alone
    ok &= saveWidget(chart, path("logger-history-chart-T2.png"));
    return ok ? 0 : 1;
}
