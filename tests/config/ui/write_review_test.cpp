// "Wyślij do modułu" as a technician uses it with "Pokaż zmiany przed wysłaniem" on: the
// module is read, the changes are shown with their captions, the old settings are kept
// as a backup, and "Kopie zapasowe..." brings them back.
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <cstdlib>
#include <functional>

#include "common/qt/operation_runner.h"
#include "config/model/backup_store.h"
#include "config/model/settings_file.h"
#include "config/model/write_history.h"
#include "config/model/write_journal.h"
#include "config/ui/dialogs/backups_dialog.h"
#include "config/ui/dialogs/changes_dialog.h"
#include "config/ui/dialogs/write_check_box.h"
#include "config/ui/kit/settings_dialog.h"
#include "config/ui/main_window.h"
#include "link/connection_settings.h"
#include "support/dialog_controls.h"
#include "support/sim_fixture.h"
#include "support/saved_connection.h"

using namespace kavrel;
using namespace kavrel::config;
using namespace kavrel::config::ui;
using kavrel::testing::captioned;
using kavrel::testing::fieldControl;
using kavrel::testing::namedControl;

namespace {

QPushButton* button(QWidget& window, const QString& text) { return captioned<QPushButton>(&window, text); }

// Runs `answer` on the next modal dialog of type Dialog as soon as it is shown.
template <typename Dialog>
void whenShown(std::function<void(Dialog*)> answer) {
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, answer] {
        auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
        if (!dialog) return;
        timer->stop();
        timer->deleteLater();
        answer(dialog);
    });
    timer->start(10);
}

QStringList rows(const Czmiany* dialog) {
    QStringList out;
    const auto* list = namedControl<QTreeWidget>(dialog, "changes");
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* row = list->topLevelItem(i);
        out << row->text(0) + " | " + row->text(1);
    }
    return out;
}

// The dialogs a button opens, edited as a user would.
void editInDialog(Ckonfigurator& window, const QString& buttonCaption, const QString& field, const QString& value) {
    QTimer::singleShot(0, [field, value] {
        QWidget* dialog = QApplication::activeModalWidget();
        fieldControl(dialog, field)->setText(value);
        static_cast<QDialog*>(dialog)->accept();
    });
    button(window, buttonCaption)->click();
}

} // namespace

class WriteReviewTest : public QObject {
    Q_OBJECT
    QTemporaryDir folder;
    QString backups;

private slots:
    void init() {
        backups = folder.filePath("kopie");
        QDir(backups).removeRecursively();
        ::setenv(kBackupFolderVariable, backups.toLocal8Bit().constData(), 1);
        QDir::setCurrent(folder.path());
    }

    void changesAreShownTheOldSettingsKeptAndRestoredFromTheBackup() {
        kavrel::testing::SimFixture sim;
        MemoryStore store;
        kavrel::testing::saveConnection(store, {1, true, "127.0.0.1", static_cast<std::uint32_t>(sim.port())});
        Ckonfigurator window(store, "");
        QStringList boxes;
        window.runner().setMessageHandler([&](const QString& t, MessageIcon) { boxes << t; });
        QVERIFY(namedControl<QCheckBox>(&window, "showChanges")->isChecked());  // on by default

        window.readFromModule();
        window.runner().waitForFinished();
        const SettingsImage before = window.record();
        const std::string oldNumber = before.phoneNumber(3);
        editInDialog(window, "Ustawienia ogólne", "NUM3", "+48600111222");
        editInDialog(window, "Linie wejściowe L1...L8", "ULO2", "1234");

        QStringList shown;
        whenShown<Czmiany>([&](Czmiany* dialog) {
            shown = rows(dialog);
            captioned<QPushButton>(dialog, "Wyślij")->click();
        });
        button(window, "Wyślij do modułu")->click();
        window.runner().waitForFinished();
        QCOMPARE(shown, (QStringList{"Ustawienia ogólne: Numer 3 | NUM3", "Linie wejściowe L1...L8: Linia L2, próg dolny | ULO2"}));
        QVERIFY2(boxes.isEmpty(), qPrintable(boxes.join(" | ")));
        QVERIFY2(window.statusText().contains("\nweryfikacja OK"), qPrintable(window.statusText()));

        const auto kept = listBackups(backups.toStdString());
        QCOMPARE(kept.size(), std::size_t{1});
        SettingsImage backup;
        QVERIFY(loadSettingsFile(kept[0].path, backup) == FileResult::Ok);
        QVERIFY(backup == before);
        QCOMPARE(QFile(QString::fromStdString(kept[0].path)).size(), qint64(kSettingsSize));
        // The write's record in the history: the window's, with what it changed and its outcome.
        const auto history = loadHistory(historyPath(backups.toStdString())).records;
        QCOMPARE(history.size(), std::size_t{1});
        QCOMPARE(history[0].tool + " " + history[0].action + " " + history[0].outcome, std::string("Kavrel-Config zapis zapisany"));
        QVERIFY(history[0].changes && history[0].changes->size() == 2 && (*history[0].changes)[0].key == "NUM3");
        QCOMPARE(history[0].hashBefore, settingsHash(before));

        // A write cancelled at the list sends nothing and keeps no backup.
        whenShown<Czmiany>([](Czmiany* dialog) { captioned<QPushButton>(dialog, "Anuluj")->click(); });
        window.sendToModule();
        window.runner().waitForFinished();
        QCOMPARE(window.statusText(), QString("Wysyłanie ustawień anulowane"));
        QCOMPARE(listBackups(backups.toStdString()).size(), std::size_t{1});

        // The backup opened into the window and sent brings the module back.
        whenShown<Ckopie>([](Ckopie* dialog) { captioned<QPushButton>(dialog, "Otwórz")->click(); });
        button(window, "Kopie zapasowe...")->click();
        QVERIFY(window.record() == before);
        whenShown<Czmiany>([&](Czmiany* dialog) {
            shown = rows(dialog);
            captioned<QPushButton>(dialog, "Wyślij")->click();
        });
        window.sendToModule();
        window.runner().waitForFinished();
        QCOMPARE(shown.size(), 2);
        window.record().clear();
        window.readFromModule();
        window.runner().waitForFinished();
        QCOMPARE(window.record().phoneNumber(3), oldNumber);
        QCOMPARE(window.record().word(Field::Ulo, 2), before.word(Field::Ulo, 2));

        // The choice is the user's and stays so.
        namedControl<QCheckBox>(&window, "showChanges")->setChecked(false);
        Ckonfigurator again(store, "");
        QVERIFY(!namedControl<QCheckBox>(&again, "showChanges")->isChecked());
    }

