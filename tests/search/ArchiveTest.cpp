// Searching inside Zip archives: extraction, rows of members, errors, and what must never happen.
#include "search/ArchiveExtractor.h"
#include "search/DateTimeFormat.h"
#include "search/MatchListing.h"
#include "search/SearchRun.h"
#include "platform/TempBase.h"
#include "support/RunRecorder.h"
#include "support/TempDir.h"
#include "support/ZipBuilder.h"

#include <gtest/gtest.h>

#include <fcntl.h>

#include <filesystem>
#include <fstream>
#include <thread>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using qvtest::ZipMember;
using V = std::vector<std::string>;

class ArchiveTest : public ::testing::Test {
protected:
    bool run(const std::string& text, const std::string& specs = "*.*", bool subdirs = false)
    {
        qv::SearchRequest r;
        r.StartDirectory = dir.path();
        r.SearchText = text;
        r.FileSpecs = specs;
        r.SearchZip = true;
        r.InclSub = subdirs;
        qvtest::RunExtras extras;
        extras.foldersToDelete = std::exchange(folders, {});
        last = qvtest::RunSearch(r, temp->path(), extras);
        folders = last.out.summary.extractionFolders;
        return last.accepted();
    }
    [[nodiscard]] V brief() const { return last.brief(); }
    [[nodiscard]] const std::vector<qv::FileRow>& rows() const { return last.out.rows; }

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
    qvtest::RecordedRun last;
    std::vector<std::string> folders; // the extraction folders still in use, as the window keeps them
};

TEST_F(ArchiveTest, MembersAreFoundListedAndNamedAfterTheirArchive)
{
    qvtest::makeZip(dir.path() + "docs.zip",
                    {{"folder/a.txt", "one needle\nnone\nneedle\n"}, {"b.txt", "no\n"}, {"deep/er/c.bin", std::string("\x01needle", 7)}});
    dir.write("plain.txt", "needle\n");
    ASSERT_TRUE(run("needle"));
    ASSERT_EQ(brief(), (V{"plain.txt|1|T", "deep/er/c.bin|1|B", "folder/a.txt|2|T"}));
    const qv::FileRow& a = rows()[2];
    EXPECT_EQ(a.folder, dir.path() + "docs.zip");
    // Each archive has a folder of its own, named like the archive.
    EXPECT_EQ(a.extractedCopy, temp->path() + "1/docs.zip/folder/a.txt");
    EXPECT_EQ(a.fullPath(), a.extractedCopy);
    EXPECT_EQ(last.out.summary.extractionFolders, V{temp->path() + "1/"});
    EXPECT_EQ(last.out.summary.archives, V{dir.path() + "docs.zip"});
    EXPECT_TRUE(last.out.sawStatus("Extracting Zip file " + dir.path() + "docs.zip"));
    // The members can be listed from their extracted copies.
    const auto listing = qv::ListMatches(a, qv::ListingParameters{last.verdict.pattern, false, 300, 500});
    ASSERT_EQ(listing.lines.size(), 2U);
    EXPECT_EQ(listing.lines[0].text, "one needle");
    EXPECT_EQ(listing.lines[1].line, 3U);
    EXPECT_EQ(qv::MatchesLabel(a), "Matches in: folder/a.txt (in " + dir.path() + "docs.zip)");
}

TEST_F(ArchiveTest, TheArchivePhaseUsesTheMasksWithoutTheExtraZipMask)
{
    qvtest::makeZip(dir.path() + "m.zip", {{"a.txt", "needle"}, {"b.doc", "needle"}});
    dir.write("c.txt", "needle");
    run("needle", "*.txt");
    EXPECT_EQ(brief(), (V{"c.txt|1|T", "a.txt|1|T"}));
}

