// qvsearch: the search of the main window, from a terminal.
#include "search/DateTimeFormat.h"
#include "search/MatchListing.h"
#include "search/RunTexts.h"
#include "search/SearchRun.h"
#include "platform/EndRequests.h"
#include "platform/FileKind.h"
#include "platform/PathParts.h"
#include "platform/RegistryHive.h"
#include "platform/TempBase.h"
#include "reports/ExportModule.h"
#include "store/PreferenceSet.h"
#include "platform/SystemLocale.h"

#include <dlfcn.h>
#include <getopt.h>
#include <limits.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace {

const char* const kUsage = "Usage: qvsearch [OPTION]... SEARCH-TEXT [PATH]...\n";

const char* const kHelp = "Usage: qvsearch [OPTION]... SEARCH-TEXT [PATH]...\n"
                          "\n"
                          "Searches the files of each folder PATH (the current folder when none is given) and each\n"
                          "file PATH, as Quorvane's Search button does. Rows of the files with matches go to standard\n"
                          "output, one per file, fields separated by TAB: name, folder, matches, type (T or B), size,\n"
                          "date/time, extracted copy (archive members only). Messages and the summary go to standard\n"
                          "error as \"Caption: text\". Options may come before, between or after the operands; \"--\"\n"
                          "ends them.\n"
                          "\n"
                          "  -r, --subdirs        include subfolders\n"
                          "  -s, --case           case-sensitive search\n"
                          "  -w, --word           match whole words only\n"
                          "  -F, --literal        literal: no regular expressions\n"
                          "  -z, --zip            search inside Zip archives too\n"
                          "      --no-text        do not search text files\n"
                          "      --no-binary      do not search binary files\n"
                          "  -f, --files=SPEC     file specification, masks separated by commas (default \"*.*\")\n"
                          "      --max-matches=N  most matches listed per file (default: the stored preference)\n"
                          "      --max-match-len=N  longest match a binary file counts (default: the stored preference)\n"
                          "  -n, --lines          list each file's matches after its row: TAB, line number, TAB, text\n"
                          "                       (a binary file's match with its context, line breaks shown as blanks)\n"
                          "      --export=FILE    after the search, write a report of it to FILE as Print/Export's\n"
                          "                       \"Export to File\" does (lines end in CR LF)\n"
                          "      --report=files|all  the report: the file list (default), or the matches of all files\n"
                          "  -j, --threads=N      search with N threads (default: one per core)\n"
                          "  -h, --help           this text\n"
                          "  -V, --version        the version\n"
                          "\n"
                          "Exit status: 0 when something matched, 1 when nothing did, 2 when an error occurred (a\n"
                          "refused search, a path that is missing or cannot be read, a damaged archive, an export or\n"
                          "output that could not be written), whatever matched.\n";

// Options without a short form.
enum LongOnly : int { kNoText = 256, kNoBinary, kMaxMatches, kMaxMatchLen, kExport, kReport };

const char* const kShortOptions = "rswFzf:nj:hV";

const option kLongOptions[] = {
    {"subdirs", no_argument, nullptr, 'r'},
    {"case", no_argument, nullptr, 's'},
    {"word", no_argument, nullptr, 'w'},
    {"literal", no_argument, nullptr, 'F'},
    {"zip", no_argument, nullptr, 'z'},
    {"no-text", no_argument, nullptr, kNoText},
    {"no-binary", no_argument, nullptr, kNoBinary},
    {"files", required_argument, nullptr, 'f'},
    {"max-matches", required_argument, nullptr, kMaxMatches},
    {"max-match-len", required_argument, nullptr, kMaxMatchLen},
    {"lines", no_argument, nullptr, 'n'},
    {"export", required_argument, nullptr, kExport},
    {"report", required_argument, nullptr, kReport},
    {"threads", required_argument, nullptr, 'j'},
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, 'V'},
    {nullptr, 0, nullptr, 0},
};

