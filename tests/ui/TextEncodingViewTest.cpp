// The window's side of Linux texts: UTF-16 files in the viewer.
#include "support/RecordingMessages.h"
#include "support/TempDir.h"
#include "viewer/FileViewer.h"
#include "viewer/TextView.h"

#include <gtest/gtest.h>

namespace {

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

} // namespace
