#include "ArchiveExtractor.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>
#include <zip.h>

#include "platform/UniqueFd.h"

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

std::vector<std::string> ArchiveExtractor::MemberPath(const std::string& stored)
{
    std::vector<std::string> parts;
    std::string part;
    const auto endPart = [&] {
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        part.clear();
    };
    for (char c : stored) {
        if (c == '/' || c == '\\')
            endPart();
        else
            part += c;
    }
    // A name ending in a separator, "." or ".." names a folder: its folders are made for its members.
    const bool folderEntry = part.empty() || part == "." || part == "..";
    endPart();
    if (folderEntry)
        parts.clear();
    return parts;
}

void ArchiveExtractor::message(int code, const std::string& text)
{
    if (onMessage && (code != kInfo || verbose))
        onMessage(*this, code, text);
}

namespace {

// The member's folders inside the destination, made as needed and entered without following
// any link; an invalid descriptor when one cannot be.
platform::UniqueFd enterFolders(int base, const std::vector<std::string>& path)
{
    platform::UniqueFd dir(::dup(base));
    for (std::size_t k = 0; k + 1 < path.size() && dir; ++k) {
        ::mkdirat(dir.get(), path[k].c_str(), 0700);
        dir = platform::UniqueFd(::openat(dir.get(), path[k].c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    }
    return dir;
}

} // namespace

void ArchiveExtractor::extractAll()
{
    abortRequested = false;
    int err = 0;
    ArchiveHandle zip;
    zip.za = zip_open(archive.c_str(), ZIP_RDONLY, &err);
    if (zip.za == nullptr) {
        zip_error_t ze;
        zip_error_init_with_code(&ze, err);
        message(kOpenFailed, archive + ": " + zip_error_strerror(&ze));
        zip_error_fini(&ze);
        return;
    }
    // Without its trailing slashes, so that O_NOFOLLOW refuses a destination that is a link.
    std::string basePath = destination;
    while (basePath.size() > 1 && basePath.back() == '/')
        basePath.pop_back();
    const platform::UniqueFd base(::open(basePath.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!base) {
        message(kWriteFailed, destination + ": " + std::strerror(errno));
        return;
    }
    const zip_int64_t count = zip_get_num_entries(zip.za, 0);
    if (count < 0 || static_cast<std::uint64_t>(count) > limits.maxMembers) {
        message(kTooLarge, archive + ": too many members");
        return;
    }
    std::uint64_t written = 0;
    std::vector<char> buffer(std::size_t{256} << 10);
    for (zip_uint64_t i = 0; i < static_cast<zip_uint64_t>(count) && !abortRequested && !stop.stop_requested(); ++i) {
        zip_stat_t st;
        zip_stat_init(&st);
        if (zip_stat_index(zip.za, i, 0, &st) != 0 || (st.valid & ZIP_STAT_NAME) == 0) {
            message(kMemberFailed, archive + ": " + zip_strerror(zip.za));
            continue;
        }
        const std::string stored = st.name;
        if (!stored.empty() && (stored.back() == '/' || stored.back() == '\\'))
            continue; // a folder entry
        const std::vector<std::string> path = MemberPath(stored);
        if (path.empty() || path.size() > limits.maxDepth || isLink(zip.za, i)) {
            message(kInfo, "skipped: " + stored);
            continue;
        }
        const std::string& name = path.back();
        message(kInfo, "extracting: " + stored);
        MemberHandle member;
        const bool encrypted = (st.valid & ZIP_STAT_ENCRYPTION_METHOD) != 0 && st.encryption_method != ZIP_EM_NONE;
        // An encryption libzip cannot undo is refused here: its error path in zip_fopen leaks.
        if (encrypted && zip_encryption_method_supported(st.encryption_method, 0) == 0) {
            message(kMemberFailed, stored + ": encryption method not supported");
            continue;
        }
        member.zf = encrypted ? zip_fopen_index_encrypted(zip.za, i, 0, password.c_str()) : zip_fopen_index(zip.za, i, 0);
        if (member.zf == nullptr) {
            message(kMemberFailed, stored + ": " + zip_strerror(zip.za));
            continue;
        }
        const platform::UniqueFd folder = enterFolders(base.get(), path);
        if (!folder) {
            // A member's folder that is a file or a link of another member: it cannot be kept.
            message(kInfo, "skipped: " + stored);
            continue;
        }
        // Whatever stands under that name goes (a planted link included, never its target); a
        // folder of members before it stays, and this member cannot be kept.
        if (::unlinkat(folder.get(), name.c_str(), 0) != 0 && errno == EISDIR) {
            message(kInfo, "skipped: " + stored);
            continue;
        }
        const platform::UniqueFd out(::openat(folder.get(), name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!out) {
            message(kWriteFailed, stored + ": " + std::strerror(errno));
            continue;
        }
        const std::uint64_t compressed = (st.valid & ZIP_STAT_COMP_SIZE) != 0 ? st.comp_size : 0;
        std::uint64_t memberBytes = 0;
        bool failed = false;
        for (;;) {
            if (stop.stop_requested()) {
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
            if (written > limits.maxTotalBytes || (memberBytes > limits.ratioFloor && memberBytes / (compressed + 1) > limits.maxRatio)) {
                message(kTooLarge, stored + ": unpacks to more than this archive may hold");
                failed = true;
                break;
            }
            if (!writeAll(out.get(), buffer.data(), static_cast<std::size_t>(n))) {
                message(kWriteFailed, stored + ": " + std::strerror(errno));
                failed = true;
                break;
            }
        }
        if (failed) {
            ::unlinkat(folder.get(), name.c_str(), 0); // no partial output
            continue;
        }
        // The member keeps the date the archive stored for it.
        if ((st.valid & ZIP_STAT_MTIME) != 0) {
            const struct timespec times[2] = {{0, UTIME_OMIT}, {st.mtime, 0}};
            ::futimens(out.get(), times);
        }
    }
}

} // namespace qv
