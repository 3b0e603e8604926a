#include "TreeScanner.h"

#include "platform/WildcardMatch.h"

#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qv {
namespace {

// Case-insensitive order, ties broken by the exact bytes so the order is stable.
bool nameLess(const std::string& a, const std::string& b)
{
    const int c = ::strcasecmp(a.c_str(), b.c_str());
    return c != 0 ? c < 0 : a < b;
}

void sortUnique(std::vector<std::string>& names)
{
    std::sort(names.begin(), names.end(), nameLess);
    names.erase(std::unique(names.begin(), names.end()), names.end());
}

} // namespace

std::string TTreeScanner::NormaliseDirectory(std::string dir)
{
    if (dir.empty())
        dir = platform::CurrentDirectory();
    if (dir.back() != '/')
        dir += '/';
    const auto last = dir.rfind('/');
    dir.resize(last == 0 ? 1 : last); // the part before the last "/", keeping a root's "/"
    if (dir.back() != '/')
        dir += '/';
    return dir;
}

void TTreeScanner::Scan()
{
    inProgress_ = true;
    fileFound_.clear();
    InitialDirectory = NormaliseDirectory(InitialDirectory);
    KeepGoing = true;
    path_.clear();
    walk(InitialDirectory);
    inProgress_ = false;
}

void TTreeScanner::walk(const std::string& dir)
{
    if (ProcessEvents)
        ProcessEvents();
    if (!KeepGoing)
        return;

    // One reading of the directory serves both lists; its entry types spare most stat calls.
    std::vector<std::string> subdirs;
    std::vector<std::string> files;
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    struct stat self {};
    bool onPath = false;
    if (fd >= 0 && ::fstat(fd, &self) == 0) {
        const platform::FileId id{static_cast<std::uint64_t>(self.st_dev), static_cast<std::uint64_t>(self.st_ino)};
        // A link back to a directory already on the walk path would never end.
        if (std::find(path_.begin(), path_.end(), id) != path_.end()) {
            ::close(fd);
            return;
        }
        path_.push_back(id);
        onPath = true;
    }

    fileFound_ = dir;
    if (OnDirectoryFound)
        OnDirectoryFound(*this);

    DIR* d = fd >= 0 ? ::fdopendir(fd) : nullptr;
    if (fd >= 0 && d == nullptr)
        ::close(fd);
    if (d != nullptr) {
        {
            while (const dirent* e = ::readdir(d)) {
                const char* name = e->d_name;
                if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))
                    continue;
                unsigned char type = e->d_type;
                if (type == DT_LNK || type == DT_UNKNOWN) {
                    struct stat st {};
                    if (::fstatat(::dirfd(d), name, &st, 0) != 0)
                        continue; // dangling link, or gone meanwhile
                    type = S_ISDIR(st.st_mode) ? DT_DIR : (S_ISREG(st.st_mode) ? DT_REG : DT_UNKNOWN);
                }
                if (type == DT_DIR)
                    subdirs.emplace_back(name);
                else if (type == DT_REG && platform::WildcardMatch(FileMask, name))
                    files.emplace_back(name);
            }
        }
    }
    sortUnique(files);
    sortUnique(subdirs);

    // The folder stays open while its files are reported (they can be opened relative to it),
    // and is closed before descending, so open folders never pile up.
    directoryFd_ = d != nullptr ? ::dirfd(d) : -1;
    for (const std::string& name : files) {
        fileFound_ = dir + name;
        fileName_ = name;
        if (OnFileFound)
            OnFileFound(*this);
    }
    directoryFd_ = -1;
    if (d != nullptr)
        ::closedir(d);
    for (const std::string& name : subdirs)
        walk(dir + name + "/");

    if (OnDirectoryDone)
        OnDirectoryDone(*this);
    if (onPath)
        path_.pop_back();
}

} // namespace qv
