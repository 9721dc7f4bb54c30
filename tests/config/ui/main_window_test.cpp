// The configurator's main window: start-up, connection settings, and module operations
// against the simulator.
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QMessageBox>
#include <QTimer>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>

#include "common/qt/fields/field_checks.h"
#include "common/qt/fields/field_edits.h"
#include "common/qt/operation_runner.h"
#include "common/win1250.h"
#include "config/model/settings_file.h"
#include "config/ui/dialogs/custaw_sieciowe.h"
#include "config/ui/kit/settings_dialog.h"
#include "config/ui/main_window.h"
#include "link/connection_settings.h"
#include "link/ports/serial_device.h"
#include "support/dialog_controls.h"
#include "support/sim_fixture.h"
#include "support/saved_connection.h"

using namespace kavrel;
using namespace kavrel::config;
using namespace kavrel::config::ui;
using namespace kavrel::ui;
using kavrel::testing::captioned;
using kavrel::testing::fieldControl;
using kavrel::testing::namedControl;

namespace {

constexpr const char* kKey = "Software\\Ostrevan\\Kavrel";

QRadioButton* radio(QWidget& window, const QString& text) {
    for (auto* r : window.findChildren<QRadioButton*>())
        if (r->text() == text) return r;
    return nullptr;
}

QPushButton* button(QWidget& window, const QString& text) {
    for (auto* b : window.findChildren<QPushButton*>())
        if (b->text() == text) return b;
    return nullptr;
}

// A configurator set to TCP on an in-process simulator, recording its message boxes.
struct WindowOnSimulator {
    explicit WindowOnSimulator(sim::LinkFaults faults = {}) : sim(sim::SimOptions{.faults = std::move(faults)}) {
        kavrel::testing::saveConnection(store, {1, true, "127.0.0.1", static_cast<std::uint32_t>(sim.port())});
        window = std::make_unique<Ckonfigurator>(store, "");
        window->runner().setMessageHandler([this](const QString& t, MessageIcon) { boxes << t; });
    }
    kavrel::testing::SimFixture sim;
    MemoryStore store;
    std::unique_ptr<Ckonfigurator> window;
    QStringList boxes;
};

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
    QTemporaryDir folder;
    QStringList messages;

private slots:
    void init() {
        messages.clear();
        setFieldProblemHandler([this](QWidget*, const QString& m) { messages << m; });
        QDir::setCurrent(folder.path());
    }

