// Searching inside Zip archives: extraction, rows of members, errors, and what must never happen.
#include "search/ArchiveExtractor.h"
#include "search/DateTimeFormat.h"
#include "search/MatchListing.h"
#include "search/SearchRun.h"
#include "platform/TempBase.h"
#include "support/RecordingHost.h"
#include "support/TempDir.h"
#include "support/ZipBuilder.h"

#include <gtest/gtest.h>

#include <fcntl.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using qvtest::ZipMember;
using V = std::vector<std::string>;

class ArchiveTest : public ::testing::Test {
protected:
    ArchiveTest()
    {
        state.TempBase = temp->path();
        state.Preferences = qv::PreferenceSet::Defaults();
        state.DateTimeDisplayFormat = qv::ChooseDateTimeFormat(state.Locale, "");
    }

    bool run(const std::string& text, const std::string& specs = "*.*", bool subdirs = false)
    {
        qv::SearchRequest r;
        r.StartDirectory = dir.path();
        r.SearchText = text;
        r.FileSpecs = specs;
        r.SearchZip = true;
        r.InclSub = subdirs;
        host = {};
        return qv::SearchRun(state, host).cmdSearchClick(r);
    }

    // Every file under the temporary folder (extracted members), relative to it.
    V extracted() const
    {
        V files;
        for (const auto& e : fs::recursive_directory_iterator(temp->path()))
            if (!e.is_directory())
                files.push_back(e.path().string().substr(temp->path().size()));
        std::sort(files.begin(), files.end());
        return files;
    }

    qvtest::TempDir dir;
    std::unique_ptr<qv::platform::TempBase> temp = std::make_unique<qv::platform::TempBase>();
    qv::SearchState state;
    qvtest::RecordingHost host;
};

TEST_F(ArchiveTest, MembersAreFoundListedAndNamedAfterTheirArchive)
{
    qvtest::makeZip(dir.path() + "docs.zip", {{"folder/a.txt", "one needle\nnone\nneedle\n"}, {"b.txt", "no\n"},
                                              {"deep/er/c.bin", std::string("\x01needle", 7)}});
    dir.write("plain.txt", "needle\n");
    ASSERT_TRUE(run("needle"));
    ASSERT_EQ(host.brief(), (V{"plain.txt|1|T", "a.txt|2|T", "c.bin|1|B"}));
    const qv::FileResultRow& a = host.rows[1];
    EXPECT_EQ(a.Directory, dir.path() + "docs.zip");
    EXPECT_EQ(a.ExtractedCopy, temp->path() + "docs.zip/a.txt");
    EXPECT_EQ(a.FullPath(), a.ExtractedCopy);
    EXPECT_EQ(state.TempDirList, V{temp->path() + "docs.zip/"});
    EXPECT_EQ(state.CurrentZip, dir.path() + "docs.zip");
    EXPECT_TRUE(state.InZipPhase);
    EXPECT_TRUE(std::find(host.statuses.begin(), host.statuses.end(), "Extracting Zip file " + dir.path() + "docs.zip") !=
                host.statuses.end());
    // The members can be listed from their extracted copies.
    const auto listing = qv::ListMatches(a, qv::ListingParameters{state.Pattern, false, 300, 500});
    EXPECT_EQ(listing.Rows, (std::vector<qv::MatchLineRow>{{"1", "one needle"}, {"3", "needle"}}));
    EXPECT_EQ(qv::MatchesLabel(a), "Matches in: a.txt (in " + dir.path() + "docs.zip)");
}

TEST_F(ArchiveTest, TheArchivePhaseUsesTheMasksWithoutTheExtraZipMask)
{
    qvtest::makeZip(dir.path() + "m.zip", {{"a.txt", "needle"}, {"b.doc", "needle"}});
    dir.write("c.txt", "needle");
    run("needle", "*.txt");
    EXPECT_EQ(host.brief(), (V{"c.txt|1|T", "a.txt|1|T"}));
}

TEST_F(ArchiveTest, SameNamedMembersInTwoFoldersLeaveTheLastOne)
{
    qvtest::makeZip(dir.path() + "d.zip", {{"one/same.txt", "first needle"}, {"two/same.txt", "second needle"}});
    run("needle");
    ASSERT_EQ(host.rows.size(), 1U);
    EXPECT_EQ(qvtest::readFile(host.rows[0].ExtractedCopy), "second needle");
}

TEST_F(ArchiveTest, TwoArchivesOfOneNameShareTheirFolder)
{
    qvtest::makeZip(dir.path() + "x/same.zip", {{"first.txt", "needle"}});
    qvtest::makeZip(dir.path() + "y/same.zip", {{"second.txt", "needle"}});
    run("needle", "*.*", true);
    // The second archive's walk also finds what the first left: listed as its members.
    EXPECT_EQ(host.brief(), (V{"first.txt|1|T", "first.txt|1|T", "second.txt|1|T"}));
    EXPECT_EQ(host.rows[1].Directory, dir.path() + "y/same.zip");
}

