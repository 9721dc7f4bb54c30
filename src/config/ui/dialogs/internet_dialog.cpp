#include "config/ui/dialogs/internet_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "common/qt/qt_text.h"
#include "config/ui/kit/field_names.h"

namespace kavrel::config::ui {
namespace {

enum Group { kApnGroup, kSmtpGroup, kAddressGroup, kHttpGroup };
constexpr std::array<const char*, 4> kGroupTitles = {
    "APN (dostęp przez GPRS)", "SMTP (serwer e-mail)", "Powiadamiane adresy e-mail", "Transmisja HTTP do serwera WWW"};

constexpr int kGuardHoursBit = 3;    // of MCFG2: HTTP only during the guard hours
constexpr int kAuthorisationBit = 2; // of MCFG2: the web server wants a login

} // namespace

const std::array<Custaw_internet::TextRow, 15> Custaw_internet::kTextRows = {{
    {"Nazwa APN:", Field::Apn, 0, kApnGroup},
    {"Użytkownik APN:", Field::Apn, 1, kApnGroup},
    {"Hasło APN:", Field::Apn, 2, kApnGroup},
    {"Nazwa serwera:", Field::Apn, 3, kSmtpGroup},
    {"Użytkownik SMTP:", Field::Apn, 4, kSmtpGroup},
    {"Hasło SMTP:", Field::Apn, 5, kSmtpGroup},
    {"Nazwa nadawcy:", Field::Apn, 6, kSmtpGroup},
    {"Adres nadawcy:", Field::Ead, 0, kSmtpGroup},
    {"E-mail 1:", Field::Ead, 1, kAddressGroup},
    {"E-mail 2:", Field::Ead, 2, kAddressGroup},
    {"E-mail 3:", Field::Ead, 3, kAddressGroup},
    {"E-mail 4:", Field::Ead, 4, kAddressGroup},
    {"E-mail 5:", Field::Ead, 5, kAddressGroup},
    {"Adres serwera", Field::Url0, 0, kHttpGroup},
    {"Meldunek", Field::Url1, 0, kHttpGroup},
}};

Custaw_internet::Custaw_internet(const SettingsImage& record, QWidget* parent)
    : SettingsDialog(record, QStringLiteral("Ustawienia dostępu do Internetu"), parent) {
    std::array<QFormLayout*, kGroupTitles.size()> forms{};
    std::array<QGroupBox*, kGroupTitles.size()> groups{};
    for (std::size_t g = 0; g < groups.size(); ++g) {
        groups[g] = new QGroupBox(QString::fromUtf8(kGroupTitles[g]), this);
        forms[g] = new QFormLayout(groups[g]);
        forms[g]->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    }

    for (std::size_t i = 0; i < kTextRows.size(); ++i) {
        const TextRow& row = kTextRows[i];
        auto* edit = new kavrel::ui::TextEdit(fieldInfo(row.field).size, this);
        nameAfterField(edit, row.field, row.number);
        edit->setText(toQString(record_.text(row.field, row.number)));
        forms[static_cast<std::size_t>(row.group)]->addRow(QString::fromUtf8(row.label), edit);
        texts_[i] = edit;
    }
    // The web server's address and report are the texts the framework checks for length;
    // the others are only cut to their field.
    addChecked(textEdit(Field::Url0));
    addChecked(textEdit(Field::Url1));

    QFormLayout* http = forms[kHttpGroup];
    uid_ = new kavrel::ui::NumberEdit(0, 65535, this);
    nameAfterField(uid_, Field::Nuid);
    uid_->setNumber(record_.word(Field::Nuid));
    http->addRow(QStringLiteral("UID"), uid_);
    period_ = new kavrel::ui::NumberEdit(0, 255, this);
    nameAfterField(period_, Field::Thtp);
    period_->setNumber(record_.byte(Field::Thtp));
    auto* periodRow = new QHBoxLayout;
    periodRow->addWidget(period_);
    periodRow->addWidget(new QLabel(QStringLiteral("x 5 min."), this));
    periodRow->addStretch();
    http->addRow(QStringLiteral("Okres transmisji:"), periodRow);
    addChecked(uid_);
    addChecked(period_);
    mcfg2Boxes_ = {{{new QCheckBox(QStringLiteral("Transmisja tylko w godz. czuwania"), this), Field::Mcfg2, 0, kGuardHoursBit},
                    {new QCheckBox(QStringLiteral("Serwer WWW wymaga autoryzacji"), this), Field::Mcfg2, 0, kAuthorisationBit}}};
    for (const BitBox& b : mcfg2Boxes_) http->addRow(b.box);
    nameBitBoxes(mcfg2Boxes_);
    fillBitBoxes(mcfg2Boxes_, record_);

    auto* columns = new QGridLayout;
    columns->addWidget(groups[kApnGroup], 0, 0);
    columns->addWidget(groups[kSmtpGroup], 1, 0);
    columns->addWidget(groups[kAddressGroup], 0, 1);
    columns->addWidget(groups[kHttpGroup], 1, 1);
    columns->setColumnMinimumWidth(0, 320);
    columns->setColumnMinimumWidth(1, 420);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(columns);
    layout->addWidget(makeButtons());
}

kavrel::ui::TextEdit* Custaw_internet::textEdit(Field field, int number) const {
    for (std::size_t i = 0; i < kTextRows.size(); ++i)
        if (kTextRows[i].field == field && kTextRows[i].number == number) return texts_[i];
    return nullptr;
}

void Custaw_internet::writeBack() {
    for (std::size_t i = 0; i < kTextRows.size(); ++i)
        record_.setText(kTextRows[i].field, kTextRows[i].number, fromQString(texts_[i]->text()));
    record_.setWord(Field::Nuid, static_cast<std::uint16_t>(*uid_->number()));
    record_.setByte(Field::Thtp, static_cast<std::uint8_t>(*period_->number()));
    collectBitBoxes(mcfg2Boxes_, record_);  // the other bits of MCFG2 stay
}

} // namespace kavrel::config::ui
