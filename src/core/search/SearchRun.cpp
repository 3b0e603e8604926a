#include "SearchRun.h"

#include "DateTimeFormat.h"
#include "SearchFile.h"
#include "platform/TempBase.h"

#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>

namespace qv {
namespace {

// The fixed password tried on encrypted archive members.
constexpr const char* kArchivePassword = "quembrastolvin";

std::string upperExtension(const std::string& path)
{
    const auto slash = path.rfind('/');
    const auto dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return {};
    std::string ext = path.substr(dot);
    for (char& c : ext)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return ext;
}

std::string fileNameOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string folderOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

} // namespace

SearchRun::SearchRun(SearchState& state, SearchHost& host) : state_(state), host_(host)
{
    Tree1.OnFileFound = [this](TTreeScanner& t) { Tree1FileFound(t); };
    Tree1.OnDirectoryFound = [this](TTreeScanner& t) { Tree1DirectoryFound(t); };
    Tree1.ProcessEvents = [this] { host_.ProcessEvents(); };
    Zip1.Password = kArchivePassword;
    Zip1.Verbose = true;
    Zip1.OnMessage = [this](ArchiveExtractor& sender, int code, const std::string& text) { Zip1Message(sender, code, text); };
}

bool SearchRun::cmdSearchClick(const SearchRequest& request)
{
    SearchTargets targets;
    targets.Folders.push_back(request.StartDirectory);
    return Run(request, targets);
}

std::string SearchRun::Summary(double elapsedSeconds) const
{
    std::string s = " Found " + std::to_string(state_.TotalMatches) + (state_.TotalMatches == 1 ? " match" : " matches") +
                    " in " + std::to_string(state_.FilesWithMatches) + (state_.FilesWithMatches == 1 ? " file" : " files") +
                    " of " + std::to_string(state_.FilesSearched) + " searched";
    if (state_.CancelRequested)
        return s + " - search canceled";
    char seconds[64];
    std::snprintf(seconds, sizeof seconds, "%.1f", elapsedSeconds);
    std::string text = seconds;
    if (const auto dot = text.find('.'); dot != std::string::npos)
        text.replace(dot, 1, state_.Locale.decimalSeparator);
    return s + " - elapsed time " + text + " seconds";
}

void SearchRun::DeleteExtractionFolders(bool showStatus)
{
    if (state_.TempDirList.empty())
        return;
    if (showStatus)
        host_.SetStatus("Deleting temporary files");
    for (const std::string& dir : state_.TempDirList)
        platform::RemoveTree(dir);
    state_.TempDirList.clear();
    if (showStatus)
        host_.SetStatus("");
}

bool SearchRun::Run(const SearchRequest& request, const SearchTargets& targets)
{
    const RequestVerdict verdict = PrepareRequest(request);
    if (!verdict.accepted) {
        host_.ShowMessage(verdict.caption, verdict.message, MessageIcon::Warning);
        return false;
    }
    // Compiled once for the whole run; a pattern that passed the checks always compiles.
    auto compiled = CompileRGrep(verdict.pattern, request.Case);
    if (auto* err = std::get_if<CompileError>(&compiled)) {
        host_.ShowMessage("Regular Expression Error", err->message, MessageIcon::Warning);
        return false;
    }
    pattern_.emplace(std::get<CompiledPattern>(std::move(compiled)));
    options_ = request;
    counted_.clear();
    state_.Running = true;

    host_.RunStarting();
    state_.InZipPhase = false;
    state_.CancelRequested = false;
    state_.FilesSearched = state_.FilesWithMatches = state_.TotalMatches = 0;
    host_.AddToHistory(request.SearchText);
    state_.SearchText = request.SearchText;
    state_.Pattern = verdict.pattern;
    state_.CaseSensitive = request.Case;

    if (request.SearchListed)
        state_.lstFiles2 = host_.VisibleRows();
    host_.ClearResults();

    const std::vector<std::string> masks = SplitFileSpecs(request.FileSpecs, request.SearchZip);
    state_.ZipList.clear();
    if (!request.SearchListed)
        DeleteExtractionFolders(true);

    const auto start = std::chrono::steady_clock::now();
    if (request.SearchListed) {
        for (const FileResultRow& row : state_.lstFiles2)
            walk(row.ExtractedCopy.empty() ? row.Directory : folderOf(row.ExtractedCopy), row.FileName);
    } else {
        for (const std::string& folder : targets.Folders)
            for (const std::string& mask : masks)
                walk(folder, mask);
    }
    for (const std::string& file : targets.Files) {
        host_.ProcessEvents();
        if (!state_.CancelRequested)
            searchFile(file, -1, {});
    }
    archivePhase(SplitFileSpecs(request.FileSpecs, false));

    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    host_.SetStatus(Summary(static_cast<double>(ms) / 1000.0));
    host_.RunStopped();
    RunOutcome outcome = RunOutcome::Matches;
    if (state_.FilesSearched == 0) {
        host_.ShowMessage("Message", "No files found", MessageIcon::Information);
        outcome = RunOutcome::NoFilesSearched;
    } else if (state_.TotalMatches == 0) {
        host_.ShowMessage("Message", "No matches found", MessageIcon::Information);
        outcome = RunOutcome::NoMatches;
    }
    state_.Running = false;
    host_.RunEnded(outcome);
    return true;
}

void SearchRun::walk(const std::string& folder, const std::string& mask)
{
    Tree1.InitialDirectory = folder;
    Tree1.FileMask = mask;
    Tree1.Scan();
}

void SearchRun::Tree1DirectoryFound(TTreeScanner& scanner)
{
    if (!options_.InclSub)
        scanner.KeepGoing = false;
}

void SearchRun::Tree1FileFound(TTreeScanner& scanner)
{
    host_.ProcessEvents();
    if (state_.CancelRequested) {
        scanner.KeepGoing = false;
        return;
    }
    searchFile(scanner.FileFound(), scanner.DirectoryFd(), scanner.FileName());
}

void SearchRun::searchFile(const std::string& path, int directoryFd, const std::string& name)
{
    const bool isZip = upperExtension(path) == ".ZIP";
    if (isZip && !options_.SearchZip)
        return;
    auto file = directoryFd >= 0 ? SearchFile::OpenAt(directoryFd, name) : SearchFile::OpenAt(AT_FDCWD, path);
    if (!file)
        return;
    if (isZip) {
        if (file->ReadFirstBlock(firstBlock_) && file->StartsWith("PK"))
            state_.ZipList.push_back(path);
        return;
    }
    // A file reached again by another path (through a link) is not read again. Extracted members
    // are left out: extraction replaces files while the run goes on.
    const std::optional<std::time_t> lastWrite = file->LastWrite();
    const std::uint64_t size = file->Size();
    Counted* known = nullptr;
    if (auto it = counted_.find(file->Id()); !state_.InZipPhase && it != counted_.end() && it->second.size == size &&
                                             it->second.changeStamp == file->ChangeStamp())
        known = &it->second;
    if (known == nullptr && !file->ReadFirstBlock(firstBlock_))
        return;
    const FileType type = known != nullptr ? known->type : file->ClassifyFile();
    if ((type == FileType::Binary && !options_.BinaryFiles) || (type == FileType::Text && !options_.TextFiles))
        return;
    host_.SetStatus(" Searching " + path);
    ++state_.FilesSearched;

    std::uint64_t count = 0;
    if (known != nullptr) {
        count = known->count;
    } else {
        const std::uint64_t maxMatchLen = state_.Preferences.MaxMatchLen < 0 ? 0 : static_cast<std::uint64_t>(state_.Preferences.MaxMatchLen);
        count = type == FileType::Binary ? file->CountBinary(*pattern_, maxMatchLen, &binaryStorage_) : file->CountText(engine_, *pattern_);
        if (!state_.InZipPhase)
            counted_[file->Id()] = Counted{size, file->ChangeStamp(), type, count};
    }
    if (count == 0)
        return;

    FileResultRow row;
    row.FileName = fileNameOf(path);
    row.Directory = state_.InZipPhase ? state_.CurrentZip : folderOf(path);
    row.Matches = std::to_string(count);
    row.Type = type == FileType::Binary ? "B" : "T";
    row.Size = std::to_string(size);
    row.DateTime = DateTimeFormat(state_.DateTimeDisplayFormat, state_.Locale).Format(lastWrite ? *lastWrite : DateTimeFormat::UnknownDate());
    row.ExtractedCopy = state_.InZipPhase ? path : std::string();
    ++state_.FilesWithMatches;
    state_.TotalMatches += count;
    host_.AddRow(row);
}

void SearchRun::Zip1Message(ArchiveExtractor& sender, int code, const std::string&)
{
    if (code == ArchiveExtractor::kInfo)
        return;
    host_.ShowMessage("Zip File Error",
                      "Error in Zip file: " + sender.ZipFilename +
                          "\n\nThis file will not be searched, but processing\nwill continue for other files.",
                      MessageIcon::Warning);
    sender.AbortRequested = true;
    state_.ZipError = true;
}

void SearchRun::archivePhase(const std::vector<std::string>& masks)
{
    if (state_.ZipList.empty())
        return;
    state_.InZipPhase = true;
    // Archives found inside archives join the list during the phase but wait for another run.
    const std::size_t queued = state_.ZipList.size();
    for (std::size_t k = 0; k < queued; ++k) {
        const std::string archive = state_.ZipList[k];
        host_.SetStatus("Extracting Zip file " + archive);
        state_.ZipError = false;
        state_.CurrentZip = archive;
        Zip1.ZipFilename = archive;
        if (state_.TempBase.empty()) {
            // Without the private folder nothing may be extracted anywhere.
            Zip1Message(Zip1, ArchiveExtractor::kWriteFailed, "no temporary folder");
            continue;
        }
        const std::string folder = state_.TempBase + fileNameOf(archive) + "/";
        // Whatever else stands under that name in our private folder (a link above all) goes
        // first; a folder of an earlier archive of the same name in this run stays.
        struct stat st {};
        const std::string bare = folder.substr(0, folder.size() - 1);
        if (::lstat(bare.c_str(), &st) == 0 && !S_ISDIR(st.st_mode))
            platform::RemoveTree(bare);
        ::mkdir(bare.c_str(), 0700);
        state_.TempDirList.push_back(folder);
        Zip1.ExtrBaseDir = folder;
        Zip1.ExtractAll();
        if (state_.ZipError)
            continue;
        for (const std::string& mask : masks)
            walk(folder, mask);
    }
}

} // namespace qv
