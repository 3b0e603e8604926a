#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace qv::platform {

// A file's bytes mapped into memory, read-only: a search reads them where the page cache holds
// them, without copying. Reading a page the file no longer has (it was cut short meanwhile)
// raises SIGBUS; read mapped bytes only under a FaultGuard.
class MappedFile {
public:
    // Maps bytes [offset, offset + size) of an open file; nothing when they cannot be mapped.
    static std::optional<MappedFile> Map(int fd, std::uint64_t offset, std::uint64_t size);

    MappedFile(MappedFile&& other) noexcept;
    MappedFile& operator=(MappedFile&& other) noexcept;
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;
    ~MappedFile();

    // The bytes asked for.
    [[nodiscard]] const std::uint8_t* data() const { return base_ + lead_; }
    [[nodiscard]] std::size_t size() const { return length_ - lead_; }

private:
    MappedFile(std::uint8_t* base, std::size_t length, std::size_t lead) : base_(base), length_(length), lead_(lead) { }

    std::uint8_t* base_ = nullptr; // page aligned
    std::size_t length_ = 0; // mapped from base_
    std::size_t lead_ = 0; // bytes before the ones asked for
};

// While one lives on a thread, a SIGBUS raised by that thread reading [begin, begin + size) of a
// mapping does not end the program: the pages from the faulting one on read as zeros from then
// on, and faulted() says that what was read is not the file. One guard per thread at a time.
class FaultGuard {
public:
    FaultGuard(const void* begin, std::size_t size);
    ~FaultGuard();
    FaultGuard(const FaultGuard&) = delete;
    FaultGuard& operator=(const FaultGuard&) = delete;

    [[nodiscard]] bool faulted() const;
};

} // namespace qv::platform
