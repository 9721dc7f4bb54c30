// The result of loading or saving one of the programs' own files (settings files, the
// per-user settings, the description data, an export's output files).
#pragma once

namespace kavrel {

// WrongFormat: the file was read but is not one of ours (the settings untouched).
// OpenFailed: the file could not be opened or created (for the per-user settings: their
// key could not be opened). WriteFailed: it was opened but not every byte reached it; a
// save keeps the earlier file whole in that case.
enum class [[nodiscard]] FileResult : int { Ok = 0, OpenFailed = 1, WrongFormat = 2, WriteFailed = 3 };

} // namespace kavrel
