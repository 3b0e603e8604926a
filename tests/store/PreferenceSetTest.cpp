// Loading and saving the preferences with their failure rules.
#include "store/PreferenceSet.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace {

using qv::platform::RegistryHive;
using qv::platform::RegType;

TEST(PreferenceSet, FirstStartWithNoKeyGivesEveryDefault)
{
    qvtest::TempDir dir;
    RegistryHive hive(dir.path() + "r.db");
    qv::PreferenceSet p;
    p.MaxMatches = 1;
    p.ShowHint = false;
    qv::LoadPreferences(hive, p);
    const qv::PreferenceSet d = qv::PreferenceSet::Defaults();
    EXPECT_EQ(p.MaxMatchLen, 300);
    EXPECT_EQ(p.MaxMatches, 500);
    EXPECT_TRUE(p.ShowHint);
    EXPECT_EQ(p.Editor, d.Editor);
    EXPECT_FALSE(p.Editor.empty());
    EXPECT_EQ(p.StartupDir, "");
    EXPECT_EQ(p.MatchFontName, "MS Sans Serif");
    EXPECT_EQ(p.MatchFontSize, 8);
    EXPECT_EQ(p.ViewerFontName, "MS Sans Serif");
    EXPECT_EQ(p.ViewerFontSize, 10);
    EXPECT_EQ(p.PrintFontName, "Arial");
    EXPECT_EQ(p.PrintFontSize, 10);
    EXPECT_EQ(p.ViewerTextColor, 0);
    EXPECT_EQ(p.ViewerHighColor, 255);
}

TEST(PreferenceSet, SaveThenLoadRoundTrips)
{
    qvtest::TempDir dir;
    RegistryHive hive(dir.path() + "r.db");
    qv::PreferenceSet p = qv::PreferenceSet::Defaults();
    p.MaxMatchLen = 1234;
    p.MaxMatches = 4999;
    p.ShowHint = false;
    p.Editor = "\"/opt/an editor/ed\"";
    p.StartupDir = "/srv/data";
    p.MatchFontName = "DejaVu Sans";
    p.MatchFontSize = 12;
    p.ViewerTextColor = 0x00112233;
    ASSERT_EQ(qv::SavePreferences(hive, p), std::nullopt);
    qv::PreferenceSet q;
    qv::LoadPreferences(hive, q);
    EXPECT_EQ(q.MaxMatchLen, 1234);
    EXPECT_EQ(q.MaxMatches, 4999);
    EXPECT_FALSE(q.ShowHint);
    EXPECT_EQ(q.Editor, "\"/opt/an editor/ed\"");
    EXPECT_EQ(q.StartupDir, "/srv/data");
    EXPECT_EQ(q.MatchFontName, "DejaVu Sans");
    EXPECT_EQ(q.MatchFontSize, 12);
    EXPECT_EQ(q.ViewerTextColor, 0x00112233);
}

TEST(PreferenceSet, StoredValuesAreUsedUncheckedAndWrongTypesTakeDefaults)
{
    qvtest::TempDir dir;
    RegistryHive hive(dir.path() + "r.db");
    {
        auto key = hive.OpenKey("Software\\Quorvane", true);
        const qv::platform::Failure writes[] = {
            key->WriteInteger("MaxMatchLen", 10), // below the dialog's range: used as stored
            key->WriteInteger("ShowHint", 2), // any non-zero is on
            key->WriteString("MatchFontName", ""), // empty: default
            key->WriteString("Editor", ""),
            key->WriteString("StartupDir", ""), // stays empty
            key->WriteString("ViewerFontSize", "12"), // a string where a number belongs: default
            key->WriteInteger("PrintFontSize", 11), // read although the one before failed
            key->WriteInteger("PrintFontName", 7), // a number where a string belongs: default
            key->WriteRaw("MaxMatches", RegType::DWord, "\x01\x02"), // wrong size: default
        };
        for (const auto& failed : writes)
            ASSERT_EQ(failed, std::nullopt);
    }
    qv::PreferenceSet p;
    qv::LoadPreferences(hive, p);
    EXPECT_EQ(p.MaxMatchLen, 10);
    EXPECT_TRUE(p.ShowHint);
    EXPECT_EQ(p.MatchFontName, "MS Sans Serif");
    EXPECT_EQ(p.Editor, qv::PreferenceSet::Defaults().Editor);
    EXPECT_EQ(p.StartupDir, "");
    EXPECT_EQ(p.ViewerFontSize, 10);
    EXPECT_EQ(p.PrintFontSize, 11);
    EXPECT_EQ(p.PrintFontName, "Arial");
    EXPECT_EQ(p.MaxMatches, 500);
    // The next save writes the hint back as 1.
    ASSERT_EQ(qv::SavePreferences(hive, p), std::nullopt);
    EXPECT_EQ(hive.OpenKey("Software\\Quorvane", false)->ReadInteger("ShowHint"), 1);
}

TEST(PreferenceSet, AFailedSaveReportsTheValueAndKeepsWhatWasWritten)
{
    qvtest::TempDir dir;
    // A store that cannot be created at all: the first value fails.
    RegistryHive nowhere("/proc/version/r.db");
    EXPECT_EQ(qv::SavePreferences(nowhere, qv::PreferenceSet::Defaults()), "Failed to set data for 'MaxMatchLen'");
}

} // namespace
