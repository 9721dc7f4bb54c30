// "Ustawienia programu": the monitor's program settings dialog. It works on copies of the
// settings and the connection and hands them back only when "Wprowadź" is pressed and
// every field passes its check.
#pragma once

#include <QDialog>
#include <array>
#include <memory>

#include "common/staged_store.h"
#include "link/connection_settings.h"
#include "link/trace/trace_choice.h"
#include "monitor/monitor_settings.h"

class QButtonGroup;
class QCheckBox;
class QDialogButtonBox;
class QGridLayout;
class QGroupBox;
class QLineEdit;

namespace kavrel {
class SettingsStore;
class TraceChoiceRow;
}

namespace kavrel::ui {
class NumberEdit;
class TextEdit;
}

namespace kavrel::monitor::ui {

class FittingTextEdit;

class CSetupProg : public QDialog {
    Q_OBJECT
public:
    // portMapping: where a port picked with "..." beside the COM number is stored; without
    // it the number is a plain field. trace: the wire trace's choice, offered as a row of
    // its own; without it there is none.
    CSetupProg(const MonitorSettings& settings, const link::ConnectionSettings& connection, QWidget* parent = nullptr,
               SettingsStore* portMapping = nullptr, const link::TraceChoice* trace = nullptr);

    const MonitorSettings& settings() const { return settings_; }
    const link::ConnectionSettings& connection() const { return connection_; }
    const link::TraceChoice& traceChoice() const { return traceChoice_; }

    // "Otwórz...": the chosen file's name without its folder becomes the results file.
    void takeChosenFile(const QString& path);

public slots:
    void accept() override;

private:
    QGridLayout* buildProgramFields(const MonitorSettings& settings, const link::ConnectionSettings& connection,
                                    SettingsStore* portMapping);
    QGroupBox* buildLineFields(const MonitorSettings& settings);
    QDialogButtonBox* buildButtons();
    void chooseResultsFile();

    MonitorSettings settings_;
    link::ConnectionSettings connection_;
    link::TraceChoice traceChoice_;
    // A port picked with "..." is kept here and reaches the user's settings only on "Wprowadź".
    std::unique_ptr<StagedStore> portMapping_;
    kavrel::ui::NumberEdit* comPort_;
    FittingTextEdit* resultsFile_;
    kavrel::ui::NumberEdit* recordPeriod_;
    QCheckBox* tcpBox_;
    QLineEdit* moduleAddress_;
    kavrel::ui::NumberEdit* tcpPort_;
    TraceChoiceRow* traceRow_ = nullptr;
    std::array<kavrel::ui::TextEdit*, kInputLines> lineName_{};
    std::array<QButtonGroup*, kInputLines> lineType_{};
    std::array<kavrel::ui::NumberEdit*, kInputLines> barMin_{};
    std::array<kavrel::ui::NumberEdit*, kInputLines> barMax_{};
};

} // namespace kavrel::monitor::ui
