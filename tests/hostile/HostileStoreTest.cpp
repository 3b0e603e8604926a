// The preferences store against what can happen to its file: two copies of the program saving at
// once, a copy killed while saving, a damaged, empty or read-only file, a journal that was
// deleted after a crash.
#include "platform/RegistryHive.h"
#include "store/PreferenceSet.h"
#include "support/Process.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <csignal>
#include <filesystem>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using qv::PreferenceSet;
using qv::platform::RegistryHive;

// A full set of preferences whose every value says which set it is.
PreferenceSet setNumber(int n)
{
    PreferenceSet p = PreferenceSet::Defaults();
    p.MaxMatchLen = 100 + n;
    p.MaxMatches = 1000 + n;
    p.Editor = "editor-" + std::to_string(n);
    p.StartupDir = "/start/" + std::to_string(n);
    p.PrintFontName = "Font " + std::to_string(n);
    p.PrintFontSize = 8 + n % 5;
    return p;
}

// Which set the stored preferences are, or -1 when they mix sets.
int storedSet(const std::string& path)
{
    RegistryHive hive(path);
    PreferenceSet p;
    qv::LoadPreferences(hive, p);
    const int n = p.MaxMatchLen - 100;
    const PreferenceSet want = setNumber(n);
    return p.MaxMatches == want.MaxMatches && p.Editor == want.Editor && p.StartupDir == want.StartupDir &&
                   p.PrintFontName == want.PrintFontName && p.PrintFontSize == want.PrintFontSize
               ? n
               : -1;
}

bool isDefaults(const std::string& path)
{
    RegistryHive hive(path);
    PreferenceSet p;
    qv::LoadPreferences(hive, p);
    const PreferenceSet d = PreferenceSet::Defaults();
    return p.MaxMatchLen == d.MaxMatchLen && p.MaxMatches == d.MaxMatches && p.Editor == d.Editor && p.StartupDir == d.StartupDir;
}

std::size_t setAside(const std::string& folder)
{
    std::size_t n = 0;
    for (const auto& e : fs::directory_iterator(folder))
        n += e.path().filename().string().find(".corrupt-") != std::string::npos ? 1 : 0;
    return n;
}

TEST(HostileStore, TwoCopiesSavingAtOnceLeaveOneWholeSet)
{
    qvtest::TempDir dir;
    const std::string path = dir.path() + "registry.db";
    pid_t children[2];
    for (int c = 0; c < 2; ++c) {
        children[c] = ::fork();
        if (children[c] == 0) {
            RegistryHive hive(path);
            int failed = 0;
            for (int i = 0; i < 60; ++i)
                failed += qv::SavePreferences(hive, setNumber(c + 1)) ? 1 : 0;
            ::_exit(failed == 0 ? 0 : 1);
        }
    }
    for (pid_t child : children) {
        int status = 0;
        ::waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    const int n = storedSet(path);
    EXPECT_TRUE(n == 1 || n == 2) << n;
    EXPECT_EQ(setAside(dir.path()), 0u);
}

TEST(HostileStore, ACopyKilledWhileSavingLeavesTheLastWholeSet)
{
    qvtest::TempDir dir;
    const std::string path = dir.path() + "registry.db";
    {
        RegistryHive hive(path);
        ASSERT_EQ(qv::SavePreferences(hive, setNumber(0)), std::nullopt);
    }
    for (int round = 0; round < 6; ++round) {
        const pid_t child = ::fork();
        if (child == 0) {
            RegistryHive hive(path);
            for (int n = 1;; n = n % 50 + 1)
                (void)qv::SavePreferences(hive, setNumber(n));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20 + 23 * round));
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        const int n = storedSet(path);
        EXPECT_GE(n, 0) << "round " << round << ": a mixed set";
        EXPECT_LE(n, 50);
    }
    EXPECT_EQ(setAside(dir.path()), 0u);
}

TEST(HostileStore, DamagedEmptyOrForeignFilesGiveTheDefaultsAndAreKeptAside)
{
    const std::string header = "SQLite format 3";
    const struct {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"zero length", ""},
        {"random bytes",
         [] {
             std::string s(8192, '\0');
             unsigned v = 12345;
             for (char& c : s)
                 c = static_cast<char>((v = v * 1103515245u + 12345u) >> 16);
             return s;
         }()},
        {"a database header and nothing behind it", header + std::string(1, '\0') + std::string(84, '\0')},
        {"a text file", "MaxMatches=500\nEditor=vi\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        qvtest::TempDir dir;
        const std::string path = dir.write("registry.db", c.bytes);
        EXPECT_TRUE(isDefaults(path));
        // The damaged file is never overwritten: it waits beside the fresh store for the user.
        EXPECT_EQ(setAside(dir.path()), 1u);
        RegistryHive hive(path);
        ASSERT_EQ(qv::SavePreferences(hive, setNumber(7)), std::nullopt);
        EXPECT_EQ(storedSet(path), 7);
    }
}