struct Options {
    qv::SearchRequest request;
    qv::SearchTargets targets;
    bool listLines = false;
    std::string exportFile;
    bool reportAllMatches = false;
    bool reportChosen = false;
    std::optional<std::int32_t> maxMatches;
    std::optional<std::int32_t> maxMatchLen;
    unsigned threads = 0;
    bool pathError = false; // a PATH that is missing or neither a file nor a folder
};

// What the arguments come to: options to search with, or the status to exit with at once (after
// the help, the version, or the message saying what is wrong).
struct Parsed {
    std::optional<Options> options;
    int status = 2;
};

// A whole number from `low` to `high`.
std::optional<long long> number(const char* text, long long low, long long high)
{
    long long v = 0;
    const char* end = text + std::strlen(text);
    auto [p, ec] = std::from_chars(text, end, v);
    if (ec != std::errc() || p != end || p == text || v < low || v > high)
        return std::nullopt;
    return v;
}

void badValue(const char* option, const char* value, const char* wanted)
{
    std::fprintf(stderr, "qvsearch: invalid value '%s' for --%s (%s)\n", value, option, wanted);
}

void tryHelp()
{
    std::fprintf(stderr, "%sTry 'qvsearch --help' for more information.\n", kUsage);
}

// Standard output, buffered (by line on a terminal, as stdio does). A write that fails ends the
// output for good: a reader that went away (a closed pipe) is nothing to tell; any other failure
// is told once. A reader that stops reading never keeps the program from ending when it is asked
// to: into a pipe, only what the pipe has room for is written, and while it has none the end
// requests are looked at.
class Output {
public:
    Output() : terminal_(::isatty(STDOUT_FILENO) == 1)
    {
        struct stat st { };
        pipe_ = ::fstat(STDOUT_FILENO, &st) == 0 && (S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode));
    }

    bool write(std::string_view bytes)
    {
        if (failed_)
            return false;
        buffer_.append(bytes);
        if (buffer_.size() >= kBufferBytes || (terminal_ && buffer_.back() == '\n'))
            return flush();
        return true;
    }

    bool flush()
    {
        std::size_t done = 0;
        while (!failed_ && done < buffer_.size()) {
            std::size_t chunk = buffer_.size() - done;
            if (pipe_) {
                if (!waitForRoom())
                    break;
                chunk = std::min<std::size_t>(chunk, PIPE_BUF); // fits the room poll saw
            }
            const ssize_t n = ::write(STDOUT_FILENO, buffer_.data() + done, chunk);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && errno == EAGAIN) { // an output someone left non-blocking
                if (!waitForRoom())
                    break;
                continue;
            }
            if (n < 0)
                gone(errno);
            else
                done += static_cast<std::size_t>(n);
        }
        buffer_.clear();
        return !failed_;
    }

    [[nodiscard]] bool failed() const { return failed_; }
    // Failed other than by its reader going away.
    [[nodiscard]] bool writeFailed() const { return failed_ && error_ != EPIPE; }

private:
    static constexpr std::size_t kBufferBytes = 64 << 10;
    static constexpr int kEndLookMs = 100;

    // Waits until standard output takes more. False, and the output ends quietly, when the
    // program is asked to end while it takes nothing.
    bool waitForRoom()
    {
        for (;;) {
            pollfd ready{STDOUT_FILENO, POLLOUT, 0};
            const int r = ::poll(&ready, 1, kEndLookMs);
            if (r > 0 || (r < 0 && errno != EINTR))
                return true; // the write says what is wrong, if anything
            if (qv::platform::EndRequests::Received() != 0) {
                gone(EPIPE);
                return false;
            }
        }
    }

    void gone(int error)
    {
        error_ = error;
        failed_ = true;
        if (error_ != EPIPE)
            std::fprintf(stderr, "qvsearch: write error: %s\n", std::strerror(error_));
    }

    const bool terminal_;
    bool pipe_ = false;
    std::string buffer_;
    // Read by the run's threads, which tell nothing more once the output is gone.
    std::atomic<bool> failed_{false};
    int error_ = 0;
};

