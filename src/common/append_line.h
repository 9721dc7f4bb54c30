// One line added to the end of a log file and waited for on the disk: a record that must
// outlive a killed program or a power cut the moment its writer goes on. The line goes out
// in one write to a file opened for appending, so that two programs adding to the same file
// at once never mix their lines.
#pragma once

#include <filesystem>
#include <string_view>

namespace kavrel {

// Creates the file (not its folder) when absent; `line` gets its LF here. False when the
// file could not be opened, written or flushed (a folder or FIFO in its place is refused).
bool appendLineDurably(const std::filesystem::path& path, std::string_view line);

} // namespace kavrel
