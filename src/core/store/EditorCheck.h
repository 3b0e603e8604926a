#pragma once

#include <optional>
#include <string>

namespace qv {

// The warning for an editor text, if any: "The specified file is not an executable program file"
// when it names something that is not an executable file (or a program followed by arguments),
// "The specified editor was not found" when it names nothing. Double quotes are ignored; a bare
// name is looked for in the current folder and along PATH. Warnings only: the text is kept.
std::optional<std::string> EditorWarning(const std::string& editorText);

} // namespace qv
