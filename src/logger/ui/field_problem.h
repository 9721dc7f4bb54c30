// How the logger's window and dialogs refuse a field: the framework's standard range
// message in a box titled "Kavrel-Logger". Tests route the messages elsewhere.
#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace kavrel::config::ui {
class NumberEdit;
}

namespace kavrel::logger::ui {

using FieldProblemHandler = std::function<void(QWidget* parent, const QString& message)>;
void setFieldProblemHandler(FieldProblemHandler handler);

// True when the field holds an acceptable number; otherwise its message is shown, the
// field gets the focus, and false.
bool acceptNumber(QWidget* parent, config::ui::NumberEdit* field);

} // namespace kavrel::logger::ui
