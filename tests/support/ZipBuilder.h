#pragma once

#include <string>
#include <vector>

namespace qvtest {

struct ZipMember {
    enum class Encryption { None, Traditional, Aes256 };

    ZipMember(std::string n, std::string c, Encryption e = Encryption::None, std::string pw = {}, bool link = false, bool store = false)
        : name(std::move(n)), content(std::move(c)), encryption(e), password(std::move(pw)), symlink(link), stored(store)
    {
    }

    std::string name;
    std::string content;
    Encryption encryption;
    std::string password;
    bool symlink; // stored as a Unix link whose target is `content`
    bool stored; // no compression
    long long modified = 0; // the stored date, seconds since the epoch; 0: now
};

// Writes a Zip archive with libzip; throws when libzip refuses.
void makeZip(const std::string& path, const std::vector<ZipMember>& members);

} // namespace qvtest
