#include "SavedSearches.h"

namespace qv {
namespace {

constexpr std::string_view kValueName = "Searches";

struct Letter {
    char letter;
    bool SearchOptions::*box;
};
constexpr Letter kLetters[] = {
    {'X', &SearchOptions::TextFiles}, {'B', &SearchOptions::BinaryFiles}, {'I', &SearchOptions::InclSub},
    {'Z', &SearchOptions::SearchZip}, {'C', &SearchOptions::Case},        {'W', &SearchOptions::Word},
    {'L', &SearchOptions::Literal},
};

bool holdsSeparator(const std::string& s)
{
    return s.find(kFieldEnd) != std::string::npos || s.find(kRecordEnd) != std::string::npos;
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
    return s.Directory + kFieldEnd + s.SearchText + kFieldEnd + s.FileSpecs + kFieldEnd + s.Options + kFieldEnd + kRecordEnd;
}

std::vector<SavedSearch> ParseSearches(std::string_view value)
{
    std::vector<SavedSearch> out;
    std::size_t pos = 0;
    while (pos < value.size()) {
        const std::size_t end = value.find(kRecordEnd, pos);
        const std::string_view record = value.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos);
        SavedSearch s;
        std::string* fields[] = {&s.Directory, &s.SearchText, &s.FileSpecs, &s.Options};
        std::size_t at = 0;
        for (std::string* f : fields) {
            if (at > record.size())
                break;
            const std::size_t cut = record.find(kFieldEnd, at);
            f->assign(record.substr(at, cut == std::string_view::npos ? std::string_view::npos : cut - at));
            at = cut == std::string_view::npos ? record.size() + 1 : cut + 1;
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
        const std::size_t end = value.find(kRecordEnd, pos);
        const std::size_t next = end == std::string_view::npos ? value.size() : end + 1;
        const std::string_view whole = value.substr(pos, next - pos);
        if (whole != record)
            out.append(whole);
        pos = next;
    }
    return out;
}

bool CanStore(const SavedSearch& s)
{
    return !holdsSeparator(s.Directory) && !holdsSeparator(s.SearchText) && !holdsSeparator(s.FileSpecs) &&
           !holdsSeparator(s.Options);
}

std::string ReadSearches(platform::RegistryHive& hive)
{
    auto key = hive.OpenKey(platform::kQuorvaneKey, true);
    if (!key)
        return {};
    try {
        return key->ReadString(kValueName);
    } catch (const platform::RegistryError&) {
        return {};
    }
}

void WriteSearches(platform::RegistryHive& hive, std::string_view value)
{
    auto key = hive.OpenKey(platform::kQuorvaneKey, true);
    if (!key)
        throw platform::RegistryError("Failed to set data for 'Searches'");
    key->WriteString(kValueName, value);
}

} // namespace qv
