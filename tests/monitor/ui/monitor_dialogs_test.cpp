// The monitor's settings dialogs and their checks, the path of a settings file, and the
// trend's fixed memory.
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QImage>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cmath>

#include "common/qt/chart/chart_widget.h"
#include "common/qt/fields/field_checks.h"
#include "common/win1250.h"
#include "link/ports/port_mapping.h"
#include "link/qt/port_picker.h"
#include "monitor/ui/csetupprog.h"
#include "monitor/ui/custaw_ext.h"
#include "monitor/ui/settings_paths.h"
#include "monitor/ui/trend_chart.h"
#include "support/named_controls.h"

using namespace kavrel;
using namespace kavrel::monitor;
using namespace kavrel::monitor::ui;
using kavrel::testing::namedControl;

namespace {

QLineEdit* field(QWidget& dialog, const char* name) { return namedControl<QLineEdit>(&dialog, QString::fromLatin1(name)); }

} // namespace

class MonitorDialogsTest : public QObject {
    Q_OBJECT
    QStringList problems;

    // Types a text into a field and presses "Wprowadź"; the problem shown, or "" when accepted.
    QString enter(QDialog& dialog, const char* name, const QString& text) {
        problems.clear();
        field(dialog, name)->setText(text);
        dialog.accept();
        return dialog.result() == QDialog::Accepted ? QString() : problems.value(0, QStringLiteral("?"));
    }

private slots:
    void init() {
        kavrel::ui::setFieldProblemHandler([this](QWidget*, const QString& m) { problems << m; });
    }

    void programSettingsCheckEveryFieldAndHandBackOnlyOnAccept() {
        MonitorSettings settings;
        link::ConnectionSettings connection;
        {
            CSetupProg dialog(settings, connection);
            QCOMPARE(dialog.windowTitle(), QString("Ustawienia programu"));
            QCOMPARE(field(dialog, "resultsFile")->text(), QString("test1.csv"));
            QCOMPARE(field(dialog, "moduleAddress")->text(), QString("192.168.2.1"));
            QCOMPARE(enter(dialog, "comPort", "0"), QString("Please enter an integer between 1 and 255."));
            QCOMPARE(enter(dialog, "comPort", "abc"), QString("Please enter an integer."));
            QCOMPARE(enter(dialog, "comPort", "255"), QString());
        }
        CSetupProg dialog(settings, connection);
        QCOMPARE(enter(dialog, "recordPeriod", "65536"), QString("Please enter an integer between 1 and 65535."));
        field(dialog, "recordPeriod")->setText("15");
        // A results-file name is typed up to 255 characters but the settings keep 63.
        QCOMPARE(field(dialog, "resultsFile")->maxLength(), 255);
        QCOMPARE(enter(dialog, "resultsFile", QString(64, 'a')), QString("Please enter no more than 63 characters."));
        field(dialog, "resultsFile")->setText(QString(63, 'a'));
        QCOMPARE(field(dialog, "lineName1")->maxLength(), 16);
        QCOMPARE(enter(dialog, "barMin3", "-"), QString("Please enter an integer."));
        field(dialog, "barMin3")->setText("-40");
        field(dialog, "lineName2")->setText(QString::fromUtf8("Kocioł"));
        namedControl<QRadioButton>(&dialog, "lineType2_1")->click();
        // "Otwórz..." keeps the bare name: the log goes to the working folder.
        dialog.takeChosenFile("/home/serwis/pomiary/hala 2.csv");
        QCOMPARE(field(dialog, "resultsFile")->text(), QString("hala 2.csv"));
        field(dialog, "tcpPort")->setText("2323");
        QCOMPARE(enter(dialog, "resultsFile", QString(63, 'b') ), QString());
        QCOMPARE(dialog.settings().resultsFile, std::string(63, 'b'));
        QCOMPARE(dialog.settings().recordPeriod, 15);
        QCOMPARE(dialog.settings().barMin[2], -40);
        QCOMPARE(dialog.settings().lineName[1], std::string("Kocio\xB3"));
        QCOMPARE(dialog.settings().typeOf(1), LineType::Temperature);
        QCOMPARE(dialog.connection().tcpPort, 2323u);
    }

