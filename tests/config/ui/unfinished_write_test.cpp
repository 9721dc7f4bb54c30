// The configurator at start after a write to its connection was cut: it offers "Dokończ
// zapis", "Przywróć kopię" and "Pozostaw", and each does what it says to the module.
#include <QApplication>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <optional>

#include "common/qt/operation_runner.h"
#include "common/win1250.h"
#include "config/model/backup_store.h"
#include "config/model/settings_file.h"
#include "config/model/version_notes.h"
#include "config/model/write_history.h"
#include "config/protocol/journaled_write.h"
#include "config/protocol/read_settings.h"
#include "config/protocol/reviewed_write.h"
#include "config/ui/dialogs/unfinished_write_box.h"
#include "config/ui/dialogs/write_check_box.h"
#include "config/ui/main_window.h"
#include "link/connection_settings.h"
#include "support/recording_observer.h"
#include "support/sim_fixture.h"
#include "sim/module_configuration.h"
#include "support/saved_connection.h"

using namespace kavrel;
using namespace kavrel::config;
using namespace kavrel::config::ui;

namespace {

// A module whose link is cut after the 40th command of a write (the "HALT!" before the
// access points), with the configurator pointed at it over TCP.
struct CutModule {
    CutModule()
        : config(std::make_shared<sim::ModuleConfiguration>()),
          sim(std::in_place, sim::SimOptions{.faults = {.cutAtWriteCommand = 40}, .config = {.module = config}}) {
        kavrel::testing::saveConnection(store, {1, true, "127.0.0.1", static_cast<std::uint32_t>(sim->port())});
    }

    // A reviewed write (with its backup) that the cut stops half-way: the PIN's line went
    // through, the access point's did not.
    void cutAWrite() {
        link::ModuleLink link;
        sim->useTcp(link);
        kavrel::testing::RecordingObserver observer;
        SettingsImage module, readBack;
        QVERIFY(readSettings(link, module, observer) == ConfigResult::Ok);
        pinBefore = module.text(Field::Pin);
        SettingsImage target = module;
        target.setText(Field::Pin, "4321");
        target.setText(Field::Apn, 2, "internet.test");
        const std::string connection = connectionIdentity(true, 1, "", "127.0.0.1", sim->port());
        const FixedClock clock({2026, 12, 8, 14, 5, 9});
        JournalRecorder journal = journalForWrite(backupFolder(), connection, target, {}, clock.now());
        WriteReview review{.backupFolder = backupFolder(), .connection = "127.0.0.1_1"};
        ReviewedWriteOutcome outcome;
        QVERIFY(writeSettingsReviewed(link, target, readBack, {}, observer, WriteContext{clock, &journal}, review,
                                      outcome) != ConfigResult::Ok);
        QCOMPARE(config->value("PIN"), std::string("4321"));
        QCOMPARE(config->value("APN2"), std::string());
    }

    // Another module (same firmware, its own SMS text) answers on the cut module's port.
    void replaceByAnotherModule() {
        const int port = sim->port();
        sim.reset();
        config = std::make_shared<sim::ModuleConfiguration>();
        sim.emplace(sim::SimOptions{.config = {.seedLines = {"SMS0=Modul C"}, .module = config}}, port);
    }

    std::shared_ptr<sim::ModuleConfiguration> config;
    std::optional<kavrel::testing::SimFixture> sim;
    MemoryStore store;
    std::string pinBefore;
};

} // namespace

class UnfinishedWriteTest : public QObject {
    Q_OBJECT
    QTemporaryDir folder;

private slots:
    void initTestCase() { ::setenv(kBackupFolderVariable, folder.filePath("kopie").toUtf8().constData(), 1); }
    void cleanupTestCase() { ::unsetenv(kBackupFolderVariable); }

    void theWindowOffersTheThreeChoicesAndEachDoesItsPart() {
        for (const QString& choice : {QStringLiteral("Pozostaw"), QStringLiteral("Dokończ zapis"),
                                     QStringLiteral("Przywróć kopię")}) {
            CutModule module;
            module.cutAWrite();
            Ckonfigurator window(module.store, "");
            window.runner().setMessageHandler([](const QString&, MessageIcon) {});
            QStringList offered;
            QTimer::singleShot(0, [&offered, choice] {
                auto* box = qobject_cast<CniedokonczonyZapis*>(QApplication::activeModalWidget());
                QVERIFY(box);
                QVERIFY(box->text().contains(QStringLiteral("Niedokończony zapis")));
                QPushButton* chosen = nullptr;
                for (auto* button : box->findChildren<QPushButton*>()) {
                    offered << button->text();
                    if (button->text() == choice) chosen = button;
                }
                QVERIFY(chosen);
                chosen->click();
            });
            window.offerUnfinishedWrite();
            window.runner().waitForFinished();
            offered.sort();
            QCOMPARE(offered, QStringList({"Dokończ zapis", "Pozostaw", "Przywróć kopię"}));
            const std::string identity = connectionIdentity(true, 1, "", "127.0.0.1", module.sim->port());
            const auto left = findUnfinishedWrite(backupFolder(), identity);
            // The window's resume and restore each leave one record in the write history.
            QStringList recorded;
            for (const HistoryRecord& r : loadHistory(historyPath(backupFolder())).records)
                if (r.connection == identity) recorded << QString::fromStdString(r.tool + " " + r.action + " " + r.outcome);
            const QString expected = choice == QStringLiteral("Pozostaw")        ? QString()
                                     : choice == QStringLiteral("Dokończ zapis") ? QStringLiteral("Kavrel-Config dokończenie zapisany")
                                                                                 : QStringLiteral("Kavrel-Config przywrócenie zapisany");
            QCOMPARE(recorded, expected.isEmpty() ? QStringList() : QStringList{expected});
            if (choice == QStringLiteral("Pozostaw")) {
                QVERIFY(left.has_value());
                QCOMPARE(module.config->value("PIN"), std::string("4321"));   // half new, as the cut left it
                continue;
            }
            QVERIFY2(!left.has_value(), "a verified write ends the journal");
            QVERIFY(window.statusText().contains(QStringLiteral("weryfikacja OK")));
            const bool resumed = choice == QStringLiteral("Dokończ zapis");
            QCOMPARE(module.config->value("PIN"), resumed ? std::string("4321") : module.pinBefore);
            QCOMPARE(module.config->value("APN2"), std::string(resumed ? "internet.test" : ""));
            QCOMPARE(window.record().text(Field::Pin), resumed ? std::string("4321") : module.pinBefore);
        }
    }

