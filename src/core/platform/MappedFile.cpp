#include "MappedFile.h"

#include <csignal>
#include <mutex>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <utility>

namespace qv::platform {
namespace {

// The mapped stretch the thread reads, for the SIGBUS handler. Static TLS: the handler must not
// be the first to touch it.
struct GuardedRange {
    std::uintptr_t begin = 0;
    std::uintptr_t end = 0;
    volatile std::sig_atomic_t faulted = 0;
};
thread_local GuardedRange tlsRange __attribute__((tls_model("initial-exec")));

struct sigaction previousAction;
std::once_flag installed;

void onBusError(int signal, siginfo_t* info, void* context)
{
    GuardedRange& r = tlsRange;
    const auto at = reinterpret_cast<std::uintptr_t>(info->si_addr);
    if (r.end > r.begin && at >= r.begin && at < r.end) {
        // Zero pages in place of those the file lost; the faulting read then goes on. A raw
        // system call: nothing of the C library runs inside the handler.
        const auto pageSize = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
        const std::uintptr_t page = at & ~(pageSize - 1);
        const long mapped = ::syscall(SYS_mmap, page, r.end - page, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0);
        if (mapped != -1) {
            r.faulted = 1;
            return;
        }
    }
    // Not ours: what would have happened without us.
    if ((previousAction.sa_flags & SA_SIGINFO) != 0 && previousAction.sa_sigaction != nullptr) {
        previousAction.sa_sigaction(signal, info, context);
        return;
    }
    if (previousAction.sa_handler != SIG_DFL && previousAction.sa_handler != SIG_IGN && previousAction.sa_handler != nullptr) {
        previousAction.sa_handler(signal);
        return;
    }
    ::signal(SIGBUS, SIG_DFL); // the faulting read runs again and ends the program as it would have
}

void install()
{
    struct sigaction action { };
    action.sa_sigaction = onBusError;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGBUS, &action, &previousAction);
}

} // namespace

std::optional<MappedFile> MappedFile::Map(int fd, std::uint64_t offset, std::uint64_t size)
{
    const auto pageSize = static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
    const std::uint64_t start = offset - offset % pageSize;
    const std::uint64_t length = size + (offset - start);
    if (size == 0 || length > SIZE_MAX)
        return std::nullopt;
    void* p = ::mmap(nullptr, static_cast<std::size_t>(length), PROT_READ, MAP_PRIVATE, fd, static_cast<off_t>(start));
    if (p == MAP_FAILED)
        return std::nullopt;
    ::madvise(p, static_cast<std::size_t>(length), MADV_SEQUENTIAL);
    return MappedFile(static_cast<std::uint8_t*>(p), static_cast<std::size_t>(length), static_cast<std::size_t>(offset - start));
}

MappedFile::MappedFile(MappedFile&& other) noexcept
    : base_(std::exchange(other.base_, nullptr)), length_(std::exchange(other.length_, 0)), lead_(std::exchange(other.lead_, 0))
{
}

MappedFile& MappedFile::operator=(MappedFile&& other) noexcept
{
    if (this != &other) {
        if (base_ != nullptr)
            ::munmap(base_, length_);
        base_ = std::exchange(other.base_, nullptr);
        length_ = std::exchange(other.length_, 0);
        lead_ = std::exchange(other.lead_, 0);
    }
    return *this;
}

MappedFile::~MappedFile()
{
    if (base_ != nullptr)
        ::munmap(base_, length_);
}

FaultGuard::FaultGuard(const void* begin, std::size_t size)
{
    std::call_once(installed, install);
    tlsRange.faulted = 0;
    tlsRange.begin = reinterpret_cast<std::uintptr_t>(begin);
    tlsRange.end = tlsRange.begin + size;
}

FaultGuard::~FaultGuard()
{
    tlsRange.begin = tlsRange.end = 0;
}

bool FaultGuard::faulted() const
{
    return tlsRange.faulted != 0;
}

} // namespace qv::platform
