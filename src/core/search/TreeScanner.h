#pragma once

#include "platform/FileKind.h"

#include <functional>
#include <string>
#include <vector>

namespace qv {

// Walks a directory tree depth-first and raises one event per directory entered and one per
// file that matches the mask. It decides nothing about the files: the handlers do the work and
// steer the descent through KeepGoing. Events are raised synchronously inside Scan.
class TTreeScanner {
public:
    using Handler = std::function<void(TTreeScanner&)>;

    Handler OnDirectoryFound; // a directory is entered
    Handler OnDirectoryDone;  // a directory and all its subdirectories are finished
    Handler OnFileFound;      // a file matching FileMask
    // Called before each directory is read, so a user interface can handle pending events.
    std::function<void()> ProcessEvents;

    std::string InitialDirectory; // where the walk starts; normalised by Scan to end in "/"
    std::string FileMask;         // wildcard mask for files ("*", "?"); empty reports no files

    // Set by Scan; a handler clears it to enter no further directory. The files of the directory
    // being reported are still reported; directories already entered still finish.
    bool KeepGoing = false;

    // The file being reported, or the directory being entered (ending in "/").
    [[nodiscard]] const std::string& FileFound() const { return fileFound_; }
    // During OnFileFound: the reported file's folder, open (or -1), and its name in it.
    [[nodiscard]] int DirectoryFd() const { return directoryFd_; }
    [[nodiscard]] const std::string& FileName() const { return fileName_; }
    [[nodiscard]] bool SearchInProgress() const { return inProgress_; }

    void Scan();

    // InitialDirectory made whole: the current directory when empty, cut to its directory part,
    // ending in exactly one "/".
    static std::string NormaliseDirectory(std::string dir);

private:
    void walk(const std::string& dir);

    std::string fileFound_;
    std::string fileName_;
    int directoryFd_ = -1;
    bool inProgress_ = false;
    std::vector<platform::FileId> path_; // directories on the current walk path, against loops
};

} // namespace qv
