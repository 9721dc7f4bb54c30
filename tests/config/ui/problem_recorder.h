// Collects the check messages a settings dialog would show in message boxes, so that a test
// can assert the exact texts.
#pragma once

#include <QStringList>

#include "common/qt/fields/field_checks.h"

namespace kavrel::config::ui {

// Clears `into` and routes every following check message of any settings dialog there.
inline void recordProblems(QStringList& into) {
    into.clear();
    kavrel::ui::setFieldProblemHandler([&into](QWidget*, const QString& message) { into << message; });
}

} // namespace kavrel::config::ui
