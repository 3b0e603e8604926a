#include "FileKind.h"

#include <climits>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace qv::platform {

FileKind KindOf(const std::string& path)
{
    struct stat st {};
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
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return std::nullopt;
    return FileId{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
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