TEST_F(ArchiveTest, AnArchiveInsideAnArchiveIsNotSearched)
{
    const std::string inner = dir.path() + "inner.zip";
    qvtest::makeZip(inner, {{"deep.txt", "needle"}});
    qvtest::makeZip(dir.path() + "outer.zip", {{"inner.zip", qvtest::readFile(inner)}, {"top.txt", "needle"}});
    fs::remove(inner);
    run("needle");
    EXPECT_EQ(host.brief(), V{"top.txt|1|T"});
    EXPECT_EQ(state.ZipList.size(), 2U); // queued during the phase, left for no run
}

TEST_F(ArchiveTest, EncryptedMembersOpenWithTheFixedPassword)
{
    qvtest::makeZip(dir.path() + "enc.zip",
                    {{"t.txt", "needle", ZipMember::Encryption::Traditional, "quembrastolvin"},
                     {"a.txt", "needle", ZipMember::Encryption::Aes256, "quembrastolvin"}});
    run("needle");
    EXPECT_EQ(host.brief(), (V{"a.txt|1|T", "t.txt|1|T"}));
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(ArchiveTest, ABadArchiveGivesOneErrorAndTheOthersGoOn)
{
    qvtest::makeZip(dir.path() + "a-wrong.zip", {{"w.txt", "needle", ZipMember::Encryption::Aes256, "other password"},
                                                 {"w2.txt", "needle", ZipMember::Encryption::Aes256, "other password"}});
    qvtest::makeZip(dir.path() + "b-good.zip", {{"g.txt", "needle"}});
    run("needle");
    EXPECT_EQ(host.brief(), V{"g.txt|1|T"});
    ASSERT_EQ(host.messages.size(), 1U);
    EXPECT_EQ(host.messages[0].caption, "Zip File Error");
    EXPECT_EQ(host.messages[0].text, "Error in Zip file: " + dir.path() +
                                         "a-wrong.zip\n\nThis file will not be searched, but processing\nwill continue for other files.");
    EXPECT_EQ(host.messages[0].icon, qv::MessageIcon::Warning);
}

TEST_F(ArchiveTest, CrcErrorsTruncationAndNonZipFilesAreErrorsNeverCrashes)
{
    const std::string good = dir.path() + "src.zip";
    qvtest::makeZip(good, {{"a.txt", std::string(5000, 'a') + "needle", ZipMember::Encryption::None, "", false, true}});
    std::string bytes = qvtest::readFile(good);
    fs::remove(good);
    std::string crc = bytes;
    crc[40 + 100] ^= 0x55; // inside the stored data
    dir.write("crc.zip", crc);
    run("needle");
    EXPECT_TRUE(host.rows.empty());
    ASSERT_EQ(host.messages.size(), 2U); // the archive's error, then "No files found"
    EXPECT_EQ(host.messages[0].caption, "Zip File Error");
    EXPECT_EQ(host.messages[1].text, "No files found");
    EXPECT_FALSE(fs::exists(temp->path() + "crc.zip/a.txt")) << "a failed member leaves no partial file";
    fs::remove(dir.path() + "crc.zip");
    for (std::size_t cut : {std::size_t{2}, std::size_t{10}, std::size_t{30}, bytes.size() / 2, bytes.size() - 30, bytes.size() - 1}) {
        dir.write("cut.zip", bytes.substr(0, cut));
        EXPECT_TRUE(run("needle")) << cut;
        EXPECT_TRUE(host.rows.empty()) << cut;
    }
    dir.write("cut.zip", "PK this is no archive");
    run("needle");
    EXPECT_EQ(host.messages.at(0).caption, "Zip File Error");
    EXPECT_EQ(host.messages.size(), 2U);
}

TEST_F(ArchiveTest, TraversalNamesAndLinksStayInsideTheFolder)
{
    qvtest::TempDir outside;
    qvtest::makeZip(dir.path() + "evil.zip",
                    {{"../../escape1.txt", "needle"},
                     {"/etc/escape2.txt", "needle"},
                     {"a\\..\\..\\escape3.txt", "needle"},
                     {"..", "needle"},
                     {".", "needle"},
                     {"dir/", ""},
                     {"link.txt", outside.path() + "target.txt", ZipMember::Encryption::None, "", true}});
    run("needle");
    EXPECT_EQ(extracted(), (V{"evil.zip/escape1.txt", "evil.zip/escape2.txt", "evil.zip/escape3.txt"}));
    EXPECT_FALSE(fs::exists(outside.path() + "target.txt"));
    EXPECT_FALSE(fs::exists(dir.path() + "../escape1.txt"));
    EXPECT_EQ(host.rows.size(), 3U);
}

TEST_F(ArchiveTest, APlantedLinkInTheFolderIsReplacedNotWrittenThrough)
{
    qvtest::TempDir outside;
    const std::string victim = outside.write("victim.txt", "keep me");
    qvtest::makeZip(dir.path() + "p.zip", {{"a.txt", "needle"}});
    fs::create_directories(temp->path() + "p.zip");
    fs::create_symlink(victim, temp->path() + "p.zip/a.txt");
    run("needle");
    EXPECT_EQ(qvtest::readFile(victim), "keep me");
    EXPECT_FALSE(fs::is_symlink(temp->path() + "p.zip/a.txt"));
    EXPECT_EQ(host.rows.size(), 1U);
}

TEST_F(ArchiveTest, ExtractionFoldersGoAtTheNextRunAndAtTheEnd)
{
    qvtest::makeZip(dir.path() + "one.zip", {{"a.txt", "needle"}});
    run("needle");
    const std::string folder = temp->path() + "one.zip/";
    ASSERT_TRUE(fs::exists(folder));
    // A listed-files-only run keeps them: its member rows are searched again there.
    qv::SearchRequest listed;
    listed.StartDirectory = dir.path();
    listed.SearchText = "needle";
    listed.SearchListed = true;
    listed.FileSpecs.clear();
    qvtest::RecordingHost second;
    second.rows = host.rows;
    qv::SearchRun(state, second).cmdSearchClick(listed);
    EXPECT_TRUE(fs::exists(folder));
    ASSERT_EQ(second.rows.size(), 1U);
    EXPECT_EQ(second.rows[0].Directory, folder); // no longer named as a member
    EXPECT_EQ(second.rows[0].ExtractedCopy, "");
    // An ordinary run deletes them first.
    fs::remove(dir.path() + "one.zip");
    run("needle");
    EXPECT_FALSE(fs::exists(folder));
    EXPECT_TRUE(std::find(host.statuses.begin(), host.statuses.end(), "Deleting temporary files") != host.statuses.end());
    // And the end of the program removes the rest.
    qvtest::makeZip(dir.path() + "two.zip", {{"b.txt", "needle"}});
    run("needle");
    ASSERT_TRUE(fs::exists(temp->path() + "two.zip"));
    qvtest::RecordingHost last;
    qv::SearchRun(state, last).DeleteExtractionFolders(false);
    EXPECT_FALSE(fs::exists(temp->path() + "two.zip"));
    EXPECT_TRUE(state.TempDirList.empty());
    const std::string base = temp->path();
    temp.reset();
    EXPECT_FALSE(fs::exists(base));
}

TEST_F(ArchiveTest, StopStillExtractsButSearchesNothing)
{
    qvtest::makeZip(dir.path() + "s.zip", {{"a.txt", "needle"}});
    dir.write("z.txt", "needle");
    host.onEvents = [&] {
        if (!state.ZipList.empty()) // Stop pressed right after the archive was queued
            state.CancelRequested = true;
    };
    qv::SearchRequest r;
    r.StartDirectory = dir.path();
    r.SearchText = "needle";
    r.SearchZip = true;
    qv::SearchRun(state, host).cmdSearchClick(r);
    EXPECT_TRUE(host.rows.empty());
    EXPECT_TRUE(fs::exists(temp->path() + "s.zip/a.txt"));
}

TEST(ArchiveExtractor, BombsByRatioAndSizeAreErrorsAndLeaveNoPartialFile)
{
    qvtest::TempDir dir;
    qvtest::makeZip(dir.path() + "bomb.zip", {{"zeros.bin", std::string(8u << 20, '\0')}, {"after.txt", "x"}});
    const std::string out = dir.mkdir("out");
    qv::ArchiveExtractor x;
    x.ZipFilename = dir.path() + "bomb.zip";
    x.ExtrBaseDir = out;
    x.Limits.ratioFloor = 1u << 20;
    x.Limits.maxRatio = 100;
    std::vector<int> codes;
    x.OnMessage = [&](qv::ArchiveExtractor& s, int code, const std::string&) {
        if (code != 0) {
            codes.push_back(code);
            s.AbortRequested = true;
        }
    };
    x.ExtractAll();
    EXPECT_EQ(codes, std::vector<int>{qv::ArchiveExtractor::kTooLarge});
    EXPECT_FALSE(fs::exists(out + "zeros.bin"));
    EXPECT_FALSE(fs::exists(out + "after.txt")); // aborted
    codes.clear();
    x.Limits = qv::ExtractLimits{};
    x.Limits.maxTotalBytes = 1u << 20;
    x.ExtractAll();
    EXPECT_EQ(codes, std::vector<int>{qv::ArchiveExtractor::kTooLarge});
    codes.clear();
    x.Limits = qv::ExtractLimits{};
    x.Limits.maxMembers = 1;
    x.ExtractAll();
    EXPECT_EQ(codes, std::vector<int>{qv::ArchiveExtractor::kTooLarge});
}

TEST(ArchiveExtractor, MemberNamesAreCutToTheirLastPart)
{
    using X = qv::ArchiveExtractor;
    EXPECT_EQ(X::MemberFileName("a/b/c.txt"), "c.txt");
    EXPECT_EQ(X::MemberFileName("a\\b\\c.txt"), "c.txt");
    EXPECT_EQ(X::MemberFileName("../../x"), "x");
    EXPECT_EQ(X::MemberFileName("/abs"), "abs");
    EXPECT_EQ(X::MemberFileName("a/.."), "");
    EXPECT_EQ(X::MemberFileName("."), "");
    EXPECT_EQ(X::MemberFileName("dir/"), "");
}

} // namespace
