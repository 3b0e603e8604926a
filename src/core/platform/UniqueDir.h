#pragma once

#include "UniqueFd.h"

#include <dirent.h>
#include <string>
#include <utility>

namespace qv::platform {

// An open directory stream with one owner, closed (with its descriptor) when the owner goes.
class UniqueDir {
public:
    UniqueDir() = default;
    explicit UniqueDir(const std::string& path) : dir_(::opendir(path.c_str())) { }
    // Takes the descriptor over; it is closed even when no stream can be made of it.
    explicit UniqueDir(UniqueFd fd) : dir_(fd ? ::fdopendir(fd.get()) : nullptr)
    {
        if (dir_ != nullptr)
            fd.release();
    }
    UniqueDir(UniqueDir&& other) noexcept : dir_(std::exchange(other.dir_, nullptr)) { }
    UniqueDir& operator=(UniqueDir&& other) noexcept
    {
        if (this != &other) {
            reset();
            dir_ = std::exchange(other.dir_, nullptr);
        }
        return *this;
    }
    UniqueDir(const UniqueDir&) = delete;
    UniqueDir& operator=(const UniqueDir&) = delete;
    ~UniqueDir() { reset(); }

    explicit operator bool() const { return dir_ != nullptr; }
    [[nodiscard]] DIR* get() const { return dir_; }
    [[nodiscard]] int fd() const { return ::dirfd(dir_); }
    // The next entry, or null at the end.
    [[nodiscard]] const dirent* next() const { return ::readdir(dir_); }

private:
    void reset()
    {
        if (dir_ != nullptr)
            ::closedir(dir_);
        dir_ = nullptr;
    }

    DIR* dir_ = nullptr;
};

} // namespace qv::platform
