#pragma once

#include <string>
#include <string_view>

namespace qv::platform {

// The folder part of a path, with its "/" (empty when the path has none): "/a/b.txt" -> "/a/".
inline std::string FolderOf(std::string_view path)
{
    const auto slash = path.rfind('/');
    return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash + 1));
}

// The last part of a path: "/a/b.txt" -> "b.txt".
inline std::string FileNameOf(std::string_view path)
{
    const auto slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

} // namespace qv::platform
