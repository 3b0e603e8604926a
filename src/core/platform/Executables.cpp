#include "Executables.h"

#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace qv::platform {

bool IsExecutableFile(const std::string& path)
{
    struct stat st { };
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & (S_IXUSR | S_IXGRP | S_IXOTH)) != 0;
}

std::optional<std::string> FindOnPath(std::string_view name)
{
    if (name.empty() || name.find('/') != std::string_view::npos)
        return std::nullopt;
    const char* env = std::getenv("PATH");
    const std::string path = env != nullptr ? env : "/usr/local/bin:/usr/bin:/bin";
    std::size_t pos = 0;
    for (;;) {
        const std::size_t colon = path.find(':', pos);
        std::string_view dir = std::string_view(path).substr(pos, colon == std::string::npos ? std::string::npos : colon - pos);
        if (dir.empty())
            dir = "."; // an empty entry is the current folder
        std::string candidate(dir);
        candidate += '/';
        candidate.append(name);
        if (IsExecutableFile(candidate))
            return candidate;
        if (colon == std::string::npos)
            return std::nullopt;
        pos = colon + 1;
    }
}

std::string DefaultEditor()
{
    for (const char* editor : {"gnome-text-editor", "gedit", "kate", "kwrite", "mousepad", "xed", "pluma", "featherpad"})
        if (FindOnPath(editor))
            return editor;
    return "xdg-open";
}

} // namespace qv::platform
