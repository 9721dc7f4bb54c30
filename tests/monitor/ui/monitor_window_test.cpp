// The monitor's window against the simulated module: start-up order, START, polls filling
// the window and the CSV log, failures, STOP and closing during an exchange, and the
// settings files. Ticks are run directly; only the silent polls wait for the 500 ms limit.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <sys/stat.h>

#include "common/qt/qt_text.h"
#include "common/registry_key.h"
#include "link/connection_settings.h"
#include "link/trace/trace_choice.h"
#include "monitor/monitor_settings.h"
#include "monitor/ui/main_window.h"
#include "monitor/ui/trend_chart.h"
#include "support/named_controls.h"
#include "support/sim_fixture.h"
#include "support/saved_connection.h"
#include "support/trace_file.h"

using namespace kavrel;
using namespace kavrel::monitor;
using namespace kavrel::monitor::ui;
using kavrel::testing::captioned;
using kavrel::testing::namedControl;

namespace {

QString text(QWidget& window, const QString& name) { return namedControl<QLineEdit>(&window, name)->text(); }
bool shown(QWidget& window, const QString& name) { return !namedControl<QLabel>(&window, name)->isHidden(); }
QPushButton* button(QWidget& window, const QString& caption) { return captioned<QPushButton>(&window, caption); }

QStringList fileLines(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    QStringList lines = QString::fromLatin1(file.readAll()).split("\r\n");
    lines.removeLast();
    return lines;
}

std::uint32_t storedNumber(SettingsStore& store, const char* name) {
    RegistryKey key(store);
    std::uint32_t value = 0;
    // A value that is not there reads as 0, which the callers compare against.
    (void)key.open(link::kConnectionKey);
    (void)key.readNumber(name, value);
    return value;
}

// A monitor window whose connection points at an in-process simulator over TCP, in a
// working folder of its own, recording its message boxes.
struct MonitorOnSimulator {
    explicit MonitorOnSimulator(const QStringList& arguments = {}, sim::SimOptions options = {}, bool tcp = true)
        : sim(std::move(options)) {
        kavrel::testing::saveConnection(store, {5, tcp, "127.0.0.1", static_cast<std::uint32_t>(sim.port())});
        qputenv("KAVREL_COM5", QByteArray::fromStdString(sim.ptyPath()));
        window = std::make_unique<Cmonitor>(store, arguments);
        window->setMessageHandler([this](const QString& t, MessageIcon) { boxes << t; });
    }
    void start() {
        button(*window, "START")->click();
        window->waitForStep();
    }
    void tick() {
        window->pollTick();
        window->waitForStep();
    }
    testing::SimFixture sim;
    MemoryStore store;
    std::unique_ptr<Cmonitor> window;
    QStringList boxes;
};

} // namespace

class MonitorWindowTest : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> folder;

