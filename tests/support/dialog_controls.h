// Finds the controls of a settings dialog one way: by the name of the record field they
// edit, which the dialog kit gives them (config/ui/kit/field_names.h): "ULO3", "APN0", a box
// of one bit "SEML3_0", a group of choices "SLOG_5-6". Buttons that edit no field (commands,
// "Wyślij", "Anuluj") are found by their caption, the few other controls (a list, a summary)
// by the name their window gives them (named_controls.h). A control that is missing ends the
// test at once, naming it.
#pragma once

#include <QCheckBox>
#include <QLineEdit>
#include <QWidget>

#include "config/ui/kit/field_names.h"
#include "support/named_controls.h"

namespace kavrel::testing {

template <typename Control = QLineEdit>
Control* fieldControl(const QWidget* dialog, const QString& name) {
    return namedControl<Control>(dialog, name);
}

template <typename Control = QLineEdit>
Control* fieldControl(const QWidget* dialog, config::Field field, int number = 0) {
    return fieldControl<Control>(dialog, config::ui::fieldControlName(field, number));
}

// The box of one bit of a field (SEML3 bit 0: Field::Seml, 3, 0).
inline QCheckBox* bitControl(const QWidget* dialog, config::Field field, int number, int bit) {
    return fieldControl<QCheckBox>(dialog, config::ui::bitControlName(field, number, bit));
}

// Whether the dialog has a control of that name (a row without that box, a hidden field).
inline bool hasFieldControl(const QWidget* dialog, const QString& name) {
    return dialog->findChild<QWidget*>(name) != nullptr;
}

} // namespace kavrel::testing
