#include "monitor/ui/main_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QDateTime>
#include <QFileDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QMetaObject>
#include <QPushButton>
#include <QScrollArea>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "common/qt/operation_runner.h"
#include "common/qt/qt_text.h"
#include "common/registry_key.h"
#include "link/qt/trace_choice_row.h"
#include "link/ports/serial_device.h"
#include "monitor/ui/csetupprog.h"
#include "monitor/ui/custaw_ext.h"
#include "monitor/poll_session.h"
#include "monitor/ui/readings_panel.h"
#include "monitor/ui/settings_paths.h"
#include "monitor/ui/trend_chart.h"

namespace kavrel::monitor::ui {
namespace {

constexpr int kCommandWordsMax = 10;
constexpr int kCommandWordMax = 255;
constexpr int kTrendShownMinPx = 120;   // the least of the trend a smaller window shows
constexpr const char* kSettingsFilter = "Pliki konfiguracji (*.CFG)";
constexpr const char* kSettingsExtension = "cfg";
// The monitor's own choices beside the shared connection key: whether the trend is shown.
constexpr const char* kMonitorKey = "Software\\Ostrevan\\Kavrel-Monitor";
constexpr const char* kTrendValue = "Wykres";
constexpr const char* kReconnectValue = "Wznawianie";

} // namespace

Cmonitor::Cmonitor(SettingsStore& store, const QStringList& arguments, QWidget* parent)
    : QWidget(parent), store_(store) {
    setWindowTitle(QStringLiteral("Kavrel-Monitor"));
    setUpOperations();
    buildWindow();
    const QStringList words = loadStartupSettings(arguments);
    restoreTrendAndReconnect();

    showSettingsInWindow();
    draw();
    setPollingButtons(false, false);
    // The first focus is the window's own, where Enter reaches its default (ending the
    // program), not a button or a check box that Enter would press.
    setFocusPolicy(Qt::StrongFocus);
    setFocus(Qt::OtherFocusReason);
    if (words.size() > 1 && words[1].startsWith(QStringLiteral("/start"))) startPolling();
}

// Messages, the worker that runs the exchanges, and the timer that starts one every 5 s.
void Cmonitor::setUpOperations() {
    showMessage_ = [this](const QString& text, MessageIcon icon) {
        const auto boxIcon = icon == MessageIcon::Error     ? QMessageBox::Critical
                             : icon == MessageIcon::Warning ? QMessageBox::Warning
                                                            : QMessageBox::Information;
        QMessageBox box(boxIcon, windowTitle(), text, QMessageBox::Ok, this);
        box.exec();
    };
    runner_ = new OperationRunner(this);
    runner_->setMessageHandler([this](const QString& text, MessageIcon icon) { message(text, icon); });
    connect(runner_, &OperationRunner::finished, this, &Cmonitor::stepFinished);
    pollTimer_ = new QTimer(this);
    pollTimer_->setObjectName(QStringLiteral("pollTimer"));
    pollTimer_->setInterval(kPollPeriodMs);
    connect(pollTimer_, &QTimer::timeout, this, &Cmonitor::pollTick);
}

// The menu, the readings side by side, the extended lines and the trend below them.
void Cmonitor::buildWindow() {
    auto* menu = new QMenuBar(this);
    QMenu* view = menu->addMenu(QStringLiteral("&Widok"));
    trendAction_ = view->addAction(QStringLiteral("&Wykres odczytów"));
    trendAction_->setCheckable(true);
    connect(trendAction_, &QAction::toggled, this, &Cmonitor::setTrendShown);
    // Polling goes on by itself after an adapter unplugged and plugged in again or a TCP
    // peer restarted; off, a lost connection stays lost until STOP and START.
    QMenu* connectionMenu = menu->addMenu(QStringLiteral("&Połączenie"));
    reconnectAction_ = connectionMenu->addAction(QStringLiteral("&Wznawiaj po przerwie"));
    reconnectAction_->setObjectName(QStringLiteral("reconnectAction"));
    reconnectAction_->setCheckable(true);
    reconnectAction_->setChecked(true);
    QMenu* help = menu->addMenu(QStringLiteral("&Pomoc"));
    help->addAction(QStringLiteral("&O programie..."), this, &Cmonitor::showAbout);

    readings_ = std::make_unique<ReadingsPanel>(this);
    extendedReadings_ = new ExtendedReadingsPanel(this);
    auto* top = new QHBoxLayout;
    readings_->addColumns(*top);
    top->addWidget(buildButtons());

    QWidget* trend = buildTrendPanel();
    auto* layout = new QVBoxLayout(this);
    layout->setMenuBar(menu);
    layout->addLayout(top);
    layout->addWidget(extendedReadings_);
    layout->addWidget(trend, 1);
}

QWidget* Cmonitor::buildTrendPanel() {
    trendPanel_ = new QGroupBox(QStringLiteral("Wykres odczytów L1...L8"), this);
    trend_ = new TrendChart(trendPanel_);
    // On a small screen the trend scrolls rather than push the buttons off the screen.
    auto* trendScroll = new QScrollArea(trendPanel_);
    trendScroll->setWidget(trend_);
    trendScroll->setWidgetResizable(true);
    trendScroll->setFrameShape(QFrame::NoFrame);
    trendScroll->setMinimumHeight(kTrendShownMinPx);
    (new QVBoxLayout(trendPanel_))->addWidget(trendScroll);
    return trendPanel_;
}

// The settings the window starts with; returns the command line's words (at most
// kCommandWordsMax, each cut to kCommandWordMax).
QStringList Cmonitor::loadStartupSettings(const QStringList& arguments) {
    // Start-up: the connection kept by the last run (its port number first), the default
    // settings file without its port, then the command line's file with its port.
    connection_ = link::loadConnectionSettings(store_);
    settings_.comPort = connection_.comPort;
    const int keptPort = settings_.comPort;
    // An absent or invalid file leaves the defaults; the start-up says nothing about it, nor
    // about the command line's file below.
    (void)loadMonitorSettings(kDefaultSettingsFile, settings_);
    settings_.comPort = keptPort;
    QStringList words = arguments.mid(0, kCommandWordsMax);
    for (QString& word : words) word.truncate(kCommandWordMax);
    if (!words.isEmpty() && !words[0].isEmpty()) (void)loadMonitorSettings(words[0].toStdString(), settings_);
    return words;
}

// Whether the trend is shown and a lost connection reopened, as the last run left them
// (both on the first time).
void Cmonitor::restoreTrendAndReconnect() {
    RegistryKey monitorKey(store_);
    std::uint32_t trendShown = 1;
    std::uint32_t reconnect = 1;
    if (monitorKey.open(kMonitorKey) == RegistryResult::Ok) {
        // Missing values show the trend and reconnect.
        (void)monitorKey.readNumber(kTrendValue, trendShown);
        (void)monitorKey.readNumber(kReconnectValue, reconnect);
    }
    trendAction_->setChecked(trendShown != 0);
    setTrendShown(trendShown != 0);
    reconnectAction_->setChecked(reconnect != 0);
}

Cmonitor::~Cmonitor() {
    // A running step keeps its session alive by itself; only its messages are dropped, and
    // its waits end at once.
    closing_ = true;
    interrupt_->trigger();
}

QWidget* Cmonitor::buildButtons() {
    auto* column = new QWidget(this);
    auto* layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);
    const std::pair<const char*, QPushButton**> buttons[] = {
        {"START", &startButton_},          {"STOP", &stopButton_},          {"Ustawienia", &settingsButton_},
        {"Linie XL1...16", &extendedButton_}, {"Zapisz CFG", &saveButton_}, {"Odczytaj CFG", &loadButton_},
    };
    for (const auto& [caption, button] : buttons) {
        *button = new QPushButton(QString::fromUtf8(caption), column);
        layout->addWidget(*button);
    }
    layout->insertSpacing(2, 10);
    layout->addStretch();
    connect(startButton_, &QPushButton::clicked, this, &Cmonitor::startPolling);
    connect(stopButton_, &QPushButton::clicked, this, &Cmonitor::stopPolling);
    connect(settingsButton_, &QPushButton::clicked, this, &Cmonitor::editSettings);
    connect(extendedButton_, &QPushButton::clicked, this, &Cmonitor::editExtendedNames);
    connect(saveButton_, &QPushButton::clicked, this, [this] {
        QFileDialog dialog(this, QString(), QString(), QString::fromLatin1(kSettingsFilter));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix(QString::fromLatin1(kSettingsExtension));
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
            saveSettingsFile(dialog.selectedFiles().first());
    });
    connect(loadButton_, &QPushButton::clicked, this, [this] {
        QFileDialog dialog(this, QString(), QString(), QString::fromLatin1(kSettingsFilter));
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.setDefaultSuffix(QString::fromLatin1(kSettingsExtension));
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
            loadSettingsFile(dialog.selectedFiles().first());
    });
    return column;
}

