// The wire trace's row in a program's settings dialog: "Zapisuj przebieg transmisji do
// pliku:", the file, and "..." to choose it. The dialog adds it with one line and reads
// the choice back when it is accepted; the window stores it (link/trace/trace_choice.h).
#pragma once

#include <QDialog>
#include <QWidget>
#include <memory>

#include "link/trace/trace_choice.h"

class QCheckBox;
class QLineEdit;
class QToolButton;

namespace kavrel {

class TraceChoiceRow : public QWidget {
    Q_OBJECT
public:
    explicit TraceChoiceRow(const link::TraceChoice& choice, QWidget* parent = nullptr);

    link::TraceChoice choice() const;

    // Where a trace goes when no file was chosen yet: "kavrel-przebieg.txt" in Documents.
    static QString defaultFile();

private:
    void chooseFile();

    QCheckBox* enabled_;
    QLineEdit* file_;
    QToolButton* browse_;
};

// "Przebieg transmisji": the row alone, for a program whose settings have no dialog of
// their own (it is opened from the "Pomoc" menu). "Wprowadź" stores the choice.
class TraceChoiceDialog : public QDialog {
    Q_OBJECT
public:
    explicit TraceChoiceDialog(SettingsStore& store, QWidget* parent = nullptr);
    TraceChoiceRow& row() { return *row_; }

public slots:
    void accept() override;

private:
    SettingsStore& store_;
    TraceChoiceRow* row_;
};

// The trace a program's next operation gets, opened on the window's thread and handed to
// the worker with the operation: the chosen file when the choice is on, else KAVREL_TRACE's.
// A chosen file that cannot be opened gives no trace and, in `failure`, the text the
// window shows (the operation goes on).
std::shared_ptr<link::WireTrace> traceForNextOperation(const SettingsStore& store, QString& failure);

} // namespace kavrel
