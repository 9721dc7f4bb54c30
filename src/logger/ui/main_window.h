// "Kavrel-Logger": the logger's one window. It keeps the connection settings, shows the
// state of the module's memory, and starts every module operation on a worker thread:
// the worker holds the link and the download state while it runs and hands them back
// with its results, so the window stays responsive (the download moves its progress bar
// batch by batch) and never touches the link meanwhile.
#pragma once

#include <QList>
#include <QString>
#include <QWidget>
#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

#include "common/clock.h"
#include "common/observer.h"
#include "common/qt/operation_runner.h"
#include "common/settings_store.h"
#include "link/link_interrupt.h"
#include "logger/settings/logger_settings.h"
#include "logger/print/print_period.h"
#include "logger/device/logger_device.h"
#include "logger/ui/print/print_history.h"

class QCheckBox;
class QGroupBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QMenuBar;
class QMessageBox;
class QProgressBar;
class QPushButton;
class QVBoxLayout;

namespace kavrel::ui {
class NumberEdit;
}

namespace kavrel::logger::ui {

class Custaw_logowania;
class Custaw_tcpip;
class Czakres;

class Crejestrator : public QWidget {
    Q_OBJECT
public:
    // settings: where the logger keeps its connection (created on the first start);
    // writeDescriptionData: the "/wrdat" switch of the command line.
    Crejestrator(SettingsStore& settings, bool writeDescriptionData, QWidget* parent = nullptr);
    ~Crejestrator() override;

    OperationRunner& runner() { return *runner_; }
    Custaw_tcpip& tcpDialog() { return *tcpDialog_; }
    Custaw_logowania& loggingDialog() { return *loggingDialog_; }
    Czakres& periodDialog() { return *periodDialog_; }
    const LoggerSettings& settings() const { return settings_; }
    bool isDownloading() const { return downloading_; }

    // How messages, questions and the save dialog reach the user (tests record them).
    void setMessageHandler(OperationRunner::MessageHandler handler);
    void setQuestionHandler(OperationRunner::QuestionHandler handler);
    using FileChooser = std::function<QString(const QString& lastName)>;
    void setFileChooser(FileChooser chooser) { chooseFile_ = std::move(chooser); }
    // What prints the history once the download for printing is complete: printHistory
    // by default (preview, print dialog, printer); tests look at the request instead.
    using PrintHandler = std::function<void(QWidget* parent, const PrintRequest& request)>;
    void setPrintHandler(PrintHandler handler) { print_ = std::move(handler); }
    // The PC's clock by default; the clock command and the HTML's time are taken from it.
    void setClock(const Clock& clock) { clock_ = &clock; }

    // The buttons' actions.
    void connectModule();
    void readStatus();
    void exportData();
    void startPrint();
    void clearMemory();
    void changeLogging();
    // "Pobierz do archiwum" and "Pobierz i skasuj": into the archive file chosen below the
    // buttons, under the module name given there.
    void updateArchive();
    void updateArchiveAndClear();
    void setArchive(const QString& file, const QString& moduleName);
    // "Wykres": the history chart of the CSV file written last.
    void showChart();
    void finishWork();
    void showAbout();
    // The about box "O programie", not yet shown.
    QMessageBox* makeAboutBox();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // Runs on the worker with the device; what it returns runs on the window's thread
    // once the operation has ended.
    using DeviceOperation = std::function<std::function<void()>(LoggerDevice&, OperationObserver&)>;

    // The window's parts (window_parts.cpp).
    void buildControls();
    QMenuBar* buildMenu();
    QGroupBox* buildConnectionGroup();
    QGroupBox* buildMemoryGroup();
    QVBoxLayout* buildOperationsColumn();
    QHBoxLayout* buildProgressRow();
    // readsOnly: the operation changes nothing in the module, so ending the window may cut
    // its waits short.
    bool startOperation(DeviceOperation operation, bool readsOnly = false);
    void operationFinished();
    void download(DownloadOrder order);
    void runArchive(bool clearAfter);
    QWidget* buildArchiveControls();
    // The archive file and module name, kept for the next start.
    void rememberArchive();
    void downloadEnded(const DownloadReport& report, bool printMode);
    void showProgress(int read, int total);
    void showDevice(const DeviceSnapshot& snapshot);
    void updateControls();
    bool takeControlValues();
    void showSettings();
    void selectTcp();
    void message(const QString& text, MessageIcon icon);
    void requestEnding(Ending ending);

    SettingsStore& store_;
    LoggerSettings settings_;
    const Clock* clock_;
    std::shared_ptr<LoggerDevice> device_;  // empty while an operation holds it
    DeviceSnapshot shown_;
    std::function<void()> afterOperation_;
    std::shared_ptr<std::atomic<bool>> cancel_ = std::make_shared<std::atomic<bool>>(false);
    std::filesystem::path exportFileName_;
    std::filesystem::path lastCsv_;
    int period_ = kDefaultPeriod;  // the choice of "Wybierz zakres danych", kept while the program runs
    PrintHandler print_;
    bool downloading_ = false;
    bool ended_ = false;
    bool closing_ = false;          // the window is ending: messages are no longer shown
    bool runningReadsOnly_ = false; // the running operation changes nothing in the module
    // Triggered when the window ends during an operation that only reads: its waits end at once.
    std::shared_ptr<link::LinkInterrupt> interrupt_ = std::make_shared<link::LinkInterrupt>();
    std::optional<Ending> pendingEnding_;
    OperationRunner::MessageHandler showMessage_;
    FileChooser chooseFile_;

    OperationRunner* runner_;
    Custaw_tcpip* tcpDialog_;
    Custaw_logowania* loggingDialog_;
    Czakres* periodDialog_;
    kavrel::ui::NumberEdit* comEdit_;
    QCheckBox* fixedSpeedBox_;
    QCheckBox* tcpBox_;
    QPushButton* tcpSettingsButton_;
    QPushButton* connectButton_;
    QLabel* connectedLabel_;
    QCheckBox* loggingBox_;
    QCheckBox* commaBox_;
    QCheckBox* previewBox_;
    QCheckBox* fitBox_;
    QPushButton* chartButton_;
    QLineEdit* archiveFile_;
    QLineEdit* archiveName_;
    QProgressBar* progress_;
    QLineEdit* recordsRead_;
    QList<QPushButton*> moduleButtons_;  // enabled by a status read: status, data, print, clear, settings
    QList<QLineEdit*> statusFields_;
};

} // namespace kavrel::logger::ui