bool Cmonitor::busy() const { return runner_->isRunning(); }

void Cmonitor::waitForStep() {
    while (runner_->isRunning() || pendingResult_) runner_->waitForFinished();
}

void Cmonitor::setMessageHandler(MessageHandler handler) { showMessage_ = std::move(handler); }

void Cmonitor::message(const QString& text, MessageIcon icon) {
    if (!closing_) showMessage_(text, icon);
}

void Cmonitor::setTrendShown(bool shown) {
    trendPanel_->setVisible(shown);
    if (trendAction_->isChecked() != shown) trendAction_->setChecked(shown);
    if (!shown) adjustSize();
}

// ---- polling ------------------------------------------------------------------------

void Cmonitor::startPolling() {
    if (busy() || polling_ || closing_) return;
    // What START shows before it reaches the module: the settings, blank readings and a
    // count of 0.
    display_.rowNumber = 0;
    display_.answeredPolls = 0;
    showSettings(display_, settings_, connection_.useTcp);
    clearReadings(display_);
    draw();
    trend_->setLines(settings_);
    trend_->clear();

    // The worker gets its own copies; the port's device is looked up here, where the
    // user's settings live.
    link::ConnectionSettings connection = connection_;
    connection.comPort = settings_.comPort;
    session_ = std::make_shared<PollSession>(settings_, link::chosenConnection(connection, store_), interrupt_);
    QString traceFailure;
    session_->setTrace(traceForNextOperation(store_, traceFailure));
    if (!traceFailure.isEmpty()) message(traceFailure, MessageIcon::Warning);
    session_->showFrom(display_);
    session_->setReconnect(reconnectAction_->isChecked());
    // Queued to the window, so it arrives before the message box the worker then asks for;
    // the window is there until the worker has ended (closing waits for it).
    session_->setShowBeforeMessage([this](const MonitorDisplay& shown) {
        QMetaObject::invokeMethod(this, [this, shown] { showDuringStep(shown); }, Qt::QueuedConnection);
    });
    stopRequested_ = false;
    runStep(Step::Start);
}

