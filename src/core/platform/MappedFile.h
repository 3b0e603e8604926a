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
    // Maps the first `size` bytes of an open file; nothing when it cannot be mapped.
    static std::optional<MappedFile> Map(int fd, std::uint64_t size);

    MappedFile(MappedFile&& other) noexcept;
    MappedFile& operator=(MappedFile&& other) noexcept;
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;
    ~MappedFile();

    [[nodiscard]] const std::uint8_t* data() const { return data_; }
    [[nodiscard]] std::size_t size() const { return size_; }

private:
    MappedFile(std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
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
