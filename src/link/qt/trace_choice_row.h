// The wire trace's row in a program's settings dialog: "Zapisuj przebieg transmisji do
// pliku:", the file, and "..." to choose it. The dialog adds it with one line and reads
// the choice back when it is accepted; the window stores it (link/trace_choice.h).
#pragma once

#include <QWidget>

#include "link/trace_choice.h"

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

} // namespace kavrel
