// Settings files (*.kvl): the 3608 bytes of the settings record, nothing else.
// Loading accepts any size (missing bytes read as 0, extra bytes are ignored); saving
// writes a temporary file beside the target and renames it over the target only when
// every byte reached the disk, so a failed save never destroys the previous file.
#pragma once

#include <string>

#include "common/file_result.h"
#include "common/observer.h"
#include "config/model/settings_image.h"

namespace kavrel::config {

inline constexpr const char* kSettingsFileExtension = "kvl";
inline constexpr const char* kStartupSettingsFile = "default.kvl";
// The file dialogs' filter text and pattern (UTF-8; both ASCII).
inline constexpr const char* kSettingsFileFilter = "Pliki konfiguracji (*.KVL)";
inline constexpr const char* kSettingsFilePattern = "*.KVL";

// Loads and saves report a FileResult (never WrongFormat: any bytes are a record). Paths
// are UTF-8 texts, as the core holds file names.

// Replaces the whole record with the file; on OpenFailed the record is untouched. With
// `fileSize`, the number of bytes the file held (0: a record of zeros, never one to send).
FileResult loadSettingsFile(const std::string& path, SettingsImage& image, std::size_t* fileSize = nullptr);
// Writes exactly 3608 bytes; the old file stays as it was unless everything succeeded.
FileResult saveSettingsFile(const std::string& path, const SettingsImage& image);

// The buttons "Odczytaj z dysku" and "Zapisz na dysk" after the file dialog: load or
// save and set the status text ("Ustawienia odczytane z pliku:\r\n" and the file's name
// without its folder, "Błąd otwarcia pliku do odczytu", ...).
FileResult loadSettingsFromFile(const std::string& path, SettingsImage& image, OperationObserver& observer);
FileResult saveSettingsToFile(const std::string& path, const SettingsImage& image, OperationObserver& observer);

// Start-up: loads the file named on the command line or "default.kvl"; the status names
// the file exactly as given ("Błąd otwarcia pliku:\r\n" and the name when it is missing).
FileResult loadStartupFile(const std::string& name, SettingsImage& image, OperationObserver& observer);

// The status text of a save whose writing failed (the old file is kept).
std::string saveWriteFailedText();

} // namespace kavrel::config