    void extendedNamesMustFitTheirField() {
        QStringList names;
        for (int i = 1; i <= 16; ++i) names << QString("Linia XL%1").arg(i);
        Custaw_ext dialog(names);
        QCOMPARE(dialog.windowTitle(), QString("Ustawienia linii rozszerzonych"));
        QCOMPARE(field(dialog, "extName16")->text(), QString("Linia XL16"));
        QCOMPARE(enter(dialog, "extName4", "Czujnik zalania1"), QString("Please enter no more than 15 characters."));
        QCOMPARE(dialog.names(), names);   // refused: nothing handed back
        QCOMPARE(enter(dialog, "extName4", "Czujnik zalania"), QString());
        QCOMPARE(dialog.names().value(3), QString("Czujnik zalania"));
        QCOMPARE(dialog.names().size(), 16);
    }

    // The wire trace's row: its file follows the check box, and the choice is handed back
    // only on "Wprowadź".
    void theTraceRowHandsBackItsChoiceOnAccept() {
        const link::TraceChoice off{false, ""};
        CSetupProg dialog(MonitorSettings{}, link::ConnectionSettings{}, nullptr, nullptr, &off);
        auto* enabled = namedControl<QCheckBox>(&dialog, "traceEnabled");
        QCOMPARE(enabled->text(), QString("Zapisuj przebieg transmisji do pliku:"));
        QVERIFY(field(dialog, "traceFile")->text().endsWith("kavrel-przebieg.txt"));   // a default to start from
        QVERIFY(!field(dialog, "traceFile")->isEnabled());
        enabled->setChecked(true);
        QVERIFY(field(dialog, "traceFile")->isEnabled());
        field(dialog, "traceFile")->setText(QStringLiteral("/tmp/łącze.txt"));
        QVERIFY(!dialog.traceChoice().enabled);   // not before "Wprowadź"
        dialog.accept();
        QVERIFY(dialog.traceChoice().enabled);
        QCOMPARE(dialog.traceChoice().file, W("/tmp/łącze.txt"));   // kept as every stored text
        CSetupProg without(MonitorSettings{}, link::ConnectionSettings{});
        QVERIFY(!without.findChild<QCheckBox*>("traceEnabled"));
    }

    void aPortPickedInTheSettingsCountsOnlyWhenTheyAreAccepted() {
#ifdef Q_OS_WIN
        QSKIP("Windows picks a COM port itself: there is no device path kept for a COM number");
#endif
        MemoryStore store;
        for (const bool accept : {false, true}) {
            CSetupProg dialog(MonitorSettings{}, link::ConnectionSettings{}, nullptr, &store);
            auto* picker = dialog.findChild<PortPickerButton*>();
            QVERIFY(picker);
            picker->setSource([] {
                SerialPortEntry adapter;
                adapter.device = QStringLiteral("/dev/ttyUSB0");
                return QList<SerialPortEntry>{adapter};
            });
            QTimer::singleShot(0, [] {
                auto* chooser = qobject_cast<PortPickerDialog*>(QApplication::activeModalWidget());
                QVERIFY(chooser);
                chooser->setDevice(QStringLiteral("/dev/ttyUSB0"));
                chooser->accept();
            });
            picker->pick();
            QCOMPARE(field(dialog, "comPort")->toolTip(), QStringLiteral("COM1: /dev/ttyUSB0"));   // shown at once
            QCOMPARE(link::storedSerialDevicePath(store, 1), std::string());                       // kept back
            accept ? dialog.accept() : dialog.reject();
            QCOMPARE(link::storedSerialDevicePath(store, 1), std::string(accept ? "/dev/ttyUSB0" : ""));
        }
    }

