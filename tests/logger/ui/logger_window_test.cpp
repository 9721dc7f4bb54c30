// The logger's window against the simulated module: settings at the first start and at
// both ways of ending, connecting over a pseudo-terminal and TCP, the download with its
// progress, the module commands, and closing while a download runs.
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <functional>

#include "common/qt/fields/field_checks.h"
#include "common/qt/fields/field_edits.h"
#include "common/settings_store.h"
#include "link/ports/serial_device.h"
#include "logger/settings/logger_settings.h"
#include "logger/ui/custaw_logowania.h"
#include "logger/ui/custaw_tcpip.h"
#include "logger/ui/main_window.h"
#include "logger/ui/print/period_dialog.h"
#include "support/named_controls.h"
#include "support/sim_fixture.h"

using namespace kavrel;
using namespace kavrel::logger;
using namespace kavrel::logger::ui;
using kavrel::testing::captioned;
using kavrel::testing::namedControl;

namespace {


QString field(QWidget& window, const char* name) { return namedControl<QLineEdit>(&window, name)->text(); }

std::optional<StoreValue> stored(const MemoryStore& store, const char* name) { return store.read(kLoggerSettingsKey, name); }

std::uint32_t storedNumber(const MemoryStore& store, const char* name) {
    const auto value = stored(store, name);
    return value ? std::get<std::uint32_t>(*value) : 0xFFFFFFFFu;
}

const QStringList kModuleButtons = {"Odczytaj status", "Odczytaj dane", "Wydruk", "Skasuj pamięć", "Zmień ustawienia"};

bool moduleButtonsEnabled(QWidget& window) {
    return std::all_of(kModuleButtons.begin(), kModuleButtons.end(),
                       [&](const QString& b) { return captioned<QPushButton>(&window, b)->isEnabled(); });
}
bool moduleButtonsDisabled(QWidget& window) {
    return std::none_of(kModuleButtons.begin(), kModuleButtons.end(),
                        [&](const QString& b) { return captioned<QPushButton>(&window, b)->isEnabled(); });
}

// Lets every operation end, also one an ending starts after a download it stopped.
void settle(Crejestrator& window) {
    do {
        window.runner().waitForFinished();
        QCoreApplication::processEvents();
    } while (window.runner().isRunning());
}

// A logger window whose settings lead to an in-process simulator, over TCP or over the
// simulator's pseudo-terminal as COM1. Message boxes, questions and the save dialog are
// recorded or answered by the test.
struct LoggerOnSimulator {
    using Tweak = std::function<void(sim::SimOptions&)>;
    explicit LoggerOnSimulator(bool tcp, int records = 40, bool fixedSpeed = false, int cutEveryBatch = 0,
                               const Tweak& tweak = {})
        : sim(options(records, cutEveryBatch, tweak)) {
        store.createKey(kLoggerSettingsKey);
        LoggerSettings settings;
        settings.tcp = tcp;
        settings.fixedSpeed = fixedSpeed;
        settings.address = "127.0.0.1";
        settings.tcpPort = static_cast<std::uint32_t>(sim.port());
        if (saveLoggerSettings(store, settings, SettingsScope::All) != FileResult::Ok) qFatal("settings not saved");
        store.createKey(link::kSerialPortsKey);
        store.write(link::kSerialPortsKey, "COM1", sim.ptyPath());
        window = std::make_unique<Crejestrator>(store, false);
        window->setMessageHandler([this](const QString& text, MessageIcon) { boxes << text; });
        window->setQuestionHandler([this](const QString& text) {
            questions << text;
            return answer;
        });
        window->setClock(clock);
        window->show();
    }
    sim::SimOptions options(int records, int cutEveryBatch, const Tweak& tweak) {
        sim::SimOptions o;
        o.memory.records = records;
        o.memory.faults.cutEveryBatch = cutEveryBatch;
        o.lineLog = lines;
        if (tweak) tweak(o);
        return o;
    }
    // The lines the module received since the last call.
    std::vector<std::string> received() { return std::exchange(*lines, {}); }
    bool connect() {
        window->connectModule();
        settle(*window);
        return !captioned<QLabel>(window.get(), "Połączenie nawiązane")->isHidden();
    }

