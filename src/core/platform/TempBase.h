#pragma once

#include <string>

namespace qv::platform {

// The program's private temporary folder: made at start under $TMPDIR (or /tmp) with mode 0700,
// removed with everything in it when this object goes. Never a predictable name in a shared folder.
class TempBase {
public:
    TempBase();
    ~TempBase();
    TempBase(const TempBase&) = delete;
    TempBase& operator=(const TempBase&) = delete;

    // Ends in "/"; empty when no folder could be made.
    [[nodiscard]] const std::string& path() const { return path_; }

private:
    std::string path_;
};

// Deletes a directory and everything in it without following any symbolic link: a link inside is
// removed, what it points to is left alone. Returns false when something could not be removed.
bool RemoveTree(const std::string& path);

} // namespace qv::platform
