#include "logger/ui/print/print_history.h"

#include <QAction>
#include <QFileDialog>
#include <QMessageBox>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QToolBar>

#include "common/qt/qt_text.h"
#include "logger/export/export_names.h"
#include "logger/print/print_table.h"
#include "logger/ui/print/page_drawing.h"

namespace kavrel::logger::ui {
namespace {

const QString kCaption = QStringLiteral("Kavrel-Logger");

void plainMessage(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, kCaption, text, QMessageBox::Ok, parent);
    box.exec();
}

// Asks for a file and writes the whole printout into it as PDF.
void savePdf(QWidget* parent, const PrintTable& table, const QString& title, const std::filesystem::path& folder) {
    QString path = QFileDialog::getSaveFileName(parent, QStringLiteral("Zapisz jako PDF"),
                                                QString::fromStdString((folder / "wydruk.pdf").string()),
                                                QStringLiteral("Dokumenty PDF (*.pdf)"));
    if (path.isEmpty()) return;
    if (!path.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive)) path += QStringLiteral(".pdf");
    if (!writePdf(path, table, title, 1, pageCount(table.lines.size())))
        QMessageBox::warning(parent, kCaption, QStringLiteral("Błąd zapisu pliku PDF: %1").arg(path));
}

// The pages as they will be printed. "Drukuj…" goes on to the print dialog, "Zapisz jako
// PDF…" keeps them in a file; closing the preview prints nothing. The preview's own print
// and page set-up buttons are replaced by these, so that the page range is chosen once,
// in the print dialog that follows.
bool showPreview(QWidget* parent, QPrinter& printer, const PrintTable& table, const QString& title,
                 const std::filesystem::path& folder) {
    QPrintPreviewDialog preview(&printer, parent);
    preview.setWindowTitle(QStringLiteral("Podgląd wydruku"));
    QObject::connect(&preview, &QPrintPreviewDialog::paintRequested, &preview, [&](QPrinter* device) {
        QPainter painter(device);
        drawPages(painter, *device, table, title, 1, pageCount(table.lines.size()));
    });
    for (QAction* action : preview.findChildren<QAction*>()) {
        const QString name = action->objectName();
        if (name == QLatin1String("printAction") || name == QLatin1String("pageSetupAction")) action->setVisible(false);
    }
    if (auto* toolbar = preview.findChild<QToolBar*>()) {
        toolbar->addSeparator();
        QAction* print = toolbar->addAction(QStringLiteral("Drukuj…"), &preview, &QDialog::accept);
        print->setObjectName(QStringLiteral("kavrelPrint"));
        QAction* pdf = toolbar->addAction(QStringLiteral("Zapisz jako PDF…"), &preview,
                                          [&] { savePdf(&preview, table, title, folder); });
        pdf->setObjectName(QStringLiteral("kavrelSavePdf"));
    }
    return preview.exec() == QDialog::Accepted;
}

} // namespace

void printHistory(QWidget* parent, const PrintRequest& request) {
    PrintTable table;
    const PrintReadResult read = readPrintTable(request.folder / kPrintFileName, request.period, request.now, table);
    if (read != PrintReadResult::Ok) {
        plainMessage(parent, toQString(printReadMessage(read)));
        return;
    }
    const int pages = pageCount(table.lines.size());
    const QString title = toQString(printTitle(printReadTime(request.now), request.period));

    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(printJobName());
    if (request.preview && !showPreview(parent, printer, table, title, request.folder)) return;

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
