// The Zip extractor on random archive bytes: everything lands inside the scratch folder as plain
// files in real folders, nothing is a link, the bytes written stay within the limits, and every failure comes
// through the message handler with a code.
#include "search/ArchiveExtractor.h"
#include "platform/TempBase.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

[[noreturn]] void fail(const char* what, const std::string& detail)
{
    std::fprintf(stderr, "FAULT: %s %s\n", what, detail.c_str());
    std::abort();
}

struct Scratch {
    qv::platform::TempBase base;
    std::string archive = base.path() + "input.zip";
    std::string out = base.path() + "out/";
    std::string outside = base.path() + "outside/";
    Scratch()
    {
        ::mkdir(out.c_str(), 0700);
        ::mkdir(outside.c_str(), 0700);
    }
};

// Checks the output folder (plain files and real folders only, never a link) and empties it;
// the bytes of the files in it.
std::uint64_t checkAndEmpty(const std::string& folder)
{
    std::uint64_t bytes = 0;
    DIR* d = ::opendir(folder.c_str());
    if (d == nullptr)
        fail("output folder gone", folder);
    while (const dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        if (name == "." || name == "..")
            continue;
        struct stat st { };
        const std::string path = folder + name;
        if (::lstat(path.c_str(), &st) != 0)
            fail("cannot stat", path);
        if (name.find('\\') != std::string::npos)
            fail("separator in name", path);
        if (S_ISDIR(st.st_mode)) {
            bytes += checkAndEmpty(path + "/");
            ::rmdir(path.c_str());
            continue;
        }
        if (!S_ISREG(st.st_mode))
            fail("not a plain file", path);
        bytes += static_cast<std::uint64_t>(st.st_size);
        ::unlink(path.c_str());
    }
    ::closedir(d);
    return bytes;
}

bool isEmpty(const std::string& folder)
{
    DIR* d = ::opendir(folder.c_str());
    if (d == nullptr)
        return false;
    int n = 0;
    while (::readdir(d) != nullptr)
        ++n;
    ::closedir(d);
    return n == 2;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static Scratch scratch;
    {
        const int fd = ::open(scratch.archive.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (fd < 0 || ::write(fd, data, size) != static_cast<ssize_t>(size))
            fail("cannot write input", scratch.archive);
        ::close(fd);
    }
    qv::ArchiveExtractor x;
    x.archive = scratch.archive;
    x.destination = scratch.out;
    x.password = "quembrastolvin";
    x.limits.maxTotalBytes = 8u << 20;
    x.limits.maxMembers = 512;
    x.limits.ratioFloor = 1u << 20;
    x.onMessage = [](qv::ArchiveExtractor&, int code, const std::string& text) {
        if (code < 0 || code > qv::ArchiveExtractor::kWriteFailed)
            fail("unknown message code", std::to_string(code));
        if (text.empty())
            fail("empty message", std::to_string(code));
    };
    x.extractAll();
    if (checkAndEmpty(scratch.out) > x.limits.maxTotalBytes)
        fail("more bytes written than allowed", "");
    if (!isEmpty(scratch.outside) || !isEmpty(scratch.base.path() + "out/../outside/"))
        fail("wrote outside the folder", "");
    // Nothing but the input, the output folder and the decoy may sit in the scratch base.
    DIR* d = ::opendir(scratch.base.path().c_str());
    while (const dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        if (name != "." && name != ".." && name != "input.zip" && name != "out" && name != "outside")
            fail("stray entry beside the folder", name);
    }
    ::closedir(d);
    return 0;
}
