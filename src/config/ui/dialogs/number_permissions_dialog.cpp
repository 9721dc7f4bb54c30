#include "config/ui/dialogs/number_permissions_dialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QVBoxLayout>
#include <optional>

namespace kavrel::config::ui {
namespace {

// One row of the grid: numbers 1..5 are bits 0..4 of one byte, numbers 6..10 bits 0..4 of
// another, "DOWOLNY" (any caller) bit 7 of the first.
struct PermissionRow {
    const char* caption;
    Field numbers1to5;
    std::optional<Field> numbers6to10;
    bool anyCaller;
    bool editable;
};

constexpr PermissionRow kRows[] = {
    {"Raport okresowy\nwysyłany na numery", Field::Rcfg1, Field::Rcfg3, false, true},
    {"Raport na żądanie\n(CLIP) z numerów", Field::Clip1, Field::Clip2, true, true},
    {"Sterowanie SMS\nz numerów", Field::Ctrl1, Field::Ctrl2, true, true},
    {"Połączenie CSD\nz numerów", Field::Csdc, std::nullopt, true, false},
};

constexpr int kAnyCallerBit = 7;
constexpr int kAnyCallerColumn = 11;

} // namespace

Cuprawnienia::Cuprawnienia(const SettingsImage& record, QWidget* parent)
    : SettingsDialog(record, QStringLiteral("Uprawnienia numerów"), parent) {
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(10);
    for (int number = 1; number <= 10; ++number)
        grid->addWidget(new QLabel(QString::number(number)), 0, number, Qt::AlignHCenter);
    grid->addWidget(new QLabel(QStringLiteral("DOWOLNY")), 0, kAnyCallerColumn, Qt::AlignHCenter);

    int row = 1;
    for (const PermissionRow& permission : kRows) {
        grid->addWidget(new QLabel(QString::fromUtf8(permission.caption)), row, 0);
        auto place = [&](int column, Field field, int bit) {
            auto* box = new QCheckBox;
            box->setEnabled(permission.editable);
            grid->addWidget(box, row, column, Qt::AlignHCenter);
            bits_.push_back({box, field, 0, bit});
        };
        for (int number = 1; number <= 5; ++number)
            place(number, permission.numbers1to5, number - 1);
        if (permission.numbers6to10)
            for (int number = 6; number <= 10; ++number)
                place(number, *permission.numbers6to10, number - 6);
        if (permission.anyCaller)
            place(kAnyCallerColumn, permission.numbers1to5, kAnyCallerBit);
        ++row;
    }

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(makeButtons());
    nameBitBoxes(bits_);
    fillBitBoxes(bits_, record_);
}

void Cuprawnienia::writeBack() {
    // The seven bytes belong to this dialog whole: bits without a box become 0. RCFG value
    // 2 (the e-mail recipients) belongs to the e-mail dialog and is not one of them.
    for (const PermissionRow& permission : kRows) {
        record_.setByte(permission.numbers1to5, 0);
        if (permission.numbers6to10) record_.setByte(*permission.numbers6to10, 0);
    }
    collectBitBoxes(bits_, record_);
}

} // namespace kavrel::config::ui
