// qvsearch: the search of the main window, from a terminal.
#include "search/DateTimeFormat.h"
#include "search/MatchListing.h"
#include "search/RunTexts.h"
#include "search/SearchRun.h"
#include "platform/FileKind.h"
#include "platform/RegistryHive.h"
#include "platform/TempBase.h"
#include "ExportModule.h"
#include "store/PreferenceSet.h"
#include "platform/SystemLocale.h"

#include <dlfcn.h>
#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char* const kUsage =
    "usage: qvsearch [options] [--] SEARCH-TEXT [PATH...]\n"
    "\n"
    "Searches the files of each folder PATH (the current folder when none is given) and each\n"
    "file PATH, as Quorvane's Search button does. Rows of the files with matches go to standard\n"
    "output, one per file, fields separated by TAB: name, folder, matches, type (T or B), size,\n"
    "date/time, extracted copy (archive members only). Messages and the summary go to standard\n"
    "error as \"Caption: text\".\n"
    "\n"
    "  -r, --subdirs        include subfolders\n"
    "  -s, --case           case-sensitive search\n"
    "  -w, --word           match whole words only\n"
    "  -F, --literal        literal: no regular expressions\n"
    "  -z, --zip            search inside Zip archives too\n"
    "      --no-text        do not search text files\n"
    "      --no-binary      do not search binary files\n"
    "  -f, --files SPEC     file specification, masks separated by commas (default \"*.*\")\n"
    "      --max-matches N  most matches listed per file (default: the stored preference)\n"
    "      --max-match-len N  longest match a binary file counts (default: the stored preference)\n"
    "  -n, --lines          list each file's matches after its row: TAB, line number, TAB, text\n"
    "                       (a binary file's match with its context, line breaks shown as blanks)\n"
    "      --export FILE    after the search, write a report of it to FILE as Print/Export's\n"
    "                       \"Export to File\" does (lines end in CR LF)\n"
    "      --report files|all  the report: the file list (default), or the matches of all files\n"
    "  -j, --threads N      search with N threads (default: one per core)\n"
    "  -h, --help           this text\n"
    "\n"
    "Exit status: 0 when something matched, 1 when nothing did, 2 on a refused search or an error.\n";

struct Options {
    qv::SearchRequest request;
    qv::SearchTargets targets;
    bool listLines = false;
    std::string exportFile;
    bool reportAllMatches = false;
    bool reportChosen = false;
    std::optional<long long> maxMatches;
    std::optional<long long> maxMatchLen;
    unsigned threads = 0;
};

std::optional<long long> number(const char* text)
{
    long long v = 0;
    const char* end = text + std::strlen(text);
    auto [p, ec] = std::from_chars(text, end, v);
    if (ec != std::errc() || p != end)
        return std::nullopt;
    return v;
}

void writeField(std::string& line, const std::string& field, bool last = false)
{
    line += field;
    line += last ? '\n' : '\t';
}

// Prints to the terminal what the window would show.
class ConsoleSink final : public qv::SearchSink {
public:
    ConsoleSink(const qv::DateTimeFormat& dates, bool keepRows) : dates_(dates), keepRows_(keepRows) {}

    void progress(const qv::RunProgress&) override {}

    void archiveError(const std::string& archive, const std::string&) override
    {
        message(qv::kArchiveErrorCaption, qv::ArchiveErrorText(archive));
    }

    void finished(const qv::RunSummary& summary) override { summary_ = summary; }

    void row(qv::FileRow row, std::vector<qv::MatchLine> lines) override
    {
        std::string line;
        for (int f = 0; f < qv::kRowFieldCount; ++f)
            writeField(line, qv::RowFieldText(row, static_cast<qv::RowField>(f), dates_));
        writeField(line, row.extractedCopy, true);
        std::fwrite(line.data(), 1, line.size(), stdout);
        for (const qv::MatchLine& m : lines) {
            // One output line per match: line breaks inside a binary file's context become blanks.
            std::string text = m.text;
            for (char& c : text)
                if (c == '\n' || c == '\r')
                    c = ' ';
            line.assign(1, '\t');
            writeField(line, qv::LineNumberText(m));
            writeField(line, text, true);
            std::fwrite(line.data(), 1, line.size(), stdout);
        }
        if (keepRows_)
            rows_.push_back(std::move(row));
    }

    static void message(const std::string& caption, const std::string& text)
    {
        std::fflush(stdout);
        std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
    }

    [[nodiscard]] std::vector<qv::FileRow>& rows() { return rows_; }
    [[nodiscard]] const qv::RunSummary& summary() const { return summary_; }

private:
    const qv::DateTimeFormat& dates_;
    bool keepRows_;
    std::vector<qv::FileRow> rows_;
    qv::RunSummary summary_;
};

