#include "PreferenceSet.h"

#include "platform/Executables.h"

#include <functional>
#include <optional>

namespace qv {
namespace {

using platform::Failure;
using platform::RegistryKey;

// A string value; a value of another type reads like a missing one.
std::string readString(std::optional<RegistryKey>& key, std::string_view name)
{
    return key ? key->ReadString(name).valueOr({}) : std::string();
}

void readInteger(std::optional<RegistryKey>& key, std::string_view name, std::int32_t& field, std::int32_t fallback)
{
    field = key ? key->ReadInteger(name).valueOr(fallback) : fallback;
}

void loadString(std::optional<RegistryKey>& key, std::string_view name, std::string& field, const std::string& fallback)
{
    field = readString(key, name);
    if (field.empty())
        field = fallback;
}

} // namespace

PreferenceSet PreferenceSet::Defaults()
{
    PreferenceSet p;
    p.Editor = platform::DefaultEditor();
    return p;
}

void LoadPreferences(platform::RegistryHive& hive, PreferenceSet& prefs)
{
    const PreferenceSet d; // the default editor is looked up only when none is stored
    std::optional<RegistryKey> key = hive.OpenKey(platform::kQuorvaneKey, false);
    loadString(key, "MatchFontName", prefs.MatchFontName, d.MatchFontName);
    loadString(key, "ViewerFontName", prefs.ViewerFontName, d.ViewerFontName);
    loadString(key, "PrintFontName", prefs.PrintFontName, d.PrintFontName);
    prefs.Editor = readString(key, "Editor");
    if (prefs.Editor.empty())
        prefs.Editor = platform::DefaultEditor();
    prefs.StartupDir = readString(key, "StartupDir");
    readInteger(key, "MatchFontSize", prefs.MatchFontSize, d.MatchFontSize);
    readInteger(key, "ViewerFontSize", prefs.ViewerFontSize, d.ViewerFontSize);
    readInteger(key, "PrintFontSize", prefs.PrintFontSize, d.PrintFontSize);
    readInteger(key, "MaxMatchLen", prefs.MaxMatchLen, d.MaxMatchLen);
    readInteger(key, "MaxMatches", prefs.MaxMatches, d.MaxMatches);
    readInteger(key, "ViewerTextColor", prefs.ViewerTextColor, d.ViewerTextColor);
    readInteger(key, "ViewerHighColor", prefs.ViewerHighColor, d.ViewerHighColor);
    std::int32_t hint = 1;
    readInteger(key, "ShowHint", hint, 1);
    prefs.ShowHint = hint != 0;
}

Failure SavePreferences(platform::RegistryHive& hive, const PreferenceSet& prefs)
{
    std::optional<RegistryKey> key = hive.OpenKey(platform::kQuorvaneKey, true);
    if (!key)
        return "Failed to set data for 'MaxMatchLen'";
    key->BeginWrites();
    // In this order; the first that fails ends the save, what was written before it stays.
    const auto integer = [&key](const char* name, std::int32_t v) { return [&key, name, v] { return key->WriteInteger(name, v); }; };
    const auto string = [&key](const char* name, const std::string& v) { return [&key, name, &v] { return key->WriteString(name, v); }; };
    const std::function<Failure()> writes[] = {
        integer("MaxMatchLen", prefs.MaxMatchLen),
        integer("MaxMatches", prefs.MaxMatches),
        integer("ShowHint", prefs.ShowHint ? 1 : 0),
        string("Editor", prefs.Editor),
        string("StartupDir", prefs.StartupDir),
        string("MatchFontName", prefs.MatchFontName),
        integer("MatchFontSize", prefs.MatchFontSize),
        string("ViewerFontName", prefs.ViewerFontName),
        integer("ViewerFontSize", prefs.ViewerFontSize),
        string("PrintFontName", prefs.PrintFontName),
        integer("PrintFontSize", prefs.PrintFontSize),
        integer("ViewerTextColor", prefs.ViewerTextColor),
        integer("ViewerHighColor", prefs.ViewerHighColor),
    };
    for (const auto& write : writes)
        if (Failure failed = write()) {
            (void)key->EndWrites(); // keeps the values before it
            return failed;
        }
    return key->EndWrites();
}

std::string SetAsideText(const std::string& keptAs)
{
    std::string text = "Your settings could not be read, so the default settings are in use.";
    if (!keptAs.empty())
        text += "\nThe unreadable settings file was kept as " + keptAs;
    return text;
}

} // namespace qv
