#include "SearchRun.h"

#include "ArchiveExtractor.h"
#include "OrderedDelivery.h"
#include "SearchWorker.h"
#include "TreeWalker.h"
#include "WorkQueue.h"
#include "platform/PathParts.h"
#include "platform/TempBase.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <sys/stat.h>

namespace qv {
namespace {

// The fixed password tried on encrypted archive members.
constexpr const char* kArchivePassword = "quembrastolvin";
// Files queued for the searchers at most, and numbered ahead of the delivery at most: the walk
// never runs far in front of the searchers, and memory stays bounded behind a slow big file.
constexpr std::size_t kQueuedFiles = 512;
constexpr std::uint64_t kNumberedAhead = 16384;
constexpr std::size_t kBatchFiles = 64;
constexpr std::size_t kRunFiles = 32;

// A folder of its own in the private temporary folder for each archive, named like the archive
// inside a numbered folder: two archives of the same name never share one. Returns the
// archive's folder (ending in "/") and the numbered one (what is deleted later).
std::optional<std::pair<std::string, std::string>> makeExtractionFolder(const std::string& tempBase, const std::string& archive,
                                                                        unsigned& counter)
{
    for (int attempts = 0; attempts < 1000; ++attempts) {
        const std::string outer = tempBase + std::to_string(++counter);
        if (::mkdir(outer.c_str(), 0700) != 0) {
            if (errno == EEXIST)
                continue;
            return std::nullopt;
        }
        const std::string inner = outer + "/" + platform::FileNameOf(archive);
        if (::mkdir(inner.c_str(), 0700) != 0) {
            ::rmdir(outer.c_str());
            return std::nullopt;
        }
        return std::make_pair(inner + "/", outer + "/");
    }
    return std::nullopt;
}

} // namespace

void DeleteExtractionFolders(const std::vector<std::string>& folders)
{
    for (const std::string& dir : folders)
        platform::RemoveTree(dir);
}

unsigned SearchRun::ThreadCount(unsigned requested)
{
    if (requested > 0)
        return requested;
    return std::max(1U, std::thread::hardware_concurrency());
}

SearchRun::SearchRun(RunSetup setup, SearchSink& sink) : setup_(std::move(setup)), sink_(sink) { }

SearchRun::~SearchRun()
{
    requestStop();
    wait();
}

void SearchRun::start()
{
    thread_ = std::thread([this] { run(); });
}

void SearchRun::wait()
{
    if (thread_.joinable())
        thread_.join();
}

void SearchRun::run()
{
    const std::stop_token stop = stop_.get_token();
    SerialSink sink(sink_);
    OrderedDelivery delivery(sink);
    const unsigned threads = ThreadCount(setup_.threads);
    WorkQueue queue(kQueuedFiles, stop);
    RunShared shared{setup_, stop, sink, delivery, threads > 1 ? &queue : nullptr, {}};

    // One thread: the walk searches each file as it finds it. More: a pool of searchers, with
    // the walk searching too whenever the queue is full, and at the end.
    SearchWorker walkersOwn(shared);
    std::vector<std::thread> pool;
    for (unsigned k = 1; k < threads; ++k)
        pool.emplace_back([&shared, &queue] { SearchWorker(shared).serve(queue); });
    const auto helpWith = [&walkersOwn](std::vector<Work>& work) { walkersOwn.handle(work); };
    // Files are numbered as the walk finds them and queued in runs of one folder's files.
    std::uint64_t numbered = 0;
    std::vector<FileRun> batch;
    FileRun current;
    std::size_t batched = 0;
    auto flush = [&] {
        if (current.size() > 0 && (current.folder || !current.path.empty())) {
            batched += current.size();
            batch.push_back(std::move(current));
            current = FileRun{};
        }
        if (batch.empty())
            return;
        delivery.waitForRoom(numbered - 1, kNumberedAhead, stop);
        queue.push(batch, helpWith);
        batched = 0;
    };
    auto issue = [&](FileJob job) {
        job.seq = numbered++;
        if (threads == 1) {
            walkersOwn.search(std::move(job));
            return;
        }
        const bool joins = current.folder && current.folder == job.folder && current.archive == job.archive &&
                           current.mayRecur == job.mayRecur && current.linked == job.linked && current.names.size() < kRunFiles;
        if (!joins) {
            if (current.size() > 0 && (current.folder || !current.path.empty())) {
                batched += current.size();
                batch.push_back(std::move(current));
            }
            current = FileRun{};
            current.seq = job.seq;
            current.folder = std::move(job.folder);
            current.path = std::move(job.path);
            current.archive = std::move(job.archive);
            current.mayRecur = job.mayRecur;
            current.linked = job.linked;
        }
        if (current.folder)
            current.names.push_back(std::move(job.name));
        // Big batches while the searchers are busy; none of them kept waiting meanwhile.
        if (batched + current.size() >= kBatchFiles || queue.searchersWaiting())
            flush();
    };

    // Until everything numbered so far has been delivered, the walk searches what is queued.
    auto finishQueued = [&] {
        flush();
        std::vector<Work> work;
        while (!delivery.delivered(numbered))
            if (threads > 1 && queue.popFor(work, std::chrono::milliseconds(2)))
                walkersOwn.handle(work);
            else if (threads == 1)
                delivery.waitDelivered(numbered);
    };

    if (!setup_.foldersToDelete.empty()) {
        sink.progress(RunProgress{RunProgress::Kind::Deleting, {}});
        DeleteExtractionFolders(setup_.foldersToDelete);
        sink.progress(RunProgress{RunProgress::Kind::Idle, {}});
    }
    const auto startTime = std::chrono::steady_clock::now();

    std::shared_ptr<const ArchiveSource> archive; // the archive whose folder is being walked
    TreeWalker walker(stop);
    walker.onUnreadable = setup_.unreadable;
    const SearchRequest& request = setup_.request;
    const std::vector<std::string> masks = SplitFileSpecs(request.FileSpecs, request.SearchZip);
    // Several walks may pass the same files (two masks, the namesakes of listed files), and so
    // may one that follows links.
    const bool walksOverlap =
        request.SearchListed || masks.size() > 1 || setup_.targets.folders.size() > 1 || !setup_.targets.files.empty();
    walker.onFile = [&](const std::shared_ptr<const OpenFolder>& folder, std::string name, bool link) {
        FileJob job;
        job.folder = folder;
        job.name = std::move(name);
        job.archive = archive;
        job.mayRecur = walksOverlap || walker.followedALink();
        job.linked = walksOverlap || link || folder->viaLink;
        issue(std::move(job));
    };
    if (request.SearchListed) {
        for (const FileRow& row : setup_.listedRows)
            walker.walk(row.extractedCopy.empty() ? row.folder : platform::FolderOf(row.extractedCopy), platform::FileNameOf(row.name),
                        request.InclSub);
    } else {
        for (const std::string& folder : setup_.targets.folders)
            for (const std::string& mask : masks)
                walker.walk(folder, mask, request.InclSub);
    }
    for (const std::string& file : setup_.targets.files) {
        if (stop.stop_requested())
            break;
        FileJob job;
        job.path = file;
        job.mayRecur = true;
        job.linked = true;
        issue(std::move(job));
    }
    finishQueued();

    // The archive phase: archives met during the walks (not those found inside them) are
    // extracted one after the other, each walked with the masks while the next is extracted.
    std::vector<std::string> extractionFolders;
    const std::vector<std::string> archives = delivery.counts().archives;
    const std::vector<std::string> memberMasks = SplitFileSpecs(request.FileSpecs, false);
    unsigned folderNumber = 0;
    const std::string tempBase = !archives.empty() && setup_.temporaryFolder ? setup_.temporaryFolder() : std::string();
    for (const std::string& path : archives) {
        if (stop.stop_requested())
            break;
        sink.progress(RunProgress{RunProgress::Kind::Extracting, path});
        auto folders = tempBase.empty() ? std::nullopt : makeExtractionFolder(tempBase, path, folderNumber);
        std::optional<std::string> problem;
        if (!folders) {
            problem = "no folder to extract into";
        } else {
            extractionFolders.push_back(folders->second);
            ArchiveExtractor extractor;
            extractor.archive = path;
            extractor.destination = folders->first;
            extractor.password = kArchivePassword;
            extractor.stop = stop;
            extractor.onMessage = [&problem](ArchiveExtractor& sender, int code, const std::string& text) {
                if (code == ArchiveExtractor::kInfo)
                    return;
                problem = text;
                sender.abortRequested = true;
            };
            extractor.extractAll();
        }
        if (stop.stop_requested())
            break;
        if (problem) {
            flush(); // the files before it keep their places
            FileOutcome error;
            error.path = path;
            error.archiveError = problem;
            delivery.complete(numbered++, std::move(error));
            continue;
        }
        archive = std::make_shared<const ArchiveSource>(ArchiveSource{path, folders->first});
        for (const std::string& mask : memberMasks)
            walker.walk(folders->first, mask, true);
        archive.reset();
    }
    finishQueued();
    queue.close();
    for (std::thread& t : pool)
        t.join();

    RunSummary summary = delivery.counts();
    summary.cancelled = stop.stop_requested();
    summary.elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - startTime);
    summary.extractionFolders = std::move(extractionFolders);
    sink.finished(summary);
}

} // namespace qv
