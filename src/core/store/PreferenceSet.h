#pragma once

#include "platform/RegistryHive.h"

#include <cstdint>
#include <string>

namespace qv {

// The user's persisted settings, one instance held by the program and read in place.
struct PreferenceSet {
    std::int32_t MaxMatchLen = 300; // longest match a binary file's count and listing accept
    std::int32_t MaxMatches = 500; // most matches listed (and coloured in the viewer) per file
    bool ShowHint = true; // the application-wide tool-tip switch itself
    std::string Editor; // command of the Edit action; empty until loaded
    std::string StartupDir; // folder selected at start; empty means the root "/"
    std::string MatchFontName = "MS Sans Serif";
    std::int32_t MatchFontSize = 8;
    std::string ViewerFontName = "MS Sans Serif";
    std::int32_t ViewerFontSize = 10;
    std::string PrintFontName = "Arial";
    std::int32_t PrintFontSize = 10;
    std::int32_t ViewerTextColor = 0; // 0x00BBGGRR: black
    std::int32_t ViewerHighColor = 255; // pure red

    // The set a first start has: the defaults, with the platform's default editor.
    static PreferenceSet Defaults();
};

// Reads every value into `prefs`. A missing key or value, a wrongly typed one, or an empty string
// takes its default (StartupDir has none); nothing is range-checked. Never fails.
void LoadPreferences(platform::RegistryHive& hive, PreferenceSet& prefs);

// Writes every value, all at once for other running copies. A value that cannot be written stops
// the save with "Failed to set data for '<name>'"; the values before it stay written.
[[nodiscard]] platform::Failure SavePreferences(platform::RegistryHive& hive, const PreferenceSet& prefs);

// What the user is told when the settings could not be read: where the file was kept aside, when
// it could be.
std::string SetAsideText(const std::string& keptAs);

} // namespace qv