TEST_F(ArchiveTest, MembersKeepTheirFoldersAndDatesAndEachArchiveIsSearchedOnce)
{
    ZipMember old("one/same.txt", "first needle\nneedle\n");
    old.modified = 981173106; // 3 February 2001, 04:05:06 UTC
    qvtest::makeZip(dir.path() + "d.zip", {old, {"two/same.txt", "second needle"}, {"same.txt", "top needle"}});
    // "*" meets the archive through the user's mask and the added archive mask alike.
    run("needle", "*");
    ASSERT_EQ(brief(), (V{"same.txt|1|T", "one/same.txt|2|T", "two/same.txt|1|T"}));
    EXPECT_EQ(last.out.summary.archives, V{dir.path() + "d.zip"});
    EXPECT_EQ(rows()[1].folder, dir.path() + "d.zip");
    EXPECT_EQ(rows()[1].extractedCopy, temp->path() + "1/d.zip/one/same.txt");
    EXPECT_EQ(qvtest::readFile(rows()[2].extractedCopy), "second needle");
    EXPECT_EQ(qv::MatchesLabel(rows()[1]), "Matches in: one/same.txt (in " + dir.path() + "d.zip)");
    // The date the archive stored (to its two seconds), not the time of extraction.
    EXPECT_NEAR(static_cast<double>(rows()[1].modified), 981173106.0, 2.0);
}

TEST_F(ArchiveTest, TwoArchivesOfOneNameKeepTheirMembersApart)
{
    qvtest::makeZip(dir.path() + "x/same.zip", {{"doc.txt", "needle from x"}});
    qvtest::makeZip(dir.path() + "y/same.zip", {{"doc.txt", "needle from y"}});
    run("needle", "*.*", true);
    ASSERT_EQ(brief(), (V{"doc.txt|1|T", "doc.txt|1|T"}));
    EXPECT_EQ(rows()[0].folder, dir.path() + "x/same.zip");
    EXPECT_EQ(rows()[1].folder, dir.path() + "y/same.zip");
    // Each row keeps pointing at its own copy.
    EXPECT_EQ(qvtest::readFile(rows()[0].extractedCopy), "needle from x");
    EXPECT_EQ(qvtest::readFile(rows()[1].extractedCopy), "needle from y");
}

TEST_F(ArchiveTest, AnArchiveInsideAnArchiveIsNotSearched)
{
    const std::string inner = dir.path() + "inner.zip";
    qvtest::makeZip(inner, {{"deep.txt", "needle"}});
    qvtest::makeZip(dir.path() + "outer.zip", {{"inner.zip", qvtest::readFile(inner)}, {"top.txt", "needle"}});
    fs::remove(inner);
    run("needle");
    EXPECT_EQ(brief(), V{"top.txt|1|T"});
    EXPECT_EQ(last.out.summary.archives.size(), 2U); // queued during the phase, left for no run
}

TEST_F(ArchiveTest, EncryptedMembersOpenWithTheFixedPassword)
{
    qvtest::makeZip(dir.path() + "enc.zip", {{"t.txt", "needle", ZipMember::Encryption::Traditional, "quembrastolvin"},
                                             {"a.txt", "needle", ZipMember::Encryption::Aes256, "quembrastolvin"}});
    run("needle");
    EXPECT_EQ(brief(), (V{"a.txt|1|T", "t.txt|1|T"}));
    EXPECT_TRUE(last.out.archiveErrors.empty());
}

TEST_F(ArchiveTest, ABadArchiveGivesOneErrorAndTheOthersGoOn)
{
    qvtest::makeZip(dir.path() + "a-wrong.zip", {{"w.txt", "needle", ZipMember::Encryption::Aes256, "other password"},
                                                 {"w2.txt", "needle", ZipMember::Encryption::Aes256, "other password"}});
    qvtest::makeZip(dir.path() + "b-good.zip", {{"g.txt", "needle"}});
    run("needle");
    EXPECT_EQ(brief(), V{"g.txt|1|T"});
    EXPECT_EQ(last.out.archiveErrors, V{dir.path() + "a-wrong.zip"});
    EXPECT_EQ(last.out.order, (V{"error " + dir.path() + "a-wrong.zip", "row g.txt"}));
    EXPECT_EQ(qv::ArchiveErrorText(dir.path() + "a-wrong.zip"),
              "Error in Zip file: " + dir.path() +
                  "a-wrong.zip\n\nThis file will not be searched, but processing\nwill continue for other files.");
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
    EXPECT_TRUE(rows().empty());
    EXPECT_EQ(last.out.archiveErrors.size(), 1U);
    EXPECT_EQ(last.out.summary.outcome(), qv::RunOutcome::NoFilesSearched);
    EXPECT_FALSE(fs::exists(temp->path() + "1/crc.zip/a.txt")) << "a failed member leaves no partial file";
    fs::remove(dir.path() + "crc.zip");
    for (std::size_t cut : {std::size_t{2}, std::size_t{10}, std::size_t{30}, bytes.size() / 2, bytes.size() - 30, bytes.size() - 1}) {
        dir.write("cut.zip", bytes.substr(0, cut));
        EXPECT_TRUE(run("needle")) << cut;
        EXPECT_TRUE(rows().empty()) << cut;
    }
    dir.write("cut.zip", "PK this is no archive");
    run("needle");
    EXPECT_EQ(last.out.archiveErrors, V{dir.path() + "cut.zip"});
}

