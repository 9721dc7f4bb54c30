// "Kavrel-Monitor": the monitor's one window. It shows the readings of one module, starts
// and stops polling, and keeps the program's settings and the connection. The exchanges run
// on a worker thread that owns the link and copies of the settings (a PollSession); every
// step (START, a tick, STOP) hands its PollResult back when it ends, and a tick that finds
// the previous step still running does nothing.
#pragma once

#include <QWidget>
#include <array>
#include <functional>
#include <memory>

#include "common/observer.h"
#include "common/settings_store.h"
#include "link/connection_settings.h"
#include "link/link_interrupt.h"
#include "monitor/display.h"
#include "monitor/monitor_settings.h"

class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QMessageBox;
class QProgressBar;
class QPushButton;
class QTimer;

namespace kavrel {
class OperationRunner;
}

namespace kavrel::monitor {
class PollSession;
struct PollResult;
}

namespace kavrel::monitor::ui {

class ExtendedReadingsPanel;
class ReadingsPanel;
class TrendChart;

class Cmonitor : public QWidget {
    Q_OBJECT
public:
    using MessageHandler = std::function<void(const QString& text, MessageIcon icon)>;

    // store: where the connection is kept; arguments: the command line's words after the
    // program's name (a settings file, then "/start" to poll at once).
    Cmonitor(SettingsStore& store, const QStringList& arguments, QWidget* parent = nullptr);
    ~Cmonitor() override;

    // The buttons' actions, public for the tests and the pictures.
    void startPolling();
    void stopPolling();
    void pollTick();
    void editSettings();
    void editExtendedNames();
    void saveSettingsFile(const QString& chosenPath);
    void loadSettingsFile(const QString& chosenPath);
    void showAbout();

    const MonitorSettings& settings() const { return settings_; }
    const link::ConnectionSettings& connection() const { return connection_; }
    const MonitorDisplay& display() const { return display_; }
    bool polling() const { return polling_; }
    bool busy() const;
    // Serves the window's events until the running step has ended and its result is shown.
    void waitForStep();
    OperationRunner& runner() { return *runner_; }
    TrendChart& trend() { return *trend_; }
    void setTrendShown(bool shown);
    // When each answered poll happened, for the trend (the pictures use a clock of their own).
    void setTrendClock(std::function<qint64()> clock) { trendClock_ = std::move(clock); }
    // The about box, not yet shown.
    QMessageBox* makeAboutBox();
    // Message boxes, also those of the worker (tests record them instead).
    void setMessageHandler(MessageHandler handler);

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    enum class Step { Start, Tick, Stop };

    void setUpOperations();
    void buildWindow();
    QWidget* buildTrendPanel();
    QStringList loadStartupSettings(const QStringList& arguments);
    void restoreTrendAndReconnect();
    QWidget* buildButtons();
    void runStep(Step step);
    void stepFinished();
    void applyResult(const PollResult& result, Step step);
    void showStepDisplay(const MonitorDisplay& shown);
    void showDuringStep(const MonitorDisplay& shown);
    void setPollingButtons(bool polling, bool stepRunning);
    void showSettingsInWindow();
    void draw();
    void message(const QString& text, MessageIcon icon);
    void saveConnection();

    SettingsStore& store_;
    MonitorSettings settings_;
    link::ConnectionSettings connection_;
    MonitorDisplay display_;
    std::shared_ptr<PollSession> session_;        // handed to one step at a time
    // Triggered when the window closes: the running step's link waits end at once.
    std::shared_ptr<link::LinkInterrupt> interrupt_ = std::make_shared<link::LinkInterrupt>();
    std::shared_ptr<PollResult> pendingResult_;   // written by the running step only
    Step pendingStep_ = Step::Start;
    bool polling_ = false;
    bool stopRequested_ = false;
    bool closing_ = false;
    bool connectionSaved_ = false;
    MessageHandler showMessage_;
    std::function<qint64()> trendClock_;

    OperationRunner* runner_;
    QTimer* pollTimer_;
    TrendChart* trend_;
    QWidget* trendPanel_;
    QAction* trendAction_;
    QAction* reconnectAction_;   // taken by the next START

    std::unique_ptr<ReadingsPanel> readings_;   // its widgets are this window's children
    ExtendedReadingsPanel* extendedReadings_;
    QPushButton* startButton_;
    QPushButton* stopButton_;
    QPushButton* settingsButton_;
    QPushButton* extendedButton_;
    QPushButton* saveButton_;
    QPushButton* loadButton_;
};

} // namespace kavrel::monitor::ui
