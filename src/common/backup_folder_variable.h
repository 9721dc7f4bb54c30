// The environment variable that names another folder for backups, write journals and version
// notes (tests, a portable copy of the programs).
#pragma once

namespace kavrel {

inline constexpr const char* kBackupFolderVariable = "KAVREL_BACKUP_DIR";

} // namespace kavrel
