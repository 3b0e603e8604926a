#include "platform/TempBase.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

TEST(TempBase, APrivateFolderMadeAtStartAndRemovedAtTheEnd)
{
    std::string path;
    {
        qv::platform::TempBase base;
        path = base.path();
        ASSERT_FALSE(path.empty());
        EXPECT_EQ(path.back(), '/');
        struct stat st { };
        ASSERT_EQ(::stat(path.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0700U);
        fs::create_directories(path + "ARCH.ZIP/sub");
        std::ofstream(path + "ARCH.ZIP/sub/f.txt") << "x";
    }
    EXPECT_FALSE(fs::exists(path));
}

TEST(RemoveTree, NeverFollowsALink)
{
    qvtest::TempDir outside;
    const std::string keep = outside.write("keep/precious.txt", "data");
    qvtest::TempDir dir;
    const std::string tree = dir.mkdir("tree, with a comma");
    fs::create_directories(tree + "a/b");
    fs::create_symlink(outside.path() + "keep", tree + "a/link-to-dir");
    fs::create_symlink(keep, tree + "a/b/link-to-file");
    std::ofstream(tree + "a/b/own.txt") << "mine";
    EXPECT_TRUE(qv::platform::RemoveTree(tree));
    EXPECT_FALSE(fs::exists(tree));
    EXPECT_EQ(qvtest::readFile(keep), "data");
    // A link given as the tree itself is removed as a link.
    fs::create_symlink(outside.path() + "keep", dir.path() + "alias");
    EXPECT_TRUE(qv::platform::RemoveTree(dir.path() + "alias"));
    EXPECT_TRUE(fs::exists(keep));
    EXPECT_TRUE(qv::platform::RemoveTree(dir.path() + "never-existed"));
}

} // namespace
