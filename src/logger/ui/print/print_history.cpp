#include "logger/ui/print/print_history.h"

#include <QMessageBox>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>

#include "common/qt/qt_text.h"
#include "logger/export/export_names.h"
#include "logger/print/print_table.h"
#include "logger/ui/print/page_drawing.h"
#include "logger/ui/print/print_preview.h"

namespace kavrel::logger::ui {
namespace {

const QString kCaption = QStringLiteral("Kavrel-Logger");

void plainMessage(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, kCaption, text, QMessageBox::Ok, parent);
    box.exec();
}

} // namespace

void printHistory(QWidget* parent, const PrintRequest& request) {
    PrintTable table;
    const PrintReadResult read = readPrintTable(request.folder / kPrintFileName, request.period, request.now, table);
    if (read != PrintReadResult::Ok) {
        plainMessage(parent, toQString(printReadMessage(read)));
        return;
    }
    table.fitToPage = request.fitToPage;
    const int pages = pageCount(table.lines.size());
    const QString title = toQString(printTitle(printReadTime(request.now), request.period));

    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(printJobName());
    if (request.preview) {
        HistoryPrintPreview preview(printer, table, title, request.folder, parent);
        if (preview.exec() != QDialog::Accepted) return;
    }

    QPrintDialog dialog(&printer, parent);
    dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
    dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, true);
    dialog.setMinMax(1, pages);
    dialog.setFromTo(1, pages);
    dialog.setPrintRange(QAbstractPrintDialog::AllPages);
    if (dialog.exec() != QDialog::Accepted) return;

    int from = 1, to = pages;
    if (printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0) {
        from = printer.fromPage();
        to = printer.toPage() > 0 ? printer.toPage() : pages;
    }
    QPainter painter;
    if (!painter.begin(&printer)) return;
    if (!drawPages(painter, printer, table, title, from, to)) printer.abort();
    painter.end();
}

} // namespace kavrel::logger::ui
