// The "Files in Directory" dialog.
#include "dialogs/DirListing.h"
#include "gui/WindowFixture.h"

#include <QListWidget>

#include <sys/stat.h>

namespace {

using qvtest::WindowFixture;

TEST_F(WindowFixture, DirectoryListingShowsOrdinaryFilesAndAppendsTheChosen)
{
    dir.write("b.doc", "");
    dir.write("a.txt", "");
    dir.write(".hidden", "");
    dir.mkdir("folder");
    ::mkfifo((dir.path() + "pipe").c_str(), 0600);
    auto w = openOnFolder();
    withDialog<qv::TfrmDirListing>([&] { w->Dir1MouseDown(); },
                                   [&](qv::TfrmDirListing& d) {
                                       EXPECT_EQ(d.windowTitle(), "Files in Directory");
                                       ASSERT_EQ(d.File1->count(), 2);
                                       EXPECT_EQ(d.File1->item(0)->text(), "a.txt");
                                       EXPECT_EQ(d.File1->item(1)->text(), "b.doc");
                                       d.File1->item(0)->setSelected(true);
                                       d.File1->item(1)->setSelected(true);
                                       d.cmdSelectClick();
                                       EXPECT_EQ(w->txtFilespec->text(), "*.*,a.txt,b.doc");
                                       d.cmdSelectClick(); // the selection stays: the same names again
                                       EXPECT_EQ(d.lblDirName1->text(), QString::fromStdString(dir.path()));
                                       EXPECT_EQ(d.lblDirName2->text(), "");
                                   });
    EXPECT_EQ(w->txtFilespec->text(), "*.*,a.txt,b.doc,a.txt,b.doc");
    // From an empty mask list the names come without a leading comma.
    qv::TfrmDirListing d(dir.path(), QString(), QPoint(0, 0), nullptr);
    d.File1->item(1)->setSelected(true);
    d.cmdSelectClick();
    EXPECT_EQ(d.fileSpecs(), "b.doc");
}

TEST_F(WindowFixture, DirectoryListingOfTheDesktopNodeIsEmpty)
{
    auto w = open({});
    w->Dir1->setCurrentIndex(w->Dir1->folders().firstNode());
    qv::TfrmDirListing d(w->Dir1->selectedPath(), w->txtFilespec->text(), QPoint(0, 0), w.get());
    EXPECT_EQ(d.File1->count(), 0);
    EXPECT_EQ(d.lblDirName1->text(), "");
    EXPECT_EQ(d.lblDirName2->text(), "");
}

TEST(SplitPath, LongPathsBreakAfterASlash)
{
    QFont f;
    f.setPixelSize(13);
    const QFontMetrics fm(f);
    const QString shortPath = QStringLiteral("/home/user/");
    EXPECT_EQ(qv::SplitPath(shortPath, fm, 300), std::make_pair(shortPath, QString()));
    const QString longPath = QStringLiteral("/home/user/projects/a-rather-long-folder-name/another-long-folder/leaf/");
    const auto [first, second] = qv::SplitPath(longPath, fm, 200);
    EXPECT_TRUE(first.endsWith(QLatin1Char('/')));
    EXPECT_EQ(first + second, longPath);
    EXPECT_LE(fm.horizontalAdvance(first), 200);
    EXPECT_GT(fm.horizontalAdvance(first + second.section(QLatin1Char('/'), 0, 0) + QLatin1Char('/')), 198);
}

} // namespace
