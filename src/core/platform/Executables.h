#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qv::platform {

// A regular file with an execute bit.
bool IsExecutableFile(const std::string& path);

// The first executable called `name` in the folders of $PATH.
std::optional<std::string> FindOnPath(std::string_view name);

// The editor used when none is set: the first of the common desktop text editors found on $PATH,
// else "xdg-open".
std::string DefaultEditor();

} // namespace qv::platform
