// Finds the controls of a window or dialog as a test reaches them: by the object name the
// window gives a control ("comPort", "pollTimer"), or a button or label by its caption. A
// control that is missing ends the test at once, naming it.
#pragma once

#include <QAbstractButton>
#include <QWidget>

namespace kavrel::testing {

template <typename Control>
Control* namedControl(const QWidget* window, const QString& name) {
    auto* found = window->findChild<Control*>(name);
    if (!found) qFatal("no control named %s", qPrintable(name));
    return found;
}

template <typename Control = QAbstractButton>
Control* captioned(const QWidget* window, const QString& caption) {
    for (Control* control : window->findChildren<Control*>())
        if (control->text() == caption) return control;
    qFatal("no control captioned %s", qPrintable(caption));
    return nullptr;
}

} // namespace kavrel::testing
