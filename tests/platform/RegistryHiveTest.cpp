// The registry store: type rules, sharing between processes, damage.
#include "platform/RegistryHive.h"
#include "support/Process.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using qv::platform::RegistryHive;
using qv::platform::RegType;

TEST(RegistryHive, StringsAndIntegersByTheirTypes)
{
    qvtest::TempDir dir;
    RegistryHive hive(dir.path() + "sub/registry.db");
    EXPECT_FALSE(hive.OpenKey("Software\\Quorvane", false)) << "no key before the first write";
    auto key = hive.OpenKey("Software\\Quorvane", true);
    ASSERT_TRUE(key);
    EXPECT_EQ(key->WriteString("Editor", "\"/opt/my editor/ed\" -x"), std::nullopt);
    EXPECT_EQ(key->WriteInteger("MaxMatches", -7), std::nullopt);
    EXPECT_EQ(key->WriteRaw("Expand", RegType::ExpandString, std::string("$HOME/x\0tail", 12)), std::nullopt);
    EXPECT_EQ(key->WriteRaw("Binary", RegType::Binary, "abc"), std::nullopt);
    EXPECT_EQ(key->WriteRaw("Short", RegType::DWord, "ab"), std::nullopt);
    EXPECT_EQ(key->WriteRaw("Text", RegType::String, "12"), std::nullopt);
    key->Close();
    EXPECT_EQ(std::filesystem::status(dir.path() + "sub").permissions() & std::filesystem::perms::all, std::filesystem::perms::owner_all);

    key = hive.OpenKey("Software\\Quorvane", false);
    ASSERT_TRUE(key);
    EXPECT_EQ(key->ReadString("Editor"), "\"/opt/my editor/ed\" -x");
    EXPECT_EQ(key->ReadInteger("MaxMatches"), -7);
    EXPECT_EQ(key->ReadString("Expand"), "$HOME/x"); // unexpanded, up to the first zero byte
    EXPECT_EQ(key->ReadString("Missing"), "");
    EXPECT_EQ(key->ReadString("Binary").reason(), "Invalid data type for 'Binary'");
    EXPECT_EQ(key->ReadString("MaxMatches").reason(), "Invalid data type for 'MaxMatches'");
    for (const char* unreadable : {"Short", "Text", "Missing"}) {
        EXPECT_FALSE(key->ReadInteger(unreadable)) << unreadable;
        EXPECT_EQ(key->ReadInteger(unreadable).reason(), "Invalid data type for '" + std::string(unreadable) + "'");
    }
}

TEST(RegistryHive, NamesAndDataAreBytes)
{
    qvtest::TempDir dir;
    RegistryHive hive(dir.path() + "r.db");
    auto key = hive.OpenKey("K", true);
    const std::string name("n\xff\x01", 3);
    ASSERT_EQ(key->WriteString(name, "\x80\x7f\x01"), std::nullopt);
    EXPECT_EQ(key->ReadString(name), "\x80\x7f\x01");
}

TEST(RegistryHive, AValueWrittenByOneProcessIsReadByAnother)
{
    qvtest::TempDir dir;
    const std::string path = dir.path() + "r.db";
    ASSERT_EQ(qvtest::inChild([&] {
                  RegistryHive hive(path);
                  return hive.OpenKey("K", true)->WriteInteger("V", 42) ? 1 : 0;
              }),
              0);
    RegistryHive hive(path);
    EXPECT_EQ(hive.OpenKey("K", false)->ReadInteger("V"), 42);
}

// Writes the values A..J all equal to `n`, at once; false when any write failed.
bool saveSet(RegistryHive& hive, std::int32_t n)
{
    auto key = hive.OpenKey("K", true);
    if (!key)
        return true; // busy: nothing written, nothing failed
    key->BeginWrites();
    bool ok = true;
    for (char c = 'A'; c <= 'J'; ++c)
        ok = !key->WriteInteger(std::string(1, c), n) && ok;
    return !key->EndWrites() && ok;
}

// The stored set is whole: every value the same.
bool wholeSet(RegistryHive& hive)
{
    auto key = hive.OpenKey("K", false);
    if (!key)
        return false;
    const std::int32_t first = key->ReadInteger("A").valueOr(-1);
    for (char c = 'B'; c <= 'J'; ++c)
        if (key->ReadInteger(std::string(1, c)) != first)
            return false;
    return true;
}

TEST(RegistryHive, TwoProcessesSavingAtOnceLeaveOneWholeSet)
{
    qvtest::TempDir dir;
    const std::string path = dir.path() + "r.db";
    auto saver = [&](std::int32_t value) {
        return [&, value] {
            RegistryHive hive(path);
            for (int i = 0; i < 150; ++i)
                if (!saveSet(hive, value))
                    return 1;
            return 0;
        };
    };
    const pid_t a = ::fork();
    if (a == 0)
        ::_exit(saver(1)());
    const pid_t b = ::fork();
    if (b == 0)
        ::_exit(saver(2)());
    int sa = 0, sb = 0;
    ::waitpid(a, &sa, 0);
    ::waitpid(b, &sb, 0);
    EXPECT_EQ(WEXITSTATUS(sa), 0);
    EXPECT_EQ(WEXITSTATUS(sb), 0);
    RegistryHive hive(path);
    EXPECT_TRUE(wholeSet(hive));
    const std::int32_t v = hive.OpenKey("K", false)->ReadInteger("A").valueOr(-1);
    EXPECT_TRUE(v == 1 || v == 2);
}

