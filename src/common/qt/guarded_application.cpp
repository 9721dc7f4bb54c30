#include "common/qt/guarded_application.h"

#include <QMessageBox>
#include <filesystem>

#include "common/file_names.h"

namespace kavrel {

namespace {

void showFailure(const std::filesystem::filesystem_error& failure) {
    QMessageBox::critical(QApplication::activeWindow(), QApplication::applicationDisplayName(),
                          QString::fromStdString(fileFailureText(failure)));
}

} // namespace

bool GuardedApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::filesystem::filesystem_error& failure) {
        showFailure(failure);
        return false;
    }
}

int GuardedApplication::runGuarded(const std::function<int()>& body) {
    try {
        return body();
    } catch (const std::filesystem::filesystem_error& failure) {
        showFailure(failure);
        return 1;
    }
}

} // namespace kavrel
