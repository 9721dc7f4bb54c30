#include "monitor/ui/main_window.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDateTime>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QMetaObject>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "common/qt/color_scheme.h"
#include "common/qt/operation_runner.h"
#include "common/qt/qt_text.h"
#include "common/registry_key.h"
#include "link/qt/trace_choice_row.h"
#include "link/serial_device.h"
#include "monitor/ui/csetupprog.h"
#include "monitor/ui/custaw_ext.h"
#include "monitor/ui/poll_session.h"
#include "monitor/ui/settings_paths.h"
#include "monitor/ui/trend_chart.h"

namespace kavrel::monitor::ui {
namespace {

constexpr int kCommandWordsMax = 10;
constexpr int kCommandWordMax = 255;
constexpr int kGsmSignalMax = 31;
constexpr int kNameOverhangPx = 16;
constexpr int kTrendShownMinPx = 120;   // the least of the trend a smaller window shows   // how far a line's name may reach beyond its value field
constexpr const char* kSettingsFilter = "Pliki konfiguracji (*.CFG)";
constexpr const char* kSettingsExtension = "cfg";
// The monitor's own choices beside the shared connection key: whether the trend is shown.
constexpr const char* kMonitorKey = "Software\\Ostrevan\\Kavrel-Monitor";
constexpr const char* kTrendValue = "Wykres";
constexpr const char* kReconnectValue = "Wznawianie";

QLineEdit* readOnlyField(QWidget* parent, int characters, const char* name) {
    auto* field = new QLineEdit(parent);
    field->setReadOnly(true);
    field->setFocusPolicy(Qt::ClickFocus);
    field->setObjectName(QString::fromLatin1(name));
    if (characters > 0)
        field->setFixedWidth(field->fontMetrics().horizontalAdvance(QString(characters, QLatin1Char('0'))) + 14);
    return field;
}

// A reading wider than its field shows its beginning; the whole text is in the tool tip.
void showReading(QLineEdit* field, const QString& text) {
    if (field->text() != text) field->setText(text);
    field->setCursorPosition(0);
    const int room = field->width() - 10;   // the frame and the text margins
    field->setToolTip(field->fontMetrics().horizontalAdvance(text) > room ? text : QString());
}

// A name wider than its room shows its beginning and "…"; the whole name is in the tool tip.
void showName(QLabel* label, const QString& name, int room) {
    const QString shown = label->fontMetrics().elidedText(name, Qt::ElideRight, room);
    label->setText(shown);
    label->setToolTip(shown == name ? QString() : name);
}

// A label that keeps its place in the layout while hidden, so that nothing moves when an
// alarm comes and goes.
QLabel* hiddenLabel(const QString& text, QWidget* parent, const char* name) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    QSizePolicy policy = label->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    label->setSizePolicy(policy);
    label->setVisible(false);
    return label;
}

QProgressBar* verticalBar(QWidget* parent, int height) {
    auto* bar = new QProgressBar(parent);
    bar->setOrientation(Qt::Vertical);
    bar->setTextVisible(false);
    bar->setFixedSize(22, height);
    return bar;
}

// A check box that shows a state and cannot be changed by a click: it is set back at once.
QCheckBox* indicator(const QString& text, QWidget* parent) {
    auto* box = new QCheckBox(text, parent);
    box->setFocusPolicy(Qt::NoFocus);   // nothing to do with it: Enter and Tab pass it by
    QObject::connect(box, &QCheckBox::clicked, box, [box](bool checked) { box->setChecked(!checked); });
    return box;
}

} // namespace