    void firstStartCreatesTheKeyAndTheEndSavesTheConnection() {
        MemoryStore store;
        {
            Ckonfigurator window(store, "");
            QVERIFY(store.keyExists(kKey));
            QVERIFY(radio(window, "COM")->isChecked());
            QCOMPARE(namedControl<Custaw_sieciowe>(&window, "networkDialog")->address(), QString("192.168.2.1"));
            QCOMPARE(namedControl<Custaw_sieciowe>(&window, "networkDialog")->port(), 23);
            QCOMPARE(window.statusText(), QString("Błąd otwarcia pliku:\ndefault.kvl"));
            QVERIFY(!button(window, "CSD")->isEnabled());
            radio(window, "TCP/IP")->click();
            namedControl<Custaw_sieciowe>(&window, "networkDialog")->setConnection("10.0.0.5", 2323);
            window.show();
            QTest::keyClick(&window, Qt::Key_Escape);
            QVERIFY(window.isVisible());  // Escape does not end the program
            button(window, "Koniec pracy")->click();
            QVERIFY(!window.isVisible());
        }
        const auto saved = link::loadConnectionSettings(store);
        QVERIFY(saved.useTcp);
        QCOMPARE(saved.moduleAddress, std::string("10.0.0.5"));
        QCOMPARE(saved.tcpPort, 2323u);
        QCOMPARE(saved.comPort, 1u);
        Ckonfigurator again(store, "");
        QVERIFY(radio(again, "TCP/IP")->isChecked());

        // A store that refuses the connection is said so, and the window still ends.
        Ckonfigurator refused(store, "");
        refused.show();
        store.setReadOnly(true);
        QString told;
        QTimer::singleShot(0, [&told] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box);
            told = box->text();
            box->accept();
        });
        QVERIFY(refused.close());
        QCOMPARE(told, QString("Błąd zapisu ustawień programu."));
    }

    void quotedFileOnTheCommandLineIsLoaded() {
        SettingsImage sample;
        sample.setText(Field::Pin, "4321");
        const QString path = folder.filePath("moj modul.kvl");
        QVERIFY(saveSettingsFile(path.toStdString(), sample) == FileResult::Ok);
        MemoryStore store;
        Ckonfigurator window(store, "\"" + path + "\"");
        QCOMPARE(window.record().text(Field::Pin), std::string("4321"));
        QCOMPARE(window.statusText(), "Ustawienia odczytane z pliku:\n" + path);
    }

    void badPortNumberIsReportedAndThePreviousOneUsed() {
        MemoryStore store;
        Ckonfigurator window(store, "");
        auto* edit = namedControl<NumberEdit>(&window, "comPort");
        edit->setText("300");
        window.runner().setMessageHandler([](const QString&, MessageIcon) {});
        ::setenv("KAVREL_COM1", "/dev/kavrel-brak", 1);
        window.readVersion();
        window.runner().waitForFinished();
        ::unsetenv("KAVREL_COM1");
        QCOMPARE(messages, QStringList{"Please enter an integer between 0 and 255."});
        QCOMPARE(edit->text(), QString("1"));
        QCOMPARE(window.statusText(), QString("Błąd otwarcia portu COM1 !"));
    }

    void thePortTypedJustBeforeAnOperationIsTheOneOpened() {
        MemoryStore store;
        Ckonfigurator window(store, "");
        window.runner().setMessageHandler([](const QString&, MessageIcon) {});
        ::setenv("KAVREL_COM1", "/dev/kavrel-brak1", 1);
        ::setenv("KAVREL_COM2", "/dev/kavrel-brak2", 1);
        namedControl<NumberEdit>(&window, "comPort")->setText("2");
        window.readVersion();
        window.runner().waitForFinished();
        ::unsetenv("KAVREL_COM1");
        ::unsetenv("KAVREL_COM2");
        QCOMPARE(window.statusText(), QString("Błąd otwarcia portu COM2 !"));
    }

    // A read works on its own copy of the record and its own link: the window's record
    // changes only when the read ends, files are refused meanwhile, and the window can be
    // destroyed while the module keeps silent (the operation ends before the window's
    // members go away).
    void aReadOwnsItsCopiesAndTheWindowMayGoAwayDuringIt() {
        sim::LinkFaults silentAfterSet;
        silentAfterSet.silentCommands = {"SMS?"};
        WindowOnSimulator on(silentAfterSet);
        const SettingsImage before = on.window->record();
        on.window->readFromModule();
        auto* progress = on.window->findChild<QProgressBar*>();
        QTRY_VERIFY(progress->value() >= 50);  // "SET?" answered and parsed
        QVERIFY(on.window->record() == before);
        QVERIFY(!on.window->loadFromDisk(folder.filePath("brak.kvl")));
        QVERIFY(!on.window->saveToDisk(folder.filePath("nowy.kvl")));
        QVERIFY(!QFile::exists(folder.filePath("nowy.kvl")));
        on.window.reset();
        QVERIFY(on.boxes.isEmpty());
    }

    // As every operation, loading and saving begin by clearing the status text; a
    // cancelled file dialog leaves it cleared.
    void cancelledFileDialogsClearTheStatus() {
        MemoryStore store;
        Ckonfigurator window(store, "");
        for (const char* caption : {"Odczytaj z dysku", "Zapisz na dysk"}) {
            window.loadFromDisk(folder.filePath("brak.kvl"));
            QCOMPARE(window.statusText(), QString("Błąd otwarcia pliku do odczytu"));
            bool cancelled = false;
            auto* poll = new QTimer(&window);
            connect(poll, &QTimer::timeout, [&] {
                if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
                    dialog->reject();
                    cancelled = true;
                    poll->stop();
                }
            });
            poll->start(10);
            button(window, caption)->click();
            QVERIFY(cancelled);
            QCOMPARE(window.statusText(), QString());
            delete poll;
        }
    }

    void readsTheModuleWithoutFreezingAndShowsEveryStep() {
        WindowOnSimulator on;
        Ckonfigurator& window = *on.window;
        const QStringList& boxes = on.boxes;
        window.readVersion();
        QVERIFY(!button(window, "Odczytaj z modułu")->isEnabled());  // no second operation meanwhile
        window.runner().waitForFinished();
        QVERIFY(button(window, "Odczytaj z modułu")->isEnabled());
        QCOMPARE(window.statusText(), QString("Wersja modułu odczytana"));
        QVERIFY(boxes.isEmpty());

        window.readFromModule();
        window.runner().waitForFinished();
        QVERIFY(boxes.isEmpty());
        QVERIFY(window.record() != SettingsImage{});
    }

    void editedSettingsAreSentAndVerified() {
        WindowOnSimulator on;
        Ckonfigurator& window = *on.window;
        const QStringList& boxes = on.boxes;
        window.readFromModule();
        window.runner().waitForFinished();
        // The technician's edits, made in the dialogs the buttons open.
        QTimer::singleShot(0, [] {
            QWidget* dialog = QApplication::activeModalWidget();
            fieldControl(dialog, "NUM3")->setText("+48600111222");
            static_cast<QDialog*>(dialog)->accept();
        });
        button(window, "Ustawienia ogólne")->click();
        QTimer::singleShot(0, [] {
            QWidget* dialog = QApplication::activeModalWidget();
            fieldControl(dialog, "ULO2")->setText("1234");
            static_cast<QDialog*>(dialog)->accept();
        });
        button(window, "Linie wejściowe L1...L8")->click();
        QCOMPARE(window.record().phoneNumber(3), std::string("+48600111222"));
        namedControl<QCheckBox>(&window, "showChanges")->setChecked(false);  // off: no changes dialog opens, as nothing here answers one
        button(window, "Wyślij do modułu")->click();
        window.runner().waitForFinished();
        QVERIFY2(boxes.isEmpty(), qPrintable(boxes.join(" | ")));
        QVERIFY2(window.statusText().contains("\nweryfikacja OK"), qPrintable(window.statusText()));

        window.record().clear();
        window.readFromModule();
        window.runner().waitForFinished();
        QCOMPARE(window.record().phoneNumber(3), std::string("+48600111222"));
        QCOMPARE(window.record().word(Field::Ulo, 2), 1234);
    }

    // Over the serial line a read waits up to 46 s for a silent module; the close box ends
    // it at once, and during the read that starts a reviewed write it cancels the write.
    // What the cut operation would still have said is never shown, also once the events
    // queued before the close have run, and no window is left up to keep the program going.
    void closingDuringAReadEndsItAtOnceAndShowsNothingAfterwards() {
        enum class Start { Version, Read, ReviewedWrite };
        const std::pair<Start, const char*> operations[] = {
            {Start::Version, "VER?"}, {Start::Read, "SMS?"}, {Start::ReviewedWrite, "SMS?"}};
        for (const auto& [operation, silentOn] : operations) {
            for (int round = 0; round < 3; ++round) {
                auto lines = std::make_shared<std::vector<std::string>>();
                kavrel::testing::SimFixture sim({.faults = {.silentCommands = {silentOn}}, .lineLog = lines});
                MemoryStore store;
                kavrel::testing::saveConnection(store, {1, false, "127.0.0.1", 23});
                store.createKey(link::kSerialPortsKey);
                store.write(link::kSerialPortsKey, "COM1", sim.ptyPath());
                Ckonfigurator window(store, "");
                QStringList boxes;
                window.runner().setMessageHandler([&](const QString& t, MessageIcon) { boxes << t; });
                bool changesShown = false;
                window.runner().setQuestionHandler([&](const QString&) { return changesShown = true; });
                window.show();
                switch (operation) {
                case Start::Version: button(window, "Wersja modułu")->click(); break;
                case Start::Read: button(window, "Odczytaj z modułu")->click(); break;
                case Start::ReviewedWrite: button(window, "Wyślij do modułu")->click(); break;
                }
                QTRY_VERIFY(std::count(lines->begin(), lines->end(), silentOn) == 1);
                QElapsedTimer closing;
                closing.start();
                QVERIFY(window.close());
                QVERIFY2(closing.elapsed() < 3000, qPrintable(QString("%1 ms").arg(closing.elapsed())));
                QVERIFY(!window.runner().isRunning());
                // The events the operation queued before it was cut run now.
                QTest::qWait(100);
                QVERIFY2(boxes.isEmpty(), qPrintable(silentOn + (": " + boxes.join(" | "))));
                QVERIFY(!changesShown);
                QVERIFY(QApplication::activeModalWidget() == nullptr);
                // Nothing is left up to keep the program running once its window has gone.
                for (QWidget* shown : QApplication::topLevelWidgets()) QVERIFY2(!shown->isVisible(), qPrintable(shown->objectName()));
                // Nothing but queries and the handshake reached the module.
                for (const std::string& line : *lines)
                    QVERIFY2(line.ends_with("?") || line == "HALT!" || line == "DEBUG=0", line.c_str());
            }
        }
    }

    // A write under way is never cut in half: the close box asks, and "Nie" keeps the window.
    void closingDuringAWriteAsksWhetherToWaitForIt() {
        WindowOnSimulator on({.splitBytes = 8, .splitDelayMs = 5});   // a write that takes a while
        Ckonfigurator& window = *on.window;
        window.readFromModule();
        window.runner().waitForFinished();
        window.show();
        namedControl<QCheckBox>(&window, "showChanges")->setChecked(false);
        for (const auto answer : {QMessageBox::No, QMessageBox::Yes}) {
            button(window, "Wyślij do modułu")->click();
            QVERIFY(window.runner().isRunning());
            QString asked;
            QTimer::singleShot(0, [&asked, answer] {
                auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                QVERIFY(box);
                asked = box->text();
                box->button(answer)->click();
            });
            const bool closed = window.close();
            QVERIFY(asked.startsWith(QString::fromUtf8("Trwa zapis ustawień do modułu")));
            QCOMPARE(closed, answer == QMessageBox::Yes);
            QCOMPARE(window.isVisible(), answer == QMessageBox::No);
            window.runner().waitForFinished();
            QVERIFY2(on.boxes.isEmpty(), qPrintable(on.boxes.join(" | ")));
            QVERIFY2(window.statusText().contains("\nweryfikacja OK"), qPrintable(window.statusText()));
        }
    }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
