#include "TreeWalker.h"

#include "platform/NameOrder.h"
#include "platform/WildcardMatch.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace qv {
namespace {

// A folder's entry: its name, and whether it is a link.
struct Entry {
    std::string name;
    bool link = false;
};

void sortUnique(std::vector<Entry>& entries)
{
    platform::NameOrder::System().sort(entries, [](const Entry& e) -> std::string_view { return e.name; });
    entries.erase(std::unique(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.name == b.name; }),
                  entries.end());
}

// An entry as getdents64 gives it.
struct LinuxDirent {
    std::uint64_t ino;
    std::int64_t off;
    unsigned short reclen;
    unsigned char type;
    char name[1];
};

platform::UniqueFd openFolder(int at, const std::string& name)
{
    return platform::UniqueFd(::openat(at, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK));
}

} // namespace

std::string TreeWalker::NormaliseDirectory(std::string dir)
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

void TreeWalker::walk(const std::string& start, const std::string& mask, bool subfolders)
{
    mask_ = mask;
    subfolders_ = subfolders;
    path_.clear();
    const std::string dir = NormaliseDirectory(start);
    platform::UniqueFd fd = openFolder(AT_FDCWD, dir);
    const bool pseudo = fd && platform::OnPseudoFileSystem(fd.get());
    walkFolder(dir, std::move(fd), pseudo, true, false);
}

void TreeWalker::walkFolder(const std::string& path, platform::UniqueFd fd, bool pseudo, bool isStart, bool viaLink)
{
    if (stop_.stop_requested())
        return;
    if (!fd && onUnreadable)
        onUnreadable(path, errno); // nothing since the caller's open has changed errno
    struct stat self { };
    bool onPath = false;
    if (fd && ::fstat(fd.get(), &self) == 0) {
        const platform::FileId id{static_cast<std::uint64_t>(self.st_dev), static_cast<std::uint64_t>(self.st_ino)};
        // A link back to a folder already on the way down would never end.
        if (std::find(path_.begin(), path_.end(), id) != path_.end())
            return;
        // Below the start, the kernel's pseudo file systems are left alone: reading them can
        // go on for ever. Only a change of device can lead into one.
        if (!isStart && !pseudo && id.device != device_ && platform::OnPseudoFileSystem(fd.get()))
            return;
        path_.push_back(id);
        onPath = true;
    }
    const std::uint64_t parentDevice = device_;
    device_ = static_cast<std::uint64_t>(self.st_dev);
    if (onFolder)
        onFolder(path);

    // One reading of the folder serves both lists; the entry types spare most stat calls.
    std::vector<Entry> subdirs;
    std::vector<Entry> files;
    auto folder = std::make_shared<OpenFolder>();
    folder->path = path;
    folder->pseudo = pseudo;
    folder->viaLink = viaLink;
    if (fd) {
        // The folder's entries read straight from the kernel: no stream over a second descriptor.
        alignas(8) char buf[32 << 10];
        for (;;) {
            const long n = ::syscall(SYS_getdents64, fd.get(), buf, sizeof buf);
            if (n <= 0 || stop_.stop_requested())
                break;
            for (long at = 0; at < n;) {
                const auto* e = reinterpret_cast<const LinuxDirent*>(buf + at);
                at += e->reclen;
                const char* name = e->name;
                if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))
                    continue;
                unsigned char type = e->type;
                const bool link = type == DT_LNK;
                // Inside a pseudo file system links are the kernel's (to processes' files,
                // roots and descriptors), not part of the tree.
                if (type == DT_LNK && pseudo)
                    continue;
                if (type == DT_LNK || type == DT_UNKNOWN) {
                    struct stat st { };
                    if (::fstatat(fd.get(), name, &st, 0) != 0)
                        continue; // dangling link, or gone meanwhile
                    followedALink_ = followedALink_ || type == DT_LNK;
                    type = S_ISDIR(st.st_mode) ? DT_DIR : (S_ISREG(st.st_mode) ? DT_REG : DT_UNKNOWN);
                }
                if (type == DT_DIR) {
                    if (subfolders_)
                        subdirs.push_back(Entry{name, link});
                } else if (type == DT_REG && platform::WildcardMatch(mask_, name)) {
                    files.push_back(Entry{name, link});
                }
            }
        }
    }
    sortUnique(files);
    sortUnique(subdirs);

    folder->fd = std::move(fd);
    std::shared_ptr<const OpenFolder> shared = std::move(folder);
    for (Entry& e : files) {
        if (stop_.stop_requested())
            break;
        if (onFile)
            onFile(shared, std::move(e.name), e.link);
    }
    // Let go of the folder before going down: handlers that still need it keep it, and open
    // folders do not pile up with the depth of the tree.
    shared.reset();
    for (const Entry& e : subdirs) {
        if (stop_.stop_requested())
            break;
        const std::string sub = path + e.name + "/";
        walkFolder(sub, openFolder(AT_FDCWD, sub), pseudo, false, viaLink || e.link);
    }
    device_ = parentDevice;
    if (onFolderDone)
        onFolderDone(path);
    if (onPath)
        path_.pop_back();
}

} // namespace qv
