#include "config/ui/main_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFileDialog>
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

#include "common/qt/operation_runner.h"
#include "common/qt/qt_text.h"
#include "config/model/settings_file.h"
#include "config/protocol/read_settings.h"
#include "config/protocol/write_settings.h"
#include "config/ui/dialog_gallery.h"
#include "config/ui/dialogs/ccsd.h"
#include "config/ui/dialogs/custaw_sieciowe.h"
#include "config/ui/kit/field_edits.h"
#include "config/ui/kit/settings_dialog.h"
#include "link/connection_settings.h"
#include "link/handshake.h"

namespace kavrel::config::ui {
namespace {

// The settings buttons in the order of the "Ustawienia modułu" group, with the dialog of
// the gallery each one opens ("" for the CSD dialog, which the program never enables).
struct SettingsButton {
    const char* caption;
    const char* dialog;
};

constexpr SettingsButton kSettingsButtons[] = {
    {"Ustawienia ogólne", "ustawienia-ogolne"},
    {"Uprawnienia numerów", "uprawnienia-numerow"},
    {"Linie wejściowe L1...L8", "linie-wejsciowe"},
    {"Teksty powiadomień", "teksty-powiadomien"},
    {"Linie wyjściowe O1...O6", "linie-wyjsciowe"},
    {"Skalowanie (S)", "skalowanie"},
    {"CSD", ""},
    {"Dostęp do Internetu", "dostep-do-internetu"},
    {"Wysyłanie e-mail", "wysylanie-email"},
    {"Linie rozszerzone (XL)", "linie-rozszerzone"},
};

constexpr int kCommandLineNameMax = 1023;

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
    : QWidget(parent), settings_(settings), link_(link::LinkVariant::configurator()) {
    setWindowTitle(QStringLiteral("Konfigurator Kavrel"));
    runner_ = new OperationRunner(this);
    networkDialog_ = new Custaw_sieciowe(this);

    auto* menu = new QMenuBar(this);
    QMenu* help = menu->addMenu(QStringLiteral("&Pomoc"));
    help->addAction(QStringLiteral("&O programie..."), this, &Ckonfigurator::showAbout);

    auto* versionLabel = new QLabel(QStringLiteral("Wersja modułu"), this);
    versionEdit_ = new QLineEdit(this);
    versionEdit_->setReadOnly(true);
    clockBox_ = new QCheckBox(QStringLiteral("Ustaw zegar RTC w module"), this);
    countersBox_ = new QCheckBox(QStringLiteral("Wyzeruj stan liczników"), this);
    eventsBox_ = new QCheckBox(QStringLiteral("Skasuj pamięć zdarzeń"), this);
    restartBox_ = new QCheckBox(QStringLiteral("Restart modułu po wysłaniu ustawień"), this);
    clockBox_->setChecked(true);
    restartBox_->setChecked(true);
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

    auto* options = new QVBoxLayout;
    auto* versionRow = new QHBoxLayout;
    versionRow->addWidget(versionLabel);
    versionRow->addWidget(versionEdit_, 1);
    options->addLayout(versionRow);
    for (QCheckBox* box : {clockBox_, countersBox_, eventsBox_, restartBox_}) options->addWidget(box);
    options->addStretch();

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

    connect(runner_, &OperationRunner::statusChanged, this, &Ckonfigurator::setStatus);
    connect(runner_, &OperationRunner::statusAppended, this, &Ckonfigurator::appendStatus);
    connect(runner_, &OperationRunner::progressChanged, progress_, &QProgressBar::setValue);
    connect(runner_, &OperationRunner::versionChanged, versionEdit_, &QLineEdit::setText);
    connect(runner_, &OperationRunner::finished, this, [this] { setOperationRunning(false); });

    // The connection kept from the last run (created with the defaults on the first).
    const link::ConnectionSettings connection = link::loadConnectionSettings(settings_);
    comPort_ = static_cast<int>(connection.comPort);
    comEdit_->setNumber(comPort_);
    networkDialog_->setConnection(QString::fromStdString(connection.moduleAddress), static_cast<int>(connection.tcpPort));
    link_.setModuleAddress(connection.moduleAddress);
    link_.setTcpPort(connection.tcpPort);
    link_.setSerialTiming(link::loadSerialTiming(settings_));
    (connection.tcpMode ? tcpRadio_ : comRadio_)->setChecked(true);
    selectTcp(connection.tcpMode);

    // The settings file named on the command line (a file opened with the program), else
    // the default file of the working folder.
    QString name = startupFile;
    name.remove(QLatin1Char('"'));
    name.truncate(kCommandLineNameMax);
    if (name.isEmpty()) name = QString::fromLatin1(kStartupSettingsFile);
    StatusBoxObserver observer(this, [this](const QString& t, bool append) { append ? appendStatus(t) : setStatus(t); });
    loadStartupFile(name.toStdString(), record_, observer);
}

Ckonfigurator::~Ckonfigurator() = default;

QGroupBox* Ckonfigurator::buildSettingsButtons() {
    auto* group = new QGroupBox(QStringLiteral("Ustawienia modułu"), this);
    auto* grid = new QGridLayout(group);
    int index = 0;
    for (const SettingsButton& entry : kSettingsButtons) {
        auto* button = new QPushButton(QString::fromUtf8(entry.caption), group);
        grid->addWidget(button, index % 5, index / 5);
        if (*entry.dialog == '\0') {
            button->setEnabled(false);  // CSD: offered by the module's menu, never enabled here
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
             const QString path = QFileDialog::getOpenFileName(this, QString(), QString(),
                                                               QString::fromLatin1(kSettingsFileFilter));
             if (!path.isEmpty()) loadFromDisk(path);
         }},
        {"Zapisz na dysk",
         [this] {
             QFileDialog dialog(this, QString(), QString(), QString::fromLatin1(kSettingsFileFilter));
             dialog.setAcceptMode(QFileDialog::AcceptSave);
             dialog.setDefaultSuffix(QString::fromLatin1(kSettingsFileExtension));
             if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
                 saveToDisk(dialog.selectedFiles().first());
         }},
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
    comEdit_ = new NumberEdit(0, 255, group);
    comEdit_->setObjectName(QStringLiteral("comPort"));
    auto* networkButton = new QPushButton(QStringLiteral("Ustawienia TCP/IP"), group);
    grid->addWidget(comRadio_, 0, 0);
    grid->addWidget(comEdit_, 0, 1);
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
    link_.setTcpMode(tcp);
    networkDialog_->setNetworkChosen(tcp);
    if (tcp) {
        link_.setModuleAddress(networkDialog_->address().toStdString());
        link_.setTcpPort(static_cast<std::uint32_t>(networkDialog_->port()));
    }
}

void Ckonfigurator::editNetworkSettings() {
    networkDialog_->exec();
    link_.setModuleAddress(networkDialog_->address().toStdString());
    link_.setTcpPort(static_cast<std::uint32_t>(networkDialog_->port()));
}

void Ckonfigurator::takeControlValues() {
    // A port number that does not pass is reported, and the previous one is used.
    if (const QString problem = comEdit_->problem(); !problem.isEmpty()) {
        SettingsDialog::reportProblem(this, problem);
        comEdit_->setNumber(comPort_);
    } else {
        comPort_ = *comEdit_->number();
    }
}

Ckonfigurator::WriteOptions Ckonfigurator::writeOptions() const {
    return {clockBox_->isChecked(), countersBox_->isChecked(), eventsBox_->isChecked(), restartBox_->isChecked()};
}

void Ckonfigurator::openDialog(int index) {
    const char* name = kSettingsButtons[index].dialog;
    for (const GalleryEntry& entry : dialogGallery()) {
        if (std::string_view(entry.name) != name) continue;
        std::unique_ptr<QWidget> widget(entry.make(record_));
        auto* dialog = qobject_cast<SettingsDialog*>(widget.get());
        if (!dialog) return;
        dialog->setParent(this, dialog->windowFlags());
        if (dialog->exec() == QDialog::Accepted) record_ = dialog->record();
        return;
    }
}

void Ckonfigurator::setOperationRunning(bool running) {
    for (QWidget* widget : busyDisabled_) widget->setEnabled(!running);
    if (running) QApplication::setOverrideCursor(Qt::BusyCursor);
    else QApplication::restoreOverrideCursor();
}

void Ckonfigurator::startOperation(std::function<void(OperationObserver&)> operation) {
    if (runner_->isRunning()) return;
    takeControlValues();
    setOperationRunning(true);
    runner_->start(std::move(operation));
}

void Ckonfigurator::readVersion() {
    startOperation([this, port = comPort_](OperationObserver& observer) {
        link::readModuleVersion(link_, port, observer);
    });
}

void Ckonfigurator::readFromModule() {
    startOperation([this, port = comPort_](OperationObserver& observer) {
        readSettings(link_, port, record_, observer);
    });
}

void Ckonfigurator::sendToModule() {
    const WriteOptions options = writeOptions();
    ServiceChoice choice;
    choice.setClock = options.setClock;
    choice.resetCounters = options.resetCounters;
    choice.eraseLog = options.eraseEvents;
    choice.restart = options.restart;
    startOperation([this, port = comPort_, choice](OperationObserver& observer) {
        static const SystemClock clock;
        writeSettings(link_, port, record_, readBack_, choice, observer, WriteContext{clock, sleepMs});
    });
}

void Ckonfigurator::loadFromDisk(const QString& path) {
    StatusBoxObserver observer(this, [this](const QString& t, bool append) { append ? appendStatus(t) : setStatus(t); });
    loadSettingsFromFile(path.toStdString(), record_, observer);
}

void Ckonfigurator::saveToDisk(const QString& path) {
    StatusBoxObserver observer(this, [this](const QString& t, bool append) { append ? appendStatus(t) : setStatus(t); });
    saveSettingsToFile(path.toStdString(), record_, observer);
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
    connection.comPort = static_cast<std::uint32_t>(comPort_);
    connection.tcpMode = link_.tcpMode();
    connection.moduleAddress = networkDialog_->address().toStdString();
    connection.tcpPort = static_cast<std::uint32_t>(networkDialog_->port());
    link::saveConnectionSettings(settings_, connection);
}

void Ckonfigurator::finishWork() { close(); }

void Ckonfigurator::closeEvent(QCloseEvent* event) {
    // An operation in progress ends first: it owns the link and writes into the record.
    if (runner_->isRunning()) runner_->waitForFinished();
    saveConnection();
    event->accept();
}

} // namespace kavrel::config::ui
