#include "config/ui/dialogs/notification_texts_dialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "common/qt/fields/field_edits.h"
#include "common/qt/qt_text.h"
#include "config/ui/dialogs/variable_codes_dialog.h"

namespace kavrel::config::ui {
namespace {

constexpr int kTextLength = 160;

// The rows in the order they are shown, each with the SMS text it edits.
struct TextRow {
    const char* caption;
    int sms;
};

constexpr TextRow kRows[] = {
    {"Linia L1", 1}, {"Linia L2", 2}, {"Linia L3", 3}, {"Linia L4", 4},
    {"Linia L5", 5}, {"Linia L6", 6}, {"Linia L7", 7}, {"Linia L8", 8},
    {"Raport\nokresowy", 0}, {"Raport\nna żądanie", 9},
};

} // namespace

Cteksty::Cteksty(const SettingsImage& record, QWidget* parent)
    : SettingsDialog(record, QStringLiteral("Teksty powiadomień SMS / e-mail"), parent) {
    auto* grid = new QGridLayout;
    int row = 0;
    for (const TextRow& text : kRows) {
        auto* edit = new kavrel::ui::TextEdit(kTextLength);
        edit->setObjectName(QStringLiteral("SMS%1").arg(text.sms));
        // About half a text in view; the rest scrolls within the edit.
        edit->setMinimumWidth(edit->fontMetrics().horizontalAdvance(QString(kTextLength / 2, QLatin1Char('x'))));
        edit->setText(toQString(record_.text(Field::Sms, text.sms)));
        texts_[static_cast<std::size_t>(text.sms)] = edit;
        grid->addWidget(new QLabel(QString::fromUtf8(text.caption)), row, 0);
        grid->addWidget(edit, row, 1);
        addChecked(edit);
        ++row;
    }

    // The help sits apart from the buttons that close the dialog.
    auto* codes = new QPushButton(QStringLiteral("Kody..."));
    codes->setAutoDefault(false);
    connect(codes, &QPushButton::clicked, this, [this] { Ckody(this).exec(); });
    auto* buttonRow = new QHBoxLayout;
    buttonRow->addWidget(codes);
    buttonRow->addStretch();
    buttonRow->addWidget(makeButtons());

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttonRow);
}

void Cteksty::writeBack() {
    for (int sms = 0; sms < static_cast<int>(texts_.size()); ++sms)
        record_.setText(Field::Sms, sms, fromQString(texts_[static_cast<std::size_t>(sms)]->text()));
}

} // namespace kavrel::config::ui