void Cmonitor::pollTick() {
    // A tick that finds the previous exchange still running does nothing.
    if (busy() || !polling_ || stopRequested_ || closing_) return;
    runStep(Step::Tick);
}

void Cmonitor::stopPolling() {
    if (!polling_ || stopRequested_) return;
    pollTimer_->stop();
    stopRequested_ = true;
    setPollingButtons(true, true);
    if (!busy()) runStep(Step::Stop);   // else when the running exchange has ended
}

void Cmonitor::runStep(Step step) {
    auto session = session_;
    auto result = std::make_shared<PollResult>();
    pendingResult_ = result;
    pendingStep_ = step;
    setPollingButtons(polling_, true);
    const bool started = runner_->start([session, result, step](OperationObserver& observer) {
        switch (step) {
        case Step::Start: *result = session->start(observer); break;
        case Step::Tick: *result = session->tick(observer); break;
        case Step::Stop: *result = session->stop(); break;
        }
    });
    if (!started) pendingResult_.reset();
}

void Cmonitor::stepFinished() {
    // The worker has ended: the result is the window's alone now.
    const std::shared_ptr<PollResult> result = std::exchange(pendingResult_, nullptr);
    if (!result) return;
    applyResult(*result, pendingStep_);
}

void Cmonitor::showDuringStep(const MonitorDisplay& shown) {
    if (closing_ || !pendingResult_) return;
    showStepDisplay(shown);
}

