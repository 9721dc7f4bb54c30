// The window's parts, built once: the menu, the connection, the memory state beside the
// operations, the archive, and the download's progress with "Koniec pracy" below.
#include "logger/ui/main_window.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "common/qt/color_scheme.h"
#include "common/qt/fields/field_edits.h"
#include "common/qt/qt_text.h"
#include "link/connection_settings.h"
#include "link/qt/port_picker.h"
#include "link/qt/trace_choice_row.h"
#include "logger/ui/custaw_tcpip.h"
#include "logger/ui/status_fields.h"

namespace kavrel::logger::ui {

// The parts are made in the order of the keyboard's tab order, top to bottom.
void Crejestrator::buildControls() {
    QMenuBar* menu = buildMenu();
    QGroupBox* connection = buildConnectionGroup();
    QGroupBox* memory = buildMemoryGroup();
    QVBoxLayout* operations = buildOperationsColumn();
    QHBoxLayout* bottom = buildProgressRow();
    auto* middle = new QHBoxLayout;
    middle->addWidget(memory, 1);
    middle->addLayout(operations);

    auto* layout = new QVBoxLayout(this);
    layout->setMenuBar(menu);
    layout->addWidget(connection);
    layout->addLayout(middle, 1);
    layout->addWidget(buildArchiveControls());
    layout->addLayout(bottom);
}

QMenuBar* Crejestrator::buildMenu() {
    auto* menu = new QMenuBar(this);
    QMenu* help = menu->addMenu(QStringLiteral("&Pomoc"));
    help->addAction(QStringLiteral("&Przebieg transmisji..."), this, [this] { TraceChoiceDialog(store_, this).exec(); });
    help->addAction(QStringLiteral("&O programie..."), this, &Crejestrator::showAbout);
    return menu;
}

QGroupBox* Crejestrator::buildConnectionGroup() {
    auto* connection = new QGroupBox(QStringLiteral("Połączenie"), this);
    comEdit_ = new kavrel::ui::NumberEdit(kMinComPort, kMaxComPort, connection);
    comEdit_->setObjectName(QStringLiteral("ComPORT"));
    fixedSpeedBox_ = new QCheckBox(QStringLiteral("Stała prędkość transmisji (9600 bps)"), connection);
    tcpBox_ = new QCheckBox(QStringLiteral("Transmisja przez TCP/IP"), connection);
    tcpSettingsButton_ = new QPushButton(QStringLiteral("Ustawienia TCP/IP"), connection);
    connectButton_ = new QPushButton(QStringLiteral("Połącz"), connection);
    connectedLabel_ = new QLabel(QStringLiteral("Połączenie nawiązane"), connection);
    connectedLabel_->setStyleSheet(QStringLiteral("color: %1; font-weight: bold;").arg(goodTextColor()));
    connectedLabel_->setSizePolicy([&] {
        QSizePolicy policy = connectedLabel_->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        return policy;
    }());
    auto* grid = new QGridLayout(connection);
    auto* comRow = new QHBoxLayout;
    comRow->addWidget(new QLabel(QStringLiteral("Port COM"), connection));
    comRow->addWidget(withPortPicker(comEdit_, store_));
    comRow->addSpacing(12);
    comRow->addWidget(fixedSpeedBox_);
    comRow->addStretch();
    grid->addLayout(comRow, 0, 0, 1, 2);
    grid->addWidget(tcpBox_, 1, 0);
    grid->addWidget(tcpSettingsButton_, 1, 1);
    grid->addWidget(connectButton_, 2, 0);
    grid->addWidget(connectedLabel_, 2, 1);
    connect(tcpBox_, &QCheckBox::clicked, this, &Crejestrator::selectTcp);
    connect(tcpSettingsButton_, &QPushButton::clicked, this, [this] {
        tcpDialog_->exec();
        settings_.address = fromQString(tcpDialog_->address());
        settings_.tcpPort = static_cast<std::uint32_t>(tcpDialog_->port());
    });
    connect(connectButton_, &QPushButton::clicked, this, &Crejestrator::connectModule);
    return connection;
}

// The memory state, as the module reported it last.
QGroupBox* Crejestrator::buildMemoryGroup() {
    auto* memory = new QGroupBox(QStringLiteral("Stan pamięci modułu"), this);
    auto* form = new QFormLayout(memory);
    for (const StatusField& field : kStatusFields) {
        auto* edit = new QLineEdit(memory);
        edit->setObjectName(QString::fromLatin1(field.name));
        edit->setReadOnly(true);
        edit->setMinimumWidth(150);
        form->addRow(QString::fromUtf8(field.label), edit);
        statusFields_.append(edit);
    }
    loggingBox_ = new QCheckBox(QStringLiteral("Logowanie włączone"), memory);
    // It only shows the module's state: a click puts that state back.
    connect(loggingBox_, &QCheckBox::clicked, this,
            [this] { loggingBox_->setChecked(shown_.connected && shown_.status.loggingEnabled()); });
    form->addRow(loggingBox_);
    return memory;
}

// The operations and the choices of the export and the print.
QVBoxLayout* Crejestrator::buildOperationsColumn() {
    auto* operations = new QVBoxLayout;
    const std::pair<const char*, void (Crejestrator::*)()> actions[] = {
        {"Odczytaj status", &Crejestrator::readStatus},   {"Odczytaj dane", &Crejestrator::exportData},
        {"Wydruk", &Crejestrator::startPrint},            {"Skasuj pamięć", &Crejestrator::clearMemory},
        {"Zmień ustawienia", &Crejestrator::changeLogging},
    };
    for (const auto& [caption, action] : actions) {
        auto* button = new QPushButton(QString::fromUtf8(caption), this);
        connect(button, &QPushButton::clicked, this, action);
        operations->addWidget(button);
        moduleButtons_.append(button);
    }
    chartButton_ = new QPushButton(QStringLiteral("Wykres"), this);
    chartButton_->setToolTip(QStringLiteral("Wykres historii pomiarów z ostatnio zapisanego pliku CSV"));
    connect(chartButton_, &QPushButton::clicked, this, &Crejestrator::showChart);
    operations->addWidget(chartButton_);
    operations->addStretch();
    commaBox_ = new QCheckBox(QStringLiteral("Rozdzielaj przecinkami"), this);
    operations->addWidget(commaBox_);
    // The preview is a step of its own before the print dialog; a user who prints straight
    // from the print dialog switches it off.
    previewBox_ = new QCheckBox(QStringLiteral("Podgląd przed wydrukiem"), this);
    previewBox_->setChecked(true);
    operations->addWidget(previewBox_);
    // Columns moved apart where their values would overlap and the table shrunk to the
    // page width where it would run past it; off, the columns keep their fixed places.
    fitBox_ = new QCheckBox(QStringLiteral("Dopasuj kolumny do strony"), this);
    fitBox_->setChecked(true);
    operations->addWidget(fitBox_);
    return operations;
}

// The download's progress, shown while it runs, and "Koniec pracy".
QHBoxLayout* Crejestrator::buildProgressRow() {
    progress_ = new QProgressBar(this);
    progress_->setTextVisible(false);
    recordsRead_ = new QLineEdit(this);
    recordsRead_->setObjectName(QStringLiteral("recordsRead"));
    recordsRead_->setReadOnly(true);
    recordsRead_->setAlignment(Qt::AlignRight);
    recordsRead_->setMaximumWidth(90);
    for (QWidget* widget : {static_cast<QWidget*>(progress_), static_cast<QWidget*>(recordsRead_)}) {
        QSizePolicy policy = widget->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        widget->setSizePolicy(policy);
    }
    auto* endButton = new QPushButton(QStringLiteral("Koniec pracy"), this);
    connect(endButton, &QPushButton::clicked, this, &Crejestrator::finishWork);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(progress_, 1);
    bottom->addWidget(recordsRead_);
    bottom->addSpacing(12);
    bottom->addWidget(endButton);
    return bottom;
}

QWidget* Crejestrator::buildArchiveControls() {
    // The archive: a file that keeps every record of the module, fetched a part at a time.
    auto* group = new QGroupBox(QStringLiteral("Archiwum"), this);
    archiveFile_ = new QLineEdit(group);
    archiveFile_->setObjectName(QStringLiteral("archiveFile"));
    archiveFile_->setPlaceholderText(QStringLiteral("plik archiwum (.db)"));
    auto* browse = new QPushButton(QStringLiteral("..."), group);
    browse->setMaximumWidth(32);
    browse->setObjectName(QStringLiteral("archiveBrowse"));
    connect(browse, &QPushButton::clicked, this, [this] {
        // An existing archive is gone on with, so choosing one is no overwrite; a name typed
        // without its ending gets ".db".
        QFileDialog dialog(this, QStringLiteral("Plik archiwum"), QString(), QStringLiteral("Archiwa (*.db)"));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
        dialog.setDefaultSuffix(QStringLiteral("db"));
        if (!archiveFile_->text().isEmpty()) dialog.selectFile(archiveFile_->text());
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
        archiveFile_->setText(dialog.selectedFiles().first());
        rememberArchive();
    });
    archiveName_ = new QLineEdit(group);
    archiveName_->setObjectName(QStringLiteral("archiveName"));
    archiveName_->setPlaceholderText(QStringLiteral("nazwa modułu"));
    auto* update = new QPushButton(QStringLiteral("Pobierz do archiwum"), group);
    update->setToolTip(QStringLiteral("Pobiera z modułu tylko rekordy, których nie ma jeszcze w archiwum"));
    connect(update, &QPushButton::clicked, this, &Crejestrator::updateArchive);
    auto* clear = new QPushButton(QStringLiteral("Pobierz i skasuj"), group);
    clear->setToolTip(QStringLiteral("Kasuje pamięć modułu tylko wtedy, gdy archiwum zawiera wszystkie jej rekordy"));
    connect(clear, &QPushButton::clicked, this, &Crejestrator::updateArchiveAndClear);
    moduleButtons_.append(update);
    moduleButtons_.append(clear);

    auto* grid = new QGridLayout(group);
    grid->addWidget(new QLabel(QStringLiteral("Plik"), group), 0, 0);
    grid->addWidget(archiveFile_, 0, 1);
    grid->addWidget(browse, 0, 2);
    grid->addWidget(update, 0, 3);
    grid->addWidget(new QLabel(QStringLiteral("Moduł"), group), 1, 0);
    grid->addWidget(archiveName_, 1, 1, 1, 2);
    grid->addWidget(clear, 1, 3);
    grid->setColumnStretch(1, 1);
    return group;
}

} // namespace kavrel::logger::ui
