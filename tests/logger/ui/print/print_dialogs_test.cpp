// The period dialog, printing up to the print dialog (messages and preview), and the
// history chart.
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QListWidget>
#include <QMessageBox>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cmath>
#include <fstream>
#include <sys/stat.h>

#include "common/qt/chart/chart_widget.h"
#include "common/qt/qt_path.h"
#include "logger/ui/print/history_chart_dialog.h"
#include "logger/ui/print/period_dialog.h"
#include "logger/ui/print/print_history.h"
#include "logger/ui/print/print_preview.h"
#include "support/named_controls.h"

using namespace kavrel;
using namespace kavrel::logger::ui;
using kavrel::testing::namedControl;

namespace {

constexpr double kPointsPerMm = 72 / 25.4;

// Calls `act` with the first modal window that opens, then closes it.
template <typename Act>
void whenModalOpens(Act act) {
    QTimer::singleShot(0, [act] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal) return;
        act(modal);
        if (modal->isVisible()) qobject_cast<QDialog*>(modal)->reject();
    });
}

void writeLines(const QString& path, const std::string& text) {
    std::ofstream(pathFromQString(path), std::ios::binary) << text;
}

std::string printFile(int lines) {
    std::string text = "Lp;Czas RTC;L1 [V];GSM;SMS;Alarmowy;Poprawno\x9C\xE6\r\n";
    for (int i = 0; i < lines; ++i) text += std::to_string(i + 2) + ";2025-03-07 10:00:05;12,345;14;0;0;1\r\n";
    return text;
}

} // namespace

class PrintDialogsTest : public QObject {
    Q_OBJECT

private slots:
    void periodDialogOffersSixPeriodsAndGivesTheChoiceOrMinusOne() {
        Czakres dialog;
        QCOMPARE(dialog.windowTitle(), QString("Wybierz zakres danych"));
        QStringList texts;
        for (const QRadioButton* radio : dialog.findChildren<QRadioButton*>()) texts << radio->text();
        QCOMPARE(texts, (QStringList{"Ostatni dzień", "Ostatni tydzień", "Ostatni miesiąc", "Ostatni kwartał",
                                     "Ostatni rok", "Wszystkie dane"}));
        QCOMPARE(dialog.period(), 2);
        // Room for the whole title beside the title bar's buttons: it was cut to "Wybie… anych".
        QVERIFY(dialog.minimumWidth() > QFontMetrics(dialog.font()).horizontalAdvance(dialog.windowTitle()) + 100);
        whenModalOpens([](QWidget* modal) {
            QVERIFY(namedControl<QRadioButton>(modal, "period4")->isChecked());
            namedControl<QRadioButton>(modal, "period0")->click();
            qobject_cast<QDialog*>(modal)->accept();
        });
        QCOMPARE(dialog.choose(4), 0);
        whenModalOpens([](QWidget* modal) { namedControl<QRadioButton>(modal, "period5")->click(); });
        QCOMPARE(dialog.choose(1), -1);
        dialog.setPeriod(9);
        QCOMPARE(dialog.period(), 2);
    }

    void printingSaysWhyThereIsNothingToPrint() {
        QTemporaryDir folder;
        PrintRequest request{pathFromQString(folder.path()), 0, {2025, 3, 7, 12, 0, 0}, true};
        QStringList shown;
        auto record = [&shown](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            QVERIFY(box);
            QCOMPARE(box->icon(), QMessageBox::NoIcon);
            shown << box->text();
        };
        whenModalOpens(record);
        printHistory(nullptr, request);
        writeLines(folder.filePath("kavrellogger_tmp.csv"), printFile(0));
        whenModalOpens(record);
        printHistory(nullptr, request);
        QCOMPARE(shown, (QStringList{"Błąd otwarcia pliku z historią pomiarów!", "Brak danych do wydruku"}));
    }

