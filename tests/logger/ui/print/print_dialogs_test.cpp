// The period dialog, printing up to the print dialog (messages and preview), and the
// history chart.
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QChart>
#include <QDir>
#include <QFile>
#include <QLineSeries>
#include <QMessageBox>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <fstream>

#include "logger/ui/print/history_chart_dialog.h"
#include "logger/ui/print/period_dialog.h"
#include "logger/ui/print/print_history.h"
#include "logger/ui/print/print_preview.h"
#include "support/named_controls.h"

using namespace kavrel;
using namespace kavrel::logger::ui;
using kavrel::testing::namedControl;

namespace {

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
    std::ofstream(path.toStdString(), std::ios::binary) << text;
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
        PrintRequest request{folder.path().toStdString(), 0, {2025, 3, 7, 12, 0, 0}, true};
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
        PrintRequest request{folder.path().toStdString(), 5, {2025, 3, 7, 12, 0, 0}, true};
        bool previewed = false;
        const QString pdf = folder.filePath("wydruk.pdf");
        whenModalOpens([&](QWidget* modal) {
            auto* preview = qobject_cast<HistoryPrintPreview*>(modal);
            QVERIFY(preview);
            QCOMPARE(preview->windowTitle(), QString("Podgląd wydruku"));
            QVERIFY(namedControl<QAction>(preview, "printHistory"));
            QVERIFY(namedControl<QAction>(preview, "savePdf"));
            QVERIFY(preview->savePdf(pdf));
            previewed = true;
        });
        printHistory(nullptr, request);   // the preview is closed: nothing is printed
        QVERIFY(previewed);
        QFile file(pdf);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QVERIFY(bytes.startsWith("%PDF"));
        QCOMPARE(bytes.count("/Type /Page\n") + bytes.count("/Type /Page\r") + bytes.count("/Type /Page "), 2);
    }

    void chartDrawsOneSeriesPerLineAndSavesAPicture() {
        QTemporaryDir folder;
        const QString csv = folder.filePath("historia.csv");
        writeLines(csv, "Lp;Czas RTC;L1 [V];T2 [\xB0" "C];GSM;SMS;Alarmowy;Poprawno\x9C\xE6;XL1\r\n"
                        "1;2025-03-07  0:00:05;12,345;-2,5;14;0;0;1;45%\r\n"
                        "2;2025-03-07  0:15:05;12,400;-2,0;14;0;0;1\r\n");
        HistoryChartDialog dialog(csv);
        QCOMPARE(dialog.windowTitle(), QString("Wykres"));
        QVERIFY(dialog.hasData());
        const QList<QAbstractSeries*> series = dialog.chart()->series();
        QCOMPARE(series.size(), 3);
        QCOMPARE(series[1]->name(), QString("T2 [°C]"));
        QCOMPARE(static_cast<QLineSeries*>(series[0])->count(), 2);
        QCOMPARE(static_cast<QLineSeries*>(series[2])->count(), 1);
        dialog.show();
        const QString png = folder.filePath("wykres.png");
        QVERIFY(dialog.savePng(png));
        QVERIFY(QFile::exists(png));

        HistoryChartDialog empty(folder.filePath("brak.csv"));
        QVERIFY(!empty.hasData());
    }
};

QTEST_MAIN(PrintDialogsTest)
#include "print_dialogs_test.moc"