    void savingTheTrendUnderANameWithoutItsEndingAsksBeforeReplacing() {
        QTemporaryDir folder;
        QFile existing(folder.filePath("wykres.png"));
        QVERIFY(existing.open(QIODevice::WriteOnly));
        existing.write("poprzedni");
        existing.close();
        TrendChart chart;
        QString asked;
        int step = 0;
        QTimer answer;
        connect(&answer, &QTimer::timeout, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                asked = box->text();
                box->button(QMessageBox::No)->click();
            } else if (auto* files = qobject_cast<QFileDialog*>(modal)) {
                if (step++ > 0) return files->reject();
                namedControl<QLineEdit>(files, "fileNameEdit")->setText(folder.filePath("wykres"));
                // Queued: the dialog's question then comes while this timer can fire again.
                QMetaObject::invokeMethod(files, "accept", Qt::QueuedConnection);
            }
        });
        answer.start(10);
        kavrel::testing::captioned<QPushButton>(&chart, "Zapisz wykres...")->click();
        QVERIFY(asked.contains("wykres.png"));
        QVERIFY(existing.open(QIODevice::ReadOnly));
        QCOMPARE(existing.readAll(), QByteArray("poprzedni"));
    }

    void settingsPathsAreUpperCasedOnlyInsideFoldersThatIgnoreCase() {
#ifdef Q_OS_WIN
        QSKIP("Windows folders ignore case everywhere: the paths here are those of Linux mounts");
#endif
        // A memory stick mounted at /media/jan/Stick: its mount point is a name of the
        // case-keeping tree above, so only what lies inside the stick is upper-cased.
        const CaseTest stick = [](const QString& folder) { return folder.startsWith("/media/jan/Stick"); };
        QCOMPARE(settingsFilePath("/media/jan/Stick/Hala 2/Monitor.cfg", stick), QString("/media/jan/Stick/HALA 2/MONITOR.CFG"));
        QCOMPARE(settingsFilePath("/media/jan/Stick/Monitor.cfg", stick), QString("/media/jan/Stick/MONITOR.CFG"));
        QCOMPARE(settingsFilePath("/home/jan/Monitor.cfg", stick), QString("/home/jan/Monitor.cfg"));
        const CaseTest everywhere = [](const QString&) { return true; };
        QCOMPARE(settingsFilePath("/dane/Monitor.cfg", everywhere), QString("/DANE/MONITOR.CFG"));

        QTemporaryDir folder;
        QDir(folder.path()).mkdir("Ustawienia");
        QDir(folder.path()).mkdir("Pusty");
        const QString chosen = folder.path() + "/Ustawienia/monitor.cfg";
        // The test folders live on a file system that tells cases apart.
        QVERIFY(!namesIgnoreCase(folder.path()));
        QVERIFY(!namesIgnoreCase(folder.path() + "/Pusty"));
        QVERIFY(!namesIgnoreCase(folder.path() + "/jeszcze/nie ma"));
        QCOMPARE(settingsFilePath(chosen), chosen);
    }

    void aReadingThatCarriesItsUnitDrawsUnderIt() {
        // Settings that call every line volts (no settings file) beside a module measuring
        // degrees and humidity: the trend follows the readings' units, and a line without one
        // keeps its setting.
        TrendChart chart(nullptr, 8);
        chart.setLines(MonitorSettings{});
        MeasurementSnapshot snapshot;
        snapshot.lineValue = {"12.34V", "20.9'C", "50%", "-3.5\xB0" "C", "7", "", "1.5 V", "???"};
        chart.addSample(trendSample(0, snapshot));
        std::vector<std::string> units;
        for (const auto& series : chart.chart()->data().series) units.push_back(series.unit);
        QCOMPARE(units, (std::vector<std::string>{"V", "°C", "%", "°C", "V", "V", "V", "V"}));
        QCOMPARE(QString::fromStdString(chart.chart()->data().series[1].label()), QString::fromUtf8("Linia L2 [°C]"));
    }

    void trendKeepsTheLastHourAtAFixedCost() {
        TrendBuffer hour;
        for (int n = 0; n < 10000; ++n) hour.push(TrendSample{n});
        QCOMPARE(hour.size(), TrendBuffer::kHourOfPolls);
        QCOMPARE(hour.at(0).msecsSinceEpoch, 10000 - 720);
        QCOMPARE(hour.at(719).msecsSinceEpoch, 9999);

        // The chart shows what its ring holds, however many polls went by (a short ring here).
        constexpr std::size_t kRing = 40;
        TrendChart chart(nullptr, kRing);
        chart.resize(800, 300);
        chart.show();
        MonitorSettings settings;
        settings.lineType[1] = static_cast<int>(LineType::Temperature);
        settings.lineType[2] = static_cast<int>(LineType::Humidity);
        chart.setLines(settings);
        auto data = [&chart]() -> const kavrel::ui::ChartData& { return chart.chart()->data(); };
        QCOMPARE(QString::fromStdString(data().series[1].label()), QString::fromUtf8("Linia L2 [°C]"));
        // Volts, degrees and humidity each on an axis of their own.
        QCOMPARE(kavrel::ui::groupAxes(data()).groups, (std::vector<std::string>{"V", "°C", "%"}));

        MeasurementSnapshot snapshot;
        snapshot.lineValue = {"12.34V", "-3.5\xB0" "C", "45%", "???", "", "0.5V", "1V", "2V"};
        // The first poll draws a point.
        chart.addSample(trendSample(0, snapshot));
        chart.chart()->picture();
        QCOMPARE(chart.chart()->chartPainter().plotRect().isEmpty(), false);
        QCOMPARE(kavrel::ui::reduceToColumns(data().series[0], chart.chart()->view(), 500, 0).strokes.size(), 1u);

        const std::size_t polls = 3 * kRing + 7;
        for (std::size_t n = 1; n < polls; ++n) {
            snapshot.highMask = n % 2 ? 0x02 : 0;
            // Polling stopped for a minute before the last ten polls.
            const std::int64_t at = static_cast<std::int64_t>(n) * 5000 + (n >= polls - 10 ? 60000 : 0);
            chart.addSample(trendSample(at, snapshot));
        }
        QCOMPARE(chart.buffer().size(), kRing);
        QCOMPARE(chart.buffer().at(0).msecsSinceEpoch, static_cast<std::int64_t>(polls - kRing) * 5000);
        QCOMPARE(data().series[0].values.size(), kRing);
        QCOMPARE(data().series[0].values[kRing - 1], 12.34);
        QCOMPARE(data().series[1].values[0], -3.5);
        QVERIFY(std::isnan(data().series[3].values[0]));   // no number in the reading: no point
        // HIGH readings of L2 are marked, every other one; L1 has none.
        QCOMPARE(std::count(data().series[1].marks.begin(), data().series[1].marks.end(), kavrel::ui::SampleMark::High),
                 static_cast<long>(kRing / 2));
        QCOMPARE(std::count(data().series[0].marks.begin(), data().series[0].marks.end(), kavrel::ui::SampleMark::None),
                 static_cast<long>(kRing));
        // The break in polling is a gap in the line.
        const kavrel::ui::ChartSeries& first = data().series[0];
        const kavrel::ui::WallMs gap = kavrel::ui::gapThreshold(data(), first);
        QCOMPARE(gap, 15000);
        QCOMPARE(kavrel::ui::reduceToColumns(first, chart.chart()->view(), 500, gap).strokes.size(), 2u);

        namedControl<QCheckBox>(&chart, "trendLine1")->click();
        QVERIFY(!data().series[0].shown);
        QTemporaryDir folder;
        QVERIFY(chart.savePicture(folder.path() + "/wykres.png"));
        QCOMPARE(QImage(folder.path() + "/wykres.png").width(), chart.chart()->width());
        QVERIFY(chart.savePicture(folder.path() + "/wykres.pdf"));
    }
};

QTEST_MAIN(MonitorDialogsTest)
#include "monitor_dialogs_test.moc"
