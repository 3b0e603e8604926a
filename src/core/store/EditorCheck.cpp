#include "EditorCheck.h"

#include "platform/Executables.h"
#include "platform/FileKind.h"

namespace qv {
namespace {

const char* const kNotExecutable = "The specified file is not an executable program file";
const char* const kNotFound = "The specified editor was not found";

// Where a name leads: itself when it is a path or is in the current folder, else along PATH.
std::optional<std::string> locate(const std::string& name)
{
    if (name.empty())
        return std::nullopt;
    if (platform::KindOf(name) != platform::FileKind::Missing)
        return name;
    return platform::FindOnPath(name);
}

} // namespace

std::optional<std::string> EditorWarning(const std::string& editorText)
{
    std::string text;
    for (char c : editorText)
        if (c != '"')
            text += c;
    if (const auto found = locate(text))
        return platform::IsExecutableFile(*found) ? std::nullopt : std::optional<std::string>(kNotExecutable);
    // A program followed by arguments is not a program file name.
    for (auto blank = text.find(' '); blank != std::string::npos; blank = text.find(' ', blank + 1))
        if (locate(text.substr(0, blank)))
            return std::string(kNotExecutable);
    return std::string(kNotFound);
}

} // namespace qv