private slots:
    void init() {
        folder = std::make_unique<QTemporaryDir>();
        QDir::setCurrent(folder->path());
    }

    void startPollsFillsTheWindowAndWritesRowsOnTime() {
        MonitorSettings settings;
        settings.recordPeriod = 1;
        settings.lineType[1] = static_cast<int>(LineType::Temperature);
        QVERIFY(saveMonitorSettings("MONITOR.CFG", settings) == FileResult::Ok);
        MonitorOnSimulator m({"MONITOR.CFG"});
        Cmonitor& w = *m.window;
        QVERIFY(!button(w, "STOP")->isEnabled());
        QVERIFY(!shown(w, "status") && !shown(w, "alarm1") && !shown(w, "alarmState"));
        QCOMPARE(namedControl<QLabel>(&w, "alarm1")->text(), QString("Alarm"));
        QCOMPARE(text(w, "portField"), QString("TCP/IP"));

        m.start();
        QVERIFY(m.boxes.isEmpty());
        QVERIFY(w.polling() && namedControl<QTimer>(&w, "pollTimer")->isActive());
        QCOMPARE(namedControl<QTimer>(&w, "pollTimer")->interval(), 5000);
        QVERIFY(button(w, "STOP")->isEnabled());
        for (const char* off : {"START", "Ustawienia", "Odczytaj CFG"}) QVERIFY(!button(w, off)->isEnabled());
        for (const char* on : {"Linie XL1...16", "Zapisz CFG"}) QVERIFY(button(w, on)->isEnabled());
        QVERIFY(shown(w, "status"));
        QCOMPARE(namedControl<QLabel>(&w, "status")->text(), QString("Wersja: Kavrel V3.6EL"));
        // The simulator's first poll: L1 low at 11.95 V, L2 a temperature, XL lines by mode 1.
        QCOMPARE(text(w, "value1"), QString("11.95V"));
        QVERIFY(text(w, "value2").endsWith(QString::fromUtf8("°C")));
        QVERIFY(shown(w, "alarm1") && shown(w, "alarmState"));
        QCOMPARE(namedControl<QLabel>(&w, "alarm1")->text(), QString(" LOW"));
        QVERIFY(text(w, "extValue1").endsWith(QString::fromUtf8("°C")));
        QCOMPARE(text(w, "extValue3"), QString("GND"));
        QCOMPARE(text(w, "extValue5"), QString("LOW"));
        QCOMPARE(text(w, "extValue6"), QString("HIGH"));
        QCOMPARE(text(w, "extValue16"), QString("???"));
        QVERIFY(namedControl<QCheckBox>(&w, "extHigh16")->isChecked() && namedControl<QCheckBox>(&w, "extLow16")->isChecked());
        QCOMPARE(text(w, "rowField") + "/" + text(w, "answeredField"), QString("1/1"));
        QCOMPARE(w.trend().buffer().size(), 1u);

        // An output is an indicator: a click is undone at once.
        QCheckBox* o1 = namedControl<QCheckBox>(&w, "output1");
        const bool o1State = o1->isChecked();
        o1->click();
        QCOMPARE(o1->isChecked(), o1State);

        // Extended-line names can change while polling, and the next polls keep them.
        QTimer::singleShot(0, [] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            namedControl<QLineEdit>(dialog, "extName2")->setText("Drzwi hali");
            dialog->accept();
        });
        button(w, "Linie XL1...16")->click();
        QCOMPARE(namedControl<QLabel>(&w, "extName2")->text(), QString("Drzwi hali"));
        QCOMPARE(w.settings().extName[1], std::string("Drzwi hali"));

        // Rows at the first poll and then every 12 ticks; poll 12 reports GSM signal 99.
        for (int poll = 2; poll <= 13; ++poll) {
            m.tick();
            if (poll == 12) {
                QCOMPARE(text(w, "gsmNumber"), QString("99"));
                QCOMPARE(namedControl<QProgressBar>(&w, "gsmBar")->value(), 0);
                QVERIFY(shown(w, "noNetwork"));
            }
        }
        QCOMPARE(text(w, "rowField") + "/" + text(w, "answeredField"), QString("2/13"));
        QCOMPARE(namedControl<QLabel>(&w, "extName2")->text(), QString("Drzwi hali"));
        const QStringList log = fileLines("test1.csv");
        QCOMPARE(log.size(), 3);
        QVERIFY(log[0].startsWith("Lp;Czas;Linia L1 [V];Linia L2 ["));
        QVERIFY(log[1].startsWith("1 ;") && log[2].startsWith("2 ;"));
        QCOMPARE(log[1].count(';'), 30);

        button(w, "STOP")->click();
        w.waitForStep();
        QVERIFY(!w.polling() && !namedControl<QTimer>(&w, "pollTimer")->isActive());
        QVERIFY(button(w, "START")->isEnabled() && !button(w, "STOP")->isEnabled());
        QVERIFY(button(w, "Ustawienia")->isEnabled() && button(w, "Odczytaj CFG")->isEnabled());
        QVERIFY(!text(w, "value1").isEmpty());   // the readings stay
        w.pollTick();
        QVERIFY(!w.busy());   // no tick after STOP
    }

    // The wire trace chosen in the settings records the run from START; switched off, the
    // next run writes nothing more.
    void theChosenWireTraceRecordsTheRun() {
        MonitorOnSimulator m;
        const QString trace = QDir::current().filePath("przebieg.txt");
        QVERIFY(link::saveTraceChoice(m.store, {true, fromQString(trace)}));
        m.start();
        m.tick();
        button(*m.window, "STOP")->click();
        m.window->waitForStep();
        QVERIFY(m.boxes.isEmpty());
        const auto operations = testing::readTrace(trace.toStdString());
        QCOMPARE(operations.size(), std::size_t{1});
        QStringList sent;
        for (const auto& entry : operations[0].entries)
            if (entry.direction == '>') sent << QString::fromStdString(entry.text);
        QVERIFY2(sent.contains("DEBUG=0\\r") && sent.count("MSR?\\r") >= 2, qPrintable(sent.join(' ')));

        QVERIFY(link::saveTraceChoice(m.store, {false, fromQString(trace)}));
        m.start();
        button(*m.window, "STOP")->click();
        m.window->waitForStep();
        QCOMPARE(testing::readTrace(trace.toStdString()).size(), std::size_t{1});
        // A file that cannot be written is said, and polling goes on without a trace.
        QVERIFY(link::saveTraceChoice(m.store, {true, fromQString(QDir::current().filePath("brak/przebieg.txt"))}));
        m.start();
        QCOMPARE(m.boxes.size(), 1);
        QVERIFY2(m.boxes[0].startsWith("Nie można zapisywać przebiegu transmisji do pliku"), qPrintable(m.boxes[0]));
        QVERIFY(m.window->polling());
    }

    void threeFailedPollsBlankTheWindowAndTheNextReplyRestoresIt() {
        MonitorOnSimulator m;
        Cmonitor& w = *m.window;
        m.start();
        sim::LinkFaults silent;
        silent.silentCommands = {"MSR?"};
        m.sim.setFaults(silent);
        for (int failed = 1; failed <= 3; ++failed) {
            QVERIFY(!text(w, "value1").isEmpty());
            m.tick();
        }
        QCOMPARE(namedControl<QLabel>(&w, "status")->text(), QString::fromUtf8("Brak połączenia z Kavrel"));
        QVERIFY(text(w, "value1").isEmpty() && !shown(w, "alarm1") && !shown(w, "alarmState"));
        QVERIFY(text(w, "extValue1").isEmpty());
        QCOMPARE(text(w, "answeredField"), QString("1"));
        m.sim.setFaults({});
        m.tick();
        QVERIFY(!text(w, "value1").isEmpty());
        QCOMPARE(namedControl<QLabel>(&w, "status")->text(), QString("Wersja: Kavrel V3.6EL"));
        QCOMPARE(text(w, "answeredField"), QString("2"));
    }

    // A connection the module closed is opened again by the next tick, unless Połączenie →
    // "Wznawiaj po przerwie" is off (then it stays lost until STOP and START); the choice is kept.
    void aLostConnectionIsOpenedAgainUnlessSwitchedOff() {
        for (const bool reconnect : {true, false}) {
            MonitorOnSimulator m;
            auto* action = m.window->findChild<QAction*>("reconnectAction");
            QVERIFY(action && action->isChecked());
            action->setChecked(reconnect);
            m.start();
            m.sim.setFaults({.closeMidReply = {"MSR?"}});
            m.tick();
            m.sim.setFaults({});
            m.tick();
            m.tick();
            QCOMPARE(text(*m.window, "answeredField"), QString(reconnect ? "3" : "1"));
            QVERIFY2(m.boxes.isEmpty(), qPrintable(m.boxes.join("|")));
            QVERIFY(m.window->close());
            m.window.reset();
            RegistryKey key(m.store);
            std::uint32_t kept = 7;
            QCOMPARE(key.open("Software\\Ostrevan\\Kavrel-Monitor"), RegistryResult::Ok);
            QCOMPARE(key.readNumber("Wznawianie", kept), RegistryResult::Ok);
            QCOMPARE(kept, reconnect ? 1u : 0u);
        }
    }

    void aTickDuringAnExchangeDoesNothingAndStopAndCloseWaitForIt() {
        sim::SimOptions options;
        options.faults.silentCommands = {"MSR?"};   // every poll takes its whole 500 ms
        MonitorOnSimulator m({}, options);
        Cmonitor& w = *m.window;
        m.start();
        QVERIFY(w.polling());
        w.pollTick();
        QVERIFY(w.busy());
        w.pollTick();   // finds the poll running: nothing more is started
        w.pollTick();
        button(w, "STOP")->click();   // during the exchange
        QVERIFY(!button(w, "STOP")->isEnabled() && !button(w, "START")->isEnabled());
        w.waitForStep();
        QVERIFY(!w.polling() && button(w, "START")->isEnabled());
        QCOMPARE(m.sim.module().options().faults.silentCommands.size(), 1u);

        // Closing during an exchange: the window goes, the exchange ends on its own.
        m.start();
        w.pollTick();
        QVERIFY(w.busy());
        QVERIFY(w.close());
        QVERIFY(!w.busy());
        m.window.reset();
        QCOMPARE(storedNumber(m.store, "Port_TCP"), static_cast<std::uint32_t>(m.sim.port()));
    }

    void startFailuresLeaveTheMonitorIdle() {
        // Nothing listens on the port: the connection is refused at once.
        MonitorOnSimulator refused;
        refused.window.reset();
        kavrel::testing::saveConnection(refused.store, {5, true, "127.0.0.1", 1});
        refused.window = std::make_unique<Cmonitor>(refused.store, QStringList{});
        // Behind the box the window stays as START showed it: the port, period and file, the
        // counters at 0 and the bars empty.
        QStringList behindTheBox;
        refused.window->setMessageHandler([&](const QString& t, MessageIcon) {
            refused.boxes << t;
            Cmonitor& w = *refused.window;
            behindTheBox = {text(w, "portField"), text(w, "periodField"), text(w, "fileField"), text(w, "rowField"),
                            text(w, "answeredField")};
            for (int line = 1; line <= 8; ++line)
                behindTheBox << QString::number(namedControl<QProgressBar>(&w, QStringLiteral("bar%1").arg(line))->value());
        });
        refused.start();
        QCOMPARE(refused.boxes, QStringList{QString::fromUtf8("Błąd połączenia TCP/IP !")});
        QCOMPARE(behindTheBox, (QStringList{"TCP/IP", "5", "test1.csv", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0"}));
        QVERIFY(!refused.window->polling() && button(*refused.window, "START")->isEnabled());

        qputenv("KAVREL_COM9", "/nonexistent/ttyKavrel");
        MonitorSettings settings;
        settings.comPort = 9;
        QVERIFY(saveMonitorSettings("COM9.CFG", settings) == FileResult::Ok);
        MonitorOnSimulator serial({"COM9.CFG"}, {}, false);
        serial.start();
        QCOMPARE(serial.boxes, QStringList{QString::fromUtf8("Błąd otwarcia portu COM9 !")});
        QVERIFY(!serial.window->polling() && button(*serial.window, "START")->isEnabled());

        // No answer to "VER?".
        sim::SimOptions mute;
        mute.faults.silentCommands = {"VER?"};
        MonitorOnSimulator silent({}, mute);
        silent.start();
        QCOMPARE(silent.boxes, QStringList{"Brak odpowiedzi z Kavrel"});
        QCOMPARE(namedControl<QLabel>(silent.window.get(), "status")->text(), QString::fromUtf8("Brak komunikacji z modułem Kavrel"));
        QVERIFY(!silent.window->polling() && button(*silent.window, "START")->isEnabled());
    }

    void closingDuringASilentSerialPollEndsAtOnceAndFreesThePort() {
        sim::SimOptions options;
        options.faults.silentCommands = {"MSR?"};   // a serial poll waits up to 46 s for it
        MonitorOnSimulator m({}, options, false);
        Cmonitor& w = *m.window;
        m.window->show();
        button(w, "START")->click();   // its first poll waits on the silent module
        QTest::qWait(300);
        QVERIFY(w.busy());
        QElapsedTimer closing;
        closing.start();
        QVERIFY(w.close());
        QVERIFY2(closing.elapsed() < 3000, qPrintable(QString("%1 ms").arg(closing.elapsed())));
        QVERIFY(!w.busy());
        QVERIFY(m.boxes.isEmpty());   // the cut poll says nothing on the way out
        // The port is free again for the next start.
        link::ModuleLink link(link::LinkVariant::monitor());
        m.sim.useSerial(link);
        QCOMPARE(link.open(), link::LinkResult::Ok);
    }

    void aFifoAsResultsFileIsRefusedWithTheFieldShownBeforeTheBox() {
        QVERIFY(::mkfifo("RURA.CSV", 0600) == 0);
        MonitorSettings settings;
        settings.resultsFile = "RURA.CSV";
        QVERIFY(saveMonitorSettings("MONITOR.CFG", settings) == FileResult::Ok);
        MonitorOnSimulator m({"MONITOR.CFG"});
        Cmonitor& w = *m.window;
        QString fieldDuringBox;
        w.setMessageHandler([&](const QString& t, MessageIcon) {
            m.boxes << t;
            fieldDuringBox = text(w, "fileField");
        });
        m.start();   // opening the FIFO for writing would wait for a reader for ever
        QCOMPARE(m.boxes, QStringList{QString::fromUtf8("Błąd otwarcia pliku do zapisu!")});
        QCOMPARE(fieldDuringBox, QString("BEZ ZAPISU DO PLIKU!"));
        QVERIFY(w.polling());
        m.tick();
        QVERIFY(w.close());
    }

    void aFailedStartLeavesTheCountersAndTheStatusAlone() {
        MonitorOnSimulator m({}, {}, false);
        Cmonitor& w = *m.window;
        m.start();
        button(w, "STOP")->click();
        w.waitForStep();
        const QStringList before = {text(w, "smsField"), text(w, "emailField"), text(w, "gsmNumber"),
                                    namedControl<QLabel>(&w, "status")->text()};
        QVERIFY(shown(w, "status"));
        QVERIFY(before[2] != "0");
        qputenv("KAVREL_COM5", "/nonexistent/ttyKavrel");
        m.start();
        QCOMPARE(m.boxes, QStringList{QString::fromUtf8("Błąd otwarcia portu COM5 !")});
        QCOMPARE((QStringList{text(w, "smsField"), text(w, "emailField"), text(w, "gsmNumber"),
                              namedControl<QLabel>(&w, "status")->text()}),
                 before);
        QVERIFY(shown(w, "status"));
    }

    void longReadingsShowTheirBeginningWithTheWholeTextInATip() {
        sim::SimOptions options;
        options.monitor.longTexts = true;
        MonitorOnSimulator m({}, options);
        m.window->show();
        m.start();
        for (const char* name : {"value1", "extValue1"}) {
            const QLineEdit* field = namedControl<QLineEdit>(m.window.get(), name);
            QVERIFY2(field->text().size() > 9, qPrintable(field->text()));   // wider than its 7 places
            QCOMPARE(field->cursorPosition(), 0);   // the beginning shows, not the unit at the end
            QCOMPARE(field->toolTip(), field->text());
        }
    }

    void acceptingTheNamesUneditedChangesNothing() {
        MonitorOnSimulator m;
        Cmonitor& w = *m.window;
        QCOMPARE(w.display().extended[0].name, std::string("Linia XL1"));
        QTimer::singleShot(0, [] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            namedControl<QLineEdit>(dialog, "extName2")->setText("Kocioł");
            dialog->accept();
        });
        button(w, "Linie XL1...16")->click();
        QCOMPARE(w.settings().extName[0], std::string());   // shown as "Linia XL1", kept empty
        QCOMPARE(toQString(w.settings().extName[1]), QString::fromUtf8("Kocioł"));
        QCOMPARE(w.display().extended[0].name, std::string("Linia XL1"));
        for (int i = 2; i < kExtendedLines; ++i) QVERIFY(w.settings().extName[i].empty());
    }

    void enterAtStartUpEndsTheProgramWithoutTouchingAnIndicator() {
        MonitorOnSimulator m;
        Cmonitor& w = *m.window;
        w.show();
        QApplication::setActiveWindow(&w);
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QWidget* focused = QApplication::focusWidget();
        QVERIFY(focused);
        QVERIFY(!qobject_cast<QAbstractButton*>(focused));
        QTest::keyClick(focused, Qt::Key_Return);
        QVERIFY(!w.isVisible());
        for (int i = 1; i <= 6; ++i) QVERIFY(!namedControl<QCheckBox>(&w, QString("output%1").arg(i))->isChecked());
    }

    void theWindowFitsALaptopScreenWithLongNames() {
        MonitorSettings settings;
        for (auto& name : settings.lineName) name = "Temperatura hali";     // 16 characters
        for (auto& name : settings.extName) name = "Czujnik zalania";       // 15 characters
        QVERIFY(saveMonitorSettings("MONITOR.CFG", settings) == FileResult::Ok);
        MonitorOnSimulator m({"MONITOR.CFG"});
        Cmonitor& w = *m.window;
        // 1366×768 less a task bar and the window's frame.
        const QSize laptop(1356, 698);
        QVERIFY2(w.minimumSizeHint().width() <= laptop.width() && w.minimumSizeHint().height() <= laptop.height(),
                 qPrintable(QString("%1×%2").arg(w.minimumSizeHint().width()).arg(w.minimumSizeHint().height())));
        w.resize(laptop);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCOMPARE(w.size(), laptop);
        // START and STOP are inside the window, and a cut name has its whole text in a tip.
        for (const char* caption : {"START", "STOP", "Odczytaj CFG"}) {
            const QRect place(button(w, caption)->mapTo(&w, QPoint(0, 0)), button(w, caption)->size());
            QVERIFY2(w.rect().contains(place), caption);
        }
        const std::pair<const char*, QString> names[] = {{"lineName1", "Temperatura hali"}, {"extName1", "Czujnik zalania"}};
        for (const auto& [label, full] : names) {
            const QLabel* name = namedControl<QLabel>(&w, label);
            QVERIFY2(name->text() == full ? name->toolTip().isEmpty()
                                          : name->text().endsWith(QChar(0x2026)) && name->toolTip() == full,
                     qPrintable(name->text()));
        }
    }

    void startUpTakesTheKeptPortOverTheDefaultFileAndSlashStartPolls() {
        MonitorSettings defaults;
        defaults.comPort = 7;
        defaults.recordPeriod = 9;
        QVERIFY(saveMonitorSettings(kDefaultSettingsFile, defaults) == FileResult::Ok);
        {
            MonitorOnSimulator m;   // the kept port is 5
            QCOMPARE(m.window->settings().comPort, 5);
            QCOMPARE(m.window->settings().recordPeriod, 9);
            QVERIFY(!m.window->polling());
        }
        {
            MonitorOnSimulator m({"/start"});   // a file name, not the switch
            QVERIFY(!m.window->busy() && !m.window->polling());
        }
        // The command line's file and its port apply; its port is the simulator's terminal.
        MonitorSettings file;
        file.comPort = 5;
        file.resultsFile = "WYNIKI.CSV";
        QVERIFY(saveMonitorSettings("MONITOR.CFG", file) == FileResult::Ok);
        MonitorOnSimulator m({"MONITOR.CFG", "/start"}, {}, false);
        m.window->waitForStep();
        QVERIFY(m.boxes.isEmpty());
        QVERIFY(m.window->polling());
        QCOMPARE(text(*m.window, "portField"), QString("COM5"));
        QCOMPARE(fileLines("WYNIKI.CSV").size(), 2);
        QVERIFY(!text(*m.window, "value1").isEmpty());
        // Enter ends the program and keeps the connection; Escape does nothing.
        m.window->show();
        QTest::keyClick(m.window.get(), Qt::Key_Escape);
        QVERIFY(m.window->isVisible());
        QTest::keyClick(namedControl<QLineEdit>(m.window.get(), "value1"), Qt::Key_Return);
        QVERIFY(!m.window->isVisible() && !m.window->polling());
        QCOMPARE(storedNumber(m.store, "Port_COM"), 5u);
        QCOMPARE(storedNumber(m.store, "Transmisja_TCP"), 0u);
    }

    void settingsFilesAreSavedAndLoadedWithTheirMessages() {
        MonitorOnSimulator m;
        Cmonitor& w = *m.window;
        QDir().mkdir("Konfiguracje");
        w.saveSettingsFile("Konfiguracje/hala.cfg");
        QVERIFY(QFile::exists("Konfiguracje/hala.cfg"));
        QVERIFY(!QFile::exists("KONFIGURACJE/HALA.CFG"));
        QCOMPARE(QFile("Konfiguracje/hala.cfg").size(), 688);

        // The magic alone is a settings file that changes nothing.
        QFile magic("magia.cfg");
        QVERIFY(magic.open(QIODevice::WriteOnly));
        magic.write("KVRLCFG1");
        magic.close();
        w.loadSettingsFile("magia.cfg");
        QVERIFY(m.boxes.isEmpty());
        QCOMPARE(w.settings().comPort, 5);
        QCOMPARE(w.settings().resultsFile, std::string("test1.csv"));

        QFile wrong("obcy.cfg");
        QVERIFY(wrong.open(QIODevice::WriteOnly));
        wrong.write("KVRLCFG2 and more");
        wrong.close();
        w.loadSettingsFile("obcy.cfg");
        w.loadSettingsFile("brak.cfg");
        w.saveSettingsFile("brak-folderu/x.cfg");
        QCOMPARE(m.boxes, (QStringList{QString::fromUtf8("Niepoprawny format pliku z ustawieniami"),
                                       QString::fromUtf8("Błąd otwarcia pliku do odczytu ustawień"),
                                       QString::fromUtf8("Błąd otwarcia pliku do zapisu ustawień")}));

        // "Ustawienia": what is accepted shows in the window; "Anuluj" changes nothing.
        auto answerSettings = [](bool accept) {
            QTimer::singleShot(0, [accept] {
                auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
                QVERIFY(dialog);
                namedControl<QLineEdit>(dialog, "recordPeriod")->setText("3");
                namedControl<QCheckBox>(dialog, "tcpMode")->setChecked(false);
                accept ? dialog->accept() : dialog->reject();
            });
        };
        answerSettings(false);
        button(w, "Ustawienia")->click();
        QCOMPARE(text(w, "periodField"), QString("5"));
        QCOMPARE(text(w, "portField"), QString("TCP/IP"));
        answerSettings(true);
        button(w, "Ustawienia")->click();
        QCOMPARE(text(w, "periodField"), QString("3"));
        QCOMPARE(text(w, "portField"), QString("COM5"));
        QVERIFY(!w.connection().useTcp);

        MonitorSettings other;
        other.comPort = 12;
        other.lineName[0] = "Zasilanie";
        QVERIFY(saveMonitorSettings("Konfiguracje/inny.cfg", other) == FileResult::Ok);
        w.loadSettingsFile("Konfiguracje/inny.cfg");
        QCOMPARE(w.settings().comPort, 12);   // a file loaded by the user brings its port
        QCOMPARE(w.display().lines[0].name, std::string("Zasilanie"));
    }
};

QTEST_MAIN(MonitorWindowTest)
#include "monitor_window_test.moc"