    // A file saved from a module of another firmware is checked before it is sent, and the
    // check outlives an edit, whether the file came from "Odczytaj z dysku" or was the one
    // the program started with; with and without the list of changes.
    void aFileOfAnotherFirmwareIsCheckedHoweverItWasOpened() {
        const QString path = folder.filePath("stary.kvl");
        {
            kavrel::testing::SimFixture older({.versionText = "Kavrel V2.0"});
            MemoryStore store;
            kavrel::testing::saveConnection(store, {1, true, "127.0.0.1", static_cast<std::uint32_t>(older.port())});
            Ckonfigurator window(store, "");
            window.readFromModule();
            window.runner().waitForFinished();
            QVERIFY(window.saveToDisk(path));
        }
        auto lines = std::make_shared<std::vector<std::string>>();
        kavrel::testing::SimFixture module({.lineLog = lines});
        MemoryStore store;
        kavrel::testing::saveConnection(store, {1, true, "127.0.0.1", static_cast<std::uint32_t>(module.port())});
        for (const bool atStart : {true, false}) {
            for (const bool showChanges : {true, false}) {
                Ckonfigurator window(store, atStart ? path : QString());
                if (!atStart) QVERIFY(window.loadFromDisk(path));
                QStringList boxes;
                window.runner().setMessageHandler([&](const QString& t, MessageIcon) { boxes << t; });
                namedControl<QCheckBox>(&window, "showChanges")->setChecked(showChanges);
                editInDialog(window, "Ustawienia ogólne", "NUM3", "+48600111222");
                QString asked;
                whenShown<CsprawdzeniePliku>([&](CsprawdzeniePliku* box) {
                    asked = box->text();
                    captioned<QPushButton>(box, "Anuluj")->click();
                });
                lines->clear();
                window.sendToModule();
                window.runner().waitForFinished();
                const QString how = QString("%1, changes %2").arg(atStart ? "start-up file" : "opened file").arg(showChanges);
                QVERIFY2(asked.contains("Kavrel V2.0"), qPrintable(how + ": " + asked));
                QCOMPARE(window.statusText(), QString("Wysyłanie ustawień anulowane"));
                QVERIFY2(boxes.isEmpty(), qPrintable(boxes.join(" | ")));
                for (const std::string& line : *lines)
                    QVERIFY2(line.ends_with("?") || line == "HALT!" || line == "DEBUG=0", line.c_str());
            }
        }
    }

    void nothingToChangeIsSaidAndNotSentByEnter() {
        Czmiany dialog({}, Czmiany::Purpose::BeforeWrite);
        QVERIFY(namedControl<QLabel>(&dialog, "summary")->text().startsWith("Ustawienia w module są takie same jak w oknie"));
        QVERIFY(!captioned<QPushButton>(&dialog, "Wyślij")->isDefault());
        QVERIFY(captioned<QPushButton>(&dialog, "Anuluj")->isDefault());
    }

    void comparingWithAFileListsTheDifferingFields() {
        MemoryStore store;
        Ckonfigurator window(store, "");
        SettingsImage file = window.record();
        file.setText(Field::Apn, 0, "internet");
        const QString path = folder.filePath("inny.kvl");
        QVERIFY(saveSettingsFile(path.toStdString(), file) == FileResult::Ok);
        QStringList shown;
        whenShown<Czmiany>([&](Czmiany* dialog) {
            shown = rows(dialog);
            shown << namedControl<QLabel>(dialog, "summary")->text();
            dialog->reject();
        });
        window.compareWithFile(path);
        QCOMPARE(shown, (QStringList{"Dostęp do Internetu: Nazwa APN | APN0",
                                     "Ustawienia w oknie i w pliku inny.kvl różnią się w: 1 pole"}));
    }
};

QTEST_MAIN(WriteReviewTest)
#include "write_review_test.moc"
