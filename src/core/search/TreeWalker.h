#pragma once

#include "platform/FileKind.h"
#include "platform/UniqueFd.h"

#include <functional>
#include <memory>
#include <stop_token>
#include <string>
#include <vector>

namespace qv {

// A folder the walk has open. Its files are opened relative to it (a faster lookup than a whole
// path); whoever still has a file of it to open keeps it open.
struct OpenFolder {
    platform::UniqueFd fd;
    std::string path; // ending in "/"
    bool pseudo = false; // on a kernel pseudo file system
    bool viaLink = false; // reached through a link to a folder (here or above)
};

// Walks a folder tree depth-first: in each folder its files that match the mask, in the order
// of names (platform/NameOrder.h), then its subfolders in the same order. Links to files and
// folders are followed, but never into a folder already on the way down (no loops). FIFOs,
// sockets, devices and dangling links are never reported. Below the start it does not enter the
// kernel's pseudo file systems (proc, sysfs and the like), and inside one (when the start lies
// there) it follows no links. A folder that cannot be read yields nothing; the walk goes on.
class TreeWalker {
public:
    // `link`: the entry is a link to the file.
    using FileHandler = std::function<void(const std::shared_ptr<const OpenFolder>& folder, std::string name, bool link)>;
    using FolderHandler = std::function<void(const std::string& path)>;

    FileHandler onFile; // a file that matches the mask
    FolderHandler onFolder; // a folder is entered
    FolderHandler onFolderDone; // a folder and everything below it are done
    std::function<void(const std::string& path, int error)> onUnreadable; // a folder that cannot be opened

    explicit TreeWalker(std::stop_token stop = {}) : stop_(std::move(stop)) { }

    // Walks from `start` (see NormaliseDirectory) with a wildcard mask ("*", "?"; an empty mask
    // reports no files). Without subfolders only the start folder's own files are reported.
    // Returns early once a stop is requested.
    void walk(const std::string& start, const std::string& mask, bool subfolders);

    // Whether this walk (or one before it with this walker) has followed a link: the same file
    // may then be reached by two paths.
    [[nodiscard]] bool followedALink() const { return followedALink_; }

    // A start folder made whole: the current folder when empty, cut to its folder part, ending
    // in exactly one "/".
    static std::string NormaliseDirectory(std::string dir);

private:
    void walkFolder(const std::string& path, platform::UniqueFd fd, bool pseudo, bool isStart, bool viaLink);

    std::stop_token stop_;
    std::string mask_;
    bool subfolders_ = false;
    std::vector<platform::FileId> path_; // folders on the way down, against loops
    std::uint64_t device_ = 0; // of the folder being walked
    bool followedALink_ = false;
};

} // namespace qv
