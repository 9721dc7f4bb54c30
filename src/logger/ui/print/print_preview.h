// The pages of a printout as they will be printed, before the print dialog. "Drukuj…"
// goes on to the print dialog, "Zapisz jako PDF…" keeps the pages in a PDF file, closing
// the preview prints nothing. The preview's own print and page set-up buttons give way to
// these, so that the printer and the page range are chosen once, in the print dialog.
#pragma once

#include <QPrintPreviewDialog>
#include <QString>
#include <filesystem>

#include "logger/print/print_table.h"

namespace kavrel::logger::ui {

class HistoryPrintPreview : public QPrintPreviewDialog {
    Q_OBJECT
public:
    // The table and the printer must outlive the dialog.
    HistoryPrintPreview(QPrinter& printer, const PrintTable& table, const QString& title,
                        std::filesystem::path pdfFolder, QWidget* parent = nullptr);

    // Every page into a PDF file; false (after a message) when it cannot be written.
    bool savePdf(const QString& path);

private:
    void askAndSavePdf();

    const PrintTable& table_;
    QString title_;
    std::filesystem::path pdfFolder_;
};

} // namespace kavrel::logger::ui
