#include "PreferenceSet.h"

#include "platform/Executables.h"

#include <optional>

namespace qv {
namespace {

using platform::RegistryError;
using platform::RegistryKey;

// A string value; a value of another type reads like a missing one.
std::string readString(std::optional<RegistryKey>& key, std::string_view name)
{
    if (!key)
        return {};
    try {
        return key->ReadString(name);
    } catch (const RegistryError&) {
        return {};
    }
}

void readInteger(std::optional<RegistryKey>& key, std::string_view name, std::int32_t& field, std::int32_t fallback)
{
    field = fallback;
    if (!key)
        return;
    try {
        field = key->ReadInteger(name);
    } catch (const RegistryError&) {
    }
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

void SavePreferences(platform::RegistryHive& hive, const PreferenceSet& prefs)
{
    std::optional<RegistryKey> key = hive.OpenKey(platform::kQuorvaneKey, true);
    if (!key)
        throw RegistryError("Failed to set data for 'MaxMatchLen'");
    key->BeginWrites();
    key->WriteInteger("MaxMatchLen", prefs.MaxMatchLen);
    key->WriteInteger("MaxMatches", prefs.MaxMatches);
    key->WriteInteger("ShowHint", prefs.ShowHint ? 1 : 0);
    key->WriteString("Editor", prefs.Editor);
    key->WriteString("StartupDir", prefs.StartupDir);
    key->WriteString("MatchFontName", prefs.MatchFontName);
    key->WriteInteger("MatchFontSize", prefs.MatchFontSize);
    key->WriteString("ViewerFontName", prefs.ViewerFontName);
    key->WriteInteger("ViewerFontSize", prefs.ViewerFontSize);
    key->WriteString("PrintFontName", prefs.PrintFontName);
    key->WriteInteger("PrintFontSize", prefs.PrintFontSize);
    key->WriteInteger("ViewerTextColor", prefs.ViewerTextColor);
    key->WriteInteger("ViewerHighColor", prefs.ViewerHighColor);
    key->EndWrites();
}

std::string SetAsideText(const std::string& keptAs)
{
    return "Your settings could not be read, so the default settings are in use.\nThe unreadable settings file was kept as " + keptAs;
}

} // namespace qv
