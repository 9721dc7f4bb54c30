// A portable copy of the programs: a file portable.ini beside them (the unpacked zip on a USB
// stick) makes them keep everything in their own folder and nothing in the registry or the
// user's profile: the settings in INI files beside the programs (IniFileStore), backups,
// write journals and version notes in "dane\kopie" beside them.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace kavrel {

inline constexpr const char* kPortableMarker = "portable.ini";

struct PortableFolders {
    std::filesystem::path programs;   // the running program's folder, with portable.ini
    std::filesystem::path settings;   // the INI files
    std::filesystem::path data;       // backups, journals, version notes
};

// The folder of the running program (GetModuleFileNameW, /proc/self/exe); empty if unknown.
std::filesystem::path runningProgramFolder();

// The portable folders when portable.ini lies beside the program in `programFolder`.
std::optional<PortableFolders> portableFolders(const std::filesystem::path& programFolder = runningProgramFolder());

// Points the backups, journals and version notes into the portable data folder (through
// KAVREL_BACKUP_DIR, unless the user set it), for this process.
void usePortableDataFolder(const PortableFolders& folders);

// What the programs say (UTF-8) when the portable folder takes no new file (a read-only
// stick); empty when it does. They still run, with the settings prepared on the stick.
std::string portableWriteProblem(const PortableFolders& folders);

} // namespace kavrel
