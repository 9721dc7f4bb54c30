#include "config/ui/dialogs/scaling_dialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "common/qt/fields/field_edits.h"

namespace kavrel::config::ui {
namespace {

// Symmetric, so -32768 cannot be entered although the record could hold it.
constexpr int kLimit = 32767;

kavrel::ui::NumberEdit* factorEdit(const SettingsImage& record, Field field, int line) {
    auto* edit = new kavrel::ui::NumberEdit(-kLimit, kLimit);
    edit->setObjectName(QStringLiteral("%1%2").arg(QString::fromLatin1(fieldInfo(field).key)).arg(line));
    edit->setNumber(record.signedWord(field, line));
    return edit;
}

} // namespace

Cskalowanie::Cskalowanie(const SettingsImage& record, QWidget* parent)
    : SettingsDialog(record, QStringLiteral("Współczynniki skalowania wyników pomiarów (S)"), parent) {
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(8);
    for (int line = 1; line <= 8; ++line) {
        const int row = line - 1;
        const auto index = static_cast<std::size_t>(row);
        factorsA_[index] = factorEdit(record_, Field::Scla, line);
        offsetsB_[index] = factorEdit(record_, Field::Sclb, line);
        grid->addWidget(new QLabel(QStringLiteral("Linia L%1").arg(line)), row, 0);
        grid->addWidget(new QLabel(QStringLiteral("A=")), row, 1, Qt::AlignRight);
        grid->addWidget(factorsA_[index], row, 2);
        grid->addWidget(new QLabel(QStringLiteral("B=")), row, 3, Qt::AlignRight);
        grid->addWidget(offsetsB_[index], row, 4);
    }
    // Checked row by row, as the fields are read.
    for (std::size_t i = 0; i < factorsA_.size(); ++i) {
        addChecked(factorsA_[i]);
        addChecked(offsetsB_[i]);
    }
    auto* formula = new QLabel(QStringLiteral("y=Ax/1000 + B\n\n(A,B=-32767...+32767)"));
    formula->setAlignment(Qt::AlignCenter);
    grid->addWidget(formula, 0, 5, 8, 1);
    grid->setColumnMinimumWidth(5, formula->sizeHint().width() + 24);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(makeButtons());
}

void Cskalowanie::writeBack() {
    // The checks have kept every value within 16 bits with its sign.
    for (int line = 1; line <= 8; ++line) {
        const auto index = static_cast<std::size_t>(line - 1);
        record_.setWord(Field::Scla, line, static_cast<std::uint16_t>(*factorsA_[index]->number()));
        record_.setWord(Field::Sclb, line, static_cast<std::uint16_t>(*offsetsB_[index]->number()));
    }
}

} // namespace kavrel::config::ui