    void previewComesFirstAndSavesThePagesAsPdf() {
        QTemporaryDir folder;
        writeLines(folder.filePath("kavrellogger_tmp.csv"), printFile(49));
        PrintRequest request{pathFromQString(folder.path()), 5, {2025, 3, 7, 12, 0, 0}, true};
        bool previewed = false;
        const QString pdf = folder.filePath("wydruk.pdf");
        QPointF titleAt;   // where the preview puts the title's left edge, in points of the sheet
        whenModalOpens([&](QWidget* modal) {
            auto* preview = qobject_cast<HistoryPrintPreview*>(modal);
            QVERIFY(preview);
            QCOMPARE(preview->windowTitle(), QString("Podgląd wydruku"));
            QVERIFY(namedControl<QAction>(preview, "printHistory"));
            QVERIFY(namedControl<QAction>(preview, "savePdf"));
            QVERIFY(preview->savePdf(pdf));
            titleAt = preview->printer()->pageLayout().paintRectPoints().topLeft() + QPointF(10 * kPointsPerMm, 0);
            previewed = true;
        });
        printHistory(nullptr, request);   // the preview is closed: nothing is printed
        QVERIFY(previewed);
        QFile file(pdf);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QVERIFY(bytes.startsWith("%PDF"));
        QCOMPARE(bytes.count("/Type /Page\n") + bytes.count("/Type /Page\r") + bytes.count("/Type /Page "), 2);
        // The PDF puts the title where the preview shows it: 10 mm inside the printer's
        // printable area (it sat a margin's width off, on a sheet without margins).
#ifdef Q_OS_WIN
        QSKIP("the title's place in the PDF is read with poppler's pdftotext, a Linux program here");
#endif
        QProcess words;
        words.start("pdftotext", {"-bbox", "-f", "1", "-l", "1", pdf, "-"});
        QVERIFY(words.waitForFinished(10000));
        const QString boxes = QString::fromUtf8(words.readAllStandardOutput());
        const QRegularExpressionMatch title =
            QRegularExpression(R"re(<word xMin="([0-9.]+)" yMin="[0-9.]+" xMax="[0-9.]+" yMax="[0-9.]+">Historia<)re").match(boxes);
        QVERIFY2(title.hasMatch(), qPrintable(boxes.left(400)));
        QVERIFY2(std::abs(title.captured(1).toDouble() - titleAt.x()) < 1.5,
                 qPrintable(QString("title at %1 pt, preview at %2 pt").arg(title.captured(1)).arg(titleAt.x())));
    }

    void chartDrawsEachLineOnTheAxisOfItsUnitAndSavesAPicture() {
        QTemporaryDir folder;
        const QString csv = folder.filePath("historia.csv");
        writeLines(csv, "Lp;Czas RTC;L1 [V];T2 [\xB0" "C];GSM;SMS;Alarmowy;Poprawno\x9C\xE6;XL1\r\n"
                        "1;2025-03-07  0:00:05;12,345;-2,5;14;0;0;1;45%\r\n"
                        "2;2025-03-07  0:15:05;12,400;-2,0;14;0;0;1\r\n");
        HistoryChartDialog dialog(csv);
        QCOMPARE(dialog.windowTitle(), QString("Wykres"));
        QVERIFY(!dialog.loaded());   // read off the window's thread
        dialog.waitForLoaded();
        QVERIFY(dialog.hasData());
        const kavrel::ui::ChartData& data = dialog.chart()->data();
        QCOMPARE(data.series.size(), 3u);
        QCOMPARE(QString::fromStdString(data.series[1].label()), QString("T2 [°C]"));
        QCOMPARE(data.series[0].values.size(), 2u);
        QCOMPARE(data.series[2].values.size(), 1u);   // a row without the line's value is left out
        QCOMPARE(kavrel::ui::groupAxes(data).groups.size(), 3u);   // volts, degrees, extended lines
        QCOMPARE(namedControl<QListWidget>(&dialog, "lines")->count(), 3);
        dialog.setLineShown(1, false);
        QVERIFY(!dialog.chart()->data().series[1].shown);
        dialog.setLineHighlighted(0);
        QCOMPARE(dialog.chart()->chartPainter().highlighted(), 0);
        dialog.show();
        const QString png = folder.filePath("wykres.png"), pdf = folder.filePath("wykres.pdf");
        QVERIFY(dialog.savePng(png));
        QVERIFY(QImage(png).width() > 400);
        QVERIFY(dialog.savePdf(pdf));
        QVERIFY(QFile::exists(pdf));
    }

    void chartRefusesWhatIsNoHistoryWithoutHoldingTheWindow() {
        QTemporaryDir folder;
#ifndef _WIN32   // Windows has no FIFOs in its file system
        const QString fifo = folder.filePath("historia.fifo");
        QCOMPARE(::mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
#endif
        std::string wide = "Lp;Czas RTC";
        for (int i = 0; i < 10000; ++i) wide += ";L" + std::to_string(i % 8 + 1) + " [V]";
        wide += ";GSM;SMS;Alarmowy;Poprawno\x9C\xE6\r\n1;2025-03-07  0:00:05;1\r\n";
        const QString wideCsv = folder.filePath("szeroki.csv");
        writeLines(wideCsv, wide);
        const struct {
            QString path;
            QString note;
        } cases[] = {
#ifndef _WIN32
            {fifo, "historia.fifo nie jest zwykłym plikiem."},
#endif
            {wideCsv, "Plik szeroki.csv nie zawiera historii pomiarów."},
            {folder.filePath("brak.csv"), "Nie można otworzyć pliku brak.csv."},
            {folder.path(), QString("%1 nie jest zwykłym plikiem.").arg(QDir(folder.path()).dirName())},
        };
        for (const auto& c : cases) {
            HistoryChartDialog dialog(c.path);
            dialog.waitForLoaded();
            QVERIFY(!dialog.hasData());
            QCOMPARE(dialog.note(), c.note);
            QVERIFY(!namedControl<QAbstractButton>(&dialog, "savePng")->isEnabled());
        }
        // Closed while it reads: the reader stops and the window goes at once.
        { HistoryChartDialog closing(wideCsv); }
    }
};

QTEST_MAIN(PrintDialogsTest)
#include "print_dialogs_test.moc"
