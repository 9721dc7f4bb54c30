// The kind of file system a folder is on ("ext4", "tmpfs", ...), for benchmarks whose
// figures depend on it: a write to memory and one through a journal differ by a third.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>

#ifdef __linux__
#include <sys/vfs.h>
#endif

namespace kavrel::bench {

inline std::string fileSystemName(const std::filesystem::path& folder) {
#ifdef __linux__
    struct Known {
        unsigned long magic;
        const char* name;
    };
    // The magic numbers of <linux/magic.h> that a benchmark folder is likely to be on.
    static constexpr Known kKnown[] = {
        {0xEF53, "ext2/3/4"}, {0x01021994, "tmpfs"},   {0x9123683E, "btrfs"},  {0x58465342, "xfs"},
        {0x794C7630, "overlayfs"}, {0x6969, "nfs"},   {0x65735546, "fuse"},   {0x2FC12FC1, "zfs"},
        {0x5346544E, "ntfs"},  {0x4D44, "vfat"},       {0x858458F6, "ramfs"},  {0xFF534D42, "cifs"},
    };
    struct statfs info {};
    if (::statfs(folder.c_str(), &info) != 0) return "unknown";
    for (const Known& known : kKnown)
        if (static_cast<unsigned long>(info.f_type) == known.magic) return known.name;
    char text[32];
    std::snprintf(text, sizeof text, "0x%lx", static_cast<unsigned long>(info.f_type));
    return text;
#else
    (void)folder;
    return "unknown";
#endif
}

} // namespace kavrel::bench
