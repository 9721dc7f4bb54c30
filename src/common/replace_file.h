// Writing a file over an older one without ever leaving half of it: the bytes go to a
// temporary file beside the target, are flushed to the disk, and only then is the
// temporary moved over the target in one step. A full disk, a cut write or a refused
// rename leaves the old file (or no file) as it was, and no temporary behind.
#pragma once

#include <filesystem>
#include <string_view>

#include "common/file_result.h"

namespace kavrel {

enum class [[nodiscard]] ReplaceResult : int {
    Ok = 0,
    NotOpened = 1,    // the target is no regular file (a folder, a FIFO) or its folder takes no new file
    WriteFailed = 2,  // writing, flushing or the final move failed; the target is unchanged
};

// A name in the folder of `path` that no other temporary of this process uses; the rename
// stays within one file system that way. It is short whatever the target's name, so a
// target name near the file system's limit still has a temporary beside it.
std::filesystem::path temporaryNameFor(const std::filesystem::path& path);

// Replaces the file at `path` (created when absent) with exactly `bytes`; a replaced file
// keeps its permissions. Without `flush` the rename does not wait for the disk: a power cut
// may then leave the previous contents (never a mixture), for bookkeeping rewritten often.
ReplaceResult replaceFile(const std::filesystem::path& path, std::string_view bytes, bool flush = true);

// The save's result: NotOpened is OpenFailed, the rest WriteFailed (the old file kept).
constexpr FileResult toFileResult(ReplaceResult result) {
    switch (result) {
    case ReplaceResult::Ok: return FileResult::Ok;
    case ReplaceResult::NotOpened: return FileResult::OpenFailed;
    case ReplaceResult::WriteFailed: break;
    }
    return FileResult::WriteFailed;
}

} // namespace kavrel
