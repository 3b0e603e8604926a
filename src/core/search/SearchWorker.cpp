#include "SearchWorker.h"

#include "DateTimeFormat.h"
#include "platform/FileKind.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace qv {

struct FoundFile {
    FileJob job;
    FileRow row; // everything but the count
    platform::FileId id;
    std::int64_t changeStamp = 0;
};

// A big text file being counted in stretches of whole lines by several searchers.
class StretchCount {
public:
    FoundFile found;
    platform::UniqueFd fd;
    std::vector<std::uint64_t> bounds; // stretch k is [bounds[k], bounds[k + 1])
    std::atomic<std::size_t> remaining{0};
    std::atomic<std::uint64_t> count{0};
    std::atomic<bool> failed{false};
    std::atomic<bool> stopped{false};
};

namespace {

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

// Where the first line starting at or after `from` begins (the size when none does).
std::uint64_t lineStartFrom(int fd, std::uint64_t from, std::uint64_t size)
{
    char buf[64 << 10];
    for (std::uint64_t pos = from - 1; pos < size;) {
        const ssize_t n = ::pread(fd, buf, sizeof buf, static_cast<off_t>(pos));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        if (const void* lf = std::memchr(buf, '\n', static_cast<std::size_t>(n)))
            return pos + static_cast<std::uint64_t>(static_cast<const char*>(lf) - buf) + 1;
        pos += static_cast<std::uint64_t>(n);
    }
    return size;
}

} // namespace

std::optional<CountMemo::Entry> CountMemo::find(const platform::FileId& id, std::uint64_t size, std::int64_t changeStamp)
{
    std::lock_guard lock(mutex_);
    const auto it = entries_.find(id);
    if (it == entries_.end() || it->second.size != size || it->second.changeStamp != changeStamp)
        return std::nullopt;
    return it->second;
}

void CountMemo::store(const platform::FileId& id, const Entry& entry)
{
    std::lock_guard lock(mutex_);
    entries_[id] = entry;
}

SearchWorker::SearchWorker(RunShared& shared)
    : shared_(shared), automata_(shared.setup.regex, shared.stop), lineSearch_(automata_)
{
    if (shared.setup.listMatches)
        lister_.emplace(shared.setup.regex, static_cast<long long>(shared.setup.maxMatchLen), shared.setup.maxMatches, shared.stop);
}

void SearchWorker::serve(WorkQueue& queue)
{
    Work work;
    while (queue.pop(work)) {
        if (auto* job = std::get_if<FileJob>(&work))
            search(std::move(*job));
        else
            countStretch(std::get<StretchTask>(work));
        work = Work{};
    }
}

void SearchWorker::search(FileJob job)
{
    FileOutcome out;
    const RunSetup& setup = shared_.setup;
    const std::uint64_t seq = job.seq;
    auto passOver = [&] { shared_.delivery.complete(seq, std::move(out)); };
    if (shared_.stop.stop_requested())
        return passOver();
    const bool isZip = upperExtension(job.path) == ".ZIP";
    if (isZip && !setup.request.SearchZip)
        return passOver();
    auto file = job.folder ? SearchFile::OpenAt(job.folder->fd.get(), job.name) : SearchFile::OpenAt(AT_FDCWD, job.path);
    if (!file)
        return passOver();
    const bool pseudo = job.folder ? job.folder->pseudo : platform::OnPseudoFileSystem(file->Descriptor());
    if (pseudo)
        file->LimitReads(kPseudoFileBytes);
    if (isZip) {
        if (file->ReadFirstBlock(first_) && file->StartsWith("PK")) {
            out.archive = true;
            out.path = job.path;
        }
        return passOver();
    }
    // Extracted members are never taken from the memo: extraction may replace files.
    const bool memoize = job.archive.empty();
    const auto known = memoize ? shared_.memo.find(file->Id(), file->Size(), file->ChangeStamp()) : std::nullopt;
    if (!known && !file->ReadFirstBlock(first_))
        return passOver();
    const FileType type = known ? known->type : file->ClassifyFile();
    if ((type == FileType::Binary && !setup.request.BinaryFiles) || (type == FileType::Text && !setup.request.TextFiles))
        return passOver();
    shared_.sink.progress(RunProgress{RunProgress::Kind::Searching, job.path});

    FoundFile found;
    found.row.name = fileNameOf(job.path);
    found.row.folder = job.archive.empty() ? folderOf(job.path) : job.archive;
    found.row.type = type;
    found.row.size = file->Size();
    found.row.modified = file->LastWrite() > 0 ? file->LastWrite() : DateTimeFormat::UnknownDate();
    found.row.extractedCopy = job.archive.empty() ? std::string() : job.path;
    found.id = file->Id();
    found.changeStamp = memoize ? file->ChangeStamp() : -1;
    found.job = std::move(job);
    if (known) {
        finish(found, known->count, true);
        return;
    }
    if (type == FileType::Text && shared_.queue != nullptr && file->Size() >= 2 * kStretchBytes && !pseudo) {
        startStretches(std::move(found), *file);
        return;
    }
    const CountResult r = type == FileType::Binary ? file->CountBinary(automata_, setup.maxMatchLen, binary_)
                                                   : file->CountText(lineSearch_);
    // A file whose content cannot be read counts as having no matches.
    finish(found, r.readError ? 0 : r.count, !r.stopped);
}

void SearchWorker::finish(FoundFile& found, std::uint64_t count, bool complete)
{
    FileOutcome out;
    if (complete && !shared_.stop.stop_requested()) {
        out.searched = true;
        if (found.changeStamp >= 0)
            shared_.memo.store(found.id, CountMemo::Entry{found.row.size, found.changeStamp, found.row.type, count});
        if (count > 0) {
            found.row.matches = count;
            if (lister_)
                out.lines = lister_->list(found.row).lines;
            out.row = std::move(found.row);
        }
    }
    shared_.delivery.complete(found.job.seq, std::move(out));
}

// Stretches of about kStretchBytes that end at line ends; the last one runs to the end of the
// file, however long it has grown.
void SearchWorker::startStretches(FoundFile found, SearchFile& file)
{
    auto count = std::make_shared<StretchCount>();
    count->fd = file.TakeDescriptor();
    const std::uint64_t size = found.row.size;
    count->bounds.push_back(0);
    for (std::uint64_t pos = kStretchBytes; pos < size;) {
        const std::uint64_t start = lineStartFrom(count->fd.get(), pos, size);
        if (start >= size)
            break;
        count->bounds.push_back(start);
        pos = start + kStretchBytes;
    }
    count->bounds.push_back(UINT64_MAX);
    const std::size_t stretches = count->bounds.size() - 1;
    count->remaining = stretches;
    count->found = std::move(found);
    shared_.queue->pushStretches(count, stretches);
}

void SearchWorker::countStretch(const StretchTask& task)
{
    StretchCount& c = *task.count;
    if (!shared_.stop.stop_requested()) {
        lineSearch_.setListing(false);
        lineSearch_.searchRange(c.fd.get(), c.bounds[task.index], c.bounds[task.index + 1]);
        while (lineSearch_.next()) {
        }
        if (lineSearch_.readError())
            c.failed = true;
        if (lineSearch_.stopped())
            c.stopped = true;
        c.count += lineSearch_.close();
    } else {
        c.stopped = true;
    }
    if (--c.remaining == 0)
        finish(c.found, c.failed ? 0 : c.count.load(), !c.stopped);
}

} // namespace qv