    std::shared_ptr<std::vector<std::string>> lines = std::make_shared<std::vector<std::string>>();
    kavrel::testing::SimFixture sim;
    MemoryStore store;
    FixedClock clock{{2025, 3, 7, 14, 5, 9, 5}};
    std::unique_ptr<Crejestrator> window;
    QStringList boxes;
    QStringList questions;
    bool answer = false;
};

const std::vector<std::string> kTwoEots = {"*EOT!", "*EOT!"};

} // namespace

class LoggerWindowTest : public QObject {
    Q_OBJECT
    QTemporaryDir folder;
    QStringList problems;

private slots:
    void init() {
        problems.clear();
        kavrel::ui::setFieldProblemHandler([this](QWidget*, const QString& m) { problems << m; });
        QDir::setCurrent(folder.path());
    }

    void firstStartCreatesTheSettingsAndTheCloseBoxKeepsOnlyPortAndSpeed() {
        MemoryStore store;
        Crejestrator window(store, false);
        window.show();
        const char* const firstStart[] = {"ComPORT", "Speed", "Connect_9600", "Connect_TCPIP", "Separate_Comma"};
        const std::uint32_t defaults[] = {1, 9600, 0, 0, 0};
        for (int i = 0; i < 5; ++i) QCOMPARE(storedNumber(store, firstStart[i]), defaults[i]);
        QVERIFY(!stored(store, "Adres_IP") && !stored(store, "Port_TCP"));
        QCOMPARE(field(window, "ComPORT"), QString("1"));
        QVERIFY(!captioned<QCheckBox>(&window, "Stała prędkość transmisji (9600 bps)")->isChecked());
        QVERIFY(!captioned<QPushButton>(&window, "Ustawienia TCP/IP")->isEnabled());
        QVERIFY(moduleButtonsDisabled(window));
        QVERIFY(captioned<QLabel>(&window, "Połączenie nawiązane")->isHidden());

        // TCP swaps which connection controls act.
        captioned<QCheckBox>(&window, "Transmisja przez TCP/IP")->click();
        QVERIFY(captioned<QPushButton>(&window, "Ustawienia TCP/IP")->isEnabled());
        QVERIFY(!namedControl<QLineEdit>(&window, "ComPORT")->isEnabled());
        QVERIFY(!captioned<QCheckBox>(&window, "Stała prędkość transmisji (9600 bps)")->isEnabled());
        captioned<QCheckBox>(&window, "Transmisja przez TCP/IP")->click();

        // A port outside 1..255 is refused and nothing runs, the closing included.
        namedControl<QLineEdit>(&window, "ComPORT")->setText("300");
        captioned<QPushButton>(&window, "Połącz")->click();
        QVERIFY(!window.runner().isRunning());
        window.close();
        settle(window);
        QVERIFY(window.isVisible());
        QCOMPARE(problems, QStringList(2, "Please enter an integer between 1 and 255."));

        QTest::keyClick(&window, Qt::Key_Escape);
        QVERIFY(window.isVisible());  // Escape ends nothing

        namedControl<QLineEdit>(&window, "ComPORT")->setText("7");
        captioned<QCheckBox>(&window, "Transmisja przez TCP/IP")->click();
        captioned<QCheckBox>(&window, "Rozdzielaj przecinkami")->click();
        window.close();
        settle(window);
        QVERIFY(!window.isVisible());
        QCOMPARE(storedNumber(store, "ComPORT"), 7u);
        QCOMPARE(storedNumber(store, "Connect_TCPIP"), 0u);
        QCOMPARE(storedNumber(store, "Separate_Comma"), 0u);

        // "Koniec pracy" writes all seven, and the next start reads them back.
        Crejestrator again(store, false);
        QCOMPARE(field(again, "ComPORT"), QString("7"));
        captioned<QCheckBox>(&again, "Transmisja przez TCP/IP")->click();
        again.tcpDialog().setConnection("10.1.2.3", 2323);
        captioned<QPushButton>(&again, "Koniec pracy")->click();
        settle(again);
        const LoggerSettings expected{7, 9600, false, true, "10.1.2.3", 2323, false};
        QCOMPARE(loadLoggerSettings(store), expected);

        // A store that refuses the save is said so, and the window still ends.
        Crejestrator refused(store, false);
        QStringList boxes;
        refused.setMessageHandler([&boxes](const QString& text, MessageIcon) { boxes << text; });
        refused.show();
        store.setReadOnly(true);
        captioned<QPushButton>(&refused, "Koniec pracy")->click();
        settle(refused);
        QCOMPARE(boxes, QStringList{"Błąd zapisu ustawień programu."});
        QVERIFY(!refused.isVisible());
    }

