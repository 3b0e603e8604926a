// The settings store and the saved searches over random stored bytes: the input is either a
// whole store file (bytes that may or may not be a database) or a set of values of random types
// written into a healthy store; loading must give usable preferences and searches, never throw
// anything but the documented registry errors, and never crash.
#include "platform/RegistryHive.h"
#include "platform/TempBase.h"
#include "store/PreferenceSet.h"
#include "store/SavedSearches.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

[[noreturn]] void fail(const char* what)
{
    std::fprintf(stderr, "FAULT: %s\n", what);
    std::abort();
}

const char* const kNames[] = {"MaxMatchLen",     "MaxMatches",     "ShowHint",       "Editor",        "StartupDir",    "MatchFontName",
                              "MatchFontSize",   "ViewerFontName", "ViewerFontSize", "PrintFontName", "PrintFontSize", "ViewerTextColor",
                              "ViewerHighColor", "DateTimeFormat", "Searches",       "Other"};

void loadEverything(qv::platform::RegistryHive& hive)
{
    qv::PreferenceSet prefs;
    qv::LoadPreferences(hive, prefs);
    const std::string value = qv::ReadSearches(hive);
    for (const qv::SavedSearch& s : qv::ParseSearches(value)) {
        // Every record read back is stored again as it is, whatever bytes it holds.
        const auto again = qv::ParseSearches(qv::RecordText(s));
        if (again.size() != 1 || !(again.front() == s))
            fail("a record does not read back as itself");
    }
    // Deleting a record never grows the value.
    const auto records = qv::ParseSearches(value);
    if (!records.empty() && qv::RemoveRecords(value, qv::RecordText(records.front())).size() > value.size())
        fail("removing a record grew the value");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static qv::platform::TempBase base;
    const std::string path = base.path() + "registry.db";
    ::unlink(path.c_str());
    ::unlink((path + "-journal").c_str());
    if (size == 0)
        return 0;
    const std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
    if ((data[0] & 1) != 0) {
        // A store file of random bytes (a damaged file is set aside and defaults apply).
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (fd < 0 || ::write(fd, input.data(), input.size()) != static_cast<ssize_t>(input.size()))
            fail("cannot write input");
        ::close(fd);
        qv::platform::RegistryHive hive(path);
        loadEverything(hive);
    } else {
        // Values: [name index][type][length][bytes]...
        qv::platform::RegistryHive hive(path);
        auto key = hive.OpenKey(qv::platform::kQuorvaneKey, true);
        if (!key)
            fail("cannot open a fresh store");
        for (std::size_t i = 0; i + 3 <= input.size();) {
            const auto name = kNames[static_cast<std::uint8_t>(input[i]) % std::size(kNames)];
            const auto type = static_cast<qv::platform::RegType>(static_cast<std::uint8_t>(input[i + 1]) % 6);
            const std::size_t length = std::min<std::size_t>(static_cast<std::uint8_t>(input[i + 2]), input.size() - i - 3);
            if (key->WriteRaw(name, type, input.substr(i + 3, length)))
                fail("a fresh store refused a value");
            i += 3 + length;
        }
        key->Close();
        loadEverything(hive);
    }
    // Whatever was there, the store takes a full save afterwards and reads it back (on every
    // other input: the store opens the database for each value, which is slow under the fuzzer).
    if ((data[0] & 2) == 0)
        return 0;
    qv::platform::RegistryHive hive(path);
    qv::PreferenceSet prefs = qv::PreferenceSet::Defaults();
    if (qv::SavePreferences(hive, prefs))
        fail("a store that was set right refused a save");
    qv::PreferenceSet back;
    qv::LoadPreferences(hive, back);
    if (back.MaxMatches != prefs.MaxMatches || back.Editor != prefs.Editor)
        fail("a store that took a save does not read it back");
    return 0;
}
