#include "config/ui/dialogs/general_settings_dialog.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "common/qt/fields/field_edits.h"
#include "common/qt/qt_text.h"
#include "config/model/conversions.h"

namespace kavrel::config::ui {
namespace {

constexpr Custaw_ogolne::Operator kOperators[] = {
    {"T-Mobile", "+48602951111"},
    {"Orange", "+48501200777"},
    {"Plus", "+48601000310"},
    {"Play", "+48790998250"},
};

// The module reports an erased network code as 0xFFFF; it means automatic choice, as 0 does.
constexpr std::uint16_t kErasedNetworkCode = 0xFFFF;

template <typename Edit>
Edit* named(Edit* edit, const char* name) {
    edit->setObjectName(QString::fromLatin1(name));
    return edit;
}

// A text edit as wide as its longest text, for the short fields.
kavrel::ui::TextEdit* fitted(kavrel::ui::TextEdit* edit) {
    edit->setMaximumWidth(edit->fontMetrics().horizontalAdvance(QString(edit->maxLength() + 2, QLatin1Char('W'))));
    return edit;
}

std::uint8_t byteOf(const kavrel::ui::NumberEdit* edit) { return static_cast<std::uint8_t>(*edit->number()); }
std::uint16_t wordOf(const kavrel::ui::NumberEdit* edit) { return static_cast<std::uint16_t>(*edit->number()); }

} // namespace

std::span<const Custaw_ogolne::Operator> Custaw_ogolne::operators() { return kOperators; }

Custaw_ogolne::Custaw_ogolne(const SettingsImage& record, QWidget* parent)
    : SettingsDialog(record, QStringLiteral("Ustawienia ogólne"), parent) {
    auto* columns = new QHBoxLayout;
    auto* left = new QVBoxLayout;
    left->addWidget(buildNumbers());
    left->addWidget(buildLogging());
    left->addStretch();
    auto* right = new QVBoxLayout;
    right->addWidget(buildReports());
    right->addWidget(buildOptions());
    right->addStretch();
    columns->addLayout(left);
    columns->addLayout(right);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(columns);
    layout->addWidget(makeButtons());
    nameBitBoxes(bits_);
    fill();
}

QCheckBox* Custaw_ogolne::bitBox(const QString& caption, Field field, int bit) {
    auto* box = new QCheckBox(caption);
    bits_.push_back({box, field, 0, bit});
    return box;
}

void Custaw_ogolne::addDayRow(QGridLayout* grid, int row, int dayMask) {
    auto* days = new QHBoxLayout;
    days->setSpacing(4);
    for (int day = 0; day < static_cast<int>(kDayNames.size()); ++day) {
        auto* box = new QCheckBox(QString::fromUtf8(kDayNames[static_cast<std::size_t>(day)]));
        bits_.push_back({box, Field::Wkd, dayMask, day});
        days->addWidget(box);
    }
    days->addStretch();
    grid->addLayout(days, row, 0, 1, -1);
}

QWidget* Custaw_ogolne::buildNumbers() {
    auto* group = new QGroupBox;
    auto* grid = new QGridLayout(group);
    grid->addWidget(new QLabel(QStringLiteral("SMSC=Numer centrum wiadomości odpowiedni dla sieci GSM:")), 0, 0, 1, 4);

    numbers_[0] = named(new kavrel::ui::TextEdit(16), "NUM0");
    grid->addWidget(new QLabel(QStringLiteral("SMSC")), 1, 0);
    grid->addWidget(numbers_[0], 1, 1);
    auto* operatorRow = new QHBoxLayout;
    auto* operatorButtons = new QButtonGroup(this);
    for (int i = 0; i < static_cast<int>(std::size(kOperators)); ++i) {
        auto* button = new QPushButton(QString::fromLatin1(kOperators[i].name));
        button->setAutoDefault(false);
        operatorButtons->addButton(button, i);
        operatorRow->addWidget(button);
    }
    // Only the SMSC edit changes; every other entry, valid or not, stays as typed.
    connect(operatorButtons, &QButtonGroup::idClicked, this,
            [this](int id) { numbers_[0]->setText(QString::fromLatin1(kOperators[id].smsc)); });
    grid->addLayout(operatorRow, 2, 0, 1, 4);

    // Numbers 1..5 in the left column, 6..10 in the right one.
    for (int n = 1; n <= 10; ++n) {
        const int row = 3 + (n - 1) % 5;
        const int column = n <= 5 ? 0 : 2;
        auto* edit = new kavrel::ui::TextEdit(16);
        edit->setObjectName(QStringLiteral("NUM%1").arg(n));
        numbers_[static_cast<std::size_t>(n)] = edit;
        grid->addWidget(new QLabel(QStringLiteral("Numer %1").arg(n)), row, column);
        grid->addWidget(edit, row, column + 1);
    }

    pin_ = named(fitted(new kavrel::ui::TextEdit(8)), "PIN");
    networkCode_ = named(new kavrel::ui::NumberEdit(0, 65535), "COPS");
    grid->addWidget(new QLabel(QStringLiteral("PIN")), 8, 0);
    grid->addWidget(pin_, 8, 1);
    grid->addWidget(new QLabel(QStringLiteral("Kod sieci\n(0=autom.)")), 8, 2);
    grid->addWidget(networkCode_, 8, 3);

    for (kavrel::ui::TextEdit* edit : numbers_) addChecked(edit);
    addChecked(pin_);
    addChecked(networkCode_);
    return group;
}

QWidget* Custaw_ogolne::buildReports() {
    auto* group = new QGroupBox;
    auto* grid = new QGridLayout(group);

    reportHours_ = named(new QLineEdit, "RPTHR");
    grid->addWidget(new QLabel(QStringLiteral("Raport o godzinach:")), 0, 0);
    grid->addWidget(reportHours_, 0, 1, 1, 2);
    addDayRow(grid, 1, 1);

    guardHours_ = named(new QLineEdit, "GRDHR");
    grid->addWidget(new QLabel(QStringLiteral("Godziny czuwania:")), 2, 0);
    grid->addWidget(guardHours_, 2, 1, 1, 2);
    addDayRow(grid, 3, 2);
    grid->addWidget(bitBox(QStringLiteral("Godziny czuwania 24h w So, Ni, Dni Wolne"), Field::Mcfg1, 6), 4, 0, 1, -1);

    reportPeriod_ = named(new kavrel::ui::NumberEdit(0, 65535), "TRPT");
    grid->addWidget(bitBox(QStringLiteral("Raport okresowy wysyłany co"), Field::Mcfg1, 0), 5, 0);
    grid->addWidget(reportPeriod_, 5, 1);
    grid->addWidget(new QLabel(QStringLiteral("minut")), 5, 2);
    grid->addWidget(bitBox(QStringLiteral("Tylko w stanie alarmowym"), Field::Mcfg1, 3), 6, 0, 1, -1);
    addDayRow(grid, 7, 3);
    grid->setColumnStretch(2, 1);

    addChecked(reportPeriod_);
    return group;
}

QWidget* Custaw_ogolne::buildOptions() {
    auto* group = new QGroupBox;
    auto* grid = new QGridLayout(group);
    smsLimit_ = named(new kavrel::ui::NumberEdit(0, 255), "SLIM");
    grid->addWidget(bitBox(QStringLiteral("Ograniczenie liczby wysł. SMS aktywne, max."), Field::Mcfg1, 2), 0, 0);
    grid->addWidget(smsLimit_, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("SMS na dobę")), 0, 2);
    grid->addWidget(bitBox(QStringLiteral("Obsługa LCD włączona"), Field::Mcfg1, 5), 1, 0, 1, -1);
    grid->addWidget(bitBox(QStringLiteral("Potwierdzenia odebranych SMS wysyłane"), Field::Mcfg1, 4), 2, 0, 1, -1);
    grid->addWidget(bitBox(QStringLiteral("Wysyłanie raportu po zmianie stanu wejścia C1"), Field::Mcfg2, 1), 3, 0, 1, -1);
    grid->setColumnStretch(2, 1);
    addChecked(smsLimit_);
    return group;
}

