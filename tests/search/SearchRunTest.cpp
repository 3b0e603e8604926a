// The search run end to end over generated trees, recorded through a test host.
#include "search/DateTimeFormat.h"
#include "search/SearchRun.h"
#include "platform/TempBase.h"
#include "support/Process.h"
#include "support/RecordingHost.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <fcntl.h>

#include <filesystem>
#include <regex>
#include <sys/stat.h>

namespace {

using V = std::vector<std::string>;

class SearchRunTest : public ::testing::Test {
protected:
    SearchRunTest()
    {
        state.TempBase = temp.path();
        state.Locale.shortDatePattern = "yyyy-MM-dd";
        state.Locale.twelveHourClock = false;
        state.Locale.dateSeparator = "-";
        state.DateTimeDisplayFormat = qv::ChooseDateTimeFormat(state.Locale, "");
        state.Preferences = qv::PreferenceSet::Defaults();
    }

    qv::SearchRequest request(const std::string& text, const std::string& specs = "*.*")
    {
        qv::SearchRequest r;
        r.StartDirectory = dir.path();
        r.SelectedCaption = "dir";
        r.SearchText = text;
        r.FileSpecs = specs;
        return r;
    }

    bool run(const qv::SearchRequest& r) { return qv::SearchRun(state, host).cmdSearchClick(r); }

