#include "common/qt/user_settings.h"

#include <QCoreApplication>
#include <QMessageBox>

#if defined(Q_OS_WIN)
#include <windows.h>
#endif

#include "common/ini_file_store.h"
#include "common/portable_mode.h"
#include "common/qt/qsettings_store.h"

namespace kavrel {
namespace {

#if defined(Q_OS_WIN)
// Qt's file dialog keeps its last folder under HKCU\Software\QtProject whatever the program
// does; a portable copy removes that key again when it ends, unless it was there before.
constexpr const wchar_t* kQtDialogKey = L"Software\\QtProject";

bool registryKeyExists(const wchar_t* path) {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    ::RegCloseKey(key);
    return true;
}

void removeQtDialogKey() { ::RegDeleteTreeW(HKEY_CURRENT_USER, kQtDialogKey); }
#endif

void leaveNoTraceOfQt() {
    // The system's file dialogs keep lists of recent files of their own: Qt's own dialog
    // keeps nothing outside the program.
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
#if defined(Q_OS_WIN)
    if (!registryKeyExists(kQtDialogKey)) qAddPostRoutine(removeQtDialogKey);
#endif
}

} // namespace

std::unique_ptr<SettingsStore> openUserSettings(const QString& title) {
    const auto portable = portableFolders();
    if (!portable) return std::make_unique<QSettingsStore>();
    usePortableDataFolder(*portable);
    leaveNoTraceOfQt();
    if (const std::string problem = portableWriteProblem(*portable); !problem.empty())
        QMessageBox::warning(nullptr, title, QString::fromUtf8(problem.data(), static_cast<int>(problem.size())));
    return std::make_unique<IniFileStore>(portable->settings);
}

} // namespace kavrel
