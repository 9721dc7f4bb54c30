#include "monitor/ui/settings_paths.h"

#include <QDir>
#include <QFileInfo>
#include <filesystem>

#include "common/qt/qt_path.h"

namespace kavrel::monitor::ui {
#ifndef Q_OS_WIN
namespace {

constexpr int kEntriesLooked = 64;   // how many entries of a folder are tried for a letter

// Swaps the case of the first letter of a name; empty when the name has no letter.
QString swapFirstLetter(QString name) {
    for (QChar& c : name) {
        if (c.isLower()) { c = c.toUpper(); return name; }
        if (c.isUpper()) { c = c.toLower(); return name; }
    }
    return {};
}

} // namespace
#endif

bool namesIgnoreCase(const QString& folder) {
#ifdef Q_OS_WIN
    (void)folder;
    return true;
#else
    const QDir dir(folder);
    if (!dir.exists()) return false;
    const QStringList entries = dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    int looked = 0;
    for (const QString& entry : entries) {
        if (++looked > kEntriesLooked) break;
        const QString swapped = swapFirstLetter(entry);
        if (swapped.isEmpty()) continue;
        const QFileInfo other(dir, swapped);
        if (!other.exists()) return false;
        // Both names exist: the same entry (case ignored) or two entries of a case-keeping folder.
        std::error_code error;
        return std::filesystem::equivalent(pathFromQString(other.absoluteFilePath()),
                                           pathFromQString(dir.absoluteFilePath(entry)), error);
    }
    return false;
#endif
}

QString settingsFilePath(const QString& chosen, const CaseTest& ignoresCase) {
    const QString path = QDir::cleanPath(QFileInfo(chosen).absoluteFilePath());
    QString outermost;
    for (QString folder = QFileInfo(path).absolutePath();; folder = QFileInfo(folder).absolutePath()) {
        if (!ignoresCase(folder)) break;
        outermost = folder;
        if (QDir(folder).isRoot()) break;
    }
    if (outermost.isEmpty()) return chosen;
    const int inside = outermost.endsWith(QLatin1Char('/')) ? outermost.size() : outermost.size() + 1;
    return path.left(inside) + path.mid(inside).toUpper();
}

QString settingsFilePath(const QString& chosen) { return settingsFilePath(chosen, namesIgnoreCase); }

} // namespace kavrel::monitor::ui