    // Speed has no field and Port_TCP only the TCP/IP dialog's: a stored value outside
    // their ranges must not block every button with a message the user cannot act on.
    void damagedHiddenValuesFallBackToTheirDefaults() {
        MemoryStore store;
        store.createKey(kLoggerSettingsKey);
        store.write(kLoggerSettingsKey, "Speed", std::uint32_t{5});
        store.write(kLoggerSettingsKey, "Port_TCP", std::uint32_t{70000});
        store.write(kLoggerSettingsKey, "ComPORT", std::uint32_t{3});
        Crejestrator window(store, false);
        QCOMPARE(window.settings().speed, 9600u);
        QCOMPARE(window.tcpDialog().port(), 23);
        QCOMPARE(field(window, "ComPORT"), QString("3"));

        // A COM number the field refuses would block "Połącz", the close box and "Koniec pracy".
        for (const std::uint32_t wrong : {0u, 256u, 70000u}) {
            store.write(kLoggerSettingsKey, "ComPORT", wrong);
            Crejestrator refused(store, false);
            refused.setMessageHandler([](const QString&, MessageIcon) {});
            QCOMPARE(field(refused, "ComPORT"), QString("1"));
            refused.show();
            refused.close();
            settle(refused);
            QVERIFY(!refused.isVisible());
            QCOMPARE(std::get<std::uint32_t>(*store.read(kLoggerSettingsKey, "ComPORT")), 1u);
        }
    }

    void wrdatSavesTheTextDescriptionsAsTheDataFile() {
        QFile text("Kavrel-Logger.cfg");
        QVERIFY(text.open(QIODevice::WriteOnly));
        text.write("Kavrel\r\n");
        text.close();
        MemoryStore store;
        { Crejestrator window(store, false); }
        QVERIFY(!QFile::exists("Kavrel-Logger.dat"));
        { Crejestrator window(store, true); }
        QCOMPARE(QFileInfo("Kavrel-Logger.dat").size(), qint64(kDescriptionDataSize));
        QFile::remove("Kavrel-Logger.dat");
        QFile::remove("Kavrel-Logger.cfg");
    }