Cmonitor::Cmonitor(SettingsStore& store, const QStringList& arguments, QWidget* parent)
    : QWidget(parent), store_(store) {
    setWindowTitle(QStringLiteral("Kavrel-Monitor"));
    setUpOperations();
    buildWindow();
    const QStringList words = loadStartupSettings(arguments);
    restoreTrendShown();

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

    auto* top = new QHBoxLayout;
    top->addWidget(buildInputLines(0));
    top->addWidget(buildInputLines(4));
    top->addWidget(buildOutputsAndGsm());
    top->addWidget(buildCounters(), 1);
    top->addWidget(buildButtons());

    QWidget* trend = buildTrendPanel();
    auto* layout = new QVBoxLayout(this);
    layout->setMenuBar(menu);
    layout->addLayout(top);
    layout->addWidget(buildExtendedLines());
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
void Cmonitor::restoreTrendShown() {
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

QWidget* Cmonitor::buildInputLines(int first) {
    auto* group = new QGroupBox(this);
    auto* grid = new QGridLayout(group);
    grid->setVerticalSpacing(4);
    for (int column = 0; column < 4; ++column) {
        const int i = first + column;
        LineWidgets& line = lines_[i];
        line.name = new QLabel(group);
        line.name->setObjectName(QStringLiteral("lineName%1").arg(i + 1));
        line.name->setAlignment(Qt::AlignCenter);
        line.bar = verticalBar(group, 130);
        line.bar->setObjectName(QStringLiteral("bar%1").arg(i + 1));
        line.value = readOnlyField(group, 7, "");
        line.value->setObjectName(QStringLiteral("value%1").arg(i + 1));
        line.value->setAlignment(Qt::AlignCenter);
        line.alarm = hiddenLabel(QStringLiteral("Alarm"), group, "");
        line.alarm->setObjectName(QStringLiteral("alarm%1").arg(i + 1));
        line.alarm->setAlignment(Qt::AlignCenter);
        line.alarm->setStyleSheet(QStringLiteral("color: %1; font-weight: bold").arg(alarmTextColor()));
        grid->addWidget(line.name, 0, column, Qt::AlignHCenter);
        grid->addWidget(line.bar, 1, column, Qt::AlignHCenter);
        grid->addWidget(line.value, 2, column, Qt::AlignHCenter);
        grid->addWidget(line.alarm, 3, column, Qt::AlignHCenter);
    }
    return group;
}

QWidget* Cmonitor::buildOutputsAndGsm() {
    auto* column = new QWidget(this);
    auto* layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);

    auto* outputs = new QGroupBox(QStringLiteral("Stan wyjść"), column);
    auto* grid = new QGridLayout(outputs);
    for (int i = 0; i < kOutputLines; ++i) {
        outputs_[i] = indicator(QStringLiteral("O%1").arg(i + 1), outputs);
        outputs_[i]->setObjectName(QStringLiteral("output%1").arg(i + 1));
        grid->addWidget(outputs_[i], i % 3, i / 3);
    }
    layout->addWidget(outputs);

    auto* gsm = new QGroupBox(QStringLiteral("Sygnał sieci"), column);
    auto* gsmLayout = new QGridLayout(gsm);
    gsmBar_ = verticalBar(gsm, 80);
    gsmBar_->setObjectName(QStringLiteral("gsmBar"));
    gsmBar_->setRange(0, kGsmSignalMax);
    gsmNumber_ = readOnlyField(gsm, 3, "gsmNumber");
    noNetwork_ = hiddenLabel(QStringLiteral("Brak sieci GSM"), gsm, "noNetwork");
    noNetwork_->setStyleSheet(QStringLiteral("color: %1").arg(alarmTextColor()));
    gsmLayout->addWidget(gsmBar_, 0, 0, 2, 1);
    gsmLayout->addWidget(gsmNumber_, 0, 1, Qt::AlignBottom);
    gsmLayout->addWidget(noNetwork_, 1, 1, Qt::AlignTop);
    layout->addWidget(gsm);
    layout->addStretch();
    return column;
}

QWidget* Cmonitor::buildCounters() {
    auto* column = new QWidget(this);
    auto* grid = new QGridLayout(column);
    grid->setContentsMargins(0, 0, 0, 0);
    portField_ = readOnlyField(column, 6, "portField");
    smsField_ = readOnlyField(column, 6, "smsField");
    emailField_ = readOnlyField(column, 6, "emailField");
    rowField_ = readOnlyField(column, 5, "rowField");
    answeredField_ = readOnlyField(column, 5, "answeredField");
    periodField_ = readOnlyField(column, 5, "periodField");
    fileField_ = readOnlyField(column, 0, "fileField");
    fileField_->setMinimumWidth(170);

    const std::pair<const char*, QLineEdit*> rows[] = {
        {"Nr portu", portField_}, {"Licznik SMS", smsField_}, {"Licznik e-mail", emailField_}};
    int row = 0;
    for (const auto& [caption, field] : rows) {
        grid->addWidget(new QLabel(QString::fromUtf8(caption), column), row, 0);
        grid->addWidget(field, row++, 1, 1, 3, Qt::AlignLeft);
    }
    grid->addWidget(new QLabel(QStringLiteral("Liczba pomiarów"), column), row, 0);
    auto* counts = new QHBoxLayout;
    counts->addWidget(rowField_);
    counts->addWidget(new QLabel(QStringLiteral("/"), column));
    counts->addWidget(answeredField_);
    counts->addStretch();
    grid->addLayout(counts, row++, 1, 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("Okres zapisu"), column), row, 0);
    auto* period = new QHBoxLayout;
    period->addWidget(periodField_);
    period->addWidget(new QLabel(QStringLiteral("minut"), column));
    period->addStretch();
    grid->addLayout(period, row++, 1, 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("Nazwa pliku"), column), row, 0);
    grid->addWidget(fileField_, row++, 1, 1, 3);

    alarmState_ = hiddenLabel(QStringLiteral(" Stan alarmowy"), column, "alarmState");
    alarmState_->setStyleSheet(QStringLiteral("color: white; background: #c00000; font-weight: bold; padding: 2px"));
    status_ = hiddenLabel(QStringLiteral("Brak połączenia z Kavrel"), column, "status");
    grid->addWidget(alarmState_, row++, 0, 1, 4, Qt::AlignLeft);
    grid->addWidget(status_, row++, 0, 1, 4);
    grid->setRowStretch(row, 1);
    return column;
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

