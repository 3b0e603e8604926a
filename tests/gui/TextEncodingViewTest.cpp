// The window's side of Linux texts and names: UTF-16 files in the viewer, and names in any
// encoding in the result list, the folder tree and the folder listing.
#include "dialogs/DirListing.h"
#include "platform/WildcardMatch.h"
#include "search/SearchRequest.h"
#include "support/RecordingMessages.h"
#include "support/TempDir.h"
#include "viewer/FileViewer.h"
#include "viewer/TextView.h"
#include "widgets/Text.h"
#include "window/FileResultModel.h"
#include "window/FolderTreeModel.h"

#include <QListWidget>
#include <gtest/gtest.h>

namespace {

using V = std::vector<std::string>;

// Names that sort apart only by case, accent or bytes, and one that is not UTF-8.
const V kNames{"b.txt", "\xC3\x89\x63ole.txt", "A.txt", "ecole.txt", "caf\xE9.txt", "Z.txt"};
const V kSorted{"A.txt", "b.txt", "caf\xE9.txt", "ecole.txt", "\xC3\x89\x63ole.txt", "Z.txt"};
const QString kShownBroken = QStringLiteral("caf\uFFFD.txt");

std::string utf16le(std::u16string_view text)
{
    std::string out = "\xFF\xFE";
    for (const char16_t u : text) {
        out.push_back(static_cast<char>(u & 0xFF));
        out.push_back(static_cast<char>(u >> 8));
    }
    return out;
}

TEST(TextEncodingView, TheViewerShowsAUtf16FileAsTextWithItsMatchesColoured)
{
    qvtest::TempDir dir;
    const std::string path = dir.write("u.txt", utf16le(u"first line\r\n\u00C9COLE here\r\nplain\r\nthe \u00E9cole\r\n"));
    qvtest::RecordingMessages messages;
    qv::TfrmViewer::Input in;
    in.path = path;
    in.row = qv::FileRow{"u.txt", dir.path(), 2, qv::FileType::Text, 0, 0, ""};
    in.pattern = "\xC3\xA9\x63ole";
    in.preferences = qv::PreferenceSet::Defaults();
    qv::TfrmViewer viewer(in, messages);
    viewer.StartMatch = 4;
    ASSERT_TRUE(viewer.FormShow());
    EXPECT_FALSE(viewer.IsBinaryView);
    EXPECT_EQ(viewer.edtFile->text(), "first line\n\xC3\x89\x43OLE here\nplain\nthe \xC3\xA9\x63ole\n");
    EXPECT_EQ(viewer.MatchCount, 2);
    EXPECT_EQ(viewer.MatchKeys, (std::vector<std::int64_t>{1, 3}));
    EXPECT_EQ(viewer.edtFile->caret(), viewer.edtFile->lineStart(3));
}

TEST(TextEncodingView, TheFileNameColumnSortsInTheOrderOfNames)
{
    qv::FileResultModel model;
    std::vector<qv::FileRow> rows;
    for (const std::string& n : kNames)
        rows.push_back(qv::FileRow{n, "/d/", 1, qv::FileType::Text, 0, 0, ""});
    model.append(rows);
    model.sortRows(qv::FileResultModel::FileNameColumn, 1);
    V names;
    for (const qv::FileRow& r : model.rows())
        names.push_back(r.name);
    EXPECT_EQ(names, kSorted);
    model.sortRows(qv::FileResultModel::FileNameColumn, -1);
    EXPECT_EQ(model.row(0).name, kSorted.back());
    // A name that is not UTF-8 shows replacement characters but keeps its bytes for opening.
    model.sortRows(qv::FileResultModel::FileNameColumn, 1);
    EXPECT_EQ(model.data(model.index(2, qv::FileResultModel::FileNameColumn), Qt::DisplayRole).toString(), kShownBroken);
    EXPECT_EQ(model.row(2).fullPath(), "/d/caf\xE9.txt");
}

TEST(TextEncodingView, TheFolderTreeAndTheFolderListingOrderNamesAlike)
{
    qvtest::TempDir dir;
    for (const std::string& n : kNames) {
        dir.mkdir("sub/" + n);
        dir.write(n, "");
    }
    qv::FolderTreeModel tree;
    const QModelIndex sub = tree.indexOfPath(dir.path() + "sub/");
    ASSERT_TRUE(sub.isValid());
    if (tree.canFetchMore(sub))
        tree.fetchMore(sub);
    ASSERT_EQ(tree.rowCount(sub), static_cast<int>(kSorted.size()));
    for (int k = 0; k < tree.rowCount(sub); ++k)
        EXPECT_EQ(tree.pathOf(tree.index(k, 0, sub)), dir.path() + "sub/" + kSorted[static_cast<std::size_t>(k)] + "/");
    EXPECT_EQ(tree.data(tree.index(2, 0, sub), Qt::DisplayRole).toString(), kShownBroken);

    qv::TfrmDirListing listing(dir.path(), QString(), QPoint(0, 0), nullptr);
    ASSERT_EQ(listing.File1->count(), static_cast<int>(kSorted.size()));
    for (int k = 0; k < listing.File1->count(); ++k)
        EXPECT_EQ(listing.File1->item(k)->text(), qv::ToQString(kSorted[static_cast<std::size_t>(k)]));
    // Choosing the name that is not UTF-8 gives a mask that finds it.
    listing.File1->item(2)->setSelected(true);
    listing.cmdSelectClick();
    const std::vector<std::string> masks = qv::SplitFileSpecs(qv::ToBytes(listing.fileSpecs()), false);
    ASSERT_EQ(masks.size(), 1U);
    EXPECT_TRUE(qv::platform::WildcardMatch(masks.front(), "caf\xE9.txt"));
}

} // namespace
