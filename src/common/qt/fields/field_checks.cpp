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

bool checkFields(QWidget* parent, const QList<QLineEdit*>& fields) {
    for (QLineEdit* field : fields) {
        auto* checked = qobject_cast<CheckedEdit*>(field);
        if (!checked) continue;
        const QString problem = checked->problem();
        if (problem.isEmpty()) continue;
        reportFieldProblem(parent, problem);
        field->setFocus();
        field->selectAll();
        return false;
    }
    return true;
}

bool checkField(QWidget* parent, CheckedEdit* field) { return checkFields(parent, {field}); }

bool checkCodePage(QWidget* parent, const QList<QLineEdit*>& fields) {
    for (QLineEdit* field : fields) {
        if (!qobject_cast<TextEdit*>(field)) continue;
        const QString problem = codePageProblem(field->text());
        if (problem.isEmpty()) continue;
        reportFieldProblem(parent, problem);
        field->setFocus();
        field->selectAll();
        return false;
    }
    return true;
}

} // namespace kavrel::ui