TEST_F(ArchiveTest, TraversalNamesAndLinksStayInsideTheFolder)
{
    qvtest::TempDir outside;
    qvtest::makeZip(dir.path() + "evil.zip", {{"../../escape1.txt", "needle"},
                                              {"/etc/escape2.txt", "needle"},
                                              {"a\\..\\..\\escape3.txt", "needle"},
                                              {"..", "needle"},
                                              {".", "needle"},
                                              {"dir/", ""},
                                              {"link.txt", outside.path() + "target.txt", ZipMember::Encryption::None, "", true}});
    run("needle");
    EXPECT_EQ(extracted(), (V{"1/evil.zip/escape1.txt", "1/evil.zip/escape3.txt", "1/evil.zip/etc/escape2.txt"}));
    EXPECT_FALSE(fs::exists(outside.path() + "target.txt"));
    EXPECT_FALSE(fs::exists(dir.path() + "../escape1.txt"));
    EXPECT_EQ(rows().size(), 3U);
}

TEST_F(ArchiveTest, SomethingPlantedWhereAnExtractionFolderGoesIsLeftAlone)
{
    qvtest::TempDir outside;
    const std::string victim = outside.write("victim.txt", "keep me");
    qvtest::makeZip(dir.path() + "p.zip", {{"a.txt", "needle"}});
    fs::create_symlink(outside.path(), temp->path() + "1");
    run("needle");
    EXPECT_EQ(qvtest::readFile(victim), "keep me");
    EXPECT_EQ(fs::directory_iterator(outside.path())->path().filename(), "victim.txt");
    ASSERT_EQ(rows().size(), 1U);
    EXPECT_EQ(rows()[0].extractedCopy, temp->path() + "2/p.zip/a.txt");
}

TEST_F(ArchiveTest, ExtractionFoldersGoAtTheNextRunAndAtTheEnd)
{
    qvtest::makeZip(dir.path() + "one.zip", {{"a.txt", "needle"}});
    run("needle");
    const std::string folder = temp->path() + "1/one.zip/";
    ASSERT_TRUE(fs::exists(folder));
    // A listed-files-only run keeps them: its member rows are searched again there.
    qv::SearchRequest listed;
    listed.StartDirectory = dir.path();
    listed.SearchText = "needle";
    listed.SearchListed = true;
    listed.FileSpecs.clear();
    qvtest::RunExtras extras;
    extras.listedRows = rows();
    const qvtest::RecordedRun second = qvtest::RunSearch(listed, temp->path(), extras);
    EXPECT_TRUE(fs::exists(folder));
    ASSERT_EQ(second.out.rows.size(), 1U);
    EXPECT_EQ(second.out.rows[0].folder, folder); // no longer named as a member
    EXPECT_EQ(second.out.rows[0].extractedCopy, "");
    // An ordinary run deletes them first.
    fs::remove(dir.path() + "one.zip");
    run("needle");
    EXPECT_FALSE(fs::exists(temp->path() + "1"));
    EXPECT_TRUE(last.out.sawStatus("Deleting temporary files"));
    // And the end of the program removes the rest.
    qvtest::makeZip(dir.path() + "two.zip", {{"b.txt", "needle"}});
    run("needle");
    ASSERT_TRUE(fs::exists(temp->path() + "1/two.zip"));
    qv::DeleteExtractionFolders(folders);
    EXPECT_FALSE(fs::exists(temp->path() + "1"));
    const std::string base = temp->path();
    temp.reset();
    EXPECT_FALSE(fs::exists(base));
}