// Parses the arguments; a message and 2 when they are not usable.
std::optional<Options> parse(int argc, char** argv, int& status)
{
    Options o;
    o.request.FileSpecs = "*.*";
    int i = 1;
    auto value = [&](const std::string& option) -> const char* {
        if (i + 1 >= argc) {
            std::fprintf(stderr, "qvsearch: %s needs a value\n", option.c_str());
            return nullptr;
        }
        return argv[++i];
    };
    for (; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--") {
            ++i;
            break;
        }
        if (a.size() < 2 || a[0] != '-')
            break;
        if (a == "-h" || a == "--help") {
            std::fputs(kUsage, stdout);
            status = 0;
            return std::nullopt;
        }
        if (a == "--subdirs") o.request.InclSub = true;
        else if (a == "--case") o.request.Case = true;
        else if (a == "--word") o.request.Word = true;
        else if (a == "--literal") o.request.Literal = true;
        else if (a == "--zip") o.request.SearchZip = true;
        else if (a == "--no-text") o.request.TextFiles = false;
        else if (a == "--no-binary") o.request.BinaryFiles = false;
        else if (a == "--lines") o.listLines = true;
        else if (a == "--export") {
            const char* v = value(a);
            if (v == nullptr)
                return std::nullopt;
            o.exportFile = v;
            if (o.exportFile.empty()) {
                std::fprintf(stderr, "qvsearch: --export needs a file name\n");
                return std::nullopt;
            }
        } else if (a == "--report") {
            const char* v = value(a);
            if (v == nullptr)
                return std::nullopt;
            const std::string r = v;
            if (r != "files" && r != "all") {
                std::fprintf(stderr, "qvsearch: --report is files or all, not %s\n", v);
                return std::nullopt;
            }
            o.reportAllMatches = r == "all";
            o.reportChosen = true;
        } else if (a == "-j" || a == "--threads" || a.rfind("-j", 0) == 0) {
            const char* v = a.size() > 2 && a[1] == 'j' ? argv[i] + 2 : value(a);
            if (v == nullptr)
                return std::nullopt;
            const long long n = number(v).value_or(0);
            if (n < 1 || n > 1024) {
                std::fprintf(stderr, "qvsearch: %s needs a number of threads\n", a.c_str());
                return std::nullopt;
            }
            o.threads = static_cast<unsigned>(n);
        } else if (a == "-f" || a == "--files") {
            const char* v = value(a);
            if (v == nullptr)
                return std::nullopt;
            o.request.FileSpecs = v;
        } else if (a == "--max-matches" || a == "--max-match-len") {
            const char* v = value(a);
            const auto n = v != nullptr ? number(v) : std::nullopt;
            if (!n) {
                if (v != nullptr)
                    std::fprintf(stderr, "qvsearch: %s needs a number\n", a.c_str());
                return std::nullopt;
            }
            (a == "--max-matches" ? o.maxMatches : o.maxMatchLen) = *n;
        } else if (a[1] != '-') {
            for (std::size_t k = 1; k < a.size(); ++k) {
                switch (a[k]) {
                case 'r': o.request.InclSub = true; break;
                case 's': o.request.Case = true; break;
                case 'w': o.request.Word = true; break;
                case 'F': o.request.Literal = true; break;
                case 'z': o.request.SearchZip = true; break;
                case 'n': o.listLines = true; break;
                default:
                    std::fprintf(stderr, "qvsearch: unknown option -%c\n%s", a[k], kUsage);
                    return std::nullopt;
                }
            }
        } else {
            std::fprintf(stderr, "qvsearch: unknown option %s\n%s", a.c_str(), kUsage);
            return std::nullopt;
        }
    }
    if (i >= argc) {
        std::fputs(kUsage, stderr);
        return std::nullopt;
    }
    if (o.reportChosen && o.exportFile.empty()) {
        std::fprintf(stderr, "qvsearch: --report goes with --export\n");
        return std::nullopt;
    }
    o.request.SearchText = argv[i++];
    if (i == argc)
        o.targets.folders.push_back(qv::platform::CurrentDirectory());
    for (; i < argc; ++i) {
        const std::string path = argv[i];
        switch (qv::platform::KindOf(path)) {
        case qv::platform::FileKind::Directory:
            o.targets.folders.push_back(path);
            break;
        case qv::platform::FileKind::Regular:
            o.targets.files.push_back(path.find('/') == std::string::npos ? "./" + path : path);
            break;
        default:
            std::fprintf(stderr, "qvsearch: %s: no such file or folder\n", path.c_str());
            break;
        }
    }
    // The run checks that a start folder is chosen; here the paths are.
    o.request.StartDirectory = o.targets.folders.empty() ? "/" : o.targets.folders.front();
    return o;
}

