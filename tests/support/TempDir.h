#pragma once

#include <string>
#include <string_view>

namespace qvtest {

// A private folder for one test, removed with everything in it afterwards.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The folder's path, ending in "/".
    [[nodiscard]] const std::string& path() const { return path_; }
    // Writes a file (making its folders) and returns its full path.
    std::string write(const std::string& relative, std::string_view content) const;
    std::string mkdir(const std::string& relative) const;

private:
    std::string path_;
};

std::string readFile(const std::string& path);

} // namespace qvtest