    void serialConnectionDownloadsWithProgressAndEndsAt9600() {
        LoggerOnSimulator on(false, 40);
        Crejestrator& window = *on.window;
        QVERIFY(on.connect());
        QCOMPARE(on.received().front(), std::string("*S115!"));
        QCOMPARE(field(window, "version"), QString("V3.6"));
        QCOMPARE(field(window, "storedRecords"), QString("40"));
        QCOMPARE(field(window, "clock"), QString("2025-03-07 14:05:09"));
        QVERIFY(moduleButtonsEnabled(window));
        QVERIFY(!captioned<QCheckBox>(&window, "Stała prędkość transmisji (9600 bps)")->isEnabled());

        QStringList counts;
        connect(namedControl<QLineEdit>(&window, "recordsRead"), &QLineEdit::textChanged, this,
                [&](const QString& text) { counts << text; });
        QVERIFY(!captioned<QPushButton>(&window, "Wykres")->isEnabled());
        QString offered = "-";
        window.setFileChooser([&](const QString& last) {
            offered = last;
            return folder.filePath("wyniki");
        });
        captioned<QPushButton>(&window, "Odczytaj dane")->click();
        QVERIFY(window.isDownloading());
        QVERIFY(moduleButtonsDisabled(window) && !captioned<QPushButton>(&window, "Połącz")->isEnabled());
        settle(window);
        QCOMPARE(offered, QString());
        QVERIFY(!window.isDownloading() && moduleButtonsEnabled(window));
        // One update per batch of six, the last one cut to the record count.
        QCOMPARE(counts, (QStringList{"0", "6", "12", "18", "24", "30", "36", "40"}));
        QCOMPARE(on.boxes.size(), 2);
        QCOMPARE(on.boxes[0], QString("Zawartość pamięci odczytana."));
        QVERIFY(on.boxes[1].startsWith("Transfer zakończony.\nPrzesłano 40 rekordów"));
        QVERIFY(QFile::exists(folder.filePath("wyniki.csv")) && QFile::exists(folder.filePath("wyniki.html")));
        QVERIFY(captioned<QPushButton>(&window, "Wykres")->isEnabled());  // the chart of the file just written

        // The next save dialog offers the name chosen last.
        window.setFileChooser([&](const QString& last) {
            offered = last;
            return QString();
        });
        captioned<QPushButton>(&window, "Odczytaj dane")->click();
        QCOMPARE(offered, folder.filePath("wyniki"));

        on.received();
        captioned<QPushButton>(&window, "Koniec pracy")->click();
        settle(window);
        QCOMPARE(on.received(), kTwoEots);
        QVERIFY(!window.isVisible());
    }

    void commandsOverTcpAndTheCloseBoxSaysEotOnAnOpenLink() {
        LoggerOnSimulator on(true, 25);
        Crejestrator& window = *on.window;
        QVERIFY(on.connect());
        on.received();

        // "Skasuj pamięć" answered No sends nothing but still reads the status.
        captioned<QPushButton>(&window, "Skasuj pamięć")->click();
        settle(window);
        QCOMPARE(on.questions, QStringList{"Czy na pewno chcesz skasować\nzawartość pamięci w module ?"});
        QCOMPARE(on.received(), (std::vector<std::string>{"HALT! DEBUG=0", "*RD_0,0"}));
        QCOMPARE(field(window, "storedRecords"), QString("25"));

        // "Zmień ustawienia": the dialog shows the module's period; the clock is the PC's.
        QString shownPeriod;
        QTimer::singleShot(0, [&] {
            QWidget* dialog = QApplication::activeModalWidget();
            auto* period = namedControl<QLineEdit>(dialog, "LOGT");
            shownPeriod = period->text();
            period->setText("30");
            captioned<QCheckBox>(dialog, "Ustaw zegar według komputera PC")->setChecked(true);
            captioned<QPushButton>(dialog, "Wprowadź")->click();
        });
        captioned<QPushButton>(&window, "Zmień ustawienia")->click();
        settle(window);
        QCOMPARE(shownPeriod, QString("15"));
        QCOMPARE(on.received().front(), std::string("LOGT=30 TIME=25/03/07,14:05:09"));
        QCOMPARE(field(window, "loggingPeriod"), QString("30"));
        QVERIFY(on.boxes.isEmpty());

        on.answer = true;
        captioned<QPushButton>(&window, "Skasuj pamięć")->click();
        settle(window);
        QCOMPARE(on.boxes, QStringList{"Zawartość pamięci skasowana."});
        QCOMPARE(field(window, "storedRecords"), QString("0"));

        on.received();
        namedControl<QLineEdit>(&window, "ComPORT")->setText("9");
        window.close();
        settle(window);
        QCOMPARE(on.received(), kTwoEots);
        QVERIFY(!window.isVisible());
        QCOMPARE(storedNumber(on.store, "ComPORT"), 9u);
        QCOMPARE(storedNumber(on.store, "Connect_TCPIP"), 1u);
    }

