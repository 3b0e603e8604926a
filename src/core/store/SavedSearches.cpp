#include "SavedSearches.h"

namespace qv {
namespace {

constexpr std::string_view kValueName = "Searches";

struct Letter {
    char letter;
    bool SearchOptions::*box;
};
constexpr Letter kLetters[] = {
    {'X', &SearchOptions::TextFiles}, {'B', &SearchOptions::BinaryFiles}, {'I', &SearchOptions::InclSub}, {'Z', &SearchOptions::SearchZip},
    {'C', &SearchOptions::Case},      {'W', &SearchOptions::Word},        {'L', &SearchOptions::Literal},
};

constexpr char kFieldEndCode = '1';
constexpr char kRecordEndCode = '2';

void appendField(std::string& out, const std::string& field)
{
    for (char c : field) {
        if (c == kFieldEnd || c == kRecordEnd) {
            out += kRecordEnd;
            out += kRecordEnd;
            out += c == kFieldEnd ? kFieldEndCode : kRecordEndCode;
        } else {
            out += c;
        }
    }
    out += kFieldEnd;
}

// An escaped separator at `i`: 128 128 and its code.
bool escapeAt(std::string_view v, std::size_t i)
{
    return i + 2 < v.size() && v[i] == kRecordEnd && v[i + 1] == kRecordEnd && (v[i + 2] == kFieldEndCode || v[i + 2] == kRecordEndCode);
}

// The 128 that ends the record starting at `pos`, or npos when the value ends first.
std::size_t recordEnd(std::string_view v, std::size_t pos)
{
    for (std::size_t i = pos; i < v.size(); ++i) {
        if (escapeAt(v, i))
            i += 2;
        else if (v[i] == kRecordEnd)
            return i;
    }
    return std::string_view::npos;
}

} // namespace

std::string OptionLetters(const SearchOptions& o)
{
    std::string letters;
    for (const Letter& l : kLetters)
        if (o.*l.box)
            letters += l.letter;
    return letters;
}

SearchOptions OptionsFromLetters(std::string_view letters)
{
    SearchOptions o;
    for (const Letter& l : kLetters)
        o.*l.box = letters.find(l.letter) != std::string_view::npos;
    return o;
}

std::string RecordText(const SavedSearch& s)
{
    std::string out;
    for (const std::string* f : {&s.Directory, &s.SearchText, &s.FileSpecs, &s.Options})
        appendField(out, *f);
    out += kRecordEnd;
    return out;
}

std::vector<SavedSearch> ParseSearches(std::string_view value)
{
    std::vector<SavedSearch> out;
    std::size_t pos = 0;
    while (pos < value.size()) {
        const std::size_t end = recordEnd(value, pos);
        const std::string_view record = value.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos);
        SavedSearch s;
        std::string* fields[] = {&s.Directory, &s.SearchText, &s.FileSpecs, &s.Options};
        std::size_t field = 0;
        for (std::size_t i = 0; i < record.size() && field < std::size(fields); ++i) {
            if (escapeAt(record, i)) {
                *fields[field] += record[i + 2] == kFieldEndCode ? kFieldEnd : kRecordEnd;
                i += 2;
            } else if (record[i] == kFieldEnd) {
                ++field;
            } else {
                *fields[field] += record[i];
            }
        }
        out.push_back(std::move(s));
        if (end == std::string_view::npos)
            break;
        pos = end + 1;
    }
    return out;
}

std::string RemoveRecords(std::string_view value, std::string_view record)
{
    std::string out;
    out.reserve(value.size());
    std::size_t pos = 0;
    while (pos < value.size()) {
        const std::size_t end = recordEnd(value, pos);
        const std::size_t next = end == std::string_view::npos ? value.size() : end + 1;
        const std::string_view whole = value.substr(pos, next - pos);
        if (whole != record)
            out.append(whole);
        pos = next;
    }
    return out;
}

std::string ReadSearches(platform::RegistryHive& hive)
{
    auto key = hive.OpenKey(platform::kQuorvaneKey, true);
    return key ? key->ReadString(kValueName).valueOr({}) : std::string();
}

platform::Failure WriteSearches(platform::RegistryHive& hive, std::string_view value)
{
    auto key = hive.OpenKey(platform::kQuorvaneKey, true);
    if (!key)
        return "Failed to set data for 'Searches'";
    return key->WriteString(kValueName, value);
}

} // namespace qv
