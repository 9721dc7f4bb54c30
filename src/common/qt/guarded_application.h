// The programs' QApplication: an exception from the file system in an event handler (a path
// the system refuses, a folder that went away) is shown in a message box and the program
// goes on, where Qt would otherwise end it.
#pragma once

#include <QApplication>
#include <functional>

namespace kavrel {

class GuardedApplication : public QApplication {
public:
    GuardedApplication(int& argc, char** argv) : QApplication(argc, argv) {}
    bool notify(QObject* receiver, QEvent* event) override;

    // Runs the program's body (its window and event loop). What still escapes it, such as a
    // window that cannot be built, is shown before the program ends with exit code 1.
    int runGuarded(const std::function<int()>& body);
};

} // namespace kavrel