void Cmonitor::showStepDisplay(const MonitorDisplay& result) {
    // Names stay the window's own: the extended-line names may change while polling.
    MonitorDisplay shown = result;
    for (int i = 0; i < kInputLines; ++i) shown.lines[i].name = display_.lines[i].name;
    for (int i = 0; i < kExtendedLines; ++i) shown.extended[i].name = display_.extended[i].name;
    display_ = shown;
    draw();
}

void Cmonitor::applyResult(const PollResult& result, Step step) {
    showStepDisplay(result.display);
    if (step != Step::Stop && result.answered)
        trend_->addSample(trendSample(trendClock_ ? trendClock_() : QDateTime::currentMSecsSinceEpoch(), result.snapshot));

    if (!result.polling) {
        pollTimer_->stop();
        polling_ = false;
        stopRequested_ = false;
        session_.reset();
    } else if (step == Step::Start) {
        polling_ = true;
        if (!stopRequested_ && !closing_) pollTimer_->start();
    }
    setPollingButtons(polling_, false);
    if (polling_ && stopRequested_ && !closing_) runStep(Step::Stop);
}

void Cmonitor::setPollingButtons(bool polling, bool stepRunning) {
    const bool idle = !polling && !stepRunning;
    startButton_->setEnabled(idle);
    stopButton_->setEnabled(polling && !stopRequested_);
    settingsButton_->setEnabled(idle);
    loadButton_->setEnabled(idle);
}

// ---- drawing ------------------------------------------------------------------------

void Cmonitor::showSettingsInWindow() {
    showSettings(display_, settings_, connection_.useTcp);
    trend_->setLines(settings_);
}

void Cmonitor::draw() {
    readings_->show(display_);
    extendedReadings_->show(display_);
}

// ---- settings -----------------------------------------------------------------------

void Cmonitor::editSettings() {
    if (polling_ || busy()) return;
    const link::TraceChoice traceChoice = link::loadTraceChoice(store_);
    CSetupProg dialog(settings_, connection_, this, &store_, &traceChoice);
    if (dialog.exec() != QDialog::Accepted) return;
    if (!link::saveTraceChoice(store_, dialog.traceChoice()))
        message(QStringLiteral("Nie można zapisać ustawienia przebiegu transmisji."), MessageIcon::Warning);
    settings_.comPort = dialog.settings().comPort;
    settings_.resultsFile = dialog.settings().resultsFile;
    settings_.recordPeriod = dialog.settings().recordPeriod;
    settings_.lineName = dialog.settings().lineName;
    settings_.lineType = dialog.settings().lineType;
    settings_.barMin = dialog.settings().barMin;
    settings_.barMax = dialog.settings().barMax;
    connection_ = dialog.connection();
    showSettingsInWindow();
    draw();
}

void Cmonitor::editExtendedNames() {
    QStringList names;
    for (const ExtendedLineDisplay& line : display_.extended) names << toQString(line.name);
    Custaw_ext dialog(names, this);
    if (dialog.exec() != QDialog::Accepted) return;
    for (int i = 0; i < kExtendedLines; ++i) {
        // A name left as it was shown stays as it is kept: an empty name is shown as
        // "Linia XLn", and accepting that unedited must not write it into the files.
        const QString name = dialog.names().value(i);
        if (name == names.value(i)) continue;
        settings_.extName[i] = fromQString(name);
        display_.extended[i].name = settings_.extName[i].empty() ? "Linia XL" + std::to_string(i + 1) : settings_.extName[i];
    }
    draw();
}

