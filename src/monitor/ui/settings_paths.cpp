#include "monitor/ui/settings_paths.h"

#include <QDir>
#include <QFileInfo>
#include <filesystem>

namespace kavrel::monitor::ui {
namespace {

// Swaps the case of the first letter of a name; empty when the name has no letter.
QString swapFirstLetter(QString name) {
    for (QChar& c : name) {
        if (c.isLower()) { c = c.toUpper(); return name; }
        if (c.isUpper()) { c = c.toLower(); return name; }
    }
    return {};
}

} // namespace

bool folderIgnoresCase(const QString& folder) {
    // Look for the nearest existing folder on the path whose name has a letter, and ask
    // whether the same name in another case reaches it too. Folders not yet made are
    // passed over.
    QFileInfo info(QDir::cleanPath(QFileInfo(folder).absoluteFilePath()));
    while (!info.isRoot() && info.absolutePath() != info.absoluteFilePath()) {
        const QString swapped = swapFirstLetter(info.fileName());
        if (info.exists() && !swapped.isEmpty()) {
            const QFileInfo other(info.dir(), swapped);
            std::error_code error;
            return other.exists() && std::filesystem::equivalent(other.absoluteFilePath().toStdU16String(),
                                                                 info.absoluteFilePath().toStdU16String(), error);
        }
        info = QFileInfo(info.absolutePath());
    }
#ifdef Q_OS_WIN
    return true;
#else
    return false;
#endif
}

QString settingsFilePath(const QString& chosen, bool ignoresCase) { return ignoresCase ? chosen.toUpper() : chosen; }

QString settingsFilePath(const QString& chosen) {
    return settingsFilePath(chosen, folderIgnoresCase(QFileInfo(chosen).absolutePath()));
}

} // namespace kavrel::monitor::ui
