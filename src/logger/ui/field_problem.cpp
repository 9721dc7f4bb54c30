#include "logger/ui/field_problem.h"

#include <QMessageBox>

#include "config/ui/kit/field_edits.h"

namespace kavrel::logger::ui {
namespace {

FieldProblemHandler& handler() {
    static FieldProblemHandler shown = [](QWidget* parent, const QString& message) {
        QMessageBox::warning(parent, QStringLiteral("Kavrel-Logger"), message);
    };
    return shown;
}

} // namespace

void setFieldProblemHandler(FieldProblemHandler replacement) { handler() = std::move(replacement); }

bool acceptNumber(QWidget* parent, config::ui::NumberEdit* field) {
    const QString problem = field->problem();
    if (problem.isEmpty()) return true;
    handler()(parent, problem);
    field->setFocus();
    field->selectAll();
    return false;
}

} // namespace kavrel::logger::ui
