#include "logger/ui/print/print_preview.h"

#include <QAction>
#include <QFileDialog>
#include <QMessageBox>
#include <QPainter>
#include <QPrinter>
#include <QToolBar>

#include "common/qt/qt_path.h"
#include "logger/ui/print/page_drawing.h"

namespace kavrel::logger::ui {

HistoryPrintPreview::HistoryPrintPreview(QPrinter& printer, const PrintTable& table, const QString& title,
                                         std::filesystem::path pdfFolder, QWidget* parent)
    : QPrintPreviewDialog(&printer, parent), table_(table), title_(title), pdfFolder_(std::move(pdfFolder)) {
    setWindowTitle(QStringLiteral("Podgląd wydruku"));
    resize(900, 1000);
    connect(this, &QPrintPreviewDialog::paintRequested, this, [this](QPrinter* device) {
        QPainter painter(device);
        drawPages(painter, *device, table_, title_, 1, pageCount(table_.lines.size()));
    });
    if (auto* toolbar = findChild<QToolBar*>()) {
        // The preview's own page set-up and print buttons close its tool bar.
        const QList<QAction*> own = toolbar->actions();
        for (qsizetype i = own.size() - 1, hidden = 0; i >= 0 && hidden < 2; --i) {
            if (own[i]->isSeparator()) continue;
            own[i]->setVisible(false);
            own[i]->setEnabled(false);
            ++hidden;
        }
        QAction* print = toolbar->addAction(QStringLiteral("Drukuj…"), this, &QDialog::accept);
        print->setObjectName(QStringLiteral("printHistory"));
        QAction* pdf = toolbar->addAction(QStringLiteral("Zapisz jako PDF…"), this, &HistoryPrintPreview::askAndSavePdf);
        pdf->setObjectName(QStringLiteral("savePdf"));
    }
}

bool HistoryPrintPreview::savePdf(const QString& path) {
    // The printer's page and margins: the pages sit in the PDF where the preview shows them.
    if (writePdf(path, table_, title_, 1, pageCount(table_.lines.size()), printer()->pageLayout())) return true;
    QMessageBox::warning(this, QStringLiteral("Kavrel-Logger"), QStringLiteral("Błąd zapisu pliku PDF: %1").arg(path));
    return false;
}

void HistoryPrintPreview::askAndSavePdf() {
    QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Zapisz jako PDF"),
                                                qStringFromPath(pdfFolder_ / "wydruk.pdf"),
                                                QStringLiteral("Dokumenty PDF (*.pdf)"));
    if (path.isEmpty()) return;
    if (!path.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive)) path += QStringLiteral(".pdf");
    savePdf(path);
}

} // namespace kavrel::logger::ui
