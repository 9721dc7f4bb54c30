// Reading the start of a file the user named: a settings file, a line-description file.
// Only a regular file is read. A folder, a FIFO or a device is refused before a byte is
// read and without waiting (opening a FIFO for reading would block until a writer came),
// and a read that fails is an error, never a short file.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

namespace kavrel {

enum class [[nodiscard]] FileRead {
    Ok,           // the file's first bytes, at most the limit, are in the buffer
    NotOpened,    // missing, or no permission to read it
    NotRegular,   // a folder, a FIFO, a device, a socket
    ReadFailed,   // opened, but reading it failed
};

// Reads at most `limit` bytes from the start of the regular file `path` into `bytes`
// (which holds exactly what was read). On anything but Ok, `bytes` is empty.
FileRead readRegularFile(const std::filesystem::path& path, std::size_t limit, std::string& bytes);

// Whether a file may be written at path: nothing is there yet, or a regular file is.
// Writing to a FIFO would block until a reader came, writing to a folder fails anyway.
bool mayWriteRegularFile(const std::filesystem::path& path);

} // namespace kavrel