// Files and folders that could not be read, each told once on standard error (several walks may
// meet the same one), from whichever thread of the run meets it.
class UnreadableList {
public:
    explicit UnreadableList(const Output& out) : out_(out) { }

    void add(const std::string& path, int error)
    {
        std::lock_guard lock(mutex_);
        if (told_.insert(path).second && !out_.failed())
            std::fprintf(stderr, "qvsearch: %s: %s\n", path.c_str(), std::strerror(error));
    }

    [[nodiscard]] bool empty() const
    {
        std::lock_guard lock(mutex_);
        return told_.empty();
    }

private:
    const Output& out_;
    mutable std::mutex mutex_;
    std::set<std::string> told_;
};

void writeField(std::string& line, const std::string& field, bool last = false)
{
    line += field;
    line += last ? '\n' : '\t';
}

// Prints to the terminal what the window would show. Once the output fails, the run is asked to
// stop and nothing more is written.
class ConsoleSink final : public qv::SearchSink {
public:
    ConsoleSink(const qv::DateTimeFormat& dates, bool keepRows, Output& out) : dates_(dates), keepRows_(keepRows), out_(out) { }

    void stopsOnFailure(qv::SearchRun& run) { run_ = &run; }

    void progress(const qv::RunProgress&) override { }

    void archiveError(const std::string& archive, const std::string&) override
    {
        ++archiveErrors_;
        if (!out_.failed())
            message(out_, qv::kArchiveErrorCaption, qv::ArchiveErrorText(archive));
    }

    void finished(const qv::RunSummary& summary) override { summary_ = summary; }

    void row(qv::FileRow row, std::vector<qv::MatchLine> lines) override
    {
        if (out_.failed())
            return;
        std::string line;
        for (int f = 0; f < qv::kRowFieldCount; ++f)
            writeField(line, qv::RowFieldText(row, static_cast<qv::RowField>(f), dates_));
        writeField(line, row.extractedCopy, true);
        if (!out_.write(line))
            return stop();
        for (const qv::MatchLine& m : lines) {
            // One output line per match: line breaks inside a binary file's context become blanks.
            std::string text = m.text;
            for (char& c : text)
                if (c == '\n' || c == '\r')
                    c = ' ';
            line.assign(1, '\t');
            writeField(line, qv::LineNumberText(m));
            writeField(line, text, true);
            if (!out_.write(line))
                return stop();
        }
        if (keepRows_)
            rows_.push_back(std::move(row));
    }

    // What the window shows in a message box; the rows so far come first.
    static void message(Output& out, const std::string& caption, const std::string& text)
    {
        out.flush();
        std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
    }

    [[nodiscard]] std::vector<qv::FileRow>& rows() { return rows_; }
    [[nodiscard]] const qv::RunSummary& summary() const { return summary_; }
    [[nodiscard]] int archiveErrors() const { return archiveErrors_; }

private:
    void stop()
    {
        if (run_ != nullptr)
            run_->requestStop();
    }

    const qv::DateTimeFormat& dates_;
    bool keepRows_;
    Output& out_;
    qv::SearchRun* run_ = nullptr;
    std::vector<qv::FileRow> rows_;
    qv::RunSummary summary_;
    int archiveErrors_ = 0;
};

// Sorts the operands after the search text into folders and files, telling each that is neither.
void addTargets(Options& o, char** paths, int count)
{
    if (count == 0)
        o.targets.folders.push_back(qv::platform::CurrentDirectory());
    for (int k = 0; k < count; ++k) {
        const std::string path = paths[k];
        struct stat st { };
        if (::stat(path.c_str(), &st) != 0) {
            std::fprintf(stderr, "qvsearch: %s: %s\n", path.c_str(), std::strerror(errno));
            o.pathError = true;
        } else if (S_ISDIR(st.st_mode)) {
            o.targets.folders.push_back(path);
        } else if (S_ISREG(st.st_mode)) {
            o.targets.files.push_back(path.find('/') == std::string::npos ? "./" + path : path);
        } else {
            // FIFOs, sockets and devices are never opened: a FIFO would block the search.
            std::fprintf(stderr, "qvsearch: %s: not a file or folder\n", path.c_str());
            o.pathError = true;
        }
    }
    // The run checks that a start folder is chosen; here the paths are.
    o.request.StartDirectory = o.targets.folders.empty() ? "/" : o.targets.folders.front();
}

