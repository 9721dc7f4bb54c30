// The settings store of a window program: the user's settings through QSettings (the
// registry on Windows), or, in a portable copy (portable.ini beside the program), INI files
// beside it, with the backups in its own folder and nothing written to the registry.
//
//     GuardedApplication app(argc, argv);
//     auto settings = kavrel::openUserSettings(QStringLiteral("Kavrel-Monitor"));
#pragma once

#include <QString>
#include <memory>

#include "common/settings_store.h"

namespace kavrel {

// In a portable copy whose folder takes no file, says so once in a box titled `title`.
std::unique_ptr<SettingsStore> openUserSettings(const QString& title);

} // namespace kavrel