struct Settings {
    qv::PreferenceSet preferences;
    qv::platform::LocaleInfo locale;
    std::string dateTimeFormat;
};

// Writes the report of the run as the window's "Export to File" does, from the same rows in the
// order they were found, through the export module beside the program. Returns false (after the
// message) when the module cannot be loaded or the file could not be written.
bool exportReport(const Options& o, const Settings& s, const qv::RequestVerdict& verdict, std::vector<qv::FileRow>& rows)
{
    char self[4096];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    std::string dir = n > 0 ? std::string(self, static_cast<std::size_t>(n)) : std::string(".");
    dir = dir.substr(0, dir.rfind('/') + 1);
    void* module = nullptr;
    std::string problem;
    for (const std::string& candidate : {dir + qv::cli::kExportModule, dir + "../lib/quorvane/" + qv::cli::kExportModule}) {
        // Kept loaded to the end: Qt does not unload cleanly.
        if ((module = ::dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL)) != nullptr)
            break;
        if (problem.empty())
            problem = ::dlerror();
    }
    const auto run = module != nullptr ? reinterpret_cast<qv::cli::ExportFunction>(::dlsym(module, qv::cli::kExportSymbol)) : nullptr;
    if (run == nullptr) {
        std::fprintf(stderr, "qvsearch: cannot load the report export (%s)\n", problem.empty() ? "no entry point" : problem.c_str());
        return false;
    }
    qv::cli::ExportJob job;
    job.rows = &rows;
    job.searchText = o.request.SearchText;
    job.pattern = verdict.pattern;
    job.caseSensitive = o.request.Case;
    job.maxMatchLen = s.preferences.MaxMatchLen;
    job.maxMatches = s.preferences.MaxMatches;
    job.printFontName = s.preferences.PrintFontName;
    job.printFontSize = s.preferences.PrintFontSize;
    job.dateTimeFormat = s.dateTimeFormat;
    job.locale = s.locale;
    job.folder = o.targets.folders.empty() ? qv::platform::CurrentDirectory() : o.targets.folders.front();
    job.fileSpecs = o.request.FileSpecs;
    job.fileName = o.exportFile;
    job.allMatches = o.reportAllMatches;
    std::string failure;
    if (!run(&job, &failure)) {
        std::fprintf(stderr, "Error: %s\n", failure.c_str());
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    int status = 2;
    auto options = parse(argc, argv, status);
    if (!options)
        return status;
    if (options->targets.folders.empty() && options->targets.files.empty())
        return 2;

    Settings settings;
    qv::platform::RegistryHive hive(qv::platform::RegistryHive::DefaultPath());
    qv::LoadPreferences(hive, settings.preferences);
    if (options->maxMatches)
        settings.preferences.MaxMatches = static_cast<std::int32_t>(*options->maxMatches);
    if (options->maxMatchLen)
        settings.preferences.MaxMatchLen = static_cast<std::int32_t>(*options->maxMatchLen);
    settings.locale = qv::platform::SystemLocaleInfo();
    settings.dateTimeFormat = qv::ChooseDateTimeFormat(settings.locale, "");

    const qv::RequestVerdict verdict = qv::PrepareRequest(options->request);
    if (!verdict.accepted) {
        ConsoleSink::message(verdict.caption, verdict.message);
        return 2;
    }
    // Made only when an archive is to be extracted.
    std::optional<qv::platform::TempBase> temp;
    qv::RunSetup setup;
    setup.request = options->request;
    setup.regex = verdict.regex;
    setup.targets = options->targets;
    setup.maxMatchLen = settings.preferences.MaxMatchLen < 0 ? 0 : static_cast<std::uint64_t>(settings.preferences.MaxMatchLen);
    setup.listMatches = options->listLines;
    setup.maxMatches = settings.preferences.MaxMatches;
    setup.temporaryFolder = [&temp] {
        if (!temp)
            temp.emplace();
        return temp->path();
    };
    setup.threads = options->threads;

    const qv::DateTimeFormat dates(settings.dateTimeFormat, settings.locale);
    ConsoleSink sink(dates, !options->exportFile.empty());
    qv::SearchRun(std::move(setup), sink).run();
    const qv::RunSummary& summary = sink.summary();
    if (auto text = qv::OutcomeText(summary.outcome()))
        ConsoleSink::message("Message", *text);
    std::fprintf(stderr, "%s\n", qv::SummaryText(summary, settings.locale.decimalSeparator).c_str());
    // Before the extracted copies go: the matches report searches them again.
    std::fflush(stdout);
    const bool exported = options->exportFile.empty() || exportReport(*options, settings, verdict, sink.rows());
    qv::DeleteExtractionFolders(summary.extractionFolders);
    std::fflush(stdout);
    if (!exported)
        return 2;
    return summary.outcome() == qv::RunOutcome::Matches ? 0 : 1;
}