    void anotherModuleAtTheAddressIsBackedUpAndAskedAbout() {
        for (const QString& choice : {QStringLiteral("Dokończ zapis"), QStringLiteral("Przywróć kopię")}) {
            CutModule module;
            module.cutAWrite();
            module.replaceByAnotherModule();
            std::error_code problem;
            const std::size_t backupsBefore = listBackups(backupFolder(), &problem).size();
            Ckonfigurator window(module.store, "");
            window.runner().setMessageHandler([](const QString&, MessageIcon) {});
            QStringList asked;
            window.runner().setQuestionHandler([&asked](const QString& text) {
                asked << text;
                return false;
            });
            QTimer::singleShot(0, [choice] {
                auto* box = qobject_cast<CniedokonczonyZapis*>(QApplication::activeModalWidget());
                QVERIFY(box);
                for (auto* button : box->findChildren<QPushButton*>())
                    if (button->text() == choice) button->click();
            });
            window.offerUnfinishedWrite();
            window.runner().waitForFinished();
            QCOMPARE(asked.size(), 1);
            QVERIFY2(asked[0].contains(QStringLiteral("to może być inny moduł")), qPrintable(asked[0]));
            QCOMPARE(listBackups(backupFolder(), &problem).size(), backupsBefore + 1);
            QCOMPARE(module.config->value("SMS0"), std::string("Modul C"));
            QCOMPARE(module.config->value("PIN"), module.pinBefore);
            QVERIFY(!window.statusText().contains(QStringLiteral("weryfikacja OK")));
            QVERIFY(findUnfinishedWrite(backupFolder(), connectionIdentity(true, 1, "", "127.0.0.1", module.sim->port())));
        }
    }

    // A backup noted as read from another firmware is looked at before it goes back, as a
    // file is: the window asks, and "Anuluj" sends nothing.
    void aBackupFromAnotherFirmwareIsAskedAboutBeforeItIsRestored() {
        CutModule module;
        module.cutAWrite();
        const auto unfinished = findUnfinishedWrite(backupFolder(), connectionIdentity(true, 1, "", "127.0.0.1", module.sim->port()));
        QVERIFY(unfinished.has_value());
        SettingsImage backup;
        QVERIFY(loadSettingsFile(unfinished->journal.backupPath, backup) == FileResult::Ok);
        // Only the other firmware is known for it (the write noted this module's when it backed it up).
        std::filesystem::remove_all(std::filesystem::path(backupFolder()) / "wersje");
        QVERIFY(noteSettingsVersion(backupFolder(), backup, "Kavrel V2.0"));
        Ckonfigurator window(module.store, "");
        window.runner().setMessageHandler([](const QString&, MessageIcon) {});
        QString asked;
        auto* poll = new QTimer(&window);
        QObject::connect(poll, &QTimer::timeout, [&asked, poll] {
            QWidget* modal = QApplication::activeModalWidget();
            if (auto* box = qobject_cast<CniedokonczonyZapis*>(modal)) {
                for (auto* button : box->findChildren<QPushButton*>())
                    if (button->text() == QStringLiteral("Przywróć kopię")) button->click();
            } else if (auto* check = qobject_cast<CsprawdzeniePliku*>(modal)) {
                asked = check->text();
                poll->stop();
                for (auto* button : check->findChildren<QPushButton*>())
                    if (button->text() == QStringLiteral("Anuluj")) button->click();
            }
        });
        poll->start(10);
        window.offerUnfinishedWrite();
        window.runner().waitForFinished();
        QVERIFY2(asked.contains(QStringLiteral("Kavrel V2.0")), qPrintable(asked));
        QCOMPARE(module.config->value("PIN"), std::string("4321"));   // as the cut left it
        QVERIFY(findUnfinishedWrite(backupFolder(), connectionIdentity(true, 1, "", "127.0.0.1", module.sim->port())));
    }
};

QTEST_MAIN(UnfinishedWriteTest)
#include "unfinished_write_test.moc"
