// The main window driven as a user drives it (offscreen): inputs, runs, lists, start folders.
#include "search/DateTimeFormat.h"
#include "platform/SystemLocale.h"
#include "window/FileResultModel.h"
#include "widgets/HintSwitch.h"
#include "store/PreferenceSet.h"
#include "support/HostileText.h"
#include "support/ZipBuilder.h"
#include "gui/WindowFixture.h"

#include <QHeaderView>
#include <QTest>
#include <QTimer>

#include <filesystem>
#include <set>
#include <fcntl.h>
#include <sys/stat.h>

namespace {

using qvtest::WindowFixture;
using V = std::vector<std::string>;

TEST_F(WindowFixture, ASearchFillsTheListAndSetsTheControls)
{
    dir.write("a.txt", "one needle\n");
    dir.write("b.txt", "needle needle\nneedle\n");
    dir.write("c.txt", "nothing\n");
    auto w = openOnFolder();
    EXPECT_EQ(w->Dir1->selectedPath(), dir.path());
    EXPECT_FALSE(w->lstFiles1->isEnabled());
    EXPECT_FALSE(w->cmdPrint->isEnabled());
    EXPECT_FALSE(w->chkSearchListed->isEnabled());
    search(*w, "needle");
    EXPECT_EQ(names(*w), (V{"a.txt", "b.txt"}));
    EXPECT_TRUE(messages.boxes.empty());
    EXPECT_TRUE(w->pnlStatus->text().startsWith(" Found 3 matches in 2 files of 3 searched - elapsed time "));
    EXPECT_TRUE(w->lstFiles1->isEnabled());
    EXPECT_EQ(w->lstFiles1->selectedRow(), 0);
    EXPECT_TRUE(w->cmdPrint->isEnabled());
    EXPECT_TRUE(w->chkSearchListed->isEnabled());
    EXPECT_FALSE(w->chkSearchListed->isChecked());
    EXPECT_TRUE(w->cmdStop->isHidden());
    EXPECT_FALSE(w->lblMatches->isVisible());
    EXPECT_EQ(w->lines1.rowCount(), 0); // the first row is selected but not listed
    EXPECT_EQ(w->cboSearch->count(), 1);
    EXPECT_EQ(w->cboSearch->itemText(0), "needle");
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(WindowFixture, RefusalsShowTheirMessageAndChangeNothing)
{
    dir.write("a.txt", "x\n");
    auto w = openOnFolder();
    search(*w, "x");
    ASSERT_EQ(w->files1.rowCount(), 1);
    search(*w, ".*");
    ASSERT_EQ(messages.boxes.size(), 1U);
    EXPECT_EQ(messages.boxes[0].caption, "Regular Expression Error");
    EXPECT_EQ(messages.boxes[0].text, "Search pattern cannot consist only of \".*\"");
    EXPECT_EQ(messages.boxes[0].icon, qv::BoxIcon::Warning);
    search(*w, "a[b");
    EXPECT_EQ(messages.boxes.back().caption, "Regular Expression Error");
    EXPECT_EQ(messages.boxes.back().text, "Missing \"]\" to close the \"[\" at position 2");
    search(*w, "");
    EXPECT_EQ(messages.boxes.back().caption, "Error");
    EXPECT_EQ(messages.boxes.back().text, "File specification and search text must be entered");
    w->Dir1->setCurrentIndex(w->Dir1->folders().firstNode());
    search(*w, "x");
    EXPECT_EQ(messages.boxes.back().text, "A directory must be selected - You cannot select Desktop");
    EXPECT_EQ(w->files1.rowCount(), 1);
    EXPECT_EQ(w->cboSearch->count(), 1); // the history grows by accepted searches only
    EXPECT_TRUE(w->pnlStatus->text().startsWith(" Found 1 match in 1 file of 1 searched"));
}

TEST_F(WindowFixture, NoFilesAndNoMatches)
{
    dir.write("a.txt", "x\n");
    auto w = openOnFolder();
    search(*w, "zzz");
    ASSERT_EQ(messages.boxes.size(), 1U);
    EXPECT_EQ(messages.boxes[0].caption, "Message");
    EXPECT_EQ(messages.boxes[0].text, "No matches found");
    EXPECT_EQ(messages.boxes[0].icon, qv::BoxIcon::Information);
    EXPECT_FALSE(w->lstFiles1->isEnabled());
    EXPECT_FALSE(w->chkSearchListed->isEnabled());
    w->chkTextFiles->setChecked(false);
    w->chkBinaryFiles->setChecked(false);
    search(*w, "x");
    EXPECT_EQ(messages.boxes.back().text, "No files found");
}

TEST_F(WindowFixture, ColumnSortsAlternateAcrossColumns)
{
    dir.write("b.txt", std::string(100, 'x') + "\n");
    dir.write("a.txt", std::string(9, 'x') + "\n");
    dir.write("C.txt", std::string(10, 'x') + "\n");
    auto w = openOnFolder();
    search(*w, "x");
    ASSERT_EQ(names(*w), (V{"a.txt", "b.txt", "C.txt"}));
    w->lstFiles1->selectRow(1); // b.txt stays selected through the sorts
    auto click = [&](int column) { emit w->lstFiles1->header()->sectionClicked(column); };
    click(qv::FileResultModel::SizeColumn);
    EXPECT_EQ(names(*w), (V{"a.txt", "C.txt", "b.txt"})); // 10 < 11 < 101: as numbers
    click(qv::FileResultModel::SizeColumn);
    EXPECT_EQ(names(*w), (V{"b.txt", "C.txt", "a.txt"}));
    // Each click sorts opposite to the click before it, whatever the column.
    click(qv::FileResultModel::FileNameColumn);
    EXPECT_EQ(names(*w), (V{"a.txt", "b.txt", "C.txt"})); // letter case ignored
    EXPECT_EQ(w->files1.row(w->lstFiles1->selectedRow()).name, "b.txt");
    // A new search keeps the direction the next click sorts in.
    search(*w, "x");
    click(qv::FileResultModel::FileNameColumn);
    EXPECT_EQ(names(*w), (V{"C.txt", "b.txt", "a.txt"}));
}

TEST_F(WindowFixture, DatesShowTheirRealTimeInOneFormatAndSortAsTimes)
{
    const auto setTime = [](const std::string& path, int year, int month, int day) {
        std::tm tm{};
        tm.tm_year = year - 1900;
        tm.tm_mon = month - 1;
        tm.tm_mday = day;
        tm.tm_hour = 12;
        tm.tm_isdst = -1;
        const std::time_t t = std::mktime(&tm);
        const struct timespec times[2] = {{t, 0}, {t, 0}};
        ::utimensat(AT_FDCWD, path.c_str(), times, 0);
        return t;
    };
    setTime(dir.write("new.txt", "x"), 2020, 1, 2);
    setTime(dir.write("old.txt", "x"), 2019, 12, 31);
    setTime(dir.write("mid.txt", "x"), 2019, 2, 1);
    const std::time_t moon = setTime(dir.write("moon.txt", "x"), 1969, 7, 20);
    const std::string epoch = dir.write("epoch.txt", "x");
    const struct timespec zero[2] = {{0, 0}, {0, 0}};
    ::utimensat(AT_FDCWD, epoch.c_str(), zero, 0);
    // Never shown, so never activated: the search still writes dates in the regional format.
    auto w = open({QString::fromStdString(dir.path())}, QRect(0, 0, 1280, 1024), false);
    search(*w, "x");
    emit w->lstFiles1->header()->sectionClicked(qv::FileResultModel::DateTimeColumn);
    EXPECT_EQ(names(*w), (V{"moon.txt", "epoch.txt", "mid.txt", "old.txt", "new.txt"}));
    const auto locale = qv::platform::SystemLocaleInfo();
    const qv::DateTimeFormat shown(qv::ChooseDateTimeFormat(locale, ""), locale);
    const auto dateOf = [&](int row) {
        return w->files1.data(w->files1.index(row, qv::FileResultModel::DateTimeColumn), Qt::DisplayRole).toString().toStdString();
    };
    EXPECT_EQ(dateOf(0), shown.Format(moon));
    EXPECT_NE(dateOf(0).find("1969"), std::string::npos);
    EXPECT_EQ(dateOf(1), shown.Format(0));
}

TEST_F(WindowFixture, UnreadableSettingsAreKeptAsideAndTheUserIsToldWhere)
{
    const std::string store = registry.path() + "registry.db";
    for (const std::string& damage : {std::string("this is no database, only some text"), std::string()}) {
        SCOPED_TRACE(damage.empty() ? "zero-length store" : "damaged store");
        messages.boxes.clear();
        registry.write("registry.db", damage);
        auto w = openOnFolder();
        ASSERT_EQ(messages.boxes.size(), 1U);
        EXPECT_EQ(messages.boxes[0].caption, "Warning");
        EXPECT_EQ(messages.boxes[0].icon, qv::BoxIcon::Warning);
        const std::string text = messages.boxes[0].text.toStdString();
        const std::string lead = "Your settings could not be read, so the default settings are in use.\n"
                                 "The unreadable settings file was kept as ";
        ASSERT_TRUE(text.starts_with(lead)) << text;
        const std::string keptAs = text.substr(lead.size());
        EXPECT_TRUE(keptAs.starts_with(store + ".corrupt-")) << keptAs;
        EXPECT_EQ(qvtest::readFile(keptAs), damage);
        // Told once: the fresh store reads without a word.
        w.reset();
        messages.boxes.clear();
        w = openOnFolder();
        EXPECT_TRUE(messages.boxes.empty());
        std::filesystem::remove(store);
    }
}

TEST_F(WindowFixture, DeleteRemovesTheSelectedRowAndEmptiesTheMatchList)
{
    dir.write("a.txt", "x\n");
    dir.write("b.txt", "x\n");
    auto w = openOnFolder();
    search(*w, "x");
    w->lstFiles1Click();
    waitForListing(*w);
    ASSERT_EQ(w->lines1.rowCount(), 1);
    const QString label = w->lblMatches->text();
    QTest::keyClick(w->lstFiles1, Qt::Key_Delete);
    EXPECT_EQ(names(*w), V{"b.txt"});
    EXPECT_EQ(w->lines1.rowCount(), 0);
    EXPECT_EQ(w->lblMatches->text(), label);
    w->lstFiles1->clearSelection();
    QTest::keyClick(w->lstFiles1, Qt::Key_Delete);
    EXPECT_EQ(names(*w), V{"b.txt"});
}

TEST_F(WindowFixture, AClickOrAKeyReleaseListsTheSelectedFile)
{
    dir.write("a.txt", "x1\nnone\nx2\n");
    dir.write("b.bin", std::string("\x01 x binary", 10));
    auto w = openOnFolder();
    search(*w, "x");
    ASSERT_EQ(names(*w), (V{"a.txt", "b.bin"}));
    const QRect first = w->lstFiles1->visualRect(w->files1.index(0, 0));
    QTest::mouseClick(w->lstFiles1->viewport(), Qt::LeftButton, {}, first.center());
    waitForListing(*w);
    ASSERT_EQ(w->lines1.rowCount(), 2);
    EXPECT_EQ(w->lines1.rows()[1].line, 3U);
    EXPECT_EQ(w->lines1.rows()[1].text, "x2");
    EXPECT_TRUE(w->lblMatches->isVisible());
    EXPECT_EQ(w->lblMatches->text(), QString::fromStdString("Matches in: " + dir.path() + "a.txt"));
    EXPECT_TRUE(w->lstLines1->isEnabled());
    EXPECT_EQ(w->lstLines1->columnWidth(0), 60);
    w->lstFiles1->setFocus();
    QTest::keyClick(w->lstFiles1, Qt::Key_Down);
    waitForListing(*w);
    EXPECT_EQ(w->lines1.rowCount(), 1);
    EXPECT_EQ(w->lines1.rows()[0].line, std::nullopt);
    EXPECT_TRUE(w->lstLines1->isColumnHidden(0)); // no line numbers for a binary file
    // A click below the last row with no row selected lists nothing new.
    w->lstFiles1->clearSelection();
    QTest::mouseClick(w->lstFiles1->viewport(), Qt::LeftButton, {}, QPoint(10, w->lstFiles1->viewport()->height() - 5));
    EXPECT_EQ(w->lines1.rowCount(), 1);
}

TEST_F(WindowFixture, StartFolderFromTheCommandLine)
{
    dir.write("data/report.txt", "x");
    auto fromFile = open({QString::fromStdString(dir.path() + "data/report.txt")});
    EXPECT_EQ(fromFile->Dir1->selectedPath(), dir.path() + "data/");
    auto fromFolder = open({QString::fromStdString(dir.path() + "data")});
    EXPECT_EQ(fromFolder->Dir1->selectedPath(), dir.path() + "data/");
    auto nowhere = open({QString::fromStdString(dir.path() + "nope/x.txt")});
    EXPECT_TRUE(nowhere->Dir1->isFirstNodeSelected());
    EXPECT_EQ(nowhere->Dir1->selectedPath(), "");
    search(*nowhere, "x");
    EXPECT_EQ(messages.boxes.back().text, "A directory must be selected - You cannot select Desktop");
}

TEST_F(WindowFixture, StartFolderFromThePreferences)
{
    auto plain = open({});
    EXPECT_EQ(plain->Dir1->selectedPath(), "/");
    plain.reset();
    qv::platform::RegistryHive hive(registry.path() + "registry.db");
    ASSERT_EQ(hive.OpenKey(qv::platform::kQuorvaneKey, true)->WriteString("StartupDir", dir.path()), std::nullopt);
    auto stored = open({});
    EXPECT_EQ(stored->Dir1->selectedPath(), dir.path());
    EXPECT_TRUE(messages.boxes.empty());
    stored.reset();
    ASSERT_EQ(hive.OpenKey(qv::platform::kQuorvaneKey, true)->WriteString("StartupDir", dir.path() + "gone"), std::nullopt);
    auto invalid = open({});
    ASSERT_EQ(messages.boxes.size(), 1U);
    EXPECT_EQ(messages.boxes[0].caption, "Warning");
    EXPECT_EQ(messages.boxes[0].text,
              "Default startup directory is invalid - \nstarting in root directory\n\nPlease correct this in File/Preferences");
    EXPECT_EQ(invalid->Dir1->selectedPath(), "/");
}

TEST_F(WindowFixture, RegularExpressionsAreAppendedToTheSearchText)
{
    auto w = openOnFolder();
    w->cboSearch->setCurrentText("foo");
    w->cboRegExpClick(11); // "\< : Beginning of word"
    EXPECT_EQ(w->cboSearch->currentText(), "foo\\<");
    w->cboRegExpClick(6); // "[^] : Exclude characters in group"
    EXPECT_EQ(w->cboSearch->currentText(), "foo\\<[^]");
    EXPECT_EQ(w->cboRegExp->currentIndex(), -1); // nothing was chosen in the box itself
    w->cboRegExp->setCurrentIndex(3);
    dir.write("a.txt", "x");
    search(*w, "x");
    EXPECT_EQ(w->cboRegExp->currentIndex(), -1); // a search start clears the choice
}

TEST_F(WindowFixture, WhileARunGoesOnOnlyStopAndExitAct)
{
    auto w = startSlowRun();
    ASSERT_TRUE(w->searching());
    for (int i = 0; i < 2000 && w->files1.rowCount() == 0; ++i)
        QTest::qWait(1);
    ASSERT_EQ(w->files1.rowCount(), 1) << "the first file's row shows while the run goes on";
    ASSERT_TRUE(w->searching());
    const std::vector<QAction*> commands = {w->RetrieveSearch1, w->SaveSearch1, w->Refresh1, w->Preferences1, w->View1, w->Open1, w->Edit1};
    for (QAction* a : commands)
        EXPECT_FALSE(a->isEnabled()) << a->text().toStdString();
    EXPECT_TRUE(w->Exit1->isEnabled());
    EXPECT_FALSE(w->cmdPrint->isEnabled());
    EXPECT_TRUE(w->cmdStop->isVisible());
    // The row being filled is not listed, and the list is not changed under the run.
    w->lstFiles1->selectRow(0);
    QTest::keyClick(w->lstFiles1, Qt::Key_Delete);
    EXPECT_EQ(w->lines1.rowCount(), 0);
    EXPECT_EQ(w->files1.rowCount(), 1);
    w->cmdStop->click();
    waitForRunEnd(*w);
    EXPECT_TRUE(w->pnlStatus->text().endsWith(" - search canceled")) << w->pnlStatus->text().toStdString();
    for (QAction* a : commands)
        EXPECT_TRUE(a->isEnabled()) << a->text().toStdString();
    EXPECT_TRUE(w->cmdPrint->isEnabled());
}

TEST_F(WindowFixture, ASlowListingLeavesTheWindowLiveAndALaterClickWins)
{
    const std::string match = qvtest::kHostileMatch;
    dir.write("a.txt", match + "\n");
    std::string slow = qvtest::hostileLines(std::size_t{1} << 20);
    const auto lines = static_cast<std::uint64_t>(std::count(slow.begin(), slow.end(), '\n'));
    dir.write("slow.txt", slow + match + "\n");
    auto w = openOnFolder();
    search(*w, QString::fromStdString(qvtest::kHostilePattern));
    ASSERT_EQ(names(*w), (V{"a.txt", "slow.txt"}));
    // The slow file's listing goes on while the window does.
    w->lstFiles1->selectRow(1);
    w->ListMatches1();
    EXPECT_EQ(w->lines1.rowCount(), 0);
    EXPECT_FALSE(w->lstLines1->isEnabled());
    EXPECT_EQ(w->cursor().shape(), Qt::BusyCursor);
    // A click on another row lists that one, and the slow listing never shows.
    w->lstFiles1->selectRow(0);
    w->ListMatches1();
    waitForListing(*w);
    ASSERT_EQ(w->lines1.rowCount(), 1);
    EXPECT_EQ(w->lblMatches->text(), QString::fromStdString("Matches in: " + dir.path() + "a.txt"));
    EXPECT_NE(w->cursor().shape(), Qt::BusyCursor);
    QTest::qWait(200);
    EXPECT_EQ(w->lblMatches->text(), QString::fromStdString("Matches in: " + dir.path() + "a.txt"));
    // Left to finish, it fills the list.
    w->lstFiles1->selectRow(1);
    w->ListMatches1();
    waitForListing(*w);
    EXPECT_EQ(w->lblMatches->text(), QString::fromStdString("Matches in: " + dir.path() + "slow.txt"));
    ASSERT_EQ(w->lines1.rowCount(), 1);
    EXPECT_EQ(w->lines1.rows()[0].line, lines + 1);
    EXPECT_NE(w->cursor().shape(), Qt::BusyCursor);
}

TEST_F(WindowFixture, ClosingDuringARunStopsItFirst)
{
    auto w = startSlowRun();
    EXPECT_TRUE(w->searching());
    QTest::qWait(50);
    w->close();
    EXPECT_FALSE(w->searching());
    EXPECT_FALSE(w->isVisible());
    EXPECT_TRUE(w->pnlStatus->text().endsWith(" - search canceled")) << w->pnlStatus->text().toStdString();
    EXPECT_EQ(names(*w), V{"a-first.txt"}); // what was found before is still shown
    EXPECT_TRUE(messages.boxes.empty());
}

TEST_F(WindowFixture, ExtractionFoldersAreGoneAfterClose)
{
    qvtest::makeZip(dir.path() + "a,b.zip", {{"in.txt", "needle"}});
    auto w = openOnFolder();
    w->chkSearchZip->setChecked(true);
    search(*w, "needle");
    ASSERT_EQ(names(*w), V{"in.txt"});
    const std::string base = w->state().TempBase;
    ASSERT_TRUE(std::filesystem::exists(base + "1/a,b.zip/in.txt"));
    w->close();
    EXPECT_FALSE(std::filesystem::exists(base + "1"));
    w.reset();
    EXPECT_FALSE(std::filesystem::exists(base));
}

TEST_F(WindowFixture, LayoutsByScreenSize)
{
    EXPECT_TRUE(open({}, QRect(0, 0, 800, 600))->compactLayout());
    EXPECT_TRUE(open({}, QRect(0, 0, 1024, 600))->compactLayout());
    auto designed = open({}, QRect(0, 0, 1024, 768));
    EXPECT_FALSE(designed->compactLayout());
    EXPECT_EQ(designed->centralWidget()->size(), QSize(914, 651));
    EXPECT_EQ(designed->pos(), QPoint(0, 0));
    // The Stop button covers Search exactly.
    EXPECT_EQ(designed->cmdStop->geometry(), designed->cmdSearch->geometry());
}

TEST_F(WindowFixture, HintsFollowThePreference)
{
    qv::platform::RegistryHive hive(registry.path() + "registry.db");
    ASSERT_EQ(hive.OpenKey(qv::platform::kQuorvaneKey, true)->WriteInteger("ShowHint", 0), std::nullopt);
    auto w = open({});
    EXPECT_FALSE(qv::hintsShown());
    w.reset();
    ASSERT_EQ(hive.OpenKey(qv::platform::kQuorvaneKey, true)->WriteInteger("ShowHint", 7), std::nullopt);
    w = open({});
    EXPECT_TRUE(qv::hintsShown());
}

TEST_F(WindowFixture, AccessKeysOfTheLabelsMoveTheFocus)
{
    auto w = openOnFolder();
    QApplication::setActiveWindow(w.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
    w->Dir1->setFocus();
    QTest::keyClick(w->Dir1, Qt::Key_R, Qt::AltModifier);
    EXPECT_EQ(QApplication::focusWidget(), w->cboRegExp);
    QTest::keyClick(w->cboRegExp, Qt::Key_E, Qt::AltModifier);
    EXPECT_TRUE(QApplication::focusWidget() == w->cboSearch || QApplication::focusWidget() == w->cboSearch->lineEdit());
    // "Fi&les to search:" shares its key with "&Literal ...": the key goes to one, then the other.
    QWidget* first = nullptr;
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_L, Qt::AltModifier);
    first = QApplication::focusWidget();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_L, Qt::AltModifier);
    const std::set<QWidget*> reached{first, QApplication::focusWidget()};
    EXPECT_EQ(reached, (std::set<QWidget*>{w->txtFilespec, w->chkLiteral}));
}

} // namespace
