// The checks every settings dialog makes before anything is written back.
#include <QTest>
#include <QDialogButtonBox>
#include <QVBoxLayout>

#include "common/qt/fields/field_checks.h"
#include "common/qt/fields/field_edits.h"
#include "config/ui/dialog_gallery.h"
#include "config/ui/kit/bit_boxes.h"
#include "config/ui/kit/settings_dialog.h"

using namespace kavrel::config;
using namespace kavrel::config::ui;
using namespace kavrel::ui;

namespace {

class SampleDialog : public SettingsDialog {
public:
    explicit SampleDialog(const SettingsImage& record) : SettingsDialog(record, "Próba", nullptr) {
        auto* layout = new QVBoxLayout(this);
        slim = new NumberEdit(0, 255, this);
        pin = new TextEdit(8, this);
        box = new QCheckBox("MCFG2 bit 4", this);
        for (QWidget* w : {static_cast<QWidget*>(slim), static_cast<QWidget*>(pin), static_cast<QWidget*>(box)})
            layout->addWidget(w);
        layout->addWidget(makeButtons());
        addChecked(slim);
        addChecked(pin);
        slim->setNumber(record.byte(Field::Slim));
        fillBitBoxes(bits(), record);
    }
    std::array<BitBox, 1> bits() const { return {{{box, Field::Mcfg2, 0, 4}}}; }
    void writeBack() override {
        record_.setByte(Field::Slim, static_cast<std::uint8_t>(*slim->number()));
        collectBitBoxes(bits(), record_);
    }
    NumberEdit* slim;
    TextEdit* pin;
    QCheckBox* box;
};

} // namespace

class DialogKitTest : public QObject {
    Q_OBJECT
    QStringList problems;

private slots:
    void init() {
        problems.clear();
        setFieldProblemHandler([this](QWidget*, const QString& m) { problems << m; });
    }

    // Every text field full and every hour mask set: each dialog shows its texts from
    // their beginning, not scrolled to their end.
    void longTextsAreShownFromTheirBeginning() {
        SettingsImage record;
        for (const FieldInfo& info : fieldTable()) {
            if (info.kind != FieldKind::Text && info.kind != FieldKind::HourMask) continue;
            for (int n = info.first; n <= info.last(); ++n) {
                auto element = record.element(info.id, n);
                const std::size_t length = info.kind == FieldKind::HourMask ? 3 : element.size();
                std::fill_n(element.begin(), length, info.kind == FieldKind::HourMask ? 0xFF : '8');
            }
        }
        for (const GalleryEntry& entry : dialogGallery()) {
            std::unique_ptr<QWidget> dialog(entry.make(record));
            if (!qobject_cast<SettingsDialog*>(dialog.get())) continue;  // the main window, the code list
            dialog->show();
            for (QLineEdit* edit : dialog->findChildren<QLineEdit*>())
                QVERIFY2(edit->cursorPosition() == 0,
                         qPrintable(QString("%1: %2").arg(entry.name, edit->objectName())));
        }
    }

    void refusedNumbersKeepTheDialogOpenAndTheRecordUnchanged() {
        SettingsImage record;
        record.setByte(Field::Slim, 7);
        SampleDialog dialog(record);
        for (const auto& [typed, message] :
             std::initializer_list<std::pair<QString, QString>>{{"abc", "Please enter an integer."},
                                                                {"", "Please enter an integer."},
                                                                {"256", "Please enter an integer between 0 and 255."},
                                                                {"-1", "Please enter an integer between 0 and 255."}}) {
            problems.clear();
            dialog.slim->setText(typed);
            dialog.accept();
            QCOMPARE(problems, QStringList{message});
            QCOMPARE(dialog.result(), 0);
            QCOMPARE(dialog.record().byte(Field::Slim), 7);
        }
        dialog.slim->setText(" 200 ");
        dialog.accept();
        QVERIFY(problems.size() == 4 - 3);  // nothing new
        QCOMPARE(dialog.result(), static_cast<int>(QDialog::Accepted));
        QCOMPARE(dialog.record().byte(Field::Slim), 200);
    }

    void textEditsTakeNoMoreThanTheirLimit() {
        SampleDialog dialog{SettingsImage{}};
        dialog.pin->setText("123456789");
        QCOMPARE(dialog.pin->text(), QString("12345678"));
        QCOMPARE(textLengthMessage(8), QString("Please enter no more than 8 characters."));
    }

    // A letter the module's code page has no byte for would be stored as "?": every text
    // field of every settings dialog refuses it at "Wprowadź", naming it, and keeps the
    // dialog open; Polish letters and the code page's own "?" pass.
    void textsOutsideTheCodePageAreRefusedInEveryDialog() {
        const QString outside = QString::fromUtf8("Ж✓😀");
        QCOMPARE(charactersOutsideCodePage(QString::fromUtf8("aЖb✓Ж😀?ł")), QString::fromUtf8("Ж ✓ 😀"));
        int checked = 0;
        for (const GalleryEntry& entry : dialogGallery()) {
            std::unique_ptr<QWidget> widget(entry.make(SettingsImage{}));
            auto* dialog = qobject_cast<SettingsDialog*>(widget.get());
            if (!dialog) continue;
            for (TextEdit* edit : dialog->findChildren<TextEdit*>()) {
                if (!edit->isEnabled() || edit->isReadOnly()) continue;
                const QString before = edit->text();
                problems.clear();
                edit->setText(outside + QString::fromUtf8("ż"));   // a short field keeps only the first ones
                const QString kept = charactersOutsideCodePage(edit->text());
                dialog->accept();
                const QString where = QString::fromUtf8(entry.name) + ": " + edit->objectName();
                QVERIFY2(!kept.isEmpty() && problems == QStringList{codePageMessage(kept)},
                         qPrintable(where + " " + problems.join(" | ")));
                QVERIFY2(dialog->result() != QDialog::Accepted, qPrintable(where));
                edit->setText(before);
                ++checked;
            }
        }
        QVERIFY(checked > 20);
        problems.clear();
        SampleDialog dialog{SettingsImage{}};
        dialog.slim->setText("1");
        dialog.pin->setText(QString::fromUtf8("Łódź?"));
        dialog.accept();
        QCOMPARE(problems.size(), 0);
        QCOMPARE(dialog.result(), static_cast<int>(QDialog::Accepted));
    }

    void bitBoxesChangeOnlyTheirOwnBits() {
        SettingsImage record;
        record.setByte(Field::Mcfg2, 0x6D);  // bit 4 clear, others mixed
        SampleDialog dialog(record);
        QVERIFY(!dialog.box->isChecked());
        dialog.box->setChecked(true);
        dialog.accept();
        QCOMPARE(dialog.record().byte(Field::Mcfg2), 0x7D);
    }

    void cancelLeavesTheCallersRecordAlone() {
        SettingsImage record;
        record.setByte(Field::Slim, 9);
        SampleDialog dialog(record);
        dialog.slim->setText("10");
        dialog.reject();
        QCOMPARE(record.byte(Field::Slim), 9);
        QCOMPARE(dialog.result(), static_cast<int>(QDialog::Rejected));
    }
};

QTEST_MAIN(DialogKitTest)
#include "dialog_kit_test.moc"
