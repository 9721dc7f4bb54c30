// "Konfigurator Kavrel": the configurator's one window. It owns the settings record and
// the connection settings, starts every module operation (on a worker thread, with the
// window's controls for starting another one disabled until it ends), loads and saves
// settings files, and opens the settings dialogs.
//
// A module operation never shares the window's state: it is built from copies of the
// window's values (startOperation), owns its own link while it runs, and its results are
// taken back by the window in the one call that ends it (takeResults). The operations
// themselves, their runner and what the close box may do to them are ModuleOperations'.
#pragma once

#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "common/settings_store.h"
#include "config/model/settings_image.h"
#include "config/ui/module_operations.h"
#include "link/connection_settings.h"

class QCheckBox;
class QGroupBox;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QVBoxLayout;

namespace kavrel::ui {
class NumberEdit;
}

namespace kavrel::config::ui {

class Custaw_sieciowe;

class Ckonfigurator : public QWidget, private WriteConfirmations {
    Q_OBJECT
public:
    // settings: where the connection is kept; startupFile: the command line's file name
    // (quotes are removed here), or empty for "default.kvl".
    Ckonfigurator(SettingsStore& settings, const QString& startupFile, QWidget* parent = nullptr);
    ~Ckonfigurator() override;

    const SettingsImage& record() const { return record_; }
    SettingsImage& record() { return record_; }
    OperationRunner& runner() { return operations_.runner(); }
    QString statusText() const;

    // The buttons' actions, public so that tests run each one directly, given the path that
    // the button would ask for in a file dialog. Loading and saving are refused (false)
    // while a module operation runs: its results replace the record when it ends.
    void readVersion();
    void readFromModule();
    void sendToModule();
    bool loadFromDisk(const QString& path);
    bool saveToDisk(const QString& path);
    void finishWork();
    // "Porównaj z plikiem...": the fields in which the window's settings and the file differ.
    void compareWithFile(const QString& path);
    // "Kopie zapasowe...": the backups of replaced module settings; the one chosen is loaded
    // as "Odczytaj z dysku" loads a file.
    void showBackups();
    bool backupFolderKnown();
    // At start: a write to the window's connection that did not finish (its journal is
    // next to the backups) is offered to be finished, undone from its backup, or left.
    void offerUnfinishedWrite();

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
    void buildWindow();
    QVBoxLayout* buildOptions();
    QGroupBox* buildSettingsButtons();
    QGroupBox* buildOperations();
    QGroupBox* buildPortGroup();
    void showAbout();
    void connectRunner();
    void restoreConnection();
    void openStartupFile(const QString& startupFile);
    // The module version noted for the record's bytes becomes the record's (none: unknown).
    void takeNotedVersion();
    void takeControlValues();
    void beginFileOperation();
    void selectTcp(bool tcp);
    void editNetworkSettings();
    void openDialog(int index);
    void setOperationRunning(bool running);
    void startOperation(ModuleWork work, OperationKind kind = OperationKind::Reads);
    void takeResults(OperationResults results);
    void setStatus(const QString& text);
    void appendStatus(const QString& text);
    void saveConnection();
    void rememberShowChanges(bool on);
    // Shown while a write waits: the changes it would make; true sends.
    bool confirmChanges(const std::vector<FieldChange>& changes) override;
    // Shown while a write waits when the file came from another firmware or holds values
    // the dialogs refuse; true sends.
    bool confirmWriteCheck(const WriteCheck& check) override;
    void resumeUnfinished(const UnfinishedWrite& unfinished);
    void restoreUnfinished(const UnfinishedWrite& unfinished);

    SettingsStore& settings_;
    SettingsImage record_;
    SettingsImage readBack_;  // the verification's read-back copy
    std::string recordVersion_;  // the module version the record was read from ("" unknown), noted with saved files
    link::ConnectionSettings connection_;  // what the next operation's link opens
    bool connectionSaved_ = false;
    ModuleOperations operations_;
    Custaw_sieciowe* networkDialog_;
    QRadioButton* comRadio_;
    QRadioButton* tcpRadio_;
    kavrel::ui::NumberEdit* comEdit_;
    QLineEdit* versionEdit_;
    QCheckBox* clockBox_;
    QCheckBox* countersBox_;
    QCheckBox* eventsBox_;
    QCheckBox* restartBox_;
    QCheckBox* showChangesBox_;  // "Pokaż zmiany przed wysłaniem": read, show and back up first
    QProgressBar* progress_;
    QPlainTextEdit* status_;
    QList<QWidget*> busyDisabled_;  // controls that would start another operation
};

} // namespace kavrel::config::ui
