// qvsearch: the search of the main window, from a terminal.
#include "search/DateTimeFormat.h"
#include "search/MatchListing.h"
#include "search/SearchRun.h"
#include "platform/FileKind.h"
#include "platform/RegistryHive.h"
#include "platform/TempBase.h"
#include "ExportModule.h"
#include "store/PreferenceSet.h"
#include "widgets/SystemLocale.h"

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
class ConsoleHost final : public qv::SearchHost {
public:
    ConsoleHost(qv::SearchState& state, bool listLines) : state_(state), listLines_(listLines) {}

    void RunStarting() override {}
    void AddToHistory(const std::string&) override {}
    std::vector<qv::FileResultRow> VisibleRows() override { return {}; }
    void ClearResults() override {}
    void ProcessEvents() override {}
    void RunStopped() override {}
    void RunEnded(qv::RunOutcome outcome) override { outcome_ = outcome; }
    void SetStatus(const std::string& text) override { status_ = text; }

    void ShowMessage(const std::string& caption, const std::string& text, qv::MessageIcon) override
    {
        std::fflush(stdout);
        std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
    }

    void AddRow(const qv::FileResultRow& row) override
    {
        if (keepRows_)
            rows_.push_back(row);
        std::string line;
        writeField(line, row.FileName);
        writeField(line, row.Directory);
        writeField(line, row.Matches);
        writeField(line, row.Type);
        writeField(line, row.Size);
        writeField(line, row.DateTime);
        writeField(line, row.ExtractedCopy, true);
        std::fwrite(line.data(), 1, line.size(), stdout);
        if (!listLines_)
            return;
        const qv::ListingParameters parameters{state_.Pattern, state_.CaseSensitive, state_.Preferences.MaxMatchLen,
                                               state_.Preferences.MaxMatches};
        for (const qv::MatchLineRow& m : qv::ListMatches(row, parameters).Rows) {
            // One output line per match: line breaks inside a binary file's context become blanks.
            std::string text = m.Text;
            for (char& c : text)
                if (c == '\n' || c == '\r')
                    c = ' ';
            line.assign(1, '\t');
            writeField(line, m.LineNumber);
            writeField(line, text, true);
            std::fwrite(line.data(), 1, line.size(), stdout);
        }
    }

    void keepRows() { keepRows_ = true; }
    [[nodiscard]] std::vector<qv::FileResultRow>& rows() { return rows_; }
    [[nodiscard]] const std::string& status() const { return status_; }
    [[nodiscard]] qv::RunOutcome outcome() const { return outcome_; }

private:
    qv::SearchState& state_;
    bool listLines_;
    bool keepRows_ = false;
    std::vector<qv::FileResultRow> rows_;
    std::string status_;
    qv::RunOutcome outcome_ = qv::RunOutcome::NoFilesSearched;
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
        o.targets.Folders.push_back(qv::platform::CurrentDirectory());
    for (; i < argc; ++i) {
        const std::string path = argv[i];
        switch (qv::platform::KindOf(path)) {
        case qv::platform::FileKind::Directory:
            o.targets.Folders.push_back(path);
            break;
        case qv::platform::FileKind::Regular:
            o.targets.Files.push_back(path.find('/') == std::string::npos ? "./" + path : path);
            break;
        default:
            std::fprintf(stderr, "qvsearch: %s: no such file or folder\n", path.c_str());
            break;
        }
    }
    // The run checks that a start folder is chosen; here the paths are.
    o.request.StartDirectory = o.targets.Folders.empty() ? "/" : o.targets.Folders.front();
    return o;
}

// Writes the report of the run as the window's "Export to File" does, from the same rows in the
// order they were found, through the export module beside the program. Returns false (after the
// message) when the module cannot be loaded or the file could not be written.
bool exportReport(const Options& o, const qv::SearchState& state, std::vector<qv::FileResultRow>& rows)
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
    job.state = &state;
    job.rows = &rows;
    job.folder = o.targets.Folders.empty() ? qv::platform::CurrentDirectory() : o.targets.Folders.front();
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

    qv::SearchState state;
    qv::platform::RegistryHive hive(qv::platform::RegistryHive::DefaultPath());
    qv::LoadPreferences(hive, state.Preferences);
    if (options->maxMatches)
        state.Preferences.MaxMatches = static_cast<std::int32_t>(*options->maxMatches);
    if (options->maxMatchLen)
        state.Preferences.MaxMatchLen = static_cast<std::int32_t>(*options->maxMatchLen);
    state.Locale = qv::SystemLocaleInfo();
    state.DateTimeDisplayFormat = qv::ChooseDateTimeFormat(state.Locale, "");
    qv::platform::TempBase temp;
    state.TempBase = temp.path();

    ConsoleHost host(state, options->listLines);
    if (!options->exportFile.empty())
        host.keepRows();
    qv::SearchRun run(state, host);
    const bool ran = !options->targets.Folders.empty() || !options->targets.Files.empty()
                         ? run.Run(options->request, options->targets)
                         : false;
    if (ran)
        std::fprintf(stderr, "%s\n", host.status().c_str());
    // Before the extracted copies go: the matches report searches them again.
    std::fflush(stdout);
    const bool exported = !ran || options->exportFile.empty() || exportReport(*options, state, host.rows());
    run.DeleteExtractionFolders(false);
    std::fflush(stdout);
    if (!ran || !exported)
        return 2;
    return host.outcome() == qv::RunOutcome::Matches ? 0 : 1;
}