QWidget* Cmonitor::buildExtendedLines() {
    auto* group = new QGroupBox(QStringLiteral("Linie rozszerzone XL1...XL16"), this);
    auto* grid = new QGridLayout(group);
    grid->setHorizontalSpacing(6);
    constexpr int kPerRow = 4, kColumnsEach = 4;
    for (int i = 0; i < kExtendedLines; ++i) {
        const int row = i / kPerRow, at = (i % kPerRow) * kColumnsEach;
        ExtendedWidgets& line = extended_[i];
        line.name = new QLabel(group);
        line.name->setObjectName(QStringLiteral("extName%1").arg(i + 1));
        line.name->setMinimumWidth(line.name->fontMetrics().horizontalAdvance(QStringLiteral("Linia XL16")) + 4);
        line.high = indicator(QStringLiteral("H"), group);
        line.high->setObjectName(QStringLiteral("extHigh%1").arg(i + 1));
        line.low = indicator(QStringLiteral("L"), group);
        line.low->setObjectName(QStringLiteral("extLow%1").arg(i + 1));
        line.value = readOnlyField(group, 7, "");
        line.value->setObjectName(QStringLiteral("extValue%1").arg(i + 1));
        grid->addWidget(line.name, row, at);
        grid->addWidget(line.high, row, at + 1);
        grid->addWidget(line.low, row, at + 2);
        grid->addWidget(line.value, row, at + 3);
        if (i % kPerRow != kPerRow - 1) grid->setColumnMinimumWidth(at + 3, line.value->width() + 12);
        grid->setColumnStretch(at, 1);   // spare room goes beside the names, not between H and L
    }
    return group;
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
    for (int i = 0; i < kInputLines; ++i) {
        const InputLineDisplay& shown = display_.lines[i];
        LineWidgets& line = lines_[i];
        showName(line.name, toQString(shown.name), line.value->width() + kNameOverhangPx);
        line.bar->setRange(shown.barRange.minimum, shown.barRange.maximum);
        // A reading outside the range shows an empty or a full bar.
        line.bar->setValue(std::clamp(shown.barPosition, line.bar->minimum(), line.bar->maximum()));
        showReading(line.value, toQString(shown.value));
        line.alarm->setText(toQString(shown.alarmText));
        line.alarm->setVisible(shown.alarmShown);
    }
    for (int i = 0; i < kOutputLines; ++i) outputs_[i]->setChecked(display_.outputs[i]);
    alarmState_->setVisible(display_.alarmStateShown);
    gsmBar_->setValue(display_.gsmBar);
    gsmNumber_->setText(QString::number(display_.gsmNumber));
    noNetwork_->setVisible(display_.noNetworkShown);
    portField_->setText(toQString(display_.portField));
    smsField_->setText(QString::number(display_.smsCount));
    emailField_->setText(QString::number(display_.emailCount));
    rowField_->setText(QString::number(display_.rowNumber));
    answeredField_->setText(QString::number(display_.answeredPolls));
    periodField_->setText(QString::number(display_.periodField));
    fileField_->setText(toQString(display_.fileNameField));
    status_->setText(toQString(display_.statusText));
    status_->setVisible(display_.statusShown);
    for (int i = 0; i < kExtendedLines; ++i) {
        const ExtendedLineDisplay& shown = display_.extended[i];
        showName(extended_[i].name, toQString(shown.name), extended_[i].name->minimumWidth() + kNameOverhangPx);
        extended_[i].high->setChecked(shown.high);
        extended_[i].low->setChecked(shown.low);
        showReading(extended_[i].value, toQString(shown.value));
    }
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
