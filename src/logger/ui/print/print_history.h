// Printing the history read for printing: the lines of the chosen period, 48 to a page,
// through a print preview (from which the pages can be saved as PDF) and the print dialog.
#pragma once

#include <filesystem>

#include "common/clock.h"
#include "logger/print/print_period.h"

class QWidget;

namespace kavrel::logger::ui {

struct PrintRequest {
    std::filesystem::path folder;   // where the download for printing wrote its file
    int period = kDefaultPeriod;    // 0..5 from "Wybierz zakres danych"
    LocalDateTime now;              // local date and time when the printing starts
    bool preview = true;            // show the pages before the print dialog
    bool fitToPage = true;          // columns moved apart and shrunk to the page width
};

// Reads "kavrellogger_tmp.csv" from the folder, keeps the lines of the period and prints
// them: a message when there is nothing to print, then the preview (when asked for) and
// the print dialog with pages 1..n; the job is "Rejestr wyników pomiarów". Closing the
// preview or cancelling the print dialog prints nothing.
void printHistory(QWidget* parent, const PrintRequest& request);

} // namespace kavrel::logger::ui
