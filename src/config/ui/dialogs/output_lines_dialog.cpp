#include "config/ui/dialogs/output_lines_dialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <bit>

#include "config/ui/kit/field_names.h"

namespace kavrel::config::ui {
namespace {

constexpr std::uint8_t kRemanence = 0x01;  // bit 0
constexpr std::uint8_t kSignalBit = 0x02;  // bit 1: follows an input line's state
constexpr std::uint8_t kHeatingBit = 0x04; // bit 2 (also guard hours on O4, alarm state on O6)
constexpr std::uint8_t kCoolingBit = 0x08; // bit 3
constexpr int kBuzzerBit = 6;              // of MCFG2

struct OutputCaptions {
    const char* signal;
    const char* thermostat;  // group of "Grzanie" and "Chłodzenie", or null
    const char* extra;       // the bit-2 box of O4 and O6, or null
};

constexpr std::array<OutputCaptions, Clinie_wyjsciowe::kOutputs> kOutputCaptions = {{
    {"Sygnalizacja L1(L)", "Termostat L1-O1", nullptr},
    {"Sygnalizacja L1(H)", nullptr, nullptr},
    {"Sygnalizacja L2(L)", "Termostat L2-O3", nullptr},
    {"Sygnalizacja L2(H)", nullptr, "O4: sygn. godzin czuwania"},
    {"Sygnalizacja L5(L)", "Termostat L5-O5", nullptr},
    {"Sygnalizacja L5(H)", nullptr, "O6: sygn. stanu alarmowego"},
}};

void setBox(QCheckBox* box, std::uint8_t value, std::uint8_t mask) {
    if (box) box->setChecked(value & mask);
}

bool ticked(const QCheckBox* box) { return box && box->isChecked(); }

} // namespace

Clinie_wyjsciowe::Clinie_wyjsciowe(const SettingsImage& record, QWidget* parent)
    : SettingsDialog(record, QStringLiteral("Konfiguracja linii wyjściowych"), parent) {
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(12);
    addOutputRows(grid);
    // O6's alarm-state box and the signalling time form the group beside row O6.
    grid->addWidget(makeAlarmGroup(), kOutputs - 1, 3, 2, 1);
    grid->addWidget(makeBuzzerGroup(), kOutputs, 0, 1, 3, Qt::AlignBottom | Qt::AlignLeft);
    nameBoxes();

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(makeButtons());
    fill();

    for (const OutputRow& row : rows_)
        if (row.exclusive)
            connect(row.exclusive, &QButtonGroup::idToggled, this,
                    [group = row.exclusive](int id, bool checked) { keepOneTicked(group, id, checked); });
}

// One row per output: its label, its boxes, and the thermostat group or the extra box
// beside them (O6's extra box goes into the alarm group instead).
void Clinie_wyjsciowe::addOutputRows(QGridLayout* grid) {
    for (int n = 1; n <= kOutputs; ++n) {
        const OutputCaptions& captions = kOutputCaptions[static_cast<std::size_t>(n - 1)];
        OutputRow& row = rows_[static_cast<std::size_t>(n - 1)];
        const int r = n - 1;
        grid->addWidget(new QLabel(QStringLiteral("Wyjście O%1").arg(n), this), r, 0);
        row.remanence = new QCheckBox(QStringLiteral("Remanencja"), this);
        row.signal = new QCheckBox(QString::fromUtf8(captions.signal), this);
        grid->addWidget(row.remanence, r, 1);
        grid->addWidget(row.signal, r, 2);
        if (captions.thermostat) {
            auto* group = new QGroupBox(QString::fromUtf8(captions.thermostat), this);
            auto* boxes = new QHBoxLayout(group);
            boxes->setContentsMargins(8, 2, 8, 2);
            row.heating = new QCheckBox(QStringLiteral("Grzanie"), group);
            row.cooling = new QCheckBox(QStringLiteral("Chłodzenie"), group);
            boxes->addWidget(row.heating);
            boxes->addWidget(row.cooling);
            grid->addWidget(group, r, 3);
            row.exclusive = new QButtonGroup(this);
            row.exclusive->setExclusive(false);
            row.exclusive->addButton(row.signal, kSignal);
            row.exclusive->addButton(row.heating, kHeating);
            row.exclusive->addButton(row.cooling, kCooling);
        }
        if (captions.extra) row.extra = new QCheckBox(QString::fromUtf8(captions.extra), this);
        if (captions.extra && n != kOutputs) grid->addWidget(row.extra, r, 3);
    }
}

QGroupBox* Clinie_wyjsciowe::makeAlarmGroup() {
    auto* alarmGroup = new QGroupBox(QStringLiteral("Stan alarmowy na O6"), this);
    auto* alarmLayout = new QGridLayout(alarmGroup);
    alarmLayout->addWidget(rows_[kOutputs - 1].extra, 0, 0, 1, 3);
    alarmLayout->addWidget(new QLabel(QStringLiteral("Czas sygnalizacji\nalarmu:"), alarmGroup), 1, 0);
    alarmTime_ = new kavrel::ui::NumberEdit(0, 255, alarmGroup);
    nameAfterField(alarmTime_, Field::Atim);
    addChecked(alarmTime_);
    alarmLayout->addWidget(alarmTime_, 1, 1);
    alarmLayout->addWidget(new QLabel(QStringLiteral("sek."), alarmGroup), 1, 2);
    alarmLayout->addWidget(new QLabel(QStringLiteral("(1...254 s.;   0 lub 255=ciągle)"), alarmGroup), 2, 0, 1, 3);
    alarmLayout->setColumnStretch(3, 1);
    return alarmGroup;
}

QGroupBox* Clinie_wyjsciowe::makeBuzzerGroup() {
    auto* buzzerGroup = new QGroupBox(QStringLiteral("Brzęczyk (BUZZER)"), this);
    auto* buzzerLayout = new QHBoxLayout(buzzerGroup);
    buzzer_ = new QCheckBox(QStringLiteral("Sygn. stanu alarmowego"), buzzerGroup);
    buzzerLayout->addWidget(buzzer_);
    return buzzerGroup;
}

// Every box carries the name of the OCFGn bit it stands for.
void Clinie_wyjsciowe::nameBoxes() {
    for (int n = 1; n <= kOutputs; ++n) {
        const OutputRow& row = rows_[static_cast<std::size_t>(n - 1)];
        const std::pair<QCheckBox*, std::uint8_t> boxes[] = {{row.remanence, kRemanence}, {row.signal, kSignalBit},
                                                             {row.heating, kHeatingBit}, {row.cooling, kCoolingBit},
                                                             {row.extra, kHeatingBit}};
        for (const auto& [box, mask] : boxes)
            if (box) nameAfterBit(box, Field::Ocfg, n, std::countr_zero(mask));
    }
    nameBitBoxes(buzzerBit());
}

std::array<BitBox, 1> Clinie_wyjsciowe::buzzerBit() const { return {{{buzzer_, Field::Mcfg2, 0, kBuzzerBit}}}; }

void Clinie_wyjsciowe::fill() {
    // Boxes show their bits as stored, also two of an exclusive group that a module reported.
    for (int n = 1; n <= kOutputs; ++n) {
        const OutputRow& row = rows_[static_cast<std::size_t>(n - 1)];
        const std::uint8_t ocfg = record_.byte(Field::Ocfg, n);
        setBox(row.remanence, ocfg, kRemanence);
        setBox(row.signal, ocfg, kSignalBit);
        setBox(row.heating, ocfg, kHeatingBit);
        setBox(row.cooling, ocfg, kCoolingBit);
        setBox(row.extra, ocfg, kHeatingBit);
    }
    alarmTime_->setNumber(record_.byte(Field::Atim));
    fillBitBoxes(buzzerBit(), record_);
}

// Ticking one box of a thermostat output unticks the other two; unticking changes nothing.
void Clinie_wyjsciowe::keepOneTicked(QButtonGroup* group, int id, bool checked) {
    if (!checked) return;
    const QSignalBlocker blocker(group);
    for (QAbstractButton* button : group->buttons())
        if (group->id(button) != id) button->setChecked(false);
}

void Clinie_wyjsciowe::writeBack() {
    for (int n = 1; n <= kOutputs; ++n) {
        const OutputRow& row = rows_[static_cast<std::size_t>(n - 1)];
        std::uint8_t ocfg = ticked(row.remanence) ? kRemanence : 0;
        if (row.exclusive) {
            // Heating wins over cooling, cooling over signalling.
            if (ticked(row.heating)) ocfg |= kHeatingBit;
            else if (ticked(row.cooling)) ocfg |= kCoolingBit;
            else if (ticked(row.signal)) ocfg |= kSignalBit;
        } else {
            if (ticked(row.signal)) ocfg |= kSignalBit;
            if (ticked(row.extra)) ocfg |= kHeatingBit;
        }
        record_.setByte(Field::Ocfg, n, ocfg);
    }
    record_.setByte(Field::Atim, static_cast<std::uint8_t>(*alarmTime_->number()));
    collectBitBoxes(buzzerBit(), record_);  // the other bits of MCFG2 stay
}

} // namespace kavrel::config::ui
