#include "config/ui/main_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "common/qt/fields/field_checks.h"
#include "common/qt/fields/field_edits.h"
#include "common/qt/operation_runner.h"
#include "link/qt/port_picker.h"
#include "link/qt/trace_choice_row.h"
#include "common/qt/qt_text.h"
#include "common/registry_key.h"
#include "common/win1250.h"
#include "config/model/backup_store.h"
#include "config/model/settings_compare.h"
#include "config/model/settings_file.h"
#include "config/model/version_notes.h"
#include "config/protocol/connection_names.h"
#include "config/protocol/write_check.h"
#include "config/ui/dialogs/backups_dialog.h"
#include "config/ui/dialogs/ccsd.h"
#include "config/ui/dialogs/changes_dialog.h"
#include "config/ui/dialogs/write_history_dialog.h"
#include "config/ui/dialogs/custaw_sieciowe.h"
#include "config/ui/dialogs/unfinished_write_box.h"
#include "config/ui/dialogs/write_check_box.h"
#include "config/ui/kit/settings_dialog.h"
#include "config/ui/settings_buttons.h"
#include "link/connection_settings.h"
#include "link/ports/serial_device.h"

namespace kavrel::config::ui {
namespace {

constexpr int kCommandLineNameMax = 1023;

// The user's choice of "Pokaż zmiany przed wysłaniem", beside the connection settings.
constexpr const char* kShowChangesValue = "Pokaz_zmiany";

QString openSettingsFileName(QWidget* parent) {
    return QFileDialog::getOpenFileName(parent, QString(), QString(), QString::fromLatin1(kSettingsFileFilter));
}

// The status box shows the operation's CR LF line ends as plain new lines.
QString shown(const QString& status) { return QString(status).replace(QStringLiteral("\r\n"), QStringLiteral("\n")); }

// Reports of the file operations, which run on the window's own thread.
class StatusBoxObserver final : public OperationObserver {
public:
    explicit StatusBoxObserver(Ckonfigurator* window, std::function<void(const QString&, bool)> show)
        : window_(window), show_(std::move(show)) {}
    void status(const std::string& text) override { show_(toQString(text), false); }
    void appendStatus(const std::string& text) override { show_(toQString(text), true); }
    void progress(int) override {}
    void message(const std::string& text, MessageIcon) override {
        QMessageBox::warning(window_, window_->windowTitle(), toQString(text));
    }
    bool askYesNo(const std::string& text) override {
        return QMessageBox::question(window_, window_->windowTitle(), toQString(text)) == QMessageBox::Yes;
    }

private:
    Ckonfigurator* window_;
    std::function<void(const QString&, bool)> show_;
};

} // namespace

Ckonfigurator::Ckonfigurator(SettingsStore& settings, const QString& startupFile, QWidget* parent)
    : QWidget(parent), settings_(settings), operations_(this, *this) {
    setWindowTitle(QStringLiteral("Konfigurator Kavrel"));
    networkDialog_ = new Custaw_sieciowe(this);
    networkDialog_->setObjectName(QStringLiteral("networkDialog"));

    buildWindow();
    connectRunner();
    restoreConnection();
    openStartupFile(startupFile);
}

// The settings buttons, the operations, the port and the options side by side, with the
// progress, the status box and "Koniec pracy" below.
void Ckonfigurator::buildWindow() {
    auto* menu = new QMenuBar(this);
    QMenu* help = menu->addMenu(QStringLiteral("&Pomoc"));
    help->addAction(QStringLiteral("&Przebieg transmisji..."), this, [this] { TraceChoiceDialog(settings_, this).exec(); });
    help->addAction(QStringLiteral("&O programie..."), this, &Ckonfigurator::showAbout);

    QVBoxLayout* options = buildOptions();
    progress_ = new QProgressBar(this);
    progress_->setRange(0, 100);
    progress_->setValue(0);
    progress_->setTextVisible(false);
    status_ = new QPlainTextEdit(this);
    status_->setReadOnly(true);
    status_->setMinimumHeight(70);
    status_->setFixedHeight(110);
    auto* endButton = new QPushButton(QStringLiteral("Koniec pracy"), this);
    connect(endButton, &QPushButton::clicked, this, &Ckonfigurator::finishWork);

    auto* top = new QHBoxLayout;
    top->addWidget(buildSettingsButtons());
    top->addWidget(buildOperations());
    auto* right = new QVBoxLayout;
    right->addWidget(buildPortGroup());
    right->addLayout(options);
    top->addLayout(right);

    auto* layout = new QVBoxLayout(this);
    layout->setMenuBar(menu);
    layout->addLayout(top);
    auto* progressRow = new QHBoxLayout;
    progressRow->addWidget(new QLabel(QStringLiteral("Postęp"), this));
    progressRow->addWidget(progress_, 1);
    layout->addLayout(progressRow);
    layout->addWidget(new QLabel(QStringLiteral("Status"), this));
    layout->addWidget(status_, 1);
    auto* endRow = new QHBoxLayout;
    endRow->addStretch();
    endRow->addWidget(endButton);
    layout->addLayout(endRow);
}

// The module's version and the check boxes of a write.
QVBoxLayout* Ckonfigurator::buildOptions() {
    auto* versionLabel = new QLabel(QStringLiteral("Wersja modułu"), this);
    versionEdit_ = new QLineEdit(this);
    versionEdit_->setReadOnly(true);
    clockBox_ = new QCheckBox(QStringLiteral("Ustaw zegar RTC w module"), this);
    countersBox_ = new QCheckBox(QStringLiteral("Wyzeruj stan liczników"), this);
    eventsBox_ = new QCheckBox(QStringLiteral("Skasuj pamięć zdarzeń"), this);
    restartBox_ = new QCheckBox(QStringLiteral("Restart modułu po wysłaniu ustawień"), this);
    clockBox_->setChecked(true);
    restartBox_->setChecked(true);
    showChangesBox_ = new QCheckBox(QStringLiteral("Pokaż zmiany przed wysłaniem"), this);
    showChangesBox_->setObjectName(QStringLiteral("showChanges"));
    showChangesBox_->setToolTip(QStringLiteral("Przed wysłaniem odczytuje ustawienia modułu, pokazuje zmieniane pola\n"
                                               "i zapisuje poprzednie ustawienia w kopii zapasowej."));
    auto* options = new QVBoxLayout;
    auto* versionRow = new QHBoxLayout;
    versionRow->addWidget(versionLabel);
    versionRow->addWidget(versionEdit_, 1);
    options->addLayout(versionRow);
    for (QCheckBox* box : {clockBox_, countersBox_, eventsBox_, restartBox_, showChangesBox_}) options->addWidget(box);
    options->addStretch();
    return options;
}

void Ckonfigurator::connectRunner() {
    OperationRunner* runner = &operations_.runner();
    connect(runner, &OperationRunner::statusChanged, this, &Ckonfigurator::setStatus);
    connect(runner, &OperationRunner::statusAppended, this, &Ckonfigurator::appendStatus);
    connect(runner, &OperationRunner::progressChanged, progress_, &QProgressBar::setValue);
    connect(runner, &OperationRunner::versionChanged, versionEdit_, &QLineEdit::setText);
    connect(runner, &OperationRunner::finished, this, [this] { setOperationRunning(false); });
}

void Ckonfigurator::restoreConnection() {
    // The connection kept from the last run (created with the defaults on the first).
    connection_ = link::loadConnectionSettings(settings_);
    comEdit_->setNumber(connection_.comPort);
    networkDialog_->setConnection(QString::fromStdString(connection_.moduleAddress), static_cast<int>(connection_.tcpPort));
    (connection_.useTcp ? tcpRadio_ : comRadio_)->setChecked(true);
    selectTcp(connection_.useTcp);
    {
        RegistryKey key(settings_);
        std::uint32_t showChanges = 1;  // on unless the user turned it off
        if (key.open(link::kConnectionKey) == RegistryResult::Ok)
            (void)key.readNumber(kShowChangesValue, showChanges);  // a missing value keeps it on
        showChangesBox_->setChecked(showChanges != 0);
    }
    connect(showChangesBox_, &QCheckBox::toggled, this, &Ckonfigurator::rememberShowChanges);
}

void Ckonfigurator::openStartupFile(const QString& startupFile) {
    // The settings file named on the command line (a file opened with the program), else
    // the default file of the working folder.
    QString name = startupFile;
    name.remove(QLatin1Char('"'));
    name.truncate(kCommandLineNameMax);
    if (name.isEmpty()) name = QString::fromLatin1(kStartupSettingsFile);
    StatusBoxObserver observer(this, [this](const QString& t, bool append) { append ? appendStatus(t) : setStatus(t); });
    (void)loadStartupFile(name.toStdString(), record_, observer);  // the status says how it went
    takeNotedVersion();
}

// Where the bytes now in the window came from, as noted when they were read from a module
// and saved; kept through the edits that follow, so that a file of another firmware is
// checked before a write however it was opened.
void Ckonfigurator::takeNotedVersion() {
    const auto noted = notedSettingsVersions(backupFolder(), record_);
    recordVersion_ = noted.empty() ? std::string() : noted.back();
}

Ckonfigurator::~Ckonfigurator() {
    // A running operation works on its own copies, but it reports through the runner and
    // would hand its results back here: it ends before the window's members go away, at
    // once when it only reads.
    if (operations_.running() && !operations_.writeUnderWay()) operations_.interrupt();
    if (operations_.abandon()) QApplication::restoreOverrideCursor();
}

QGroupBox* Ckonfigurator::buildSettingsButtons() {
    auto* group = new QGroupBox(QStringLiteral("Ustawienia modułu"), this);
    auto* grid = new QGridLayout(group);
    int index = 0;
    for (const SettingsButton& entry : settingsButtons()) {
        auto* button = new QPushButton(QString::fromUtf8(entry.caption), group);
        grid->addWidget(button, index % 5, index / 5);
        if (!entry.enabled) {
            button->setEnabled(false);
        } else {
            connect(button, &QPushButton::clicked, this, [this, index] { openDialog(index); });
            busyDisabled_.append(button);
        }
        ++index;
    }
    return group;
}

QGroupBox* Ckonfigurator::buildOperations() {
    auto* group = new QGroupBox(QStringLiteral("Operacje"), this);
    auto* column = new QVBoxLayout(group);
    const std::pair<const char*, std::function<void()>> actions[] = {
        {"Odczytaj z dysku",
         [this] {
             beginFileOperation();
             const QString path = openSettingsFileName(this);
             if (!path.isEmpty()) loadFromDisk(path);
         }},
        {"Zapisz na dysk",
         [this] {
             beginFileOperation();
             QFileDialog dialog(this, QString(), QString(), QString::fromLatin1(kSettingsFileFilter));
             dialog.setAcceptMode(QFileDialog::AcceptSave);
             dialog.setDefaultSuffix(QString::fromLatin1(kSettingsFileExtension));
             if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
                 saveToDisk(dialog.selectedFiles().first());
         }},
        {"Porównaj z plikiem...",
         [this] {
             const QString path = openSettingsFileName(this);
             if (!path.isEmpty()) compareWithFile(path);
         }},
        {"Kopie zapasowe...", [this] { showBackups(); }},
        {"Historia zapisów...", [this] { showWriteHistory(this); }},
        {"Wersja modułu", [this] { readVersion(); }},
        {"Odczytaj z modułu", [this] { readFromModule(); }},
        {"Wyślij do modułu", [this] { sendToModule(); }},
    };
    for (const auto& [caption, action] : actions) {
        auto* button = new QPushButton(QString::fromUtf8(caption), group);
        connect(button, &QPushButton::clicked, this, action);
        column->addWidget(button);
        busyDisabled_.append(button);
    }
    column->addStretch();
    return group;
}

QGroupBox* Ckonfigurator::buildPortGroup() {
    auto* group = new QGroupBox(QStringLiteral("Port komunikacyjny"), this);
    auto* grid = new QGridLayout(group);
    comRadio_ = new QRadioButton(QStringLiteral("COM"), group);
    tcpRadio_ = new QRadioButton(QStringLiteral("TCP/IP"), group);
    comEdit_ = new kavrel::ui::NumberEdit(0, 255, group);
    comEdit_->setObjectName(QStringLiteral("comPort"));
    auto* networkButton = new QPushButton(QStringLiteral("Ustawienia TCP/IP"), group);
    grid->addWidget(comRadio_, 0, 0);
    grid->addWidget(withPortPicker(comEdit_, settings_), 0, 1);
    grid->addWidget(tcpRadio_, 1, 0);
    grid->addWidget(networkButton, 1, 1);
    connect(comRadio_, &QRadioButton::clicked, this, [this] { selectTcp(false); });
    connect(tcpRadio_, &QRadioButton::clicked, this, [this] { selectTcp(true); });
    connect(networkButton, &QPushButton::clicked, this, &Ckonfigurator::editNetworkSettings);
    busyDisabled_ << comRadio_ << tcpRadio_ << comEdit_ << networkButton;
    return group;
}

void Ckonfigurator::showAbout() {
    QMessageBox box(this);
    box.setWindowTitle(QStringLiteral("O programie"));
    box.setIconPixmap(windowIcon().pixmap(32, 32));
    box.setText(QStringLiteral("Konfigurator Kavrel wersja 3.6G"));
    box.setInformativeText(QStringLiteral("Konfiguracja modułu Kavrel przez port szeregowy lub sieć TCP/IP.\n"
                                          "Ustawienia zapisywane w plikach *.kvl."));
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
}

void Ckonfigurator::selectTcp(bool tcp) {
    connection_.useTcp = tcp;
    networkDialog_->setNetworkChosen(tcp);
    if (tcp) {
        connection_.moduleAddress = networkDialog_->address().toStdString();
        connection_.tcpPort = static_cast<std::uint32_t>(networkDialog_->port());
    }
}

void Ckonfigurator::editNetworkSettings() {
    networkDialog_->exec();
    connection_.moduleAddress = networkDialog_->address().toStdString();
    connection_.tcpPort = static_cast<std::uint32_t>(networkDialog_->port());
}

void Ckonfigurator::takeControlValues() {
    // A port number that does not pass is reported, and the previous one is used.
    if (const QString problem = comEdit_->problem(); !problem.isEmpty()) {
        kavrel::ui::reportFieldProblem(this, problem);
        comEdit_->setNumber(connection_.comPort);
    } else {
        connection_.comPort = *comEdit_->number();
    }
}

Ckonfigurator::WriteOptions Ckonfigurator::writeOptions() const {
    return {clockBox_->isChecked(), countersBox_->isChecked(), eventsBox_->isChecked(), restartBox_->isChecked()};
}

void Ckonfigurator::openDialog(int index) {
    if (operations_.running()) return;  // the record is about to be replaced by the operation
    std::unique_ptr<QWidget> widget(settingsButtons()[static_cast<std::size_t>(index)].make(record_));
    auto* dialog = qobject_cast<SettingsDialog*>(widget.get());
    if (!dialog) return;
    dialog->setParent(this, dialog->windowFlags());
    if (dialog->exec() == QDialog::Accepted) record_ = dialog->record();
}

void Ckonfigurator::setOperationRunning(bool running) {
    for (QWidget* widget : busyDisabled_) widget->setEnabled(!running);
    if (running) QApplication::setOverrideCursor(Qt::BusyCursor);
    else QApplication::restoreOverrideCursor();
}

// The one place an operation is built: the controls' values are taken first (a port
// number typed just before the click counts), then everything the operation needs is
// copied, and the worker gets a link of its own.
void Ckonfigurator::startOperation(ModuleWork work, OperationKind kind) {
    if (operations_.running()) return;
    takeControlValues();
    const WriteOptions options = writeOptions();
    auto copies = std::make_shared<OperationCopies>();
    // The port mapping ("..." beside the COM number) and the serial timing are read here,
    // so the worker never touches the window's settings store.
    copies->connection = link::chosenConnection(connection_, settings_);
    QString traceFailure;
    copies->trace = traceForNextOperation(settings_, traceFailure);
    if (!traceFailure.isEmpty()) QMessageBox::warning(this, windowTitle(), traceFailure);
    copies->record = record_;
    copies->readBack = readBack_;
    copies->choice.setClock = options.setClock;
    copies->choice.resetCounters = options.resetCounters;
    copies->choice.eraseLog = options.eraseEvents;
    copies->choice.restart = options.restart;
    setOperationRunning(true);
    operations_.start(std::move(copies), std::move(work), kind,
                      [this](OperationResults results) { takeResults(std::move(results)); });
}

// The one place results come back, on the window's thread, when the operation has ended.
void Ckonfigurator::takeResults(OperationResults results) {
    if (results.record) record_ = *results.record;
    if (results.readBack) readBack_ = *results.readBack;
    if (results.recordVersion) recordVersion_ = *results.recordVersion;
}

void Ckonfigurator::readVersion() { startOperation(ModuleOperations::readVersion()); }

void Ckonfigurator::readFromModule() { startOperation(ModuleOperations::readFromModule()); }

void Ckonfigurator::sendToModule() {
    // The firmware the record came from, when it was noted at a read or a save.
    const std::string folder = backupFolder();
    if (!backupFolderKnown()) return;
    std::vector<std::string> fileVersions = notedSettingsVersions(folder, record_);
    if (!recordVersion_.empty()) fileVersions.push_back(recordVersion_);
    if (showChangesBox_->isChecked())
        startOperation(operations_.sendReviewed(folder, std::move(fileVersions)), OperationKind::ReviewedWrite);
    else
        startOperation(operations_.sendPlanned(folder, std::move(fileVersions)), OperationKind::Write);
}

void Ckonfigurator::offerUnfinishedWrite() {
    if (operations_.running()) return;
    const auto unfinished = findUnfinishedWrite(backupFolder(), journalIdentity(link::chosenConnection(connection_, settings_)));
    if (!unfinished) return;
    CniedokonczonyZapis box(*unfinished, this);
    box.exec();
    switch (box.choice()) {
    case UnfinishedWriteChoice::Resume: resumeUnfinished(*unfinished); break;
    case UnfinishedWriteChoice::Restore: restoreUnfinished(*unfinished); break;
    case UnfinishedWriteChoice::Leave: break;
    }
}

// The window's record becomes what the module holds once the write is verified.
void Ckonfigurator::resumeUnfinished(const UnfinishedWrite& unfinished) {
    const std::string folder = backupFolder();
    if (!backupFolderKnown()) return;
    startOperation(ModuleOperations::resumeUnfinished(unfinished, folder), OperationKind::Write);
}

void Ckonfigurator::restoreUnfinished(const UnfinishedWrite& unfinished) {
    SettingsImage backup;
    const std::string& path = unfinished.journal.backupPath;
    if (loadSettingsFile(path, backup) != FileResult::Ok) {
        QMessageBox::warning(this, windowTitle(),
                             toQString(W("Błąd otwarcia pliku do odczytu")) + QStringLiteral(":\n") + QString::fromStdString(path));
        return;
    }
    startOperation(operations_.restoreUnfinished(unfinished, std::move(backup), backupFolder()), OperationKind::Write);
}

// Loading and saving start as every operation does: the controls' values are taken and
// the status is cleared, also when the file dialog is then cancelled.
void Ckonfigurator::beginFileOperation() {
    takeControlValues();
    setStatus(QString());
}

bool Ckonfigurator::loadFromDisk(const QString& path) {
    if (operations_.running()) return false;
    StatusBoxObserver observer(this, [this](const QString& t, bool append) { append ? appendStatus(t) : setStatus(t); });
    // The status says how it went; where the file came from is kept through the edits that follow.
    if (loadSettingsFromFile(path.toStdString(), record_, observer) == FileResult::Ok) takeNotedVersion();
    return true;
}

bool Ckonfigurator::saveToDisk(const QString& path) {
    if (operations_.running()) return false;
    StatusBoxObserver observer(this, [this](const QString& t, bool append) { append ? appendStatus(t) : setStatus(t); });
    // The status says how it went; the file holds no version, so it is noted beside the backups.
    if (saveSettingsToFile(path.toStdString(), record_, observer) == FileResult::Ok && !recordVersion_.empty())
        (void)noteSettingsVersion(backupFolder(), record_, recordVersion_);
    return true;
}

bool Ckonfigurator::confirmChanges(const std::vector<FieldChange>& changes) {
    Czmiany dialog(changes, Czmiany::Purpose::BeforeWrite, this);
    return dialog.exec() == QDialog::Accepted;
}

bool Ckonfigurator::confirmWriteCheck(const WriteCheck& check) {
    CsprawdzeniePliku box(check, this);
    box.exec();
    return box.sendChosen();
}

void Ckonfigurator::compareWithFile(const QString& path) {
    SettingsImage file;
    if (loadSettingsFile(path.toStdString(), file) != FileResult::Ok) {
        QMessageBox::warning(this, windowTitle(), toQString(W("Błąd otwarcia pliku do odczytu")));
        return;
    }
    Czmiany dialog(compareSettings(record_, file, CompareMode::Values), Czmiany::Purpose::CompareFile, this,
                   QFileInfo(path).fileName());
    dialog.exec();
}

// A write keeps its journal and backups in the backup folder: without one (no user folder
// in the environment) nothing is sent.
bool Ckonfigurator::backupFolderKnown() {
    if (!backupFolder().empty()) return true;
    QMessageBox::warning(this, windowTitle(), toQString(noBackupFolderText()));
    return false;
}

void Ckonfigurator::showBackups() {
    const std::string folder = backupFolder();
    if (!backupFolderKnown()) return;
    Ckopie dialog(listBackups(folder), QString::fromStdString(folder), this);
    if (dialog.exec() == QDialog::Accepted && !dialog.chosenPath().isEmpty()) loadFromDisk(dialog.chosenPath());
}

void Ckonfigurator::rememberShowChanges(bool on) {
    RegistryKey key(settings_);
    // Best effort: a choice that cannot be kept is only asked again next time.
    if (key.open(link::kConnectionKey) == RegistryResult::Ok) (void)key.writeNumber(kShowChangesValue, on ? 1 : 0);
}

QString Ckonfigurator::statusText() const { return status_->toPlainText(); }

void Ckonfigurator::setStatus(const QString& text) { status_->setPlainText(shown(text)); }

void Ckonfigurator::appendStatus(const QString& text) {
    status_->setPlainText(status_->toPlainText() + shown(text));
}

void Ckonfigurator::saveConnection() {
    if (connectionSaved_) return;
    connectionSaved_ = true;
    takeControlValues();
    link::ConnectionSettings connection;
    connection.comPort = connection_.comPort;
    connection.useTcp = connection_.useTcp;
    connection.moduleAddress = networkDialog_->address().toStdString();
    connection.tcpPort = static_cast<std::uint32_t>(networkDialog_->port());
    // Said on the way out: the next start would find the old connection.
    if (link::saveConnectionSettings(settings_, connection) != FileResult::Ok)
        QMessageBox::warning(this, windowTitle(), QStringLiteral("Błąd zapisu ustawień programu."));
}

void Ckonfigurator::finishWork() { close(); }

void Ckonfigurator::closeEvent(QCloseEvent* event) {
    if (operations_.running()) {
        if (operations_.writeUnderWay()) {
            // A write is never cut in half: the module would be left with part of the settings.
            const auto answer = QMessageBox::question(
                this, windowTitle(),
                QStringLiteral("Trwa zapis ustawień do modułu; przerwany zostawiłby w module tylko część "
                               "ustawień.\n\nZaczekać na koniec zapisu i zamknąć program?"));
            if (answer != QMessageBox::Yes) {
                event->ignore();
                return;
            }
            operations_.waitForFinished();
        } else {
            // Only reads (or a reviewed write still reading): its waits end at once, what
            // it would still say or hand back is dropped, and nothing is sent.
            operations_.cancelForClose();
            hide();
            if (operations_.abandon()) QApplication::restoreOverrideCursor();
        }
    }
    saveConnection();
    event->accept();
}

} // namespace kavrel::config::ui
