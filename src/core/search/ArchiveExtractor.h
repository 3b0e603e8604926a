#pragma once

#include <cstdint>
#include <functional>
#include <stop_token>
#include <string>
#include <vector>

namespace qv {

// Bounds that turn a zip bomb into an archive error instead of a full disk.
struct ExtractLimits {
    std::uint64_t maxTotalBytes = std::uint64_t{2} << 30; // written per archive
    std::uint64_t maxMembers = 65536;
    std::uint64_t maxRatio = 1000; // written bytes per compressed byte ...
    std::uint64_t ratioFloor = std::uint64_t{64} << 20; // ... once a member passes this size
    std::size_t maxDepth = 64; // folders inside the archive
};

// Unpacks a Zip archive (libzip) into a folder, each member under its own folders there with
// the date the archive stored for it, overwriting what is there. Traditional and AES encryption
// are opened with the password. Problems are reported through onMessage with a non-zero code;
// informational messages (verbose) come with code 0. A handler may set abortRequested to stop at
// the next step; a stop request ends it too, between members and inside one.
//
// Safety: a member's path is resolved inside the folder ("/" and "\" both separate, "." parts
// go, ".." never climbs above the folder); links stored in the archive are never created;
// nothing is written or entered through a link planted in the folder; a member that fails
// leaves no partial file.
class ArchiveExtractor {
public:
    using MessageHandler = std::function<void(ArchiveExtractor& sender, int code, const std::string& text)>;

    std::string archive; // the archive's path
    std::string destination; // the folder it is unpacked into
    std::string password;
    bool verbose = true;
    bool abortRequested = false;
    std::stop_token stop;
    MessageHandler onMessage;
    ExtractLimits limits;

    // Error codes reported through onMessage.
    enum Code : int { kInfo = 0, kOpenFailed = 1, kMemberFailed = 2, kTooLarge = 3, kWriteFailed = 4 };

    void extractAll();

    // The folders and the file name a member is written under, inside the destination; empty
    // when it is to be skipped (a folder entry, or nothing left of its name).
    static std::vector<std::string> MemberPath(const std::string& stored);

private:
    void message(int code, const std::string& text);
};

} // namespace qv