    qvtest::TempDir dir;
    qv::platform::TempBase temp;
    qv::SearchState state;
    qvtest::RecordingHost host;
};

TEST_F(SearchRunTest, RowsStatusAndControlStatesOfARunWithMatches)
{
    dir.write("a.txt", "one needle\ntwo\nneedle needle\n");
    dir.write("b.bin", std::string("x\0needle needle", 15));
    dir.write("c.txt", "nothing here\n");
    ASSERT_TRUE(run(request("needle")));
    ASSERT_EQ(host.rows.size(), 2U);
    const qv::FileResultRow& a = host.rows[0];
    EXPECT_EQ(a.FileName, "a.txt");
    EXPECT_EQ(a.Directory, dir.path());
    EXPECT_EQ(a.Matches, "2"); // lines of a text file
    EXPECT_EQ(a.Type, "T");
    EXPECT_EQ(a.Size, "29");
    EXPECT_TRUE(std::regex_match(a.DateTime, std::regex(R"(\d{4}-\d\d-\d\d  \d{1,2}:\d\d)"))) << a.DateTime;
    EXPECT_EQ(a.ExtractedCopy, "");
    EXPECT_EQ(host.rows[1].Matches, "2"); // matches of a binary file
    EXPECT_EQ(host.rows[1].Type, "B");
    EXPECT_EQ(state.FilesSearched, 3U);
    EXPECT_EQ(state.FilesWithMatches, 2U);
    EXPECT_EQ(state.TotalMatches, 4U);
    EXPECT_EQ(host.history, V{"needle"});
    EXPECT_EQ(state.SearchText, "needle");
    EXPECT_EQ(state.Pattern, "needle");
    EXPECT_TRUE(std::find(host.statuses.begin(), host.statuses.end(), " Searching " + dir.path() + "a.txt") != host.statuses.end());
    EXPECT_TRUE(std::regex_match(host.statuses.back(),
                                 std::regex(R"( Found 4 matches in 2 files of 3 searched - elapsed time \d+\.\d seconds)")))
        << host.statuses.back();
    EXPECT_EQ(host.calls, (V{"starting", "clear", "stopped", "ended"}));
    EXPECT_EQ(host.outcome, qv::RunOutcome::Matches);
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(SearchRunTest, SingularWordsAndTheLocalesDecimalSeparator)
{
    dir.write("a.txt", "needle\n");
    state.Locale.decimalSeparator = ",";
    run(request("needle"));
    EXPECT_TRUE(std::regex_match(host.statuses.back(), std::regex(R"( Found 1 match in 1 file of 1 searched - elapsed time \d+,\d seconds)")))
        << host.statuses.back();
    state.Locale.decimalSeparator = ".";
    EXPECT_EQ(qv::SearchRun(state, host).Summary(0.44), " Found 1 match in 1 file of 1 searched - elapsed time 0.4 seconds");
}

TEST_F(SearchRunTest, NoFileSearchedAndNoMatchMessages)
{
    dir.write("a.txt", "x\n");
    auto r = request("needle");
    r.TextFiles = r.BinaryFiles = false;
    run(r);
    ASSERT_EQ(host.messages.size(), 1U);
    EXPECT_EQ(host.messages[0].caption, "Message");
    EXPECT_EQ(host.messages[0].text, "No files found");
    EXPECT_EQ(host.messages[0].icon, qv::MessageIcon::Information);
    EXPECT_EQ(host.outcome, qv::RunOutcome::NoFilesSearched);
    EXPECT_EQ(host.statuses.back().substr(0, 34), " Found 0 matches in 0 files of 0 s");
    // The box comes after Stop is hidden and before the final control states.
    EXPECT_EQ(host.calls, (V{"starting", "clear", "stopped", "message", "ended"}));

    host = {};
    run(request("needle"));
    EXPECT_EQ(host.messages.at(0).text, "No matches found");
    EXPECT_EQ(host.outcome, qv::RunOutcome::NoMatches);
}

TEST_F(SearchRunTest, SkippedFilesAreNotCounted)
{
    dir.write("t.txt", "needle\n");
    dir.write("b.bin", std::string("\0needle", 7));
    dir.write("arch.zip", "PK\x03\x04 needle");   // archives are not searched as files
    dir.write("fake.ZIP", "needle, no PK here");  // .ZIP without PK: never searched either
    auto r = request("needle");
    r.BinaryFiles = false;
    run(r);
    EXPECT_EQ(host.brief(), V{"t.txt|1|T"});
    EXPECT_EQ(state.FilesSearched, 1U);
    host = {};
    r.BinaryFiles = true;
    r.TextFiles = false;
    r.SearchZip = true;
    run(r);
    EXPECT_EQ(host.brief(), V{"b.bin|1|B"});
    EXPECT_EQ(state.FilesSearched, 1U);
    EXPECT_EQ(state.ZipList, V{dir.path() + "arch.zip"}); // queued, and fake.ZIP not
}

TEST_F(SearchRunTest, AFileThatCannotBeOpenedIsSkipped)
{
    dir.write("open.txt", "needle\n");
    const std::string locked = dir.write("locked.txt", "needle\n");
    ::chmod(locked.c_str(), 0);
    ::chmod(dir.path().c_str(), 0755);
    ::chmod(temp.path().c_str(), 0777);
    const int status = qvtest::asNobody([&] {
        qvtest::RecordingHost h;
        qv::SearchRun(state, h).cmdSearchClick(request("needle"));
        return h.brief() == V{"open.txt|1|T"} && state.FilesSearched == 1 ? 0 : 1;
    });
    EXPECT_EQ(status, 0);
}

TEST_F(SearchRunTest, SubfoldersOnlyWithIncludeSubdirectories)
{
    dir.write("a.txt", "needle\n");
    dir.write("sub/b.txt", "needle\n");
    run(request("needle"));
    EXPECT_EQ(host.brief(), V{"a.txt|1|T"});
    host = {};
    auto r = request("needle");
    r.InclSub = true;
    run(r);
    EXPECT_EQ(host.brief(), (V{"a.txt|1|T", "b.txt|1|T"}));
    EXPECT_EQ(host.rows[1].Directory, dir.path() + "sub/");
}

TEST_F(SearchRunTest, MasksAreWalkedOneAfterTheOther)
{
    dir.write("a.txt", "needle\n");
    dir.write("b.doc", "needle\n");
    dir.write("c.log", "needle\n");
    run(request("needle", " *.doc , *.txt "));
    EXPECT_EQ(host.brief(), (V{"b.doc|1|T", "a.txt|1|T"}));
}

TEST_F(SearchRunTest, ListedFilesOnlySearchesTheListedNamesAndTheirNamesakesBelow)
{
    dir.write("X.TXT", "needle haystack\n");
    dir.write("sub/X.TXT", "needle\n");
    dir.write("other.txt", "needle haystack\n");
    run(request("needle"));
    ASSERT_EQ(host.rows.size(), 2U); // X.TXT and other.txt in the start folder
    host.rows.erase(host.rows.begin()); // the user deleted one row ...
    EXPECT_EQ(host.rows[0].FileName, "X.TXT");
    auto r = request("haystack");
    r.SearchListed = true;
    r.FileSpecs.clear(); // not used in this mode
    r.InclSub = true;
    run(r);
    EXPECT_EQ(host.brief(), V{"X.TXT|1|T"});
    EXPECT_EQ(state.lstFiles2.size(), 1U);
    host = {};
    host.rows = state.lstFiles2;
    r.SearchText = "needle";
    run(r);
    EXPECT_EQ(host.brief(), (V{"X.TXT|1|T", "X.TXT|1|T"})); // the namesake in sub/ too
}

TEST_F(SearchRunTest, StopEndsTheWalkAndTheSummarySaysSo)
{
    for (int i = 0; i < 30; ++i)
        dir.write("d" + std::to_string(i) + "/f.txt", "needle\n");
    auto r = request("needle");
    r.InclSub = true;
    host.onEvents = [&] {
        if (host.rows.size() == 3)
            state.CancelRequested = true;
    };
    run(r);
    EXPECT_EQ(host.rows.size(), 3U);
    EXPECT_EQ(state.FilesSearched, 3U);
    EXPECT_EQ(host.statuses.back(), " Found 3 matches in 3 files of 3 searched - search canceled");
    EXPECT_EQ(host.outcome, qv::RunOutcome::Matches);
}

TEST_F(SearchRunTest, ARefusedRequestChangesNothing)
{
    dir.write("a.txt", "x\n");
    run(request("x"));
    const auto rows = host.rows;
    host.calls.clear();
    EXPECT_FALSE(run(request("[")));
    ASSERT_EQ(host.messages.size(), 1U);
    EXPECT_EQ(host.messages[0].caption, "Regular Expression Error");
    EXPECT_EQ(host.messages[0].icon, qv::MessageIcon::Warning);
    EXPECT_TRUE(host.calls == V{"message"});
    EXPECT_EQ(host.rows, rows);
    EXPECT_EQ(state.SearchText, "x");
    auto noDir = request("x");
    noDir.StartDirectory.clear();
    noDir.SelectedCaption = "Desktop";
    EXPECT_FALSE(run(noDir));
    EXPECT_EQ(host.messages.back().text, "A directory must be selected - You cannot select Desktop");
}

TEST_F(SearchRunTest, AFileReachedThroughALinkIsListedUnderBothPaths)
{
    dir.write("real/f.txt", "needle\nneedle\n");
    std::filesystem::create_symlink(dir.path() + "real", dir.path() + "alias");
    auto r = request("needle");
    r.InclSub = true;
    run(r);
    ASSERT_EQ(host.brief(), (V{"f.txt|2|T", "f.txt|2|T"}));
    EXPECT_EQ(host.rows[0].Directory, dir.path() + "alias/");
    EXPECT_EQ(host.rows[1].Directory, dir.path() + "real/");
    EXPECT_EQ(state.FilesSearched, 2U);
}

TEST_F(SearchRunTest, UnreadableDatesAreJanuaryFirst1980)
{
    const std::string path = dir.write("old.txt", "needle\n");
    struct timespec times[2] = {{0, 0}, {0, 0}}; // the epoch: no usable last-write date
    ::utimensat(AT_FDCWD, path.c_str(), times, 0);
    run(request("needle"));
    const qv::DateTimeFormat f(state.DateTimeDisplayFormat, state.Locale);
    EXPECT_EQ(host.rows.at(0).DateTime, f.Format(qv::DateTimeFormat::UnknownDate()));
}

} // namespace