TEST(RegistryHive, AProcessKilledWhileSavingLeavesAHealthyStore)
{
    qvtest::TempDir dir;
    const std::string path = dir.path() + "r.db";
    {
        RegistryHive hive(path);
        saveSet(hive, 0);
    }
    for (int round = 0; round < 5; ++round) {
        const pid_t child = ::fork();
        if (child == 0) {
            RegistryHive hive(path);
            for (std::int32_t n = 1;; ++n)
                saveSet(hive, n);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(30 + 17 * round));
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        RegistryHive hive(path);
        EXPECT_TRUE(wholeSet(hive)) << "round " << round;
        EXPECT_FALSE(std::filesystem::exists(path + ".corrupt")) << "the store was not damaged";
    }
    std::size_t asides = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
        asides += e.path().filename().string().find("corrupt") != std::string::npos ? 1 : 0;
    EXPECT_EQ(asides, 0U);
}

TEST(RegistryHive, ADamagedOrEmptyStoreIsSetAsideAndAFreshOneUsed)
{
    for (const std::string& content :
         {std::string(""), std::string("this is not a database at all, not even close......"), std::string(4096, '\xAB')}) {
        qvtest::TempDir dir;
        const std::string path = dir.write("r.db", content);
        RegistryHive hive(path);
        std::vector<std::string> told;
        hive.onSetAside = [&told](const std::string& keptAs) { told.push_back(keptAs); };
        EXPECT_FALSE(hive.OpenKey("K", false));
        EXPECT_EQ(hive.OpenKey("K", true)->WriteInteger("V", 5), std::nullopt);
        EXPECT_EQ(hive.OpenKey("K", false)->ReadInteger("V"), 5);
        std::string aside;
        for (const auto& e : std::filesystem::directory_iterator(dir.path()))
            if (e.path().filename().string().rfind("r.db.corrupt-", 0) == 0)
                aside = e.path().string();
        ASSERT_FALSE(aside.empty()) << "kept aside for the user";
        EXPECT_EQ(qvtest::readFile(aside), content);
        EXPECT_EQ(told, std::vector<std::string>{aside}); // once
    }
}

TEST(RegistryHive, AStoreNamedRelativelyIsToldByItsFullPath)
{
    qvtest::TempDir dir;
    dir.write("r.db", "not a database");
    const std::string here = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    RegistryHive hive("r.db");
    std::string keptAs;
    hive.onSetAside = [&keptAs](const std::string& aside) { keptAs = aside; };
    hive.OpenKey("K", true);
    std::filesystem::current_path(here);
    EXPECT_TRUE(keptAs.starts_with(dir.path() + "r.db.corrupt-")) << keptAs;
}

TEST(RegistryHive, ADamagedStoreThatCannotBeMovedIsToldOnceAndLeftAsItIs)
{
    qvtest::TempDir dir;
    const std::string path = dir.write("r.db", "not a database");
    ::chmod(dir.path().c_str(), 0555);
    const int status = qvtest::asNobody([&] {
        RegistryHive hive(path);
        std::vector<std::string> told;
        hive.onSetAside = [&told](const std::string& keptAs) { told.push_back(keptAs); };
        if (hive.OpenKey("K", false) || hive.OpenKey("K", true))
            return 1;
        return told == std::vector<std::string>{""} ? 0 : 2;
    });
    ::chmod(dir.path().c_str(), 0700);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(qvtest::readFile(path), "not a database");
}

TEST(RegistryHive, AReadOnlyStoreReadsButRefusesWrites)
{
    qvtest::TempDir dir;
    const std::string path = dir.path() + "r.db";
    ASSERT_EQ(RegistryHive(path).OpenKey("K", true)->WriteInteger("V", 1), std::nullopt);
    ::chmod(path.c_str(), 0444);
    ::chmod(dir.path().c_str(), 0555);
    const int status = qvtest::asNobody([&] {
        RegistryHive hive(path);
        auto key = hive.OpenKey("K", false);
        if (!key)
            return 1;
        if (key->ReadInteger("V") != 1)
            return 2;
        const auto failed = key->WriteInteger("V", 2);
        if (!failed)
            return 4;
        return *failed == "Failed to set data for 'V'" ? 0 : 3;
    });
    ::chmod(dir.path().c_str(), 0700);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(RegistryHive(path).OpenKey("K", false)->ReadInteger("V"), 1);
}

TEST(RegistryHive, DefaultPathFollowsTheEnvironment)
{
    ::setenv("QUORVANE_REGISTRY", "/x/r.db", 1);
    EXPECT_EQ(RegistryHive::DefaultPath(), "/x/r.db");
    ::unsetenv("QUORVANE_REGISTRY");
    ::setenv("XDG_CONFIG_HOME", "/cfg", 1);
    EXPECT_EQ(RegistryHive::DefaultPath(), "/cfg/Quorvane/registry.db");
    ::unsetenv("XDG_CONFIG_HOME");
    ::setenv("HOME", "/home/u", 1);
    EXPECT_EQ(RegistryHive::DefaultPath(), "/home/u/.config/Quorvane/registry.db");
}

} // namespace
