#include "FileKind.h"

#include <climits>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>
#include <vector>

namespace qv::platform {

FileKind KindOf(const std::string& path)
{
    struct stat st { };
    if (::stat(path.c_str(), &st) != 0)
        return FileKind::Missing;
    if (S_ISREG(st.st_mode))
        return FileKind::Regular;
    if (S_ISDIR(st.st_mode))
        return FileKind::Directory;
    return FileKind::Other;
}

std::optional<FileId> IdOf(const std::string& path)
{
    struct stat st { };
    if (::stat(path.c_str(), &st) != 0)
        return std::nullopt;
    return FileId{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

namespace {
// Types the kernel's header does not name.
constexpr unsigned long kConfigFsMagic = 0x62656570;
constexpr unsigned long kFuseControlMagic = 0x65735543;
constexpr unsigned long kMqueueMagic = 0x19800202;
} // namespace

bool OnPseudoFileSystem(int fd)
{
    struct statfs fs { };
    if (::fstatfs(fd, &fs) != 0)
        return false;
    switch (static_cast<unsigned long>(fs.f_type)) {
    case PROC_SUPER_MAGIC:
    case SYSFS_MAGIC:
    case CGROUP_SUPER_MAGIC:
    case CGROUP2_SUPER_MAGIC:
    case DEBUGFS_MAGIC:
    case TRACEFS_MAGIC:
    case SECURITYFS_MAGIC:
    case PSTOREFS_MAGIC:
    case BPF_FS_MAGIC:
    case kConfigFsMagic:
    case DEVPTS_SUPER_MAGIC:
    case EFIVARFS_MAGIC:
    case kFuseControlMagic:
    case BINFMTFS_MAGIC:
    case SELINUX_MAGIC:
    case SMACK_MAGIC:
    case NSFS_MAGIC:
    case kMqueueMagic: return true;
    default: return false;
    }
}

std::string CurrentDirectory()
{
    std::vector<char> buf(PATH_MAX + 1);
    if (::getcwd(buf.data(), buf.size()) == nullptr)
        return "/";
    std::string dir(buf.data());
    if (dir.empty() || dir.back() != '/')
        dir += '/';
    return dir;
}

} // namespace qv::platform