// Options and operands in any order, as GNU programs take them.
Parsed parse(int argc, char** argv, Output& out)
{
    Options o;
    o.request.FileSpecs = "*.*";
    // getopt's own messages name the program by argv[0]: the name, not the path it was run by.
    static char name[] = "qvsearch";
    argv[0] = name;
    constexpr long long kInt32Max = std::numeric_limits<std::int32_t>::max();
    for (;;) {
        const int c = ::getopt_long(argc, argv, kShortOptions, kLongOptions, nullptr);
        if (c == -1)
            break;
        switch (c) {
        case 'r': o.request.InclSub = true; break;
        case 's': o.request.Case = true; break;
        case 'w': o.request.Word = true; break;
        case 'F': o.request.Literal = true; break;
        case 'z': o.request.SearchZip = true; break;
        case 'n': o.listLines = true; break;
        case kNoText: o.request.TextFiles = false; break;
        case kNoBinary: o.request.BinaryFiles = false; break;
        case 'f': o.request.FileSpecs = optarg; break;
        case kMaxMatches:
        case kMaxMatchLen: {
            const auto n = number(optarg, 0, kInt32Max);
            if (!n) {
                badValue(c == kMaxMatches ? "max-matches" : "max-match-len", optarg, "a number from 0 to 2147483647");
                return {};
            }
            (c == kMaxMatches ? o.maxMatches : o.maxMatchLen) = static_cast<std::int32_t>(*n);
            break;
        }
        case 'j': {
            const auto n = number(optarg, 1, 1024);
            if (!n) {
                badValue("threads", optarg, "a number of threads from 1 to 1024");
                return {};
            }
            o.threads = static_cast<unsigned>(*n);
            break;
        }
        case kExport:
            if (*optarg == '\0') {
                std::fprintf(stderr, "qvsearch: --export needs a file name\n");
                return {};
            }
            o.exportFile = optarg;
            break;
        case kReport: {
            const std::string_view r = optarg;
            if (r != "files" && r != "all") {
                badValue("report", optarg, "files or all");
                return {};
            }
            o.reportAllMatches = r == "all";
            o.reportChosen = true;
            break;
        }
        case 'h':
            out.write(kHelp);
            out.flush();
            return {std::nullopt, out.writeFailed() ? 2 : 0};
        case 'V':
            out.write("qvsearch (Quorvane) " QV_VERSION "\n");
            out.flush();
            return {std::nullopt, out.writeFailed() ? 2 : 0};
        default: // getopt has said what is wrong
            tryHelp();
            return {};
        }
    }
    if (optind >= argc) {
        tryHelp();
        return {};
    }
    if (o.reportChosen && o.exportFile.empty()) {
        std::fprintf(stderr, "qvsearch: --report goes with --export\n");
        return {};
    }
    o.request.SearchText = argv[optind];
    addTargets(o, argv + optind + 1, argc - optind - 1);
    return {std::move(o), 0};
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
    dir = qv::platform::FolderOf(dir);
    void* module = nullptr;
    std::string problem;
    for (const std::string& candidate : {dir + qv::reports::kExportModule, dir + "../lib/quorvane/" + qv::reports::kExportModule}) {
        // Kept loaded to the end: Qt does not unload cleanly.
        if ((module = ::dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL)) != nullptr)
            break;
        if (problem.empty())
            problem = ::dlerror();
    }
    const auto run =
        module != nullptr ? reinterpret_cast<qv::reports::ExportFunction>(::dlsym(module, qv::reports::kExportSymbol)) : nullptr;
    if (run == nullptr) {
        std::fprintf(stderr, "qvsearch: cannot load the report export (%s)\n", problem.empty() ? "no entry point" : problem.c_str());
        return false;
    }
    qv::reports::ExportJob job;
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
    job.stopRequested = [] { return qv::platform::EndRequests::Received() != 0; };
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
    // A reader that goes away (a pipe into head) then shows as a failed write, which ends the run
    // quietly, rather than as a signal that kills the program before it cleans up after itself.
    std::signal(SIGPIPE, SIG_IGN);
    Output out;
    Parsed parsed = parse(argc, argv, out);
    if (!parsed.options)
        return parsed.status;
    const Options& options = *parsed.options;
    if (options.targets.folders.empty() && options.targets.files.empty())
        return 2;

    Settings settings;
    qv::platform::RegistryHive hive(qv::platform::RegistryHive::DefaultPath());
    hive.onSetAside = [](const std::string& keptAs) {
        std::string text = qv::SetAsideText(keptAs);
        std::replace(text.begin(), text.end(), '\n', ' ');
        std::fprintf(stderr, "qvsearch: %s\n", text.c_str());
    };
    qv::LoadPreferences(hive, settings.preferences);
    if (options.maxMatches)
        settings.preferences.MaxMatches = *options.maxMatches;
    if (options.maxMatchLen)
        settings.preferences.MaxMatchLen = *options.maxMatchLen;
    settings.locale = qv::platform::SystemLocaleInfo();
    settings.dateTimeFormat = qv::ChooseDateTimeFormat(settings.locale, "");

    const qv::RequestVerdict verdict = qv::PrepareRequest(options.request);
    if (!verdict.accepted) {
        ConsoleSink::message(out, verdict.caption, verdict.message);
        return 2;
    }
    // Made only when an archive is to be extracted.
    std::optional<qv::platform::TempBase> temp;
    UnreadableList unreadable(out);
    qv::RunSetup setup;
    setup.request = options.request;
    setup.regex = verdict.regex;
    setup.targets = options.targets;
    setup.maxMatchLen = settings.preferences.MaxMatchLen < 0 ? 0 : static_cast<std::uint64_t>(settings.preferences.MaxMatchLen);
    setup.listMatches = options.listLines;
    setup.maxMatches = settings.preferences.MaxMatches;
    setup.temporaryFolder = [&temp] {
        if (!temp)
            temp.emplace();
        return temp->path();
    };
    setup.unreadable = [&unreadable](const std::string& path, int error) { unreadable.add(path, error); };
    setup.threads = options.threads;

    const qv::DateTimeFormat dates(settings.dateTimeFormat, settings.locale);
    ConsoleSink sink(dates, !options.exportFile.empty(), out);
    qv::SearchRun run(std::move(setup), sink);
    sink.stopsOnFailure(run);
    // Ended by a signal (Ctrl+C, `kill`, a closed terminal): the run stops, a report being written
    // is removed, extracted files go; then the program ends as the signal asked.
    const qv::platform::EndRequests endRequests([&run](int) { run.requestStop(); });
    run.run();
    const qv::RunSummary& summary = sink.summary();
    const auto endIfAsked = [&] {
        if (const int signal = qv::platform::EndRequests::Received()) {
            out.flush();
            qv::DeleteExtractionFolders(summary.extractionFolders);
            temp.reset();
            qv::platform::EndRequests::EndAs(signal);
        }
    };
    endIfAsked();
    // Once the output has failed nothing more is done: no summary, no export.
    bool exported = options.exportFile.empty();
    if (out.flush()) {
        if (auto text = qv::OutcomeText(summary.outcome()))
            ConsoleSink::message(out, "Message", *text);
        std::fprintf(stderr, "%s\n", qv::SummaryText(summary, settings.locale.decimalSeparator).c_str());
        // Before the extracted copies go: the matches report searches them again.
        if (!exported)
            exported = exportReport(options, settings, verdict, sink.rows());
    }
    endIfAsked();
    qv::DeleteExtractionFolders(summary.extractionFolders);
    const bool failed = options.pathError || !unreadable.empty() || sink.archiveErrors() > 0 || !exported || out.writeFailed();
    if (failed)
        return 2;
    return summary.outcome() == qv::RunOutcome::Matches ? 0 : 1;
}