    void printingChecksAsksForThePeriodAndPrintsWhatWasDownloaded() {
        LoggerOnSimulator on(true, 40);
        Crejestrator& window = *on.window;
        window.startPrint();  // not connected yet
        QCOMPARE(on.boxes, QStringList{"Brak połączenia!"});
        QVERIFY(on.connect());
        std::optional<PrintRequest> printed;
        window.setPrintHandler([&](QWidget*, const PrintRequest& request) { printed = request; });

        // The dialog opens on the last month; the choice is kept for the next print.
        int offered = -1;
        QTimer::singleShot(0, [&] {
            auto* dialog = static_cast<Czakres*>(QApplication::activeModalWidget());
            offered = dialog->period();
            namedControl<QRadioButton>(dialog, "period4")->setChecked(true);
            dialog->accept();
        });
        on.received();
        captioned<QPushButton>(&window, "Wydruk")->click();
        settle(window);
        QCOMPARE(offered, 2);
        QVERIFY(printed.has_value());
        QCOMPARE(printed->period, 4);
        QCOMPARE(QString::fromStdString(printed->folder.string()), QDir::currentPath());
        QCOMPARE(printed->now.day, 7);
        QVERIFY(QFile::exists("kavrellogger_tmp.csv"));
        const std::vector<std::string> lines = on.received();
        QVERIFY(std::find(lines.begin(), lines.end(), "*RD_2,6") != lines.end());  // from the second record on
        QVERIFY(moduleButtonsEnabled(window));

        printed.reset();
        QTimer::singleShot(0, [&] {
            auto* dialog = static_cast<Czakres*>(QApplication::activeModalWidget());
            offered = dialog->period();
            dialog->reject();
        });
        captioned<QPushButton>(&window, "Wydruk")->click();
        settle(window);
        QCOMPARE(offered, 4);
        QVERIFY(!printed && on.received().empty());

        LoggerOnSimulator few(true, 9);
        QVERIFY(few.connect());
        captioned<QPushButton>(few.window.get(), "Wydruk")->click();
        QCOMPARE(few.boxes, QStringList{"Brak wystarczającej ilości danych do odczytania"});
    }

    // A temporary history that cannot be written whole (here: on a full device) is said so
    // and never previewed or printed as if it were the whole history.
    void printingStopsWhenTheTemporaryHistoryIsCut() {
        QFile::remove("kavrellogger_tmp.csv");   // an earlier print's
        QVERIFY(QFile::link("/dev/full", "kavrellogger_tmp.csv"));
        LoggerOnSimulator on(true, 40);
        QVERIFY(on.connect());
        std::optional<PrintRequest> printed;
        on.window->setPrintHandler([&](QWidget*, const PrintRequest& request) { printed = request; });
        QTimer::singleShot(0, [] { static_cast<Czakres*>(QApplication::activeModalWidget())->accept(); });
        captioned<QPushButton>(on.window.get(), "Wydruk")->click();
        settle(*on.window);
        QVERIFY(!printed);
        QVERIFY(on.boxes.contains("Błąd zapisu plików wynikowych: dane nie zostały zapisane w całości!"));
        QVERIFY(moduleButtonsEnabled(*on.window));
        QFile::remove("kavrellogger_tmp.csv");
    }

