// How every dialog of the three programs refuses a field when "Wprowadź" (or the action
// that needs the field) is pressed: the first field that does not pass its check has its
// message shown, gets the focus and is selected. One handler per program shows the
// messages; tests record them instead.
#pragma once

#include <QList>
#include <QString>
#include <functional>

class QLineEdit;
class QWidget;

namespace kavrel::ui {

class CheckedEdit;

// How a refused field is reported: a warning box titled with the program's name unless
// the program or a test installs its own.
using FieldProblemHandler = std::function<void(QWidget* parent, const QString& message)>;
void setFieldProblemHandler(FieldProblemHandler handler);
// The warning box titled `title`: what each program installs at start-up.
void setFieldProblemTitle(const QString& title);
void reportFieldProblem(QWidget* parent, const QString& message);

// True when every checked field among `fields` passes (plain line edits have no check);
// otherwise the first refused one is reported, focused and selected.
bool checkFields(QWidget* parent, const QList<QLineEdit*>& fields);
bool checkField(QWidget* parent, CheckedEdit* field);
// True when the text fields (TextEdit) among `fields` hold only what Windows-1250 can
// hold; otherwise the first that does not is reported, focused and selected. For the text
// fields a dialog does not check for length (they are only cut to their size).
bool checkCodePage(QWidget* parent, const QList<QLineEdit*>& fields);

} // namespace kavrel::ui
