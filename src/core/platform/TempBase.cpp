#include "TempBase.h"

#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace qv::platform {
namespace {

// Empties the directory open as dirFd, entry by entry, never following a link.
bool emptyDirectory(int dirFd)
{
    DIR* dir = ::fdopendir(dirFd);
    if (dir == nullptr) {
        ::close(dirFd);
        return false;
    }
    std::vector<std::string> names;
    while (const dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    bool ok = true;
    const int fd = ::dirfd(dir);
    for (const std::string& name : names) {
        struct stat st { };
        if (::fstatat(fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        if (S_ISDIR(st.st_mode)) {
            const int sub = ::openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (sub < 0) {
                ok = false;
                continue;
            }
            ok = emptyDirectory(sub) && ok;
            if (::unlinkat(fd, name.c_str(), AT_REMOVEDIR) != 0)
                ok = false;
        } else if (::unlinkat(fd, name.c_str(), 0) != 0) {
            ok = false;
        }
    }
    ::closedir(dir);
    return ok;
}

} // namespace

TempBase::TempBase()
{
    const char* env = std::getenv("TMPDIR");
    std::string base = env != nullptr && *env == '/' ? env : "/tmp";
    while (base.size() > 1 && base.back() == '/')
        base.pop_back();
    std::string tmpl = base + "/quorvane-XXXXXX";
    if (::mkdtemp(tmpl.data()) != nullptr)
        path_ = tmpl + "/";
}

TempBase::~TempBase()
{
    if (!path_.empty())
        RemoveTree(path_);
}

bool RemoveTree(const std::string& path)
{
    std::string p = path;
    while (p.size() > 1 && p.back() == '/')
        p.pop_back();
    struct stat st { };
    if (::lstat(p.c_str(), &st) != 0)
        return errno == ENOENT;
    if (!S_ISDIR(st.st_mode))
        return ::unlink(p.c_str()) == 0; // a link (or file) in its place goes, its target stays
    const int fd = ::open(p.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool emptied = emptyDirectory(fd);
    return ::rmdir(p.c_str()) == 0 && emptied;
}

} // namespace qv::platform