QWidget* Custaw_ogolne::buildLogging() {
    auto* group = new QGroupBox;
    auto* grid = new QGridLayout(group);
    logPeriod_ = named(new kavrel::ui::NumberEdit(0, 255), "LOGT");
    grid->addWidget(new QLabel(QStringLiteral("Okres logowania pomiarów:")), 0, 0);
    grid->addWidget(logPeriod_, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("minut (0 = wyłączone)")), 0, 2);
    grid->addWidget(bitBox(QStringLiteral("Logowanie pomiarów tylko w godz. czuwania"), Field::Mcfg2, 4), 1, 0, 1, -1);
    grid->addWidget(bitBox(QStringLiteral("Logowanie 10x częstsze w stanie alarmowym"), Field::Mcfg2, 7), 2, 0, 1, -1);

    balanceCode_ = named(fitted(new kavrel::ui::TextEdit(8)), "URL2");
    balanceHour_ = named(new kavrel::ui::NumberEdit(0, 255), "TGAC");
    grid->addWidget(new QLabel(QStringLiteral("Kod sprawdzania stanu konta:")), 3, 0);
    grid->addWidget(balanceCode_, 3, 1, 1, 2, Qt::AlignLeft);
    grid->addWidget(new QLabel(QStringLiteral("Sprawdzanie o godzinie:")), 4, 0);
    grid->addWidget(balanceHour_, 4, 1);
    grid->setColumnStretch(2, 1);
    addChecked(logPeriod_);
    addChecked(balanceCode_);
    addChecked(balanceHour_);
    return group;
}

