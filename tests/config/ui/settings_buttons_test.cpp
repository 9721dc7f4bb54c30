// The main window's settings buttons open the dialogs built here, hand them the window's
// record and take it back only on "Wprowadź".
#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>

#include "common/settings_store.h"
#include "support/dialog_controls.h"
#include "config/ui/kit/settings_dialog.h"
#include "config/ui/main_window.h"

using namespace kavrel;
using namespace kavrel::config;
using namespace kavrel::config::ui;
using namespace kavrel::testing;

namespace {

struct ButtonCase {
    const char* caption;
    const char* dialogClass;
    std::function<void(QWidget* dialog)> change;
    std::function<bool(const SettingsImage& record)> changed;
};

const ButtonCase kCases[] = {
    {"Ustawienia ogólne", "kavrel::config::ui::Custaw_ogolne",
     [](QWidget* d) { fieldControl(d, "PIN")->setText("4321"); },
     [](const SettingsImage& r) { return r.text(Field::Pin) == "4321"; }},
    {"Uprawnienia numerów", "kavrel::config::ui::Cuprawnienia",
     [](QWidget* d) { bitControl(d, Field::Clip2, 0, 1)->setChecked(true); },
     [](const SettingsImage& r) { return r.byte(Field::Clip2) == 0x02; }},
    {"Teksty powiadomień", "kavrel::config::ui::Cteksty",
     [](QWidget* d) { fieldControl(d, "SMS9")->setText("Stan @LINS"); },
     [](const SettingsImage& r) { return r.text(Field::Sms, 9) == "Stan @LINS"; }},
    {"Skalowanie (S)", "kavrel::config::ui::Cskalowanie",
     [](QWidget* d) { fieldControl(d, "SCLA1")->setText("-5"); },
     [](const SettingsImage& r) { return r.word(Field::Scla, 1) == 0xFFFB; }},
};

// Presses the window's button; while its dialog is open, changes a field and leaves it by
// `leaveWith`. Returns the class name of the dialog that was open.
QString runDialog(QWidget& window, const ButtonCase& c, const QString& leaveWith) {
    QString opened;
    QTimer::singleShot(0, &window, [&] {
        QWidget* dialog = QApplication::activeModalWidget();
        if (!dialog) return;
        opened = QString::fromLatin1(dialog->metaObject()->className());
        c.change(dialog);
        captioned<QPushButton>(dialog, leaveWith)->click();
    });
    captioned<QPushButton>(&window, QString::fromUtf8(c.caption))->click();
    return opened;
}

} // namespace

class SettingsButtonsTest : public QObject {
    Q_OBJECT
    QTemporaryDir folder;

private slots:
    void initTestCase() { QDir::setCurrent(folder.path()); }  // no default.kvl there

    void eachButtonOpensItsDialogOnTheWindowsRecord() {
        MemoryStore store;
        Ckonfigurator window(store, "");
        window.show();
        for (const ButtonCase& c : kCases) {
            const SettingsImage before = window.record();
            QCOMPARE(runDialog(window, c, "Anuluj"), QString(c.dialogClass));
            QVERIFY2(window.record() == before, c.caption);
            QCOMPARE(runDialog(window, c, "Wprowadź"), QString(c.dialogClass));
            QVERIFY2(c.changed(window.record()), c.caption);
        }
    }
};

QTEST_MAIN(SettingsButtonsTest)
#include "settings_buttons_test.moc"
