#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qv::platform {

// What a directory entry is, symbolic links followed. Anything but a regular file or a directory
// (FIFO, socket, device, dangling link) is Other: listed nowhere and never opened, since opening
// a FIFO would block.
enum class FileKind { Regular, Directory, Other, Missing };

FileKind KindOf(const std::string& path);

// Hidden means the name begins with a dot.
inline bool IsHidden(std::string_view name)
{
    return !name.empty() && name.front() == '.';
}

// Identity of a file on its device, to tell whether two paths lead to the same directory.
struct FileId {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    friend bool operator==(const FileId&, const FileId&) = default;
};

std::optional<FileId> IdOf(const std::string& path);

// Whether an open file or folder lies on one of the kernel's pseudo file systems (proc, sysfs,
// cgroup, debugfs, tracefs and the like), told by the file system's type: their files are made
// up as they are read and may never end.
bool OnPseudoFileSystem(int fd);

// The process's current directory, ending in "/"; "/" when it cannot be read.
std::string CurrentDirectory();

} // namespace qv::platform
