#include "config/ui/dialogs/ccsd.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>

namespace kavrel::config::ui {
namespace {

struct ChoiceGroup {
    const char* title;
    std::vector<const char*> choices;
    int shift;     // position of the field in SCFG
    int mask;      // width of the field
    int largest;   // values above it select the last choice
};

// The five fields of SCFG: speed x 32 + parity x 8 + stop bits x 4 + character size x 2 + interface.
const std::array<ChoiceGroup, 5> kGroups = {{
    {"Interfejs", {"RS-232", "RS-485"}, 0, 1, 1},
    {"Prędkość", {"1200", "2400", "4800", "9600", "14400", "19200"}, 5, 7, 5},
    {"Znak", {"8-bit", "7-bit"}, 1, 1, 1},
    {"Parzystość", {"NONE", "EVEN", "ODD"}, 3, 3, 2},
    {"Bity STOP", {"1-bit", "2-bit"}, 2, 1, 1},
}};

} // namespace

Ccsd::Ccsd(const SettingsImage& record, QWidget* parent)
    : SettingsDialog(record, QStringLiteral("Konfiguracja portu szeregowego (CSD)"), parent) {
    const int scfg = record_.byte(Field::Scfg);
    auto* row = new QHBoxLayout;
    for (std::size_t g = 0; g < kGroups.size(); ++g) {
        const ChoiceGroup& group = kGroups[g];
        auto* box = new QGroupBox(QString::fromUtf8(group.title), this);
        auto* column = new QVBoxLayout(box);
        groups_[g] = new QButtonGroup(this);
        for (std::size_t c = 0; c < group.choices.size(); ++c) {
            auto* radio = new QRadioButton(QString::fromUtf8(group.choices[c]), box);
            groups_[g]->addButton(radio, static_cast<int>(c));
            column->addWidget(radio);
        }
        column->addStretch();
        const int value = std::min((scfg >> group.shift) & group.mask, group.largest);
        groups_[g]->button(value)->setChecked(true);
        row->addWidget(box);
    }
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(makeButtons());
}

void Ccsd::done(int result) {
    int scfg = 0;
    for (std::size_t g = 0; g < kGroups.size(); ++g) scfg |= groups_[g]->checkedId() << kGroups[g].shift;
    record_.setByte(Field::Scfg, static_cast<std::uint8_t>(scfg));
    SettingsDialog::done(result);
}

} // namespace kavrel::config::ui
