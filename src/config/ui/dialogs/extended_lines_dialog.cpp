#include "config/ui/dialogs/extended_lines_dialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <bit>

#include "common/qt/qt_text.h"
#include "config/ui/dialogs/variable_codes_dialog.h"
#include "config/ui/kit/field_names.h"

namespace kavrel::config::ui {
namespace {

constexpr std::uint8_t kTypeMask = 0x07;       // XTYP bits 0..2
constexpr std::uint8_t kGuardHoursBit = 0x08;  // XTYP bit 3
constexpr std::uint8_t kTemperatureCode = 2;   // "T/D"
constexpr std::uint8_t kHumidityCode = 1;      // "RH"
constexpr int kTextSize = 40;                  // XMSn

// Columns of the grid: the line's name, "HL", "LH", "1".."5", the text.
constexpr int kFirstBoxColumn = 1;
constexpr int kTextColumn = 8;

constexpr int kExpansionModuleBit = 0;  // of MCFG2
constexpr int kEnergyMeterBit = 5;

} // namespace

Cextlines::Cextlines(const SettingsImage& record, QWidget* parent)
    : SettingsDialog(record, QStringLiteral("Konfiguracja linii rozszerzonych"), parent) {
    auto* layout = new QVBoxLayout(this);
    const std::array<std::pair<const char*, int>, 2> sources = {
        {{"Obsługa modułu rozszerzeń", kExpansionModuleBit}, {"Obsługa licznika energii przez RS-485", kEnergyMeterBit}}};
    for (const auto& [caption, bit] : sources) {
        auto* box = new QCheckBox(QString::fromUtf8(caption), this);
        layout->addWidget(box);
        sharedBoxes_.push_back({box, Field::Mcfg2, 0, bit});
    }

    auto* grid = new QGridLayout;
    grid->setVerticalSpacing(2);
    grid->setHorizontalSpacing(6);
    grid->setColumnStretch(kTextColumn, 1);
    auto* smsHeading = new QLabel(QStringLiteral("SMS wysyłany na numery:"), this);
    grid->addWidget(smsHeading, 0, kFirstBoxColumn + 2, 1, 5, Qt::AlignLeft | Qt::AlignBottom);
    grid->addWidget(new QLabel(QStringLiteral("Treść powiadomienia SMS / e-mail"), this), 0, kTextColumn,
                    Qt::AlignLeft | Qt::AlignBottom);
    int row = 1;
    for (LineGroup& group : groups_) row = addGroup(grid, row, group);

    grid->setRowMinimumHeight(row++, 8);
    row = addLine(grid, row, kCommunicationCheck, QStringLiteral("Kontrola komunikacji"), 2);

    auto* emailRow = new QHBoxLayout;
    emailRow->addWidget(new QLabel(QStringLiteral("Wysyłanie e-mail na adresy:"), this));
    emailRow->addSpacing(6);
    for (int address = 1; address <= 5; ++address) {
        auto* box = new QCheckBox(QString::number(address), this);
        emailRow->addWidget(box);
        bitBoxes_.push_back({box, Field::Sxml, 0, address - 1});
    }
    emailRow->addStretch();
    grid->addLayout(emailRow, row++, 0, 1, kTextColumn + 1);
    layout->addLayout(grid);

    auto* bottom = new QHBoxLayout;
    auto* codes = new QPushButton(QStringLiteral("Kody..."), this);
    codes->setAutoDefault(false);
    connect(codes, &QPushButton::clicked, this, [this] { Ckody(this).exec(); });
    bottom->addWidget(codes);
    bottom->addStretch();
    bottom->addWidget(makeButtons());
    layout->addLayout(bottom);

    nameBitBoxes(sharedBoxes_);
    nameBitBoxes(bitBoxes_);
    fill();
    for (LineGroup& group : groups_)
        connect(group.types, &QButtonGroup::idToggled, this,
                [this, &group](int code, bool checked) { typeToggled(group, code, checked); });
}

// The group's type and threshold row, then its eight lines; returns the next free row.
int Cextlines::addGroup(QGridLayout* grid, int row, LineGroup& group) {
    auto* typeRow = new QHBoxLayout;
    typeRow->addWidget(
        new QLabel(QStringLiteral("Typ czujnika XL%1...XL%2:").arg(group.firstLine).arg(group.firstLine + 7), this));
    typeRow->addSpacing(6);
    group.types = new QButtonGroup(this);
    group.types->setExclusive(false);
    nameAfterBits(group.types, group.type, 0, 0, std::countr_one(kTypeMask) - 1);
    for (const auto& [caption, code] : {std::pair{"T/D", kTemperatureCode}, std::pair{"RH", kHumidityCode}}) {
        auto* box = new QCheckBox(QString::fromLatin1(caption), this);
        group.types->addButton(box, code);
        typeRow->addWidget(box);
    }
    typeRow->addSpacing(16);
    group.lowerEdit = new ThresholdEdit(this);
    group.upperEdit = new ThresholdEdit(this);
    nameAfterField(group.lowerEdit, group.lower);
    nameAfterField(group.upperEdit, group.upper);
    typeRow->addWidget(new QLabel(QStringLiteral("Próg dolny (HL):"), this));
    typeRow->addWidget(group.lowerEdit);
    typeRow->addSpacing(8);
    typeRow->addWidget(new QLabel(QStringLiteral("Próg górny (LH):"), this));
    typeRow->addWidget(group.upperEdit);
    typeRow->addSpacing(16);
    group.guardHoursOnly = new QCheckBox(QStringLiteral("Powiad. tylko w godz.czuw."), this);
    nameAfterBit(group.guardHoursOnly, group.type, 0, std::countr_zero(kGuardHoursBit));
    typeRow->addWidget(group.guardHoursOnly);
    typeRow->addStretch();
    grid->setRowMinimumHeight(row, 8);
    grid->addLayout(typeRow, row + 1, 0, 1, kTextColumn + 1);
    row += 2;

    for (int n = group.firstLine; n < group.firstLine + 8; ++n)
        row = addLine(grid, row, n, QStringLiteral("Linia XL%1").arg(n), 0);
    return row;
}

// One row of XCFGn boxes from bit `firstBit` ("HL" 0, "LH" 1, numbers 1..5 from bit 2) and
// the text XMSn; returns the next free row.
int Cextlines::addLine(QGridLayout* grid, int row, int n, const QString& caption, int firstBit) {
    static constexpr std::array<const char*, 7> kCaptions = {"HL", "LH", "1", "2", "3", "4", "5"};
    grid->addWidget(new QLabel(caption, this), row, 0);
    for (int bit = firstBit; bit < 7; ++bit) {
        auto* box = new QCheckBox(QString::fromLatin1(kCaptions[static_cast<std::size_t>(bit)]), this);
        grid->addWidget(box, row, kFirstBoxColumn + bit);
        bitBoxes_.push_back({box, Field::Xcfg, n, bit});
    }
    auto* text = new QLineEdit(this);
    text->setMaxLength(kTextSize);
    nameAfterField(text, Field::Xms, n);
    text->setMinimumWidth(fontMetrics().horizontalAdvance(QString(kTextSize, QLatin1Char('x'))));
    grid->addWidget(text, row, kTextColumn);
    texts_[static_cast<std::size_t>(n - 1)] = text;
    return row + 1;
}

void Cextlines::fill() {
    fillBitBoxes(sharedBoxes_, record_);
    fillBitBoxes(bitBoxes_, record_);
    for (int n = 1; n <= kCommunicationCheck; ++n) text(n)->setText(toQString(record_.text(Field::Xms, n)));
    for (LineGroup& group : groups_) {
        const std::uint8_t type = record_.byte(group.type);
        group.typeCode = type & kTypeMask;
        for (QAbstractButton* box : group.types->buttons()) box->setChecked(group.types->id(box) == group.typeCode);
        group.guardHoursOnly->setChecked(type & kGuardHoursBit);
        group.lowerEdit->showRaw(record_.word(group.lower), extendedCategory(group.typeCode));
        group.upperEdit->showRaw(record_.word(group.upper), extendedCategory(group.typeCode));
    }
}

void Cextlines::typeToggled(LineGroup& group, int code, bool checked) {
    const std::uint16_t lower = group.lowerEdit->raw(extendedCategory(group.typeCode));
    const std::uint16_t upper = group.upperEdit->raw(extendedCategory(group.typeCode));
    if (checked) {
        const QSignalBlocker blocker(group.types);
        for (QAbstractButton* box : group.types->buttons())
            if (group.types->id(box) != code) box->setChecked(false);
    }
    group.typeCode = checked ? static_cast<std::uint8_t>(code) : 0;
    group.lowerEdit->showRaw(lower, extendedCategory(group.typeCode));
    group.upperEdit->showRaw(upper, extendedCategory(group.typeCode));
}

void Cextlines::writeBack() {
    collectBitBoxes(sharedBoxes_, record_);
    for (int n = 1; n <= kCommunicationCheck; ++n) record_.setByte(Field::Xcfg, n, 0);
    record_.setByte(Field::Sxml, 0);
    collectBitBoxes(bitBoxes_, record_);
    for (int n = 1; n <= kCommunicationCheck; ++n) record_.setText(Field::Xms, n, fromQString(text(n)->text()));
    for (const LineGroup& group : groups_) {
        std::uint8_t type = 0;
        for (QAbstractButton* box : group.types->buttons())
            if (box->isChecked()) type = static_cast<std::uint8_t>(group.types->id(box));
        record_.setWord(group.lower, group.lowerEdit->raw(extendedCategory(type)));
        record_.setWord(group.upper, group.upperEdit->raw(extendedCategory(type)));
        if (group.guardHoursOnly->isChecked()) type |= kGuardHoursBit;
        record_.setByte(group.type, type);
    }
}

} // namespace kavrel::config::ui
