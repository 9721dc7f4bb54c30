#include "common/portable_mode.h"

#include <cstdlib>
#include <system_error>

#if defined(_WIN32)
#include <windows.h>
#endif

#include "common/file_names.h"
#include "common/backup_folder_variable.h"

namespace kavrel {

std::filesystem::path runningProgramFolder() {
#if defined(_WIN32)
    std::wstring name(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
        if (length == 0) return {};
        if (length < name.size()) {
            name.resize(length);
            break;
        }
        name.resize(name.size() * 2);   // a path longer than MAX_PATH
    }
    return std::filesystem::path(name).parent_path();
#else
    std::error_code error;
    const auto program = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : program.parent_path();
#endif
}

std::optional<PortableFolders> portableFolders(const std::filesystem::path& programFolder) {
    if (programFolder.empty()) return std::nullopt;
    std::error_code error;
    if (!std::filesystem::is_regular_file(programFolder / kPortableMarker, error)) return std::nullopt;
    return PortableFolders{programFolder, programFolder, programFolder / "dane" / "kopie"};
}

void usePortableDataFolder(const PortableFolders& folders) {
    if (!environmentText(kBackupFolderVariable).empty()) return;
#if defined(_WIN32)
    const std::wstring name(kBackupFolderVariable, kBackupFolderVariable + std::char_traits<char>::length(kBackupFolderVariable));
    ::SetEnvironmentVariableW(name.c_str(), folders.data.wstring().c_str());
    _wputenv_s(name.c_str(), folders.data.wstring().c_str());   // the C runtime's copy, for getenv
#else
    ::setenv(kBackupFolderVariable, folders.data.c_str(), 1);
#endif
}

std::string portableWriteProblem(const PortableFolders& folders) {
    const auto probe = folders.settings / ("zapis-" + std::to_string(processId()) + ".tmp");
    if (std::FILE* file = openFile(probe, "wb")) {
        std::fclose(file);
        std::error_code ignored;
        std::filesystem::remove(probe, ignored);
        return {};
    }
    return "Folder programów przenośnych „" + pathToUtf8(folders.programs) +
           "” jest tylko do odczytu: ustawienia, kopie zapasowe i dzienniki zapisów nie zostaną zapisane.";
}

} // namespace kavrel