TEST_F(ArchiveTest, AStopBeforeTheArchivePhaseExtractsNothing)
{
    qvtest::makeZip(dir.path() + "s.zip", {{"a.txt", "needle"}});
    dir.write("z.txt", "needle");
    qv::SearchRequest r;
    r.StartDirectory = dir.path();
    r.SearchText = "needle";
    r.SearchZip = true;
    // Stop pressed once the walk has delivered its row.
    last = qvtest::RunSearch(r, temp->path(), {}, [](const qvtest::RunRecorder& out) { return !out.rows.empty(); });
    EXPECT_EQ(brief(), V{"z.txt|1|T"});
    EXPECT_TRUE(last.out.summary.cancelled);
    EXPECT_TRUE(extracted().empty());
}

TEST_F(ArchiveTest, AStopInsideAnExtractionEndsItAndLeavesNoPartialMember)
{
    // A member big enough that its extraction is under way when the stop comes.
    qvtest::makeZip(dir.path() + "big.zip", {{"huge.txt", std::string(256u << 20, 'n')}, {"later.txt", "needle"}});
    qv::SearchRequest r;
    r.StartDirectory = dir.path();
    r.SearchText = "needle";
    r.SearchZip = true;
    qv::RunSetup setup;
    setup.request = r;
    setup.regex = qv::PrepareRequest(r).regex;
    setup.targets.folders = {dir.path()};
    setup.temporaryFolder = [base = temp->path()] { return base; };
    qvtest::RunRecorder out;
    qv::SearchRun run(setup, out);
    run.start();
    const std::string member = temp->path() + "1/big.zip/huge.txt";
    std::error_code ec;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    const auto written = [&] {
        const auto size = fs::file_size(member, ec);
        return !ec && size >= (1u << 20);
    };
    while (!written() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::yield();
    run.requestStop();
    run.wait();
    ASSERT_EQ(out.finishedCalls, 1);
    EXPECT_TRUE(out.summary.cancelled);
    EXPECT_TRUE(out.rows.empty());
    EXPECT_TRUE(extracted().empty()) << "neither the cut member nor a later one";
    EXPECT_EQ(out.summary.extractionFolders, V{temp->path() + "1/"}); // still to be deleted
}

TEST(ArchiveExtractor, BombsByRatioAndSizeAreErrorsAndLeaveNoPartialFile)
{
    qvtest::TempDir dir;
    qvtest::makeZip(dir.path() + "bomb.zip", {{"zeros.bin", std::string(8u << 20, '\0')}, {"after.txt", "x"}});
    const std::string out = dir.mkdir("out");
    qv::ArchiveExtractor x;
    x.archive = dir.path() + "bomb.zip";
    x.destination = out;
    x.limits.ratioFloor = 1u << 20;
    x.limits.maxRatio = 100;
    std::vector<int> codes;
    x.onMessage = [&](qv::ArchiveExtractor& s, int code, const std::string&) {
        if (code != 0) {
            codes.push_back(code);
            s.abortRequested = true;
        }
    };
    x.extractAll();
    EXPECT_EQ(codes, std::vector<int>{qv::ArchiveExtractor::kTooLarge});
    EXPECT_FALSE(fs::exists(out + "zeros.bin"));
    EXPECT_FALSE(fs::exists(out + "after.txt")); // aborted
    codes.clear();
    x.limits = qv::ExtractLimits{};
    x.limits.maxTotalBytes = 1u << 20;
    x.extractAll();
    EXPECT_EQ(codes, std::vector<int>{qv::ArchiveExtractor::kTooLarge});
    codes.clear();
    x.limits = qv::ExtractLimits{};
    x.limits.maxMembers = 1;
    x.extractAll();
    EXPECT_EQ(codes, std::vector<int>{qv::ArchiveExtractor::kTooLarge});
}

TEST(ArchiveExtractor, MemberPathsStayInsideTheDestination)
{
    using X = qv::ArchiveExtractor;
    EXPECT_EQ(X::MemberPath("a/b/c.txt"), (V{"a", "b", "c.txt"}));
    EXPECT_EQ(X::MemberPath("a\\b\\c.txt"), (V{"a", "b", "c.txt"}));
    EXPECT_EQ(X::MemberPath("../../x"), V{"x"});
    EXPECT_EQ(X::MemberPath("a/../../b/./c"), (V{"b", "c"}));
    EXPECT_EQ(X::MemberPath("/abs//x"), (V{"abs", "x"}));
    EXPECT_EQ(X::MemberPath("a/.."), V{});
    EXPECT_EQ(X::MemberPath("."), V{});
    EXPECT_EQ(X::MemberPath("dir/"), V{});
}

} // namespace
