// Classifying a file and counting it with one open.
#include "search/SearchFile.h"
#include "support/Engine.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

TEST(ClassifyFile, ControlBytesInTheFirst2000BytesMakeABinaryFile)
{
    using qv::ClassifyBytes;
    using qv::FileType;
    EXPECT_EQ(ClassifyBytes(""), FileType::Text);
    EXPECT_EQ(ClassifyBytes("a\tb\r\nc\fd"), FileType::Text);
    EXPECT_EQ(ClassifyBytes("a\vb"), FileType::Binary); // vertical tab
    EXPECT_EQ(ClassifyBytes("a\x1a"), FileType::Binary); // end-of-file mark
    EXPECT_EQ(ClassifyBytes(std::string("a\0", 2)), FileType::Binary);
    EXPECT_EQ(ClassifyBytes("caf\xC3\xA9\x7F\xFF"), FileType::Text);
    std::string text(2000, 'a');
    EXPECT_EQ(ClassifyBytes(text + std::string("\0", 1)), FileType::Text); // byte 2001
    text[1999] = '\0';
    EXPECT_EQ(ClassifyBytes(text), FileType::Binary); // byte 2000
}

TEST(SearchFile, OneOpenServesClassificationAndCount)
{
    qvtest::TempDir dir;
    qv::Block scratch;
    std::string content(5000, 'a');
    content += std::string("\0 needle\n", 9); // zero byte after byte 2000: still text
    content += "needle\n";
    const std::string path = dir.write("t.txt", content);
    ::chmod(path.c_str(), 0400);
    auto f = qv::SearchFile::Open(path, scratch);
    ASSERT_TRUE(f);
    EXPECT_EQ(f->ClassifyFile(), qv::FileType::Text);
    EXPECT_EQ(f->Size(), content.size());
    EXPECT_GT(f->LastWrite(), 0);
    qv::regex::LineSearch search(qvtest::Compile("NEEDLE", false));
    const qv::CountResult r = f->CountText(search);
    EXPECT_EQ(r.count, 2U);
    EXPECT_TRUE(r.complete());
}

TEST(SearchFile, OnlyRegularFilesOpen)
{
    qvtest::TempDir dir;
    qv::Block scratch;
    EXPECT_FALSE(qv::SearchFile::Open(dir.path(), scratch));
    EXPECT_FALSE(qv::SearchFile::Open(dir.path() + "missing", scratch));
    const std::string fifo = dir.path() + "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(qv::SearchFile::Open(fifo, scratch)); // and it does not block
    EXPECT_FALSE(qv::SearchFile::Open("/dev/null", scratch));
    const std::string locked = dir.write("locked", "x");
    ::chmod(locked.c_str(), 0);
    if (::geteuid() != 0) {
        EXPECT_FALSE(qv::SearchFile::Open(locked, scratch));
    }
}

TEST(SearchFile, ArchiveSignature)
{
    qvtest::TempDir dir;
    qv::Block scratch;
    EXPECT_TRUE(qv::SearchFile::Open(dir.write("a.zip", "PK\x03\x04"), scratch)->StartsWith("PK"));
    EXPECT_FALSE(qv::SearchFile::Open(dir.write("b.zip", "P"), scratch)->StartsWith("PK"));
}

} // namespace
