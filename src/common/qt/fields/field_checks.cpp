#include "common/qt/fields/field_checks.h"

#include <QGuiApplication>
#include <QMessageBox>

#include "common/qt/fields/field_edits.h"

namespace kavrel::ui {
namespace {

FieldProblemHandler& handler() {
    static FieldProblemHandler shown = [](QWidget* parent, const QString& message) {
        QMessageBox::warning(parent, QGuiApplication::applicationDisplayName(), message);
    };
    return shown;
}

} // namespace

void setFieldProblemHandler(FieldProblemHandler replacement) { handler() = std::move(replacement); }

void setFieldProblemTitle(const QString& title) {
    setFieldProblemHandler([title](QWidget* parent, const QString& message) {
        QMessageBox::warning(parent, title, message);
    });
}

void reportFieldProblem(QWidget* parent, const QString& message) { handler()(parent, message); }

namespace {

// The first field with a problem is reported and given the focus, its text selected.
template <typename ProblemOf>
bool firstProblemReported(QWidget* parent, const QList<QLineEdit*>& fields, ProblemOf problemOf) {
    for (QLineEdit* field : fields) {
        const QString problem = problemOf(field);
        if (problem.isEmpty()) continue;
        reportFieldProblem(parent, problem);
        field->setFocus();
        field->selectAll();
        return false;
    }
    return true;
}

} // namespace

bool checkFields(QWidget* parent, const QList<QLineEdit*>& fields) {
    return firstProblemReported(parent, fields, [](QLineEdit* field) {
        auto* checked = qobject_cast<CheckedEdit*>(field);
        return checked ? checked->problem() : QString();
    });
}

bool checkField(QWidget* parent, CheckedEdit* field) { return checkFields(parent, {field}); }

bool checkCodePage(QWidget* parent, const QList<QLineEdit*>& fields) {
    return firstProblemReported(parent, fields, [](QLineEdit* field) {
        return qobject_cast<TextEdit*>(field) ? codePageProblem(field->text()) : QString();
    });
}

} // namespace kavrel::ui