void Custaw_ogolne::fill() {
    for (int n = 0; n <= 10; ++n) numbers_[static_cast<std::size_t>(n)]->setText(toQString(record_.phoneNumber(n)));
    pin_->setText(toQString(record_.text(Field::Pin)));
    reportPeriod_->setNumber(record_.word(Field::Trpt));
    smsLimit_->setNumber(record_.byte(Field::Slim));
    logPeriod_->setNumber(record_.byte(Field::Logt));
    balanceHour_->setNumber(record_.byte(Field::Tgac));
    reportHours_->setText(toQString(hourMaskToText(record_.element(Field::Rpthr))));
    guardHours_->setText(toQString(hourMaskToText(record_.element(Field::Grdhr))));
    balanceCode_->setText(toQString(balanceCode(record_)));
    if (record_.word(Field::Cops) == kErasedNetworkCode) record_.setWord(Field::Cops, 0);
    networkCode_->setNumber(record_.word(Field::Cops));
    fillBitBoxes(bits_, record_);
}

void Custaw_ogolne::writeBack() {
    for (int n = 0; n <= 10; ++n) record_.setPhoneNumber(n, fromQString(numbers_[static_cast<std::size_t>(n)]->text()));
    record_.setText(Field::Pin, fromQString(pin_->text()));
    record_.setWord(Field::Trpt, wordOf(reportPeriod_));
    record_.setByte(Field::Slim, byteOf(smsLimit_));
    record_.setByte(Field::Logt, byteOf(logPeriod_));
    record_.setByte(Field::Tgac, byteOf(balanceHour_));
    textToHourMask(fromQString(reportHours_->text()), record_.element(Field::Rpthr));
    textToHourMask(fromQString(guardHours_->text()), record_.element(Field::Grdhr));
    setBalanceCode(record_, fromQString(balanceCode_->text()));
    const std::uint16_t networkCode = wordOf(networkCode_);
    record_.setWord(Field::Cops, networkCode == kErasedNetworkCode ? 0 : networkCode);

    // This dialog owns MCFG1 and the day masks whole (their unshown bits become 0); of
    // MCFG2 it changes only its own three bits.
    record_.setByte(Field::Mcfg1, 0);
    for (int mask = 1; mask <= 3; ++mask) record_.setByte(Field::Wkd, mask, 0);
    collectBitBoxes(bits_, record_);
}

} // namespace kavrel::config::ui
