// "Teksty powiadomień SMS / e-mail" and the help of the variable codes it opens.
#include <QApplication>
#include <QGridLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTimer>
#include <QTest>

#include "common/win1250.h"
#include "support/dialog_controls.h"
#include "config/ui/dialogs/notification_texts_dialog.h"
#include "config/ui/dialogs/variable_codes_dialog.h"

using namespace kavrel;
using namespace kavrel::config;
using namespace kavrel::config::ui;
using namespace kavrel::testing;

class NotificationTextsDialogTest : public QObject {
    Q_OBJECT

private slots:
    void rowsEditTheirOwnTexts() {
        SettingsImage record;
        for (int sms = 0; sms <= 9; ++sms) record.setText(Field::Sms, sms, "tekst " + std::to_string(sms));
        record.setText(Field::Sms, 7, "dwie\r\nlinie\x81");  // a line break and an undefined byte survive too
        Cteksty dialog(record);
        QCOMPARE(fieldControl(&dialog, "SMS0")->text(), QString("tekst 0"));
        QCOMPARE(fieldControl(&dialog, "SMS9")->text(), QString("tekst 9"));
        // "Raport okresowy" is SMS0, "Raport na żądanie" SMS9, "Linia L3" SMS3.
        const auto* grid = dialog.findChild<QGridLayout*>();
        auto captionOf = [&](const char* name) {
            int row, column, rows, columns;
            grid->getItemPosition(grid->indexOf(fieldControl(&dialog, name)), &row, &column, &rows, &columns);
            return static_cast<QLabel*>(grid->itemAtPosition(row, 0)->widget())->text();
        };
        QCOMPARE(captionOf("SMS0"), QString("Raport\nokresowy"));
        QCOMPARE(captionOf("SMS9"), QString("Raport\nna żądanie"));
        QCOMPARE(captionOf("SMS3"), QString("Linia L3"));
        dialog.accept();
        QVERIFY(dialog.record() == record);
    }

    void fullTextHasNoTerminatorAndLongerIsCut() {
        const QString full(160, QLatin1Char('a'));
        Cteksty dialog{SettingsImage{}};
        fieldControl(&dialog, "SMS4")->setText(full + "b");
        QCOMPARE(fieldControl(&dialog, "SMS4")->text(), full);
        fieldControl(&dialog, "SMS5")->setText("krótki");
        dialog.accept();
        const auto field = dialog.record().element(Field::Sms, 4);
        QVERIFY(std::all_of(field.begin(), field.end(), [](std::uint8_t b) { return b == 'a'; }));
        const auto shorter = dialog.record().element(Field::Sms, 5);
        QCOMPARE(dialog.record().text(Field::Sms, 5), W("krótki"));
        QVERIFY(std::all_of(shorter.begin() + 6, shorter.end(), [](std::uint8_t b) { return b == 0; }));
        Cteksty reopened(dialog.record());
        QCOMPARE(fieldControl(&reopened, "SMS4")->text(), full);
        QCOMPARE(fieldControl(&reopened, "SMS5")->text(), QString("krótki"));
    }

    void codesPolishLettersAndSeparatorsAreStoredInWindows1250() {
        Cteksty dialog{SettingsImage{}};
        fieldControl(&dialog, "SMS1")->setText("Alarm @NL: @UL | Zażółć gęślą jaźń €");
        dialog.accept();
        const std::string stored = dialog.record().text(Field::Sms, 1);
        QCOMPARE(stored, W("Alarm @NL: @UL | Zażółć gęślą jaźń €"));
        QCOMPARE(static_cast<std::uint8_t>(stored[stored.size() - 1]), 0x80);  // the euro sign
    }

    void erasedTextsShowEmpty() {
        SettingsImage record;
        for (int sms = 0; sms <= 9; ++sms) {
            auto field = record.element(Field::Sms, sms);
            std::fill(field.begin(), field.end(), 0xFF);
        }
        Cteksty dialog(record);
        for (int sms = 0; sms <= 9; ++sms) QVERIFY(fieldControl(&dialog, QString("SMS%1").arg(sms))->text().isEmpty());
    }

    void cancelKeepsAllTexts() {
        SettingsImage record;
        record.setText(Field::Sms, 2, "Linia 2 alarm");
        const SettingsImage original = record;
        Cteksty dialog(record);
        fieldControl(&dialog, "SMS2")->setText("zmiana");
        fieldControl(&dialog, "SMS0")->setText("nowy");
        dialog.reject();
        QVERIFY(record == original);
    }

    void helpTextHasItsEightyEightLines() {
        const QString text = variableCodesText();
        QVERIFY(text.endsWith("\r\n"));
        // Two entries continue on a second row, so the text has 90 rows.
        const QStringList rows = text.chopped(2).split("\r\n");
        QCOMPARE(rows.size(), 90);
        QCOMPARE(rows.first(), QString("@NL - numer pobudzonej linii (1...8)"));
        QCOMPARE(rows[3], QString());
        QCOMPARE(rows[16], QString("@S9, @P9, @Q9, @V9, @B9 - stan wejścia C1"));
        QCOMPARE(rows[17], QString("      (analogicznie jak stan linii Lx)"));
        QCOMPARE(rows[70], QString("@SKO - stan konta \"prepaid\" na karcie SIM"));
        QCOMPARE(rows[88], QString("| - podział tekstu na dwie/trzy wiadomości (HL | LH | Norm)"));
        QCOMPARE(rows[89], QString("      lub na dwa/trzy ekrany wyświetlacza LCD"));
        QCOMPARE(rows.count(QString()), 9);
    }

    void codesButtonOpensTheSameHelpEveryTime() {
        Cteksty dialog{SettingsImage{}};
        dialog.show();
        QStringList shown;
        for (int opening = 0; opening < 2; ++opening) {
            QTimer::singleShot(0, this, [&] {
                auto* codes = qobject_cast<Ckody*>(QApplication::activeModalWidget());
                QVERIFY(codes);
                QCOMPARE(codes->windowTitle(), QString("Kody zmiennych w tekstach powiadomień SMS / e-mail"));
                auto* view = codes->findChild<QPlainTextEdit*>();
                QVERIFY(view->isReadOnly());
                shown << view->toPlainText();
                captioned(codes, "Zamknij")->click();
            });
            captioned(&dialog, "Kody...")->click();
        }
        QCOMPARE(shown.size(), 2);
        QCOMPARE(shown[0], shown[1]);
        QCOMPARE(shown[0], variableCodesText().replace("\r\n", "\n"));
        QVERIFY(dialog.isVisible());  // the help changes nothing in the calling dialog
        QCOMPARE(dialog.result(), 0);
    }
};

QTEST_MAIN(NotificationTextsDialogTest)
#include "notification_texts_dialog_test.moc"
