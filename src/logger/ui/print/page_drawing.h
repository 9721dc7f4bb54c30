// The pages of a history printout, drawn on any paint device: a printer, the print
// preview, a PDF file. Lengths are millimetres, turned into dots by the device's own
// resolution, from the top left corner of its printable area.
#pragma once

#include <QPageLayout>
#include <QString>

#include "logger/print/print_table.h"

class QIODevice;
class QImage;
class QPainter;
class QPagedPaintDevice;

namespace kavrel::logger::ui {

// The print job's name.
QString printJobName();

// One page (1-based) of `pages`: the title under a rule, the heading row and up to 48
// data rows, the page number and the program's line at the foot, and "*** KONIEC ***"
// under the last row when the data end on this page.
void drawPage(QPainter& painter, const PrintTable& table, const QString& title, int page, int pages);

// Pages from..to (clamped to 1..pageCount) on a device the painter is active on, a new
// page between them. False when the device failed to start a page.
bool drawPages(QPainter& painter, QPagedPaintDevice& device, const PrintTable& table, const QString& title,
               int from, int to);

// One page on a white A4 sheet of `dotsPerInch` (pictures of the printout).
QImage pageImage(const PrintTable& table, const QString& title, int page, int dotsPerInch);

// An A4 portrait page whose printable area is the whole sheet.
QPageLayout wholeA4Page();

// Pages from..to as a PDF of the given page layout onto an open device.
bool drawPdf(QIODevice& device, const PrintTable& table, const QString& title, int from, int to,
             const QPageLayout& layout = wholeA4Page());

// Pages from..to into a PDF file of the given page layout (the printer's, for a PDF that
// matches the preview of that printer), which is replaced only once the whole PDF is on
// the disk. False when the file cannot be written (an older file of that name is kept).
bool writePdf(const QString& path, const PrintTable& table, const QString& title, int from, int to,
              const QPageLayout& layout = wholeA4Page());

} // namespace kavrel::logger::ui
