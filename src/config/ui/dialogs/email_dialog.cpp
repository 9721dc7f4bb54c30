#include "config/ui/dialogs/email_dialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

#include "config/ui/kit/field_names.h"

namespace kavrel::config::ui {
namespace {

constexpr int kAddresses = 5;     // bits 0..4: e-mail addresses 1..5
constexpr int kPhotoBit = 5;      // SEMLn, RCFG value 2: attach a photo (not offered)
constexpr std::uint8_t kHourMask = 0x1F;  // SLOG bits 0..4
constexpr int kIntervalShift = 5;         // SLOG bits 5..6
constexpr std::array<const char*, 4> kIntervals = {"1", "2", "3", "7"};

// SLGT beyond the addresses.
constexpr std::array<std::pair<const char*, int>, 2> kLogOptions = {
    {{"Skasuj log po wysłaniu przez e-mail", 5}, {"Prześlij również historię pomiarów", 6}}};

} // namespace

Custaw_emaili::Custaw_emaili(const SettingsImage& record, QWidget* parent)
    : SettingsDialog(record, QStringLiteral("Ustawienia wiadomości e-mail"), parent) {
    auto* columns = new QHBoxLayout;
    columns->addWidget(buildNotifications(), 0, Qt::AlignTop);
    columns->addSpacing(12);
    columns->addWidget(buildLogMailing(), 0, Qt::AlignTop);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(columns);
    layout->addWidget(makeButtons());

    nameBitBoxes(bitBoxes_);
    fillBitBoxes(bitBoxes_, record_);
    const std::uint8_t slog = record_.byte(Field::Slog);
    hour_->setNumber(slog & kHourMask);
    interval_->button((slog >> kIntervalShift) & 0x03)->setChecked(true);
}

// Rows "Linia L1".."Linia L8" (SEMLn) and "Raport" (RCFG value 2), columns "1".."5". The
// photo column exists only to carry bit 5 through the dialog: it is hidden and disabled.
QWidget* Custaw_emaili::buildNotifications() {
    auto* panel = new QWidget(this);
    auto* grid = new QGridLayout(panel);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setVerticalSpacing(2);
    auto* heading = new QLabel(QStringLiteral("Powiadomienia wysyłane\nna adresy e-mai:"), panel);
    heading->setAlignment(Qt::AlignCenter);
    grid->addWidget(heading, 0, 1, 1, kAddresses);
    for (int address = 1; address <= kAddresses; ++address)
        grid->addWidget(new QLabel(QString::number(address), panel), 1, address, Qt::AlignHCenter);

    auto addRow = [&](int row, const QString& caption, Field field, int number) {
        grid->addWidget(new QLabel(caption, panel), row, 0);
        for (int bit = 0; bit < kAddresses; ++bit) {
            auto* box = new QCheckBox(panel);
            grid->addWidget(box, row, bit + 1, Qt::AlignHCenter);
            bitBoxes_.push_back({box, field, number, bit});
        }
        auto* photo = new QCheckBox(QStringLiteral("JPG"), panel);
        photo->hide();
        photo->setEnabled(false);
        bitBoxes_.push_back({photo, field, number, kPhotoBit});
    };
    for (int line = 1; line <= 8; ++line) addRow(line + 1, QStringLiteral("Linia L%1").arg(line), Field::Seml, line);
    grid->setRowMinimumHeight(10, 8);
    addRow(11, QStringLiteral("Raport"), Field::Rcfg2, 0);
    return panel;
}

QWidget* Custaw_emaili::buildLogMailing() {
    auto* group = new QGroupBox(QStringLiteral("Przesyłanie logu przez e-mail"), this);
    auto* layout = new QVBoxLayout(group);

    auto* hourRow = new QHBoxLayout;
    hourRow->addWidget(new QLabel(QStringLiteral("O której godzinie:"), group));
    hour_ = new kavrel::ui::NumberEdit(0, 31, group);
    nameAfterField(hour_, Field::Slog);
    addChecked(hour_);
    hourRow->addWidget(hour_);
    hourRow->addStretch();
    layout->addLayout(hourRow);

    auto* intervalRow = new QHBoxLayout;
    intervalRow->addWidget(new QLabel(QStringLiteral("Co ile dni:"), group));
    interval_ = new QButtonGroup(this);
    nameAfterBits(interval_, Field::Slog, 0, kIntervalShift, kIntervalShift + 1);
    for (std::size_t i = 0; i < kIntervals.size(); ++i) {
        auto* radio = new QRadioButton(QString::fromLatin1(kIntervals[i]), group);
        interval_->addButton(radio, static_cast<int>(i));
        intervalRow->addWidget(radio);
    }
    intervalRow->addStretch();
    layout->addLayout(intervalRow);

    layout->addSpacing(8);
    layout->addWidget(new QLabel(QStringLiteral("Przesyłanie logu na adresy e-mail:"), group));
    auto* addressRow = new QHBoxLayout;
    for (int bit = 0; bit < kAddresses; ++bit) {
        auto* box = new QCheckBox(QString::number(bit + 1), group);
        addressRow->addWidget(box);
        bitBoxes_.push_back({box, Field::Slgt, 0, bit});
    }
    addressRow->addStretch();
    layout->addLayout(addressRow);
    for (const auto& [caption, bit] : kLogOptions) {
        auto* box = new QCheckBox(QString::fromUtf8(caption), group);
        layout->addWidget(box);
        bitBoxes_.push_back({box, Field::Slgt, 0, bit});
    }
    layout->addStretch();
    return group;
}

void Custaw_emaili::writeBack() {
    for (int line = 1; line <= 8; ++line) record_.setByte(Field::Seml, line, 0);
    record_.setByte(Field::Rcfg2, 0);
    record_.setByte(Field::Slgt, 0);
    collectBitBoxes(bitBoxes_, record_);
    const int hour = *hour_->number();
    const int interval = std::max(interval_->checkedId(), 0);
    record_.setByte(Field::Slog, static_cast<std::uint8_t>(hour | interval << kIntervalShift));
}

} // namespace kavrel::config::ui
