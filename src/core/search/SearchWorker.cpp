#include "SearchWorker.h"

#include "platform/AsciiCase.h"
#include "platform/FileKind.h"
#include "platform/PathParts.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace qv {

struct FoundFile {
    FileJob job;
    FileType type = FileType::Text;
    std::uint64_t size = 0;
    std::int64_t modified = 0;
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
    std::atomic<int> readError{0}; // of the first stretch whose read failed
    std::atomic<bool> stopped{false};
};

namespace {

std::string upperExtension(const std::string& path)
{
    const std::string name = platform::FileNameOf(path);
    const auto dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : platform::AsciiUpper(std::string_view(name).substr(dot));
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
    Shard& s = shardOf(id);
    std::lock_guard lock(s.mutex);
    const auto it = s.entries.find(id);
    if (it == s.entries.end() || it->second.size != size || it->second.changeStamp != changeStamp)
        return std::nullopt;
    return it->second;
}

void CountMemo::store(const platform::FileId& id, const Entry& entry)
{
    Shard& s = shardOf(id);
    std::lock_guard lock(s.mutex);
    s.entries[id] = entry;
}

void SearchWorker::progress(const std::function<const std::string&()>& path, std::uint64_t size)
{
    const auto now = std::chrono::steady_clock::now();
    if (now - lastProgress_ < kProgressInterval && size < kMapBytes)
        return;
    lastProgress_ = now;
    shared_.sink.progress(RunProgress{RunProgress::Kind::Searching, path()});
}

SearchWorker::SearchWorker(RunShared& shared) : shared_(shared), automata_(shared.setup.regex, shared.stop), lineSearch_(automata_)
{
    if (shared.setup.listMatches)
        lister_.emplace(shared.setup.regex, static_cast<long long>(shared.setup.maxMatchLen), shared.setup.maxMatches, shared.stop);
}

void SearchWorker::done(std::uint64_t seq, FileOutcome outcome)
{
    done_.emplace_back(seq, std::move(outcome));
}

void SearchWorker::handOver()
{
    if (!done_.empty())
        shared_.delivery.complete(done_);
}

void SearchWorker::handle(std::vector<Work>& work)
{
    for (Work& w : work) {
        if (auto* run = std::get_if<FileRun>(&w)) {
            for (std::size_t k = 0; k < run->size(); ++k)
                searchFile(run->job(k));
        } else {
            countStretch(std::get<StretchTask>(w));
        }
    }
    work.clear();
    handOver();
}

void SearchWorker::search(FileJob job)
{
    searchFile(std::move(job));
    handOver();
}

void SearchWorker::serve(WorkQueue& queue)
{
    std::vector<Work> work;
    while (queue.pop(work))
        handle(work);
}

void SearchWorker::searchFile(FileJob job)
{
    FileOutcome out;
    const RunSetup& setup = shared_.setup;
    const std::uint64_t seq = job.seq;
    auto passOver = [&] { done(seq, std::move(out)); };
    if (shared_.stop.stop_requested()) {
        out.interrupted = true;
        return passOver();
    }
    // The whole path is made only when it is shown: most files have no match.
    const auto wholePath = [&job]() -> const std::string& {
        if (job.path.empty())
            job.path = job.folder->path + job.name;
        return job.path;
    };
    const bool isZip = upperExtension(job.folder ? job.name : job.path) == ".ZIP";
    if (isZip && !setup.request.SearchZip)
        return passOver();
    errno = 0; // stays 0 when the file opens but is no longer a plain file: not worth telling
    auto file = job.folder ? SearchFile::OpenAt(job.folder->fd.get(), job.name) : SearchFile::OpenAt(AT_FDCWD, job.path);
    if (!file) {
        if (errno != 0 && setup.unreadable)
            setup.unreadable(wholePath(), errno);
        return passOver();
    }
    const bool pseudo = job.folder ? job.folder->pseudo : platform::OnPseudoFileSystem(file->Descriptor());
    if (pseudo)
        file->LimitReads(kPseudoFileBytes);
    if (isZip) {
        if (file->ReadFirstBlock(first_) && file->StartsWith("PK")) {
            out.archive = true;
            out.path = wholePath();
        }
        return passOver();
    }
    // The memo keeps the counts of files the run may reach by another path (through a link, a
    // second name, a second walk) and is asked once such paths may have been taken; extracted
    // members never go through it (extraction may replace files).
    const bool hardLinked = file->LinkCount() > 1;
    const bool memoize = !job.archive && (job.linked || hardLinked);
    const bool askMemo = !job.archive && (job.mayRecur || hardLinked);
    const auto known = askMemo ? shared_.memo.find(file->Id(), file->Size(), file->ChangeStamp()) : std::nullopt;
    if (!known && !file->ReadFirstBlock(first_)) {
        if (setup.unreadable) // errno from the read that failed
            setup.unreadable(wholePath(), errno);
        return passOver();
    }
    const FileType type = known ? known->type : file->ClassifyFile();
    if ((type == FileType::Binary && !setup.request.BinaryFiles) || (type == FileType::Text && !setup.request.TextFiles))
        return passOver();
    progress(wholePath, file->Size());

    FoundFile found;
    found.type = type;
    found.size = file->Size();
    found.modified = file->LastWrite();
    found.id = file->Id();
    found.changeStamp = memoize ? file->ChangeStamp() : -1;
    found.job = std::move(job);
    if (known) {
        finish(found, known->count, true);
        return;
    }
    // UTF-16 is decoded from its start, so it is not split into stretches.
    if (type == FileType::Text && file->Size() >= kMapBytes && !pseudo && !file->IsUtf16()) {
        countBig(std::move(found), *file);
        return;
    }
    const CountResult r =
        type == FileType::Binary ? file->CountBinary(automata_, setup.maxMatchLen, binary_) : file->CountText(lineSearch_);
    finish(found, r.count, !r.stopped, r.readError);
}

CountResult SearchWorker::countRange(int fd, std::uint64_t begin, std::uint64_t end)
{
    lineSearch_.setListing(false);
    lineSearch_.searchRange(fd, begin, end);
    while (lineSearch_.next()) { }
    CountResult r;
    r.readError = lineSearch_.readError();
    r.stopped = lineSearch_.stopped();
    r.count = lineSearch_.close();
    return r;
}

// A big text file is counted in stretches of whole lines by all the searchers of the run at once
// when there are several. Stretches are read with positional reads into each searcher's buffer,
// not mapped: on the virtual machines we measured, faulting the pages of a mapping in cost three
// times what the copy does, and a read needs no care when the file shrinks meanwhile.
void SearchWorker::countBig(FoundFile found, SearchFile& file)
{
    auto count = std::make_shared<StretchCount>();
    count->fd = file.TakeDescriptor();
    const std::uint64_t size = found.size;
    count->bounds.push_back(0);
    for (std::uint64_t pos = kStretchBytes; pos < size;) {
        const std::uint64_t start = lineStartFrom(count->fd.get(), pos, size);
        if (start >= size)
            break;
        count->bounds.push_back(start);
        pos = start + kStretchBytes;
    }
    // The last stretch runs to the end of the file as it was when opened.
    count->bounds.push_back(size);
    const std::size_t stretches = count->bounds.size() - 1;
    count->remaining = stretches;
    count->found = std::move(found);
    if (shared_.queue != nullptr) {
        shared_.queue->pushStretches(count, stretches);
        return;
    }
    for (std::size_t k = 0; k < stretches; ++k)
        countStretch(StretchTask{count, k});
}

void SearchWorker::finish(FoundFile& found, std::uint64_t count, bool complete, int readError)
{
    FileOutcome out;
    if (readError != 0 && complete && !shared_.stop.stop_requested()) {
        // Part of the file went unsearched, so its count is not the file's.
        if (shared_.setup.unreadable) {
            const FileJob& job = found.job;
            shared_.setup.unreadable(job.path.empty() ? job.folder->path + job.name : job.path, readError);
        }
        count = 0;
        found.changeStamp = -1;
    }
    if (complete && !shared_.stop.stop_requested()) {
        out.searched = true;
        if (found.changeStamp >= 0)
            shared_.memo.store(found.id, CountMemo::Entry{found.size, found.changeStamp, found.type, count});
        if (count > 0) {
            const FileJob& job = found.job;
            const std::string path = job.path.empty() ? job.folder->path + job.name : job.path;
            FileRow row;
            // A member is named by its path inside the archive: two of one name in different
            // folders of it stay apart.
            const bool member = job.archive && path.starts_with(job.archive->folder);
            row.name = member ? path.substr(job.archive->folder.size()) : platform::FileNameOf(path);
            row.folder = member ? job.archive->path : platform::FolderOf(path);
            row.matches = count;
            row.type = found.type;
            row.size = found.size;
            row.modified = found.modified;
            row.extractedCopy = member ? path : std::string();
            if (lister_)
                out.lines = lister_->list(row).lines;
            out.row = std::move(row);
        }
    }
    // A listing cut short by the stop would show a row with some of its lines.
    out.interrupted = !complete || shared_.stop.stop_requested();
    done(found.job.seq, std::move(out));
}

void SearchWorker::countStretch(const StretchTask& task)
{
    StretchCount& c = *task.count;
    if (!shared_.stop.stop_requested()) {
        const CountResult r = countRange(c.fd.get(), c.bounds[task.index], c.bounds[task.index + 1]);
        if (r.readError != 0) {
            int none = 0;
            c.readError.compare_exchange_strong(none, r.readError);
        }
        if (r.stopped)
            c.stopped = true;
        c.count += r.count;
    } else {
        c.stopped = true;
    }
    if (--c.remaining == 0)
        finish(c.found, c.count.load(), !c.stopped, c.readError.load());
}

} // namespace qv
