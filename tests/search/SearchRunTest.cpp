// The search run end to end over generated trees: rows, counts, order, threads and stops.
#include "platform/NameOrder.h"
#include "platform/TempBase.h"
#include "search/DateTimeFormat.h"
#include "search/RunTexts.h"
#include "search/SearchRun.h"
#include "search/TreeWalker.h"
#include "regex/LineSearch.h"
#include "support/HostileText.h"
#include "support/Process.h"
#include "support/RunRecorder.h"
#include "support/TempDir.h"
#include "support/ZipBuilder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <regex>
#include <thread>

namespace {

namespace fs = std::filesystem;
using V = std::vector<std::string>;

class SearchRunTest : public ::testing::Test {
protected:
    qv::SearchRequest request(const std::string& text, const std::string& specs = "*.*")
    {
        qv::SearchRequest r;
        r.StartDirectory = dir.path();
        r.SelectedCaption = "dir";
        r.SearchText = text;
        r.FileSpecs = specs;
        return r;
    }

    qvtest::RecordedRun run(const qv::SearchRequest& r, const qvtest::RunExtras& extras = {},
                            std::function<bool(const qvtest::RunRecorder&)> stopWhen = {})
    {
        return qvtest::RunSearch(r, temp.path(), extras, std::move(stopWhen));
    }

