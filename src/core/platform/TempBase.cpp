#include "TempBase.h"

#include "UniqueDir.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace qv::platform {
namespace {

// Empties the directory open as dirFd, entry by entry, never following a link.
bool emptyDirectory(UniqueFd dirFd)
{
    const UniqueDir dir(std::move(dirFd));
    if (!dir)
        return false;
    std::vector<std::string> names;
    while (const dirent* e = dir.next()) {
        const std::string name = e->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    bool ok = true;
    const int fd = dir.fd();
    for (const std::string& name : names) {
        struct stat st { };
        if (::fstatat(fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        if (S_ISDIR(st.st_mode)) {
            UniqueFd sub(::openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            if (!sub) {
                ok = false;
                continue;
            }
            ok = emptyDirectory(std::move(sub)) && ok;
            if (::unlinkat(fd, name.c_str(), AT_REMOVEDIR) != 0)
                ok = false;
        } else if (::unlinkat(fd, name.c_str(), 0) != 0) {
            ok = false;
        }
    }
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
    UniqueFd fd(::open(p.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd)
        return false;
    const bool emptied = emptyDirectory(std::move(fd));
    return ::rmdir(p.c_str()) == 0 && emptied;
}

} // namespace qv::platform
