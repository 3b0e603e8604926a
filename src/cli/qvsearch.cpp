// qvsearch: the command-line front end over the search engine.
#include "GrepEngine.h"
#include "SearchFile.h"
#include "SearchRequest.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

namespace {

struct Options {
    qv::SearchRequest request;
    bool listLines = false;
    std::vector<std::string> files;
};

void usage()
{
    std::fputs("usage: qvsearch [-s] [-w] [-F] [-n] [--] SEARCH-TEXT FILE...\n", stderr);
}

std::string dateText(const std::optional<std::time_t>& t)
{
    std::time_t v = t.value_or(0);
    if (!t) {
        std::tm tm{};
        tm.tm_year = 80;
        tm.tm_mday = 1;
        v = std::mktime(&tm);
    }
    std::tm tm{};
    localtime_r(&v, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M", &tm);
    return buf;
}

void printRow(const std::string& path, const qv::SearchFile& file, qv::FileType type, std::uint64_t count)
{
    const auto slash = path.rfind('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::string dir = slash == std::string::npos ? "./" : path.substr(0, slash + 1);
    std::printf("%s\t%s\t%llu\t%s\t%llu\t%s\t\n", name.c_str(), dir.c_str(), static_cast<unsigned long long>(count),
                type == qv::FileType::Text ? "T" : "B", static_cast<unsigned long long>(file.Size()),
                dateText(file.LastWrite()).c_str());
}

void printTextLines(qv::GrepEngine& engine, const qv::CompiledPattern& pattern, const std::string& path)
{
    engine.SCompileRGrep(pattern);
    engine.SFileSetFlags(qv::ListFlags);
    if (!engine.SFileOpen(path))
        return;
    while (auto line = engine.SFileRGrep()) {
        std::string_view l = *line;
        l.remove_suffix(2); // CR LF
        const auto colon = l.find(':');
        std::fputc('\t', stdout);
        std::fwrite(l.data(), 1, colon, stdout);
        std::fputc('\t', stdout);
        std::fwrite(l.data() + colon + 1, 1, l.size() - colon - 1, stdout);
        std::fputc('\n', stdout);
    }
    engine.SFileClose();
}

} // namespace

int main(int argc, char** argv)
{
    Options opt;
    opt.request.StartDirectory = "/";
    int i = 1;
    for (; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--") {
            ++i;
            break;
        }
        if (a.size() < 2 || a[0] != '-')
            break;
        for (std::size_t k = 1; k < a.size(); ++k) {
            switch (a[k]) {
            case 's': opt.request.Case = true; break;
            case 'w': opt.request.Word = true; break;
            case 'F': opt.request.Literal = true; break;
            case 'n': opt.listLines = true; break;
            default: usage(); return 2;
            }
        }
    }
    if (argc - i < 2) {
        usage();
        return 2;
    }
    opt.request.SearchText = argv[i++];
    for (; i < argc; ++i)
        opt.files.emplace_back(argv[i]);

    const qv::RequestVerdict verdict = qv::PrepareRequest(opt.request);
    if (!verdict.accepted) {
        std::fprintf(stderr, "%s: %s\n", verdict.caption.c_str(), verdict.message.c_str());
        return 2;
    }
    auto compiled = qv::CompileRGrep(verdict.pattern, opt.request.Case);
    if (auto* err = std::get_if<qv::CompileError>(&compiled)) {
        std::fprintf(stderr, "Regular Expression Error: %s\n", err->message.c_str());
        return 2;
    }
    const qv::CompiledPattern& pattern = std::get<qv::CompiledPattern>(compiled);
    qv::GrepEngine engine;
    bool any = false;
    for (const std::string& path : opt.files) {
        auto file = qv::SearchFile::Open(path);
        if (!file)
            continue;
        const qv::FileType type = file->ClassifyFile();
        const std::uint64_t count = type == qv::FileType::Text ? file->CountText(engine, pattern) : file->CountBinary(pattern, 300);
        if (count == 0)
            continue;
        any = true;
        printRow(path, *file, type, count);
        if (opt.listLines && type == qv::FileType::Text)
            printTextLines(engine, pattern, path);
    }
    return any ? 0 : 1;
}