    qvtest::TempDir dir;
    qv::platform::TempBase temp;
};

TEST_F(SearchRunTest, RowsProgressAndSummaryOfARunWithMatches)
{
    dir.write("a.txt", "one needle\ntwo\nneedle needle\n");
    dir.write("b.bin", std::string("x\0needle needle", 15));
    dir.write("c.txt", "nothing here\n");
    const auto r = run(request("needle"));
    ASSERT_TRUE(r.accepted());
    ASSERT_EQ(r.out.rows.size(), 2U);
    const qv::FileRow& a = r.out.rows[0];
    EXPECT_EQ(a.name, "a.txt");
    EXPECT_EQ(a.folder, dir.path());
    EXPECT_EQ(a.matches, 2U); // lines of a text file
    EXPECT_EQ(a.type, qv::FileType::Text);
    EXPECT_EQ(a.size, 29U);
    EXPECT_NEAR(static_cast<double>(a.modified), static_cast<double>(std::time(nullptr)), 600);
    EXPECT_EQ(a.extractedCopy, "");
    EXPECT_EQ(r.out.rows[1].matches, 2U); // matches of a binary file
    EXPECT_EQ(r.out.rows[1].type, qv::FileType::Binary);
    const qv::RunSummary& s = r.out.summary;
    EXPECT_EQ(s.filesSearched, 3U);
    EXPECT_EQ(s.filesWithMatches, 2U);
    EXPECT_EQ(s.totalMatches, 4U);
    EXPECT_FALSE(s.cancelled);
    EXPECT_EQ(s.outcome(), qv::RunOutcome::Matches);
    EXPECT_EQ(r.out.finishedCalls, 1);
    EXPECT_EQ(r.verdict.pattern, "needle");
    EXPECT_TRUE(r.out.sawStatus(" Searching " + dir.path() + "a.txt"));
    EXPECT_FALSE(r.out.sawStatus(" Searching " + dir.path() + "c.bin"));
    EXPECT_TRUE(std::regex_match(qv::SummaryText(s, "."),
                                 std::regex(R"( Found 4 matches in 2 files of 3 searched - elapsed time \d+\.\d seconds)")))
        << qv::SummaryText(s, ".");
}

TEST_F(SearchRunTest, SummaryWordsSeparatorAndOutcomes)
{
    qv::RunSummary s;
    s.filesSearched = 1;
    s.filesWithMatches = 1;
    s.totalMatches = 1;
    s.elapsed = std::chrono::milliseconds(440);
    EXPECT_EQ(qv::SummaryText(s, "."), " Found 1 match in 1 file of 1 searched - elapsed time 0.4 seconds");
    EXPECT_EQ(qv::SummaryText(s, ","), " Found 1 match in 1 file of 1 searched - elapsed time 0,4 seconds");
    s.cancelled = true;
    EXPECT_EQ(qv::SummaryText(s, "."), " Found 1 match in 1 file of 1 searched - search canceled");
    EXPECT_EQ(qv::OutcomeText(s.outcome()), std::nullopt);
    EXPECT_EQ(qv::OutcomeText(qv::RunSummary{}.outcome()), "No files found");
    s.totalMatches = s.filesWithMatches = 0;
    EXPECT_EQ(qv::OutcomeText(s.outcome()), "No matches found");
    EXPECT_EQ(qv::SummaryText(qv::RunSummary{}, ".").substr(0, 34), " Found 0 matches in 0 files of 0 s");
}

TEST_F(SearchRunTest, SkippedFilesAreNotCounted)
{
    dir.write("t.txt", "needle\n");
    dir.write("b.bin", std::string("\0needle", 7));
    dir.write("arch.zip", "PK\x03\x04 needle"); // archives are not searched as files
    dir.write("fake.ZIP", "needle, no PK here"); // .ZIP without PK: never searched either
    auto r = request("needle");
    r.BinaryFiles = false;
    auto got = run(r);
    EXPECT_EQ(got.brief(), V{"t.txt|1|T"});
    EXPECT_EQ(got.out.summary.filesSearched, 1U);
    r.BinaryFiles = true;
    r.TextFiles = false;
    r.SearchZip = true;
    got = run(r);
    EXPECT_EQ(got.brief(), V{"b.bin|1|B"});
    EXPECT_EQ(got.out.summary.filesSearched, 1U);
    EXPECT_EQ(got.out.summary.archives, V{dir.path() + "arch.zip"}); // queued, and fake.ZIP not
    r.TextFiles = r.BinaryFiles = false;
    EXPECT_EQ(run(r).out.summary.outcome(), qv::RunOutcome::NoFilesSearched);
}

TEST_F(SearchRunTest, AFileThatCannotBeOpenedIsSkipped)
{
    dir.write("open.txt", "needle\n");
    const std::string locked = dir.write("locked.txt", "needle\n");
    ::chmod(locked.c_str(), 0);
    ::chmod(dir.path().c_str(), 0755);
    ::chmod(temp.path().c_str(), 0777);
    const int status = qvtest::asNobody([&] {
        const auto got = run(request("needle"));
        return got.brief() == V{"open.txt|1|T"} && got.out.summary.filesSearched == 1 ? 0 : 1;
    });
    EXPECT_EQ(status, 0);
}

TEST_F(SearchRunTest, SubfoldersOnlyWithIncludeSubdirectories)
{
    dir.write("a.txt", "needle\n");
    dir.write("sub/b.txt", "needle\n");
    EXPECT_EQ(run(request("needle")).brief(), V{"a.txt|1|T"});
    auto r = request("needle");
    r.InclSub = true;
    const auto got = run(r);
    EXPECT_EQ(got.brief(), (V{"a.txt|1|T", "b.txt|1|T"}));
    EXPECT_EQ(got.out.rows[1].folder, dir.path() + "sub/");
}

TEST_F(SearchRunTest, MasksAreWalkedOneAfterTheOther)
{
    dir.write("a.txt", "needle\n");
    dir.write("b.doc", "needle\n");
    dir.write("c.log", "needle\n");
    EXPECT_EQ(run(request("needle", " *.doc , *.txt ")).brief(), (V{"b.doc|1|T", "a.txt|1|T"}));
}

TEST_F(SearchRunTest, ListedFilesOnlySearchesTheListedNamesAndTheirNamesakesBelow)
{
    dir.write("X.TXT", "needle haystack\n");
    dir.write("sub/X.TXT", "needle\n");
    dir.write("other.txt", "needle haystack\n");
    auto rows = run(request("needle")).out.rows;
    ASSERT_EQ(rows.size(), 2U); // X.TXT and other.txt in the start folder
    rows.erase(rows.begin()); // the user deleted one row ...
    EXPECT_EQ(rows[0].name, "X.TXT");
    auto r = request("haystack");
    r.SearchListed = true;
    r.FileSpecs.clear(); // not used in this mode
    r.InclSub = true;
    qvtest::RunExtras extras;
    extras.listedRows = rows;
    auto got = run(r, extras);
    EXPECT_EQ(got.brief(), V{"X.TXT|1|T"});
    r.SearchText = "needle";
    extras.listedRows = got.out.rows;
    EXPECT_EQ(run(r, extras).brief(), (V{"X.TXT|1|T", "X.TXT|1|T"})); // the namesake in sub/ too
}

TEST_F(SearchRunTest, ARefusedRequestIsToldAndNotRun)
{
    auto got = run(request("["));
    EXPECT_FALSE(got.accepted());
    EXPECT_EQ(got.verdict.caption, "Regular Expression Error");
    EXPECT_EQ(got.out.finishedCalls, 0);
    auto noDir = request("x");
    noDir.StartDirectory.clear();
    noDir.SelectedCaption = "Desktop";
    got = run(noDir);
    EXPECT_FALSE(got.accepted());
    EXPECT_EQ(got.verdict.message, "A directory must be selected - You cannot select Desktop");
}

TEST_F(SearchRunTest, AFileReachedThroughALinkIsListedUnderBothPaths)
{
    dir.write("real/f.txt", "needle\nneedle\n");
    fs::create_symlink(dir.path() + "real", dir.path() + "alias");
    auto r = request("needle");
    r.InclSub = true;
    const auto got = run(r);
    ASSERT_EQ(got.brief(), (V{"f.txt|2|T", "f.txt|2|T"}));
    EXPECT_EQ(got.out.rows[0].folder, dir.path() + "alias/");
    EXPECT_EQ(got.out.rows[1].folder, dir.path() + "real/");
    EXPECT_EQ(got.out.summary.filesSearched, 2U);
}

TEST_F(SearchRunTest, WholeWordsHoldForEveryAlternativeAndConjunctAndAnchorsAreEdges)
{
    dir.write("f.txt", "catalog hotdog\ncat here\nthe cat and the dog\ncat hotdog\nabc def\ndef abc\nabcdef\na|b x\n");
    const auto matching = [&](const std::string& text) {
        auto r = request(text);
        r.Word = true;
        const auto got = run(r);
        return got.out.rows.empty() ? 0U : got.out.rows[0].matches;
    };
    EXPECT_EQ(matching("cat|dog"), 3U); // not "catalog hotdog"
    EXPECT_EQ(matching("cat&dog"), 1U); // "the cat and the dog" only
    EXPECT_EQ(matching("cat | dog"), 3U); // "cat " or " dog", each a whole word
    EXPECT_EQ(matching("cat & the"), 1U);
    EXPECT_EQ(matching("^abc"), 1U); // "abc def", not "abcdef"
    EXPECT_EQ(matching("abc$"), 1U); // "def abc"
    EXPECT_EQ(matching("^abc$|^cat"), 2U); // "cat here", "cat hotdog"
    EXPECT_EQ(matching("a[|]b"), 1U); // a "|" inside a class does not split the pattern
}

TEST_F(SearchRunTest, DatesBefore1980AreKeptAsTheyAre)
{
    for (const long long when : {0LL, -14182940LL}) { // the epoch; 20 July 1969, 20:17 UTC
        const std::string path = dir.write("old.txt", "needle\n");
        const struct timespec times[2] = {{when, 0}, {when, 0}};
        ::utimensat(AT_FDCWD, path.c_str(), times, 0);
        EXPECT_EQ(run(request("needle")).out.rows.at(0).modified, when);
    }
}

// A tree with something of everything: text and binary files, links to files and folders, an
// unreadable file, archives (one damaged), a big text file counted in stretches, listings.
void makeVariedTree(const qvtest::TempDir& dir)
{
    for (int d = 0; d < 12; ++d)
        for (int f = 0; f < 40; ++f) {
            const std::string name = "d" + std::to_string(d) + "/f" + std::to_string(f);
            if (f % 7 == 0)
                dir.write(name + ".bin", std::string("\x01needle\0", 8) + std::string(static_cast<std::size_t>(f), 'n') + "needle");
            else
                dir.write(name + ".txt", std::string(static_cast<std::size_t>(f * 13), 'x') + (f % 3 == 0 ? "\nneedle\n" : "\nhay\n"));
        }
    fs::create_symlink(dir.path() + "d3", dir.path() + "link-to-d3");
    fs::create_symlink(dir.path() + "d0/f1.txt", dir.path() + "link-to-file.txt");
    ::chmod(dir.write("d5/locked.txt", "needle\n").c_str(), 0);
    qvtest::makeZip(dir.path() + "d2/a.zip", {{"m1.txt", "needle"}, {"sub/m2.bin", std::string("\x02needle", 7)}});
    qvtest::makeZip(dir.path() + "d7/b.zip", {{"m3.txt", "no\nneedle\nneedle"}});
    dir.write("d8/broken.zip", "PK but not an archive");
    std::string big;
    for (int i = 0; i < 600000; ++i)
        big += i % 11 == 0 ? "a line with the needle in it\n" : "a line of plain text, nothing here\n";
    dir.write("big/big.txt", big);
}

TEST_F(SearchRunTest, OneThreadAndManyGiveTheSameRun)
{
    makeVariedTree(dir);
    auto r = request("needle");
    r.InclSub = true;
    r.SearchZip = true;
    const auto describe = [&](unsigned threads) {
        qv::platform::TempBase tempOfRun; // extraction folders numbered from 1 in each run
        qvtest::RunExtras extras;
        extras.threads = threads;
        extras.listMatches = true;
        const auto got = qvtest::RunSearch(r, tempOfRun.path(), extras);
        std::string all;
        for (std::size_t k = 0; k < got.out.rows.size(); ++k) {
            const qv::FileRow& row = got.out.rows[k];
            all += row.folder + row.name + "|" + std::to_string(row.matches) + "|" + qv::TypeLetter(row.type) + "|" +
                   std::to_string(row.size) + "|" + row.extractedCopy.substr(std::min(row.extractedCopy.size(), tempOfRun.path().size())) +
                   "\n";
            for (const qv::MatchLine& m : got.out.lines[k])
                all += "  " + qv::LineNumberText(m) + ":" + m.text.substr(0, 40) + "\n";
        }
        for (const auto& e : got.out.order)
            all += e + "\n";
        const qv::RunSummary& s = got.out.summary;
        return all + std::to_string(s.filesSearched) + " " + std::to_string(s.filesWithMatches) + " " + std::to_string(s.totalMatches);
    };
    const std::string one = describe(1);
    EXPECT_NE(one.find("big.txt|54546|T"), std::string::npos);
    EXPECT_NE(one.find("m2.bin|1|B"), std::string::npos);
    EXPECT_NE(one.find("error " + dir.path() + "d8/broken.zip"), std::string::npos);
    EXPECT_EQ(describe(3), one);
    EXPECT_EQ(describe(8), one);
}

TEST_F(SearchRunTest, AStopDuringTheWalkKeepsWhatWasFound)
{
    // Enough files that the searchers are still at work when the stop comes.
    constexpr int kFiles = 400;
    for (int i = 0; i < kFiles; ++i)
        dir.write("d" + std::to_string(i) + "/f.txt", "needle\n");
    auto r = request("needle");
    r.InclSub = true;
    qvtest::RunExtras one;
    one.threads = 1;
    const auto threeRows = [](const qvtest::RunRecorder& out) { return out.rows.size() == 3; };
    auto got = run(r, one, threeRows);
    EXPECT_EQ(got.out.rows.size(), 3U);
    EXPECT_EQ(got.out.summary.filesSearched, 3U);
    EXPECT_EQ(qv::SummaryText(got.out.summary, "."), " Found 3 matches in 3 files of 3 searched - search canceled");
    EXPECT_EQ(got.out.summary.outcome(), qv::RunOutcome::Matches);
    // With several searchers the files counted before the stop still come, in their order, with
    // no gap where a file was cut short: the rows and the counts are those of the walk's first files.
    qvtest::RunExtras many;
    many.threads = 4;
    got = run(r, many, threeRows);
    EXPECT_GE(got.out.rows.size(), 3U);
    EXPECT_LT(got.out.rows.size(), static_cast<std::size_t>(kFiles));
    EXPECT_TRUE(got.out.summary.cancelled);
    EXPECT_EQ(got.out.summary.filesSearched, got.out.rows.size());
    EXPECT_EQ(got.out.summary.filesWithMatches, got.out.rows.size());
    std::vector<std::string> walkOrder;
    for (int i = 0; i < kFiles; ++i)
        walkOrder.push_back("d" + std::to_string(i));
    std::sort(walkOrder.begin(), walkOrder.end(),
              [](const std::string& a, const std::string& b) { return qv::platform::NameOrder::System().less(a, b); });
    for (std::size_t k = 0; k < got.out.rows.size(); ++k)
        EXPECT_EQ(got.out.rows[k].folder, dir.path() + walkOrder[k] + "/");
}

// Starts a run on its own thread, waits until its status line names `file`, stops it and waits
// for its end.
qvtest::RunRecorder stopWhileSearching(const qv::SearchRequest& r, const std::string& tempBase, const std::string& file, unsigned threads,
                                       const std::function<void()>& whileSearching = {})
{
    qv::RunSetup setup;
    setup.request = r;
    setup.regex = qv::PrepareRequest(r).regex;
    setup.targets.folders = {r.StartDirectory};
    setup.temporaryFolder = [tempBase] { return tempBase; };
    setup.threads = threads;
    qvtest::RunRecorder out;
    std::atomic<bool> seen{false};
    out.stopWhen = [&](const qvtest::RunRecorder& o) {
        if (o.statuses.back() == " Searching " + file)
            seen = true;
        return false;
    };
    qv::SearchRun run(setup, out);
    out.run = &run;
    run.start();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!seen && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (whileSearching)
        whileSearching();
    else
        run.requestStop();
    run.wait();
    return out;
}

TEST_F(SearchRunTest, AStopInsideABigFileEndsItsSearch)
{
    // Counting this file takes far longer than the stop may.
    dir.write("big.txt", qvtest::hostileLines(std::size_t{32} << 20) + "a" + std::string(18, 'b') + "c\n");
    dir.write("later.txt", "a" + std::string(18, 'b') + "c\n");
    for (unsigned threads : {1U, 2U}) {
        const auto out = stopWhileSearching(request(qvtest::kHostilePattern), temp.path(), dir.path() + "big.txt", threads);
        ASSERT_EQ(out.finishedCalls, 1);
        EXPECT_TRUE(out.summary.cancelled);
        // Had the stop waited for the end of the file, it would be listed with its match; and
        // what a searcher beside it counted meanwhile comes after it, so it is not shown either.
        EXPECT_TRUE(out.rows.empty());
        EXPECT_EQ(out.summary.filesSearched, 0U);
    }
}

TEST_F(SearchRunTest, AFileCutShortWhileItIsSearchedCountsWhatWasRead)
{
    std::string text;
    for (int i = 0; text.size() < (std::size_t{48} << 20); ++i)
        text += i % 5 == 0 ? "needle on this line\n" : "nothing on this one\n";
    const std::string path = dir.write("shrinks.txt", text);
    const std::uint64_t all = 48u << 20;
    for (unsigned threads : {1U, 2U}) {
        dir.write("shrinks.txt", text);
        const auto out = stopWhileSearching(request("needle"), temp.path(), path, threads, [&] { ::truncate(path.c_str(), 4096); });
        ASSERT_EQ(out.finishedCalls, 1);
        EXPECT_FALSE(out.summary.cancelled);
        ASSERT_EQ(out.rows.size(), 1U);
        EXPECT_GE(out.rows[0].matches, 40U); // at least what the 4096 bytes left hold
        EXPECT_LE(out.rows[0].matches, all / 20 / 5 + 1);
    }
}

TEST_F(SearchRunTest, AHostileFileDoesNotSlowTheFilesAfterIt)
{
    // The automaton gives up on the first text; the next one gets a fresh automaton.
    qv::regex::Automata automata(qv::PrepareRequest(request(qvtest::kHostilePattern)).regex);
    qv::regex::LineSearch search(automata);
    const auto count = [&](const std::string& body) {
        search.adopt({}, body, true);
        while (search.next()) { }
        return search.close();
    };
    const std::string match = "a" + std::string(18, 'b') + "c\n";
    EXPECT_EQ(count(qvtest::hostileLines(std::size_t{2} << 20) + match), 1U);
    EXPECT_TRUE(automata.lineDfa(0).failed());
    EXPECT_EQ(count("plain\n" + match), 1U);
    EXPECT_FALSE(automata.lineDfa(0).failed());
}

TEST_F(SearchRunTest, KernelPseudoFileSystemsAreNotEnteredBelowTheStartButSearchedAsOne)
{
    dir.write("real.txt", "Name:\n");
    fs::create_directory_symlink("/proc", dir.path() + "proc-link");
    fs::create_directory_symlink("/sys", dir.path() + "sys-link");
    auto r = request("Name:");
    r.InclSub = true;
    EXPECT_EQ(run(r).brief(), V{"real.txt|1|T"});
    // Picked as the start folder, it is searched: the files the kernel makes up are read no
    // further than a bound, and its own links lead nowhere.
    auto self = request("Name:", "status");
    self.StartDirectory = "/proc/self/";
    self.InclSub = true;
    const auto got = run(self);
    ASSERT_FALSE(got.out.rows.empty());
    EXPECT_EQ(got.out.rows[0].folder, "/proc/self/");
    for (const qv::FileRow& row : got.out.rows)
        EXPECT_EQ(row.folder.rfind("/proc/self/", 0), 0U) << row.folder;
    auto map = request("x", "pagemap");
    map.StartDirectory = "/proc/self/";
    EXPECT_EQ(qvtest::inChild([&] {
                  ::alarm(120); // a read without end would be killed here
                  return run(map).out.finishedCalls == 1 ? 0 : 1;
              }),
              0);
}

} // namespace
