#pragma once

#include <cstdint>
#include <functional>
#include <stop_token>
#include <string>

namespace qv {

// Bounds that turn a zip bomb into an archive error instead of a full disk.
struct ExtractLimits {
    std::uint64_t maxTotalBytes = std::uint64_t{2} << 30; // written per archive
    std::uint64_t maxMembers = 65536;
    std::uint64_t maxRatio = 1000;                        // written bytes per compressed byte ...
    std::uint64_t ratioFloor = std::uint64_t{64} << 20;   // ... once a member passes this size
};

// Unpacks a Zip archive (libzip): every member straight into ExtrBaseDir under its own name
// without folders, overwriting what is there. Traditional and AES encryption are opened with
// Password. Problems are reported through OnMessage with a non-zero code; informational messages
// (Verbose) come with code 0. A handler may set AbortRequested to stop at the next step.
//
// Safety: a member's name is cut to its last part, "/" and "\" both separating; empty, "." and
// ".." names are skipped; links stored in the archive are never created; nothing is written
// through a link planted in the folder; a member that fails leaves no partial file.
class ArchiveExtractor {
public:
    using MessageHandler = std::function<void(ArchiveExtractor& sender, int code, const std::string& text)>;

    std::string ZipFilename;
    std::string ExtrBaseDir;
    std::string Password;
    bool Verbose = true;
    bool AbortRequested = false;
    // A stop request ends the extraction between members and inside one (its partial copy goes).
    std::stop_token Stop;
    MessageHandler OnMessage;
    ExtractLimits Limits;

    // Error codes reported through OnMessage.
    enum Code : int { kInfo = 0, kOpenFailed = 1, kMemberFailed = 2, kTooLarge = 3, kWriteFailed = 4 };

    void ExtractAll();

    // The name a member is written under, or empty when it is to be skipped.
    static std::string MemberFileName(const std::string& stored);

private:
    void message(int code, const std::string& text);
};

} // namespace qv
