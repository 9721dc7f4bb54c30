// The chart widget as a user works it: the read-out under the mouse, zooming by dragging and
// back, hiding a line (its axis goes), saving what is shown as PNG and PDF.
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "common/qt/chart/chart_widget.h"
#include "common/chart/polish_format.h"

using namespace kavrel::ui;

namespace {

// An hour of 5 s polls of a voltage and a temperature, from 07.03.2025 09:00:00.
ChartData hourOfPolls() {
    ChartData data;
    data.timeTitle = "Czas";
    data.axisTitles = {{"V", "U [V]"}, {"°C", "T [°C]"}};
    const WallMs start = wallMs({2025, 3, 7, 9, 0, 0});
    for (const char* unit : {"V", "°C"}) {
        ChartSeries series;
        series.name = std::string(unit) == "V" ? "Zasilanie" : "Kocioł";
        series.unit = unit;
        for (int i = 0; i < 720; ++i) {
            series.times.push_back(start + i * 5 * kSecondMs);
            series.values.push_back(std::string(unit) == "V" ? 12 + (i % 2) * 0.25 : 60 + i * 0.01);
        }
        data.series.push_back(std::move(series));
    }
    return data;
}

} // namespace

class ChartWidgetTest : public QObject {
    Q_OBJECT
private slots:
    void readsOutZoomsAndSavesWhatIsShown() {
        ChartWidget chart;
        chart.resize(800, 400);
        chart.setData(hourOfPolls());
        chart.show();
        QVERIFY(QTest::qWaitForWindowExposed(&chart));
        QImage shown = chart.picture();
        const QRectF plot = chart.chartPainter().plotRect();
        QVERIFY(plot.width() > 500);
        QCOMPARE(chart.chartPainter().view().length(), 719 * 5 * kSecondMs);

        // Near the first samples of the voltage, at the left edge: time and value in Polish.
        QString readout;
        for (double y = plot.top(); y <= plot.bottom() && !readout.startsWith(QStringLiteral("Zasilanie")); y += 6)
            readout = chart.readoutAt(QPointF(plot.left() + 1, y));
        QVERIFY2(readout == QStringLiteral("Zasilanie\n07.03.2025 09:00:00\n12 V") ||
                     readout == QStringLiteral("Zasilanie\n07.03.2025 09:00:05\n12,25 V"),
                 qPrintable(readout));

        // Dragging across the middle half zooms into it; the right button goes back.
        const int y = static_cast<int>(plot.center().y());
        QTest::mousePress(&chart, Qt::LeftButton, {}, QPoint(static_cast<int>(plot.left() + plot.width() / 4), y));
        QTest::mouseMove(&chart, QPoint(static_cast<int>(plot.left() + plot.width() * 3 / 4), y));
        QTest::mouseRelease(&chart, Qt::LeftButton, {}, QPoint(static_cast<int>(plot.left() + plot.width() * 3 / 4), y));
        QVERIFY(chart.zoomed());
        QVERIFY(std::abs(chart.view().length() - 1800 * kSecondMs) < 20 * kSecondMs);
        QTest::mouseClick(&chart, Qt::LeftButton, {}, QPoint(static_cast<int>(plot.center().x()), y));   // a click is no zoom
        QVERIFY(std::abs(chart.view().length() - 1800 * kSecondMs) < 20 * kSecondMs);
        QTest::mousePress(&chart, Qt::RightButton, {}, QPoint(static_cast<int>(plot.center().x()), y));
        QVERIFY(!chart.zoomed());
        QCOMPARE(chart.view().length(), 719 * 5 * kSecondMs);

        // A hidden line takes its axis along: the plot grows.
        chart.setSeriesShown(1, false);
        chart.picture();
        QVERIFY(chart.chartPainter().plotRect().width() > plot.width());
        chart.setSeriesShown(1, true);

        QTemporaryDir folder;
        const QString png = folder.filePath("wykres.png"), pdf = folder.filePath("wykres.pdf");
        QVERIFY(chart.savePng(png));
        QCOMPARE(QImage(png).convertToFormat(QImage::Format_ARGB32), shown.convertToFormat(QImage::Format_ARGB32));
        QVERIFY(chart.savePdf(pdf));
        QFile file(pdf);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QVERIFY(bytes.startsWith("%PDF"));
        QVERIFY(!bytes.contains("/Subtype /Image"));   // drawn as vectors, not a picture
        QVERIFY(!chart.savePng(folder.filePath("brak/wykres.png")));
        QVERIFY(!chart.savePdf(folder.filePath("brak/wykres.pdf")));
    }

    // A trend before its first poll: lines without points label no time (not the epoch).
    void anEmptyChartLabelsNoTime() {
        ChartWidget chart;
        chart.resize(600, 300);
        ChartData empty = hourOfPolls();
        for (ChartSeries& series : empty.series) {
            series.times.clear();
            series.values.clear();
        }
        chart.setData(empty);
        (void)chart.picture();
        QVERIFY(chart.chartPainter().timeMarks().empty());
        chart.setData(hourOfPolls());
        (void)chart.picture();
        QVERIFY(!chart.chartPainter().timeMarks().empty());
    }
};

QTEST_MAIN(ChartWidgetTest)
#include "chart_widget_test.moc"