    void archiveFetchesOnlyWhatIsNewAndClearsOnlyWhatItHolds() {
        LoggerOnSimulator on(true, 40);
        Crejestrator& window = *on.window;
        QVERIFY(on.connect());
        window.setArchive(folder.filePath("archiwum.db"), "Stacja");
        captioned<QPushButton>(&window, "Pobierz do archiwum")->click();
        settle(window);
        QVERIFY2(on.boxes.size() == 1 && on.boxes.back().startsWith("Pobrano 40 rekordów w "), qPrintable(on.boxes.join("|")));
        on.received();
        on.answer = true;
        captioned<QPushButton>(&window, "Pobierz i skasuj")->click();
        settle(window);
        QCOMPARE(on.questions.back(), QString("Skasować 40 rekordów? W archiwum: 40"));
        QVERIFY2(on.boxes.contains("Zawartość pamięci skasowana."), qPrintable(on.boxes.join("|")));
        const std::vector<std::string> lines = on.received();
        QVERIFY(std::none_of(lines.begin(), lines.end(), [](const std::string& l) { return l.ends_with(",6"); }));
        QCOMPARE(field(window, "storedRecords"), QString("0"));
        QVERIFY(moduleButtonsEnabled(window));
    }

    // An adapter unplugged and plugged in again during the update (the simulator's
    // terminal cut and made anew under its name): each yes goes on where the archive ends.
    void anArchiveUpdateBrokenOffGoesOnWhereTheArchiveEnds() {
        LoggerOnSimulator on(false, 60, false, 4);
        on.sim.linkPty(folder.filePath("usb-Kavrel_KV0001-if00-port0").toStdString());
        on.store.write(link::kSerialPortsKey, "COM1", on.sim.ptyPath());
        QVERIFY(on.connect());
        on.answer = true;
        on.window->setArchive(folder.filePath("przerwane.db"), "Stacja");
        captioned<QPushButton>(on.window.get(), "Pobierz do archiwum")->click();
        settle(*on.window);
        QVERIFY2(!on.questions.isEmpty() && on.questions.size() < 20, qPrintable(on.questions.join("|")));
        QCOMPARE(on.questions.front(), QString("Pobieranie zostało przerwane.\nPołączyć ponownie i kontynuować od "
                                               "miejsca, w którym kończy się archiwum?"));
        // One summary of all the updates the cuts took, not of the last one alone.
        QVERIFY2(on.boxes.back().startsWith("Pobrano 60 rekordów w "), qPrintable(on.boxes.join("|")));
        // Everything is in the archive: a new update fetches nothing.
        on.questions.clear();
        captioned<QPushButton>(on.window.get(), "Pobierz do archiwum")->click();
        settle(*on.window);
        QVERIFY2(on.boxes.back().startsWith("Pobrano 0 rekordów"), qPrintable(on.boxes.join("|")));
        QVERIFY(on.questions.isEmpty());
        QVERIFY(moduleButtonsEnabled(*on.window));
    }

    // Records the module overwrote before they were archived are named in the one box at the
    // end, not each in a box of its own that holds up the download.
    void holesAreSummedUpAtTheEndInOneBox() {
        auto pending = std::make_shared<std::atomic<int>>(0);
        LoggerOnSimulator on(true, 160, false, 0, [&](sim::SimOptions& o) {
            o.memory.cyclic = true;
            o.memory.pendingRecords = pending;
        });
        QVERIFY(on.connect());
        on.window->setArchive(folder.filePath("luki.db"), "Stacja");
        captioned<QPushButton>(on.window.get(), "Pobierz do archiwum")->click();
        settle(*on.window);
        on.boxes.clear();
        *pending = 400;   // more than the memory holds
        captioned<QPushButton>(on.window.get(), "Pobierz do archiwum")->click();
        settle(*on.window);
        QVERIFY2(on.boxes.size() == 1, qPrintable(on.boxes.join("|")));
        QVERIFY2(on.boxes[0].startsWith("Pobrano ") && on.boxes[0].contains("\n\nUtracone rekordy: "), qPrintable(on.boxes[0]));
    }