TEST(HostileStore, AReadOnlyStoreLoadsAndRefusesToSaveWithTheValuesName)
{
    qvtest::TempDir dir;
    const std::string path = dir.path() + "registry.db";
    {
        RegistryHive hive(path);
        ASSERT_EQ(qv::SavePreferences(hive, setNumber(3)), std::nullopt);
    }
    ::chmod(path.c_str(), 0444);
    ::chmod(dir.path().c_str(), 0555);
    const int status = qvtest::asNobody([&] {
        if (storedSet(path) != 3)
            return 1;
        RegistryHive hive(path);
        const auto failed = qv::SavePreferences(hive, setNumber(4));
        if (!failed)
            return 3;
        return *failed == "Failed to set data for 'MaxMatchLen'" ? 0 : 2;
    });
    ::chmod(dir.path().c_str(), 0700);
    ::chmod(path.c_str(), 0600);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(storedSet(path), 3);
}

TEST(HostileStore, ASaveThatCannotBeCommittedIsToldAndStoresNothing)
{
    qvtest::TempDir dir;
    const std::string path = dir.path() + "registry.db";
    {
        RegistryHive hive(path);
        ASSERT_EQ(qv::SavePreferences(hive, setNumber(1)), std::nullopt);
    }
    // Another copy holds a read open for longer than a writer waits: the writes go in, the
    // commit that would publish them cannot.
    sqlite3* reader = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &reader), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(reader, "BEGIN; SELECT count(*) FROM registry_values;", nullptr, nullptr, nullptr), SQLITE_OK);
    {
        RegistryHive hive(path);
        EXPECT_EQ(qv::SavePreferences(hive, setNumber(2)), "Failed to set data for 'MaxMatchLen'");
    }
    sqlite3_exec(reader, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(reader);
    EXPECT_EQ(storedSet(path), 1);
}

// A copy of the program that dies in the middle of a large write, after SQLite has already put
// changed pages into the database file: a hot journal is left behind.
void dieInsideAWrite(const std::string& path)
{
    const int status = qvtest::inChild([&] {
        sqlite3* db = nullptr;
        if (sqlite3_open(path.c_str(), &db) != SQLITE_OK)
            return 1;
        sqlite3_exec(db, "PRAGMA cache_size=2; BEGIN IMMEDIATE;", nullptr, nullptr, nullptr);
        sqlite3_exec(db, "UPDATE registry_values SET data=zeroblob(4) WHERE name=CAST('MaxMatches' AS BLOB);", nullptr, nullptr, nullptr);
        for (int i = 0; i < 400; ++i) {
            const std::string sql = "INSERT INTO registry_values VALUES('Software\\Quorvane', CAST('junk" + std::to_string(i) +
                                    "' AS BLOB), 3, randomblob(3000));";
            sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
        }
        ::raise(SIGKILL);
        return 2;
    });
    ASSERT_EQ(status, -SIGKILL);
}

TEST(HostileStore, AHotJournalIsRolledBackAndADeletedOneLeavesAUsableStore)
{
    {
        qvtest::TempDir dir;
        const std::string path = dir.path() + "registry.db";
        ASSERT_EQ(qv::SavePreferences(*std::make_unique<RegistryHive>(path), setNumber(5)), std::nullopt);
        dieInsideAWrite(path);
        ASSERT_TRUE(fs::exists(path + "-journal"));
        EXPECT_EQ(storedSet(path), 5); // rolled back: the set as it was saved
        EXPECT_EQ(setAside(dir.path()), 0u);
    }
    {
        qvtest::TempDir dir;
        const std::string path = dir.path() + "registry.db";
        ASSERT_EQ(qv::SavePreferences(*std::make_unique<RegistryHive>(path), setNumber(6)), std::nullopt);
        dieInsideAWrite(path);
        ASSERT_TRUE(fs::exists(path + "-journal"));
        fs::remove(path + "-journal");
        // Without its journal the file may hold half a write: it either still reads as a whole
        // set, or it is found damaged, kept aside and the defaults apply. Either way it takes the
        // next save.
        const int n = storedSet(path);
        EXPECT_TRUE(n == 6 || (setAside(dir.path()) == 1 && isDefaults(path))) << n;
        RegistryHive hive(path);
        ASSERT_EQ(qv::SavePreferences(hive, setNumber(8)), std::nullopt);
        EXPECT_EQ(storedSet(path), 8);
    }
}

} // namespace
