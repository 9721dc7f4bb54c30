// "Konfigurator Kavrel": the configurator's one window. It owns the settings record, the
// connection settings and the link, starts every module operation (on a worker thread,
// with the window's controls for starting another one disabled until it ends), loads and
// saves settings files, and opens the settings dialogs.
#pragma once

#include <QWidget>
#include <memory>

#include "common/settings_store.h"
#include "config/model/settings_image.h"
#include "link/module_link.h"

class QCheckBox;
class QGroupBox;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace kavrel {
class OperationObserver;
class OperationRunner;
}

namespace kavrel::config::ui {

class Custaw_sieciowe;
class NumberEdit;

class Ckonfigurator : public QWidget {
    Q_OBJECT
public:
    // settings: where the connection is kept; startupFile: the command line's file name
    // (quotes are removed here), or empty for "default.kvl".
    Ckonfigurator(SettingsStore& settings, const QString& startupFile, QWidget* parent = nullptr);
    ~Ckonfigurator() override;

    const SettingsImage& record() const { return record_; }
    SettingsImage& record() { return record_; }
    OperationRunner& runner() { return *runner_; }
    QString statusText() const;
    Custaw_sieciowe& networkDialog() { return *networkDialog_; }

    // The buttons' actions, public for the tests.
    void readVersion();
    void readFromModule();
    void sendToModule();
    void loadFromDisk(const QString& path);
    void saveToDisk(const QString& path);
    void finishWork();

    // The operation options of the check boxes.
    struct WriteOptions {
        bool setClock;
        bool resetCounters;
        bool eraseEvents;
        bool restart;
    };
    WriteOptions writeOptions() const;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QGroupBox* buildSettingsButtons();
    QGroupBox* buildOperations();
    QGroupBox* buildPortGroup();
    void showAbout();
    void takeControlValues();
    void selectTcp(bool tcp);
    void editNetworkSettings();
    void openDialog(int index);
    void setOperationRunning(bool running);
    void startOperation(std::function<void(OperationObserver&)> operation);
    void setStatus(const QString& text);
    void appendStatus(const QString& text);
    void saveConnection();

    SettingsStore& settings_;
    SettingsImage record_;
    SettingsImage readBack_;  // the verification's read-back copy
    link::ModuleLink link_;
    int comPort_ = 1;
    bool connectionSaved_ = false;

    OperationRunner* runner_;
    Custaw_sieciowe* networkDialog_;
    QRadioButton* comRadio_;
    QRadioButton* tcpRadio_;
    NumberEdit* comEdit_;
    QLineEdit* versionEdit_;
    QCheckBox* clockBox_;
    QCheckBox* countersBox_;
    QCheckBox* eventsBox_;
    QCheckBox* restartBox_;
    QProgressBar* progress_;
    QPlainTextEdit* status_;
    QList<QWidget*> busyDisabled_;  // controls that would start another operation
};

} // namespace kavrel::config::ui