    // The archive file and module name come back at the next start, whatever letters they
    // hold; "..." gives a name typed without its ending ".db".
    void theArchiveChoiceIsKeptAndItsFileGetsItsEnding() {
        MemoryStore store;
        const QString file = folder.filePath(QString::fromUtf8("archiwa Łódź Ж/stacja%41.db"));
        const QString name = QString::fromUtf8("Stacja ✓ – 2");
        {
            Crejestrator window(store, false);
            window.show();
            window.setArchive(file, name);
            window.finishWork();
            settle(window);
        }
        Crejestrator again(store, false);
        QCOMPARE(field(again, "archiveFile"), file);
        QCOMPARE(field(again, "archiveName"), name);

        bool answered = false;
        QTimer poll;
        // The name is typed into the dialog's name field, as a user does (selectFile leaves a
        // field that has the focus as it is).
        connect(&poll, &QTimer::timeout, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!dialog) return;
            auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            if (!name) return;
            poll.stop();
            dialog->setDirectory(folder.path());
            name->setText(QStringLiteral("nowe"));
            QMetaObject::invokeMethod(dialog, "accept");
            answered = true;
        });
        poll.start(10);
        namedControl<QPushButton>(&again, "archiveBrowse")->click();
        QVERIFY(answered);
        QCOMPARE(field(again, "archiveFile"), folder.filePath("nowe.db"));
        Crejestrator third(store, false);
        QCOMPARE(field(third, "archiveFile"), folder.filePath("nowe.db"));
    }

    void fixedSpeedFinishSaysNothingButTheCloseBoxDoes() {
        for (const bool closeBox : {false, true}) {
            LoggerOnSimulator on(false, 12, true);
            QVERIFY(on.connect());
            QVERIFY(on.received().front() != "*S115!");
            if (closeBox) on.window->close();
            else on.window->finishWork();
            settle(*on.window);
            QCOMPARE(on.received(), closeBox ? kTwoEots : std::vector<std::string>{});
        }
    }

    void closingDuringADownloadWaitsForTheWorkerWithoutFreezing() {
        LoggerOnSimulator on(true, 3000);
        Crejestrator& window = *on.window;
        QVERIFY(on.connect());
        window.setFileChooser([&](const QString&) { return folder.filePath("duzo.csv"); });
        captioned<QPushButton>(&window, "Odczytaj dane")->click();
        window.close();
        QVERIFY(window.isVisible());  // the close waits for the worker, which stops after its batch
        settle(window);
        QVERIFY(!window.isVisible());
        QVERIFY(on.boxes.isEmpty());
        const std::vector<std::string> lines = on.received();
        QVERIFY(lines.size() >= 2);
        QCOMPARE(std::vector<std::string>(lines.end() - 2, lines.end()), kTwoEots);
        QFile html(folder.filePath("duzo.html"));
        QVERIFY(html.open(QIODevice::ReadOnly));
        QVERIFY(!html.readAll().contains("</HTML>"));  // stopped early: the page is not closed
    }

    void closingWhileASerialDownloadWaitsOnASilentModuleEndsAtOnce() {
        LoggerOnSimulator on(false, 3000);
        Crejestrator& window = *on.window;
        QVERIFY(on.connect());
        window.setFileChooser([&](const QString&) { return folder.filePath("cisza.csv"); });
        sim::LinkFaults silent;
        silent.silentCommands = {"*RD_"};   // every batch and its retries wait their whole limit
        on.sim.setFaults(silent);
        captioned<QPushButton>(&window, "Odczytaj dane")->click();
        QTest::qWait(200);
        QVERIFY(window.runner().isRunning());
        QElapsedTimer closing;
        closing.start();
        window.close();
        while (window.isVisible() && closing.elapsed() < 20000) {
            window.runner().waitForFinished();
            QTest::qWait(20);
        }
        QVERIFY(!window.isVisible());
        // Six retries of a batch take over 12 s on this line.
        QVERIFY2(closing.elapsed() < 4000, qPrintable(QString("%1 ms").arg(closing.elapsed())));
        QVERIFY2(on.boxes.isEmpty(), qPrintable(on.boxes.join(" | ")));
    }
};

QTEST_MAIN(LoggerWindowTest)
#include "logger_window_test.moc"