void Cmonitor::saveSettingsFile(const QString& chosenPath) {
    if (saveMonitorSettings(settingsFilePath(chosenPath).toStdString(), settings_) != FileResult::Ok)
        message(QStringLiteral("Błąd otwarcia pliku do zapisu ustawień"), MessageIcon::Error);
}

void Cmonitor::loadSettingsFile(const QString& chosenPath) {
    if (polling_ || busy()) return;
    switch (loadMonitorSettings(settingsFilePath(chosenPath).toStdString(), settings_)) {
    case FileResult::OpenFailed:
    case FileResult::WriteFailed:
        message(QStringLiteral("Błąd otwarcia pliku do odczytu ustawień"), MessageIcon::Error);
        return;
    case FileResult::WrongFormat:
        message(QStringLiteral("Niepoprawny format pliku z ustawieniami"), MessageIcon::Error);
        return;
    case FileResult::Ok:
        showSettingsInWindow();
        draw();
    }
}

QMessageBox* Cmonitor::makeAboutBox() {
    auto* box = new QMessageBox(this);
    box->setWindowTitle(QStringLiteral("O programie Kavrel-Monitor"));
    box->setIconPixmap(windowIcon().pixmap(32, 32));
    box->setText(QStringLiteral("Kavrel-Monitor wersja 2.9"));
    box->setInformativeText(QStringLiteral("Pomiary modułu Kavrel co 5 s, zapis do pliku CSV."));
    box->setStandardButtons(QMessageBox::Ok);
    box->setStyleSheet(QStringLiteral("QLabel#qt_msgbox_informativelabel { min-width: 300px; }"));
    return box;
}

void Cmonitor::showAbout() {
    std::unique_ptr<QMessageBox> box(makeAboutBox());
    box->exec();
}

// ---- shut-down ----------------------------------------------------------------------

void Cmonitor::saveConnection() {
    if (connectionSaved_) return;
    connectionSaved_ = true;
    // Best effort on the way out: what cannot be kept is the default again next time, and a
    // key that cannot be opened makes the writes fail without effect.
    RegistryKey key(store_);
    if (key.open(link::kConnectionKey) == RegistryResult::Ok) {
        (void)key.writeNumber("Port_COM", static_cast<std::uint32_t>(settings_.comPort));
        (void)key.writeNumber("Port_TCP", connection_.tcpPort);
        (void)key.writeNumber("Transmisja_TCP", connection_.useTcp ? 1 : 0);
        (void)key.writeString("Adres_IP", connection_.moduleAddress);
    }
    RegistryKey monitorKey(store_);
    if (monitorKey.open(kMonitorKey) != RegistryResult::Ok) {
        (void)monitorKey.create(kMonitorKey);
        (void)monitorKey.open(kMonitorKey);
    }
    (void)monitorKey.writeNumber(kTrendValue, trendAction_->isChecked() ? 1 : 0);
    (void)monitorKey.writeNumber(kReconnectValue, reconnectAction_->isChecked() ? 1 : 0);
}

void Cmonitor::closeEvent(QCloseEvent* event) {
    closing_ = true;
    pollTimer_->stop();
    if (busy()) {
        // The window goes away at once; the exchange under way is woken from its wait and
        // ends, closing nothing the window still uses.
        hide();
        interrupt_->trigger();
        runner_->waitForFinished();
    }
    session_.reset();   // no step runs any more: the link is closed here
    polling_ = false;
    saveConnection();
    event->accept();
}

void Cmonitor::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // As in a dialog: a focused button is pressed, anything else ends the program.
        if (auto* button = qobject_cast<QAbstractButton*>(focusWidget()); button && button->isEnabled()) button->click();
        else close();
        return;
    case Qt::Key_Escape:
        return;   // ignored
    default:
        QWidget::keyPressEvent(event);
    }
}

} // namespace kavrel::monitor::ui
