#include "ArchiveExtractor.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>
#include <zip.h>

namespace qv {
namespace {

struct ArchiveHandle {
    zip_t* za = nullptr;
    ~ArchiveHandle()
    {
        if (za != nullptr)
            zip_discard(za);
    }
};

struct MemberHandle {
    zip_file_t* zf = nullptr;
    ~MemberHandle()
    {
        if (zf != nullptr)
            zip_fclose(zf);
    }
};

struct Fd {
    int fd = -1;
    ~Fd()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

bool isLink(zip_t* za, zip_uint64_t index)
{
    zip_uint8_t opsys = 0;
    zip_uint32_t attributes = 0;
    if (zip_file_get_external_attributes(za, index, 0, &opsys, &attributes) != 0)
        return false;
    return opsys == ZIP_OPSYS_UNIX && ((attributes >> 16) & S_IFMT) == S_IFLNK;
}

bool writeAll(int fd, const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

std::string ArchiveExtractor::MemberFileName(const std::string& stored)
{
    const auto cut = stored.find_last_of("/\\");
    std::string name = cut == std::string::npos ? stored : stored.substr(cut + 1);
    if (name.empty() || name == "." || name == "..")
        return {};
    return name;
}

void ArchiveExtractor::message(int code, const std::string& text)
{
    if (OnMessage && (code != kInfo || Verbose))
        OnMessage(*this, code, text);
}

void ArchiveExtractor::ExtractAll()
{
    AbortRequested = false;
    int err = 0;
    ArchiveHandle archive;
    archive.za = zip_open(ZipFilename.c_str(), ZIP_RDONLY, &err);
    if (archive.za == nullptr) {
        zip_error_t ze;
        zip_error_init_with_code(&ze, err);
        message(kOpenFailed, ZipFilename + ": " + zip_error_strerror(&ze));
        zip_error_fini(&ze);
        return;
    }
    Fd base;
    // Without its trailing slashes, so that O_NOFOLLOW refuses a base folder that is a link.
    std::string basePath = ExtrBaseDir;
    while (basePath.size() > 1 && basePath.back() == '/')
        basePath.pop_back();
    base.fd = ::open(basePath.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (base.fd < 0) {
        message(kWriteFailed, ExtrBaseDir + ": " + std::strerror(errno));
        return;
    }
    const zip_int64_t count = zip_get_num_entries(archive.za, 0);
    if (count < 0 || static_cast<std::uint64_t>(count) > Limits.maxMembers) {
        message(kTooLarge, ZipFilename + ": too many members");
        return;
    }
    std::uint64_t written = 0;
    std::vector<char> buffer(std::size_t{256} << 10);
    for (zip_uint64_t i = 0; i < static_cast<zip_uint64_t>(count) && !AbortRequested && !Stop.stop_requested(); ++i) {
        zip_stat_t st;
        zip_stat_init(&st);
        if (zip_stat_index(archive.za, i, 0, &st) != 0 || (st.valid & ZIP_STAT_NAME) == 0) {
            message(kMemberFailed, ZipFilename + ": " + zip_strerror(archive.za));
            continue;
        }
        const std::string stored = st.name;
        if (!stored.empty() && (stored.back() == '/' || stored.back() == '\\'))
            continue; // a folder entry
        const std::string name = MemberFileName(stored);
        if (name.empty() || isLink(archive.za, i)) {
            message(kInfo, "skipped: " + stored);
            continue;
        }
        message(kInfo, "extracting: " + stored);
        MemberHandle member;
        const bool encrypted = (st.valid & ZIP_STAT_ENCRYPTION_METHOD) != 0 && st.encryption_method != ZIP_EM_NONE;
        // An encryption libzip cannot undo is refused here: its error path in zip_fopen leaks.
        if (encrypted && zip_encryption_method_supported(st.encryption_method, 0) == 0) {
            message(kMemberFailed, stored + ": encryption method not supported");
            continue;
        }
        member.zf = encrypted ? zip_fopen_index_encrypted(archive.za, i, 0, Password.c_str()) : zip_fopen_index(archive.za, i, 0);
        if (member.zf == nullptr) {
            message(kMemberFailed, stored + ": " + zip_strerror(archive.za));
            continue;
        }
        // Whatever stands under that name goes (a planted link included, never its target).
        ::unlinkat(base.fd, name.c_str(), 0);
        Fd out;
        out.fd = ::openat(base.fd, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (out.fd < 0) {
            message(kWriteFailed, stored + ": " + std::strerror(errno));
            continue;
        }
        const std::uint64_t compressed = (st.valid & ZIP_STAT_COMP_SIZE) != 0 ? st.comp_size : 0;
        std::uint64_t memberBytes = 0;
        bool failed = false;
        for (;;) {
            if (Stop.stop_requested()) {
                failed = true;
                break;
            }
            const zip_int64_t n = zip_fread(member.zf, buffer.data(), buffer.size());
            if (n == 0)
                break;
            if (n < 0) {
                message(kMemberFailed, stored + ": " + zip_file_strerror(member.zf));
                failed = true;
                break;
            }
            memberBytes += static_cast<std::uint64_t>(n);
            written += static_cast<std::uint64_t>(n);
            if (written > Limits.maxTotalBytes ||
                (memberBytes > Limits.ratioFloor && memberBytes / (compressed + 1) > Limits.maxRatio)) {
                message(kTooLarge, stored + ": unpacks to more than this archive may hold");
                failed = true;
                break;
            }
            if (!writeAll(out.fd, buffer.data(), static_cast<std::size_t>(n))) {
                message(kWriteFailed, stored + ": " + std::strerror(errno));
                failed = true;
                break;
            }
        }
        if (failed)
            ::unlinkat(base.fd, name.c_str(), 0); // no partial output
    }
}

} // namespace qv
