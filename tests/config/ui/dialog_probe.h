// Finds the controls of a settings dialog the way a user sees them: edits by the field
// name they carry, check boxes and buttons by their caption. A control that is missing
// ends the test at once, naming it.
#pragma once

#include <QAbstractButton>
#include <QCheckBox>
#include <QLineEdit>
#include <QWidget>

namespace kavrel::config::ui::test {

inline QLineEdit* edit(QWidget* dialog, const QString& name) {
    auto* found = dialog->findChild<QLineEdit*>(name);
    if (!found) qFatal("no edit named %s", qPrintable(name));
    return found;
}

template <typename Button = QAbstractButton>
Button* captioned(QWidget* dialog, const QString& caption) {
    for (Button* button : dialog->findChildren<Button*>())
        if (button->text() == caption) return button;
    qFatal("no button captioned %s", qPrintable(caption));
    return nullptr;
}

inline QCheckBox* checkBox(QWidget* dialog, const QString& caption) { return captioned<QCheckBox>(dialog, caption); }

} // namespace kavrel::config::ui::test
