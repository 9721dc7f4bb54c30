// The user's names and kind overrides of the 24 lines (L1..L8, XL1..XL16), read at start
// from "Kavrel-Logger.dat" (binary) or else "Kavrel-Logger.cfg" (text).
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "common/file_result.h"
#include "logger/values/value_kind.h"

namespace kavrel::logger {

inline constexpr std::int32_t kRemovedLine = 255;  // override that drops the line's column
inline constexpr std::size_t kLineNameMax = 31;

struct LineDescription {
    std::int32_t kindOverride = 0;
    std::int32_t extra1 = 0;  // carried from the text file, not interpreted
    std::int32_t extra2 = 0;
    std::string name;         // Windows-1250, at most 31 characters

    bool hasName() const { return !name.empty(); }
    bool removed() const { return kindOverride == kRemovedLine; }
    // The kind the override chooses; only a named line's override counts.
    std::optional<ValueKind> chosenKind() const { return hasName() ? overrideKind(kindOverride) : std::nullopt; }

    bool operator==(const LineDescription&) const = default;
};

inline constexpr std::size_t kInputLines = 8;
inline constexpr std::size_t kExtendedLines = 16;
inline constexpr std::size_t kDescribedLines = kInputLines + kExtendedLines;

struct LineDescriptions {
    std::array<LineDescription, kDescribedLines> lines{};
    std::int32_t fullExport = 1;
    bool loadedFromText = false;  // the table came from the text file (and may be saved as data)

    const LineDescription& input(std::size_t index) const { return lines[index]; }
    const LineDescription& extended(std::size_t index) const { return lines[kInputLines + index]; }

    bool operator==(const LineDescriptions&) const = default;
};

inline constexpr const char* kDescriptionDataFile = "Kavrel-Logger.dat";
inline constexpr const char* kDescriptionTextFile = "Kavrel-Logger.cfg";
inline constexpr std::size_t kDescriptionDataSize = 1168;
inline constexpr std::size_t kDescriptionEntrySize = 48;

// Parses the data file's bytes; nothing when the magic is wrong. A short file gives what
// it holds: fullExport only when all four bytes are there, then whole entries.
std::optional<LineDescriptions> parseDescriptionData(std::span<const std::uint8_t> data);

// Parses the text file's bytes; nothing when its first word is not "Kavrel".
std::optional<LineDescriptions> parseDescriptionText(std::string_view text);

// The 1168 bytes of the data file for a table: magic, a zero word, fullExport 0 (the
// written file selects the reduced CSV), the 24 entries.
std::vector<std::uint8_t> descriptionData(const LineDescriptions& table);

// Whether the program's command-line words ask for the data file to be written: one of
// the first ten words, within its first 255 characters, contains "/wrdat".
bool asksToWriteDescriptionData(std::span<const std::string> words);

// Writes the data file for a table (created anew); an old one stays whole unless it succeeds.
FileResult writeDescriptionData(const std::filesystem::path& file, const LineDescriptions& table);

// At program start, in folder: the data file if it can be opened, else the text file, else
// the cleared table; a missing or foreign file is no error. With writeData (the "/wrdat"
// switch) a table read from the text file is saved as the data file; when that save fails
// and dataWriteFailed is given, it is set.
LineDescriptions loadLineDescriptions(const std::filesystem::path& folder, bool writeData,
                                      bool* dataWriteFailed = nullptr);

} // namespace kavrel::logger
