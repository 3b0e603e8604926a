// The stored form of saved searches.
#include "store/SavedSearches.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <random>

namespace {

using qv::SavedSearch;

const std::string F(1, '\x7F');
const std::string R(1, '\x80');

TEST(SavedSearches, RecordsByteForByte)
{
    const SavedSearch s{"/data/", "needle", "*.txt", "XBC"};
    EXPECT_EQ(qv::RecordText(s), "/data/" + F + "needle" + F + "*.txt" + F + "XBC" + F + R);
    qv::SearchOptions all{true, true, true, true, true, true, true};
    EXPECT_EQ(qv::OptionLetters(all), "XBIZCWL");
    EXPECT_EQ(qv::OptionLetters({}), "");
    const auto o = qv::OptionsFromLetters("CX"); // any order
    EXPECT_TRUE(o.TextFiles && o.Case);
    EXPECT_FALSE(o.BinaryFiles || o.InclSub || o.SearchZip || o.Word || o.Literal);
}

TEST(SavedSearches, ReadingRules)
{
    using V = std::vector<SavedSearch>;
    EXPECT_TRUE(qv::ParseSearches("").empty());
    // Newest first, a missing final 128 tolerated, missing fields empty, extra fields ignored.
    const std::string value = "/a/" + F + "one" + F + "*.c" + F + "X" + F + R + "/b/" + F + "\"two\"" + F + R + "/c/" + F + "three" + F +
                              "*.h" + F + "L" + F + "extra" + F;
    EXPECT_EQ(qv::ParseSearches(value), (V{{"/a/", "one", "*.c", "X"}, {"/b/", "\"two\"", "", ""}, {"/c/", "three", "*.h", "L"}}));
}

TEST(SavedSearches, DeletingRemovesEveryEqualWholeRecordOnly)
{
    const SavedSearch same{"/d/", "text", "*.*", "XB"};
    const SavedSearch upper{"/d/", "TEXT", "*.*", "XB"};
    const SavedSearch noDir{"", "text", "*.*", "XB"};
    std::string value = qv::RecordText(same) + qv::RecordText(upper) + qv::RecordText(same) + qv::RecordText(noDir);
    value = qv::RemoveRecords(value, qv::RecordText(same));
    EXPECT_EQ(value, qv::RecordText(upper) + qv::RecordText(noDir));
    value = qv::RemoveRecords(value, qv::RecordText(noDir));
    EXPECT_EQ(value, qv::RecordText(upper)); // the record with a real folder is intact
    // A record that holds another one's text inside it is not a whole match.
    const std::string tail = "x" + qv::RecordText(noDir);
    EXPECT_EQ(qv::RemoveRecords(tail, qv::RecordText(noDir)), tail);
}

TEST(SavedSearches, AnyBytesReadBackAndValuesWithoutEscapesReadAsBefore)
{
    const std::vector<qv::SavedSearch> searches{
        {"/d/\xC3\x80/", "\xE4\xB8\x80 or \xC3\x80", "*.\xC3\x80", "X"}, // UTF-8 for À and 一 hold byte 128
        {"", "a" + F + "b" + R + R + "c", R, ""}, // the separators themselves
        {R + "1", "x" + R, "2" + F, "C"}, // escapes' codes next to them
        {"/plain/", "needle", "*.txt", "XBIZCWL"},
    };
    std::string value;
    for (const auto& s : searches)
        value += qv::RecordText(s);
    EXPECT_EQ(qv::ParseSearches(value), searches);
    // Deleting one leaves the others whole, even those its bytes end or begin.
    std::vector<qv::SavedSearch> rest{searches[0], searches[2], searches[3]};
    std::string expected;
    for (const auto& s : rest)
        expected += qv::RecordText(s);
    EXPECT_EQ(qv::RemoveRecords(value, qv::RecordText(searches[1])), expected);
    // A value as it was written before escapes, empty fields included, reads field by field.
    const std::string old = "/a/" + F + "t" + F + "*.*" + F + "X" + F + R + F + "u" + F + "*.c" + F + F + R;
    EXPECT_EQ(qv::ParseSearches(old), (std::vector<qv::SavedSearch>{{"/a/", "t", "*.*", "X"}, {"", "u", "*.c", ""}}));
}

TEST(SavedSearches, RoundTripThroughTheStoreAndDamagedValues)
{
    qvtest::TempDir dir;
    qv::platform::RegistryHive hive(dir.path() + "r.db");
    EXPECT_EQ(qv::ReadSearches(hive), "");
    const std::string value = qv::RecordText({"/x/", "t", "*.*", "XB"});
    ASSERT_EQ(qv::WriteSearches(hive, value), std::nullopt);
    EXPECT_EQ(qv::ReadSearches(hive), value);
    // Not a string: read as no searches.
    ASSERT_EQ(hive.OpenKey(qv::platform::kQuorvaneKey, true)->WriteInteger("Searches", 5), std::nullopt);
    EXPECT_EQ(qv::ReadSearches(hive), "");
    // Random bytes and ten megabytes of records read without trouble.
    std::mt19937 rng(3);
    std::string noise(100000, '\0');
    for (char& c : noise)
        c = static_cast<char>(rng() % 256);
    EXPECT_NO_THROW(qv::ParseSearches(noise));
    std::string big;
    while (big.size() < (10u << 20))
        big += value;
    EXPECT_EQ(qv::ParseSearches(big).size(), big.size() / value.size());
}

} // namespace
