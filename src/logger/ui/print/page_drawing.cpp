#include "logger/ui/print/page_drawing.h"

#include <QBuffer>
#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QPen>

#include <algorithm>
#include <filesystem>
#include <string_view>

#include "common/qt/qt_path.h"
#include "common/qt/qt_text.h"
#include "common/replace_file.h"

namespace kavrel::logger::ui {
namespace {

// Millimetres on the device the painter draws on.
struct PageGeometry {
    explicit PageGeometry(const QPaintDevice& device)
        : dotsPerMmX(device.widthMM() > 0 ? double(device.width()) / device.widthMM() : 1.0),
          dotsPerMmY(device.heightMM() > 0 ? double(device.height()) / device.heightMM() : 1.0),
          width(device.width()) {}
    double x(double mm) const { return mm * dotsPerMmX; }
    double y(double mm) const { return mm * dotsPerMmY; }

    double dotsPerMmX;
    double dotsPerMmY;
    double width;   // W, in dots
};

// A font whose character cell (ascent and descent) is heightMm high on the device.
QFont pageFont(QPaintDevice& device, const QString& family, bool bold, double heightMm, const PageGeometry& g) {
    QFont font(family);
    font.setWeight(bold ? QFont::Bold : QFont::Normal);
    const double cell = g.y(heightMm);
    font.setPixelSize(std::max(1, qRound(cell)));
    const double measured = QFontMetricsF(font, &device).height();
    if (measured > 0) font.setPixelSize(std::max(1, qRound(cell * cell / measured)));
    return font;
}

// A horizontal rule across the page, 10 mm from either side.
void rule(QPainter& painter, const PageGeometry& g, double yMm) {
    painter.drawLine(QPointF(g.x(10), g.y(yMm)), QPointF(g.width - g.x(10), g.y(yMm)));
}

// Text left-aligned in a box from (x, y) to the right edge of the page.
void textAt(QPainter& painter, const PageGeometry& g, double xDots, double yMm, const QString& text, int flags = 0) {
    if (xDots >= g.width) return;
    const QRectF box(xDots, g.y(yMm), g.width - xDots, g.y(10));
    painter.drawText(box, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine | flags, text);
}

// The columns of the table: the fixed positions, or fitted to the texts and the page.
FittedColumns tableColumns(QPaintDevice& device, const PrintTable& table, const QFont& normalFont,
                           const QFont& boldFont, const PageGeometry& g) {
    const std::vector<std::string> headings = splitFields(table.heading);
    const std::vector<std::string> widest = table.widest.empty() ? longestFields(table.lines) : table.widest;
    const std::vector<int> fixed = columnPositions(table.heading, widest.size());
    if (!table.fitToPage) return {std::vector<double>(fixed.begin(), fixed.end()), 1.0};
    const QFontMetricsF normal(normalFont, &device);
    const QFontMetricsF bold(boldFont, &device);
    std::vector<double> widths(fixed.size(), 0.0);
    for (std::size_t n = 0; n < widths.size(); ++n) {
        if (n < headings.size()) widths[n] = bold.horizontalAdvance(toQString(headings[n]));
        if (n < widest.size()) widths[n] = std::max(widths[n], normal.horizontalAdvance(toQString(widest[n])));
        widths[n] /= g.dotsPerMmX;
    }
    constexpr double kColumnGap = 2;   // mm between a column's widest text and the next column
    return fitColumns(fixed, widths, g.width / g.dotsPerMmX - 20, kColumnGap);
}

} // namespace

QString printJobName() { return QStringLiteral("Rejestr wyników pomiarów"); }

void drawPage(QPainter& painter, const PrintTable& table, const QString& title, int page, int pages) {
    const PageGeometry g(*painter.device());
    QPaintDevice& device = *painter.device();
    const QFont titleFont = pageFont(device, QStringLiteral("Times New Roman"), true, 4, g);
    const double tableHeight = g.dotsPerMmY < 7.3 ? 4 : 3;
    const QFont normalFont = pageFont(device, QStringLiteral("Arial"), false, tableHeight, g);
    const QFont boldFont = pageFont(device, QStringLiteral("Arial"), true, tableHeight, g);
    painter.save();
    painter.setPen(QPen(Qt::black, std::max(1.0, g.y(0.25))));

    painter.setFont(titleFont);
    rule(painter, g, 15);
    textAt(painter, g, g.x(10), 9, title, Qt::TextExpandTabs);
    rule(painter, g, 263);
    textAt(painter, g, g.width / 2 - g.x(12), 269, QStringLiteral("Strona %1 z %2 ").arg(page).arg(pages));

    painter.setFont(normalFont);
    textAt(painter, g, g.width / 2 - g.x(30), 264, QStringLiteral("*** Odczytano programem Kavrel-Logger ***"));

    // The table's own fonts shrink with its columns when it is fitted to the page width.
    FittedColumns columns = tableColumns(device, table, normalFont, boldFont, g);
    const QFont tableFont =
        columns.scale < 1 ? pageFont(device, QStringLiteral("Arial"), false, tableHeight * columns.scale, g) : normalFont;
    const QFont tableBoldFont =
        columns.scale < 1 ? pageFont(device, QStringLiteral("Arial"), true, tableHeight * columns.scale, g) : boldFont;

    const std::size_t first = static_cast<std::size_t>(std::max(0, page - 1)) * kRowsPerPage;
    int rows = 0;   // rows drawn, the heading included
    for (int r = 0; r <= kRowsPerPage; ++r) {
        const std::string* row = &table.heading;
        if (r > 0) {
            const std::size_t index = first + static_cast<std::size_t>(r - 1);
            if (index >= table.lines.size()) break;
            row = &table.lines[index];
        }
        painter.setFont(r == 0 ? tableBoldFont : tableFont);
        if (r == 0) rule(painter, g, 21);
        const std::vector<std::string> fields = splitFields(*row);
        if (fields.size() > columns.positions.size()) {
            // A row with more fields than any seen before: the extra columns follow 15 mm apart.
            const std::vector<int> fixed = columnPositions(table.heading, fields.size());
            for (std::size_t n = columns.positions.size(); n < fields.size(); ++n)
                columns.positions.push_back(n == 0 ? 0.0 : columns.positions[n - 1] + (fixed[n] - fixed[n - 1]) * columns.scale);
        }
        for (std::size_t n = 0; n < fields.size(); ++n)
            textAt(painter, g, g.x(10 + columns.positions[n]), 17 + 5.0 * r, toQString(fields[n]));
        rows = r + 1;
    }
    if (rows - 1 < kRowsPerPage) {
        painter.setFont(titleFont);
        rule(painter, g, 16 + 5.0 * rows);
        textAt(painter, g, g.width / 2 - g.x(12), 18 + 5.0 * rows, QStringLiteral("*** KONIEC ***"));
    }
    painter.restore();
}

bool drawPages(QPainter& painter, QPagedPaintDevice& device, const PrintTable& table, const QString& title,
               int from, int to) {
    const int pages = pageCount(table.lines.size());
    from = std::clamp(from, 1, std::max(1, pages));
    to = std::clamp(to, from, std::max(1, pages));
    for (int page = from; page <= to; ++page) {
        if (page > from && !device.newPage()) return false;
        drawPage(painter, table, title, page, pages);
    }
    return true;
}

QImage pageImage(const PrintTable& table, const QString& title, int page, int dotsPerInch) {
    const double dotsPerMm = dotsPerInch / 25.4;
    QImage image(qRound(210 * dotsPerMm), qRound(297 * dotsPerMm), QImage::Format_RGB32);
    image.setDotsPerMeterX(qRound(dotsPerMm * 1000));
    image.setDotsPerMeterY(qRound(dotsPerMm * 1000));
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    drawPage(painter, table, title, page, pageCount(table.lines.size()));
    return image;
}

QPageLayout wholeA4Page() { return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)); }

bool writePdf(const QString& path, const PrintTable& table, const QString& title, int from, int to,
              const QPageLayout& layout) {
    // Drawn in memory and written through a temporary file, so that a full disk never
    // leaves a cut PDF nor costs the one of that name that was there before.
    QBuffer pdf;
    pdf.open(QIODevice::WriteOnly);
    if (!drawPdf(pdf, table, title, from, to, layout)) return false;
    const QByteArray& bytes = pdf.data();
    return replaceFile(pathFromQString(path), std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size()))) ==
           ReplaceResult::Ok;
}

bool drawPdf(QIODevice& device, const PrintTable& table, const QString& title, int from, int to,
             const QPageLayout& layout) {
    QPdfWriter writer(&device);
    writer.setResolution(600);
    writer.setPageLayout(layout);
    writer.setTitle(printJobName());
    writer.setCreator(QStringLiteral("Kavrel-Logger"));
    QPainter painter;
    if (!painter.begin(&writer)) return false;
    const bool drawn = drawPages(painter, writer, table, title, from, to);
    return painter.end() && drawn;
}

} // namespace kavrel::logger::ui
