#include "link/qt/port_picker.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>
#include <QVBoxLayout>

#include "link/qt/port_doctor_dialog.h"
#include "link/qt/serial_port_model.h"
#include "link/ports/port_mapping.h"

namespace kavrel {
namespace {

const QString kPickerTitle = QStringLiteral("Wybierz port");

bool isComNumber(int number) { return number >= link::kFirstComNumber && number <= link::kLastComNumber; }

#ifndef Q_OS_WIN
// The device KAVREL_COMn names for the number: it is opened whatever the picker stores.
QString environmentDevice(int comNumber) { return devicePathText(link::environmentSerialDevicePath(comNumber)); }

QString variableName(int comNumber) { return QStringLiteral("KAVREL_COM%1").arg(comNumber); }
#endif

} // namespace

QString comDeviceText(int comNumber, const SettingsStore& settings) {
#ifdef Q_OS_WIN
    Q_UNUSED(settings);
    return QStringLiteral("COM%1").arg(comNumber);
#else
    const QString text =
        QStringLiteral("COM%1: %2").arg(comNumber).arg(devicePathText(link::serialDevicePath(comNumber, &settings)));
    if (environmentDevice(comNumber).isEmpty()) return text;
    return text + QStringLiteral(" (ze zmiennej %1)").arg(variableName(comNumber));
#endif
}

PortPickerDialog::PortPickerDialog(int comNumber, SettingsStore& settings, SerialPortSource source, QWidget* parent)
    : QDialog(parent), comNumber_(comNumber), settings_(settings) {
    setWindowTitle(kPickerTitle);
    model_ = new SerialPortModel(std::move(source), &settings_, this);
    currentLabel_ = new QLabel(this);
    currentLabel_->setObjectName(QStringLiteral("current"));
    currentLabel_->setWordWrap(true);
    table_ = new QTableView(this);
    table_->setObjectName(QStringLiteral("ports"));
    table_->setModel(model_);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->verticalHeader()->hide();
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->setMinimumSize(640, 180);
    deviceEdit_ = new QLineEdit(this);
    deviceEdit_->setObjectName(QStringLiteral("device"));
    deviceEdit_->setPlaceholderText(QStringLiteral("/dev/ttyUSB0"));

    auto* refreshButton = new QPushButton(QStringLiteral("Odśwież"), this);
    auto* defaultButton = new QPushButton(QStringLiteral("Przywróć domyślny"), this);
    auto* doctorButton = new QPushButton(QStringLiteral("Diagnostyka"), this);
    doctorButton->setObjectName(QStringLiteral("doctor"));
    doctorButton->setToolTip(QStringLiteral("Co dolega adapterowi, którego port się nie otwiera: sterownik, jego wersja, opóźnienie FTDI"));
    chooseButton_ = new QPushButton(QStringLiteral("Wybierz"), this);
    auto* cancelButton = new QPushButton(QStringLiteral("Anuluj"), this);
    chooseButton_->setDefault(true);

    auto* deviceRow = new QHBoxLayout;
    deviceRow->addWidget(new QLabel(QStringLiteral("Urządzenie:"), this));
    deviceRow->addWidget(deviceEdit_, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(refreshButton);
    buttons->addWidget(defaultButton);
    buttons->addWidget(doctorButton);
    buttons->addStretch();
    buttons->addWidget(chooseButton_);
    buttons->addWidget(cancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(currentLabel_);
    layout->addWidget(table_, 1);
    layout->addLayout(deviceRow);
    layout->addLayout(buttons);
#ifdef Q_OS_WIN
    // The port is chosen from the list; there is no device to type.
    deviceEdit_->setReadOnly(true);
    defaultButton->hide();
#endif

    // The device follows what the user selects, not the current row: a table that gets the
    // focus makes its first row current, and that must not replace the mapping shown.
    connect(table_->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        const QModelIndexList rows = table_->selectionModel()->selectedRows();
        if (!rows.isEmpty()) deviceEdit_->setText(model_->entry(rows.first().row()).preferredName());
    });
    // A click on the row already current (after typing a path) takes its device again.
    connect(table_, &QTableView::clicked, this,
            [this](const QModelIndex& index) { deviceEdit_->setText(model_->entry(index.row()).preferredName()); });
    connect(table_, &QTableView::doubleClicked, this, &PortPickerDialog::accept);
    connect(deviceEdit_, &QLineEdit::textChanged, this,
            [this](const QString& text) { chooseButton_->setEnabled(!text.trimmed().isEmpty()); });
    connect(refreshButton, &QPushButton::clicked, this, &PortPickerDialog::refresh);
    connect(defaultButton, &QPushButton::clicked, this, &PortPickerDialog::restoreDefault);
    connect(doctorButton, &QPushButton::clicked, this, [this] {
        PortDoctorDialog doctor(link::gatherPortFacts, this);
        doctor.exec();
    });
    connect(chooseButton_, &QPushButton::clicked, this, &PortPickerDialog::accept);
    connect(cancelButton, &QPushButton::clicked, this, &PortPickerDialog::reject);

    table_->resizeColumnsToContents();
    showCurrentDevice();
    chooseButton_->setEnabled(!deviceEdit_->text().isEmpty());
}

QString PortPickerDialog::device() const { return deviceEdit_->text().trimmed(); }

void PortPickerDialog::setDevice(const QString& device) {
    const int row = model_->rowOf(device);
    if (row >= 0) table_->selectRow(row);
    else table_->clearSelection();
    deviceEdit_->setText(device);
}

int PortPickerDialog::comNumber() const { return comNumber_; }

void PortPickerDialog::showCurrentDevice() {
#ifdef Q_OS_WIN
    currentLabel_->setText(QStringLiteral("Wybierz port z listy."));
    setDevice(QStringLiteral("COM%1").arg(comNumber_));
#else
    const QString device = devicePathText(link::serialDevicePath(comNumber_, &settings_));
    if (!environmentDevice(comNumber_).isEmpty()) {
        // The variable wins over any choice made here; the stored one is what the list shows.
        currentLabel_->setText(
            QStringLiteral("Port COM%1 otwiera teraz %2, bo tak ustawia zmienna środowiska %3. Wybór z listy "
                           "zostanie zapisany, ale zadziała dopiero po usunięciu tej zmiennej.")
                .arg(comNumber_)
                .arg(device, variableName(comNumber_)));
        setDevice(devicePathText(link::storedSerialDevicePath(settings_, comNumber_)));
        return;
    }
    currentLabel_->setText(QStringLiteral("Port COM%1 otwiera teraz %2. Wybierz urządzenie z listy lub wpisz jego ścieżkę.")
                               .arg(comNumber_)
                               .arg(device));
    setDevice(device);
#endif
}

void PortPickerDialog::refresh() {
    const QString typed = device();
    model_->refresh();
    table_->resizeColumnsToContents();
    setDevice(typed);
}

void PortPickerDialog::restoreDefault() {
    if (!link::storeSerialDevicePath(settings_, comNumber_, {})) {
        QMessageBox::warning(this, kPickerTitle, QStringLiteral("Nie można zapisać ustawień portu COM%1.").arg(comNumber_));
        return;
    }
    model_->refresh();
    table_->resizeColumnsToContents();
    showCurrentDevice();
}

void PortPickerDialog::accept() {
    QString chosen = device();
    if (chosen.isEmpty()) return;
#ifdef Q_OS_WIN
    const std::optional<int> number = windowsComNumber(chosen);
    if (!number || !isComNumber(*number)) {
        QMessageBox::warning(this, kPickerTitle, QStringLiteral("%1 nie jest portem COM1...COM255.").arg(chosen));
        return;
    }
    comNumber_ = *number;
#else
    // A listed adapter typed by its ttyUSB name is stored by its stable name all the same.
    if (const int row = model_->rowOf(chosen); row >= 0) chosen = model_->entry(row).preferredName();
    if (!link::storeSerialDevicePath(settings_, comNumber_, devicePathBytes(chosen))) {
        QMessageBox::warning(this, kPickerTitle, QStringLiteral("Nie można zapisać ustawień portu COM%1.").arg(comNumber_));
        return;
    }
    deviceEdit_->setText(chosen);
    if (const QString overriding = environmentDevice(comNumber_); !overriding.isEmpty() && overriding != chosen)
        QMessageBox::information(this, kPickerTitle,
                                 QStringLiteral("Zapisano %1 dla portu COM%2, ale dopóki ustawiona jest zmienna "
                                                "środowiska %3, port COM%2 otwiera %4.")
                                     .arg(chosen)
                                     .arg(comNumber_)
                                     .arg(variableName(comNumber_), overriding));
#endif
    QDialog::accept();
}

PortPickerButton::PortPickerButton(QWidget* field, NumberGetter number, NumberSetter setNumber,
                                   SettingsStore& settings, QWidget* parent)
    : QToolButton(parent), field_(field), number_(std::move(number)), setNumber_(std::move(setNumber)),
      settings_(settings) {
    setObjectName(field->objectName() + QStringLiteral("Picker"));
    setText(QStringLiteral("..."));
    setToolTip(QStringLiteral("Wybierz port..."));
    setEnabled(field->isEnabled());
    field->installEventFilter(this);
    connect(this, &QToolButton::clicked, this, &PortPickerButton::pick);
    updateToolTip();
}

void PortPickerButton::pick() {
    const std::optional<int> number = number_();
    if (!number || !isComNumber(*number)) {
        QMessageBox::information(this, kPickerTitle, QStringLiteral("Najpierw wpisz numer portu COM (1...255)."));
        return;
    }
    PortPickerDialog dialog(*number, settings_, source_, window());
    if (dialog.exec() != QDialog::Accepted) {
        updateToolTip();  // "Przywróć domyślny" may have changed it
        return;
    }
    if (dialog.comNumber() != *number) setNumber_(dialog.comNumber());
    updateToolTip();
    emit portChosen(dialog.comNumber(), dialog.device());
}

void PortPickerButton::updateToolTip() {
    const std::optional<int> number = number_();
    field_->setToolTip(number && isComNumber(*number) ? comDeviceText(*number, settings_) : QString());
}

bool PortPickerButton::eventFilter(QObject* watched, QEvent* event) {
    // The button is disabled and enabled with its field (while an operation runs).
    if (watched == field_ && event->type() == QEvent::EnabledChange) setEnabled(field_->isEnabled());
    return QToolButton::eventFilter(watched, event);
}

namespace {

QWidget* besideField(QWidget* field, PortPickerButton* button) {
    auto* row = new QWidget(field->parentWidget());
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    field->setParent(row);
    button->setParent(row);
    layout->addWidget(field, 1);
    layout->addWidget(button);
    return row;
}

} // namespace

QWidget* withPortPicker(QLineEdit* comEdit, SettingsStore& settings) {
    auto* button = new PortPickerButton(
        comEdit,
        [comEdit]() -> std::optional<int> {
            bool ok = false;
            const int number = comEdit->text().trimmed().toInt(&ok);
            return ok ? std::optional<int>(number) : std::nullopt;
        },
        [comEdit](int number) { comEdit->setText(QString::number(number)); }, settings);
    QObject::connect(comEdit, &QLineEdit::textChanged, button, &PortPickerButton::updateToolTip);
    return besideField(comEdit, button);
}

QWidget* withPortPicker(QSpinBox* comSpin, SettingsStore& settings) {
    auto* button = new PortPickerButton(
        comSpin, [comSpin]() -> std::optional<int> { return comSpin->value(); },
        [comSpin](int number) { comSpin->setValue(number); }, settings);
    QObject::connect(comSpin, &QSpinBox::valueChanged, button, &PortPickerButton::updateToolTip);
    return besideField(comSpin, button);
}

} // namespace kavrel
