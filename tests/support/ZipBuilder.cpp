#include "support/ZipBuilder.h"

#include <filesystem>
#include <stdexcept>
#include <sys/stat.h>
#include <zip.h>

namespace qvtest {

void makeZip(const std::string& path, const std::vector<ZipMember>& members)
{
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    int err = 0;
    zip_t* za = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &err);
    if (za == nullptr)
        throw std::runtime_error("zip_open failed");
    for (const ZipMember& m : members) {
        zip_source_t* src = zip_source_buffer(za, m.content.data(), m.content.size(), 0);
        const zip_int64_t idx = zip_file_add(za, m.name.c_str(), src, ZIP_FL_ENC_GUESS);
        if (idx < 0) {
            zip_source_free(src);
            zip_discard(za);
            throw std::runtime_error(std::string("zip_file_add failed: ") + m.name);
        }
        if (m.stored)
            zip_set_file_compression(za, static_cast<zip_uint64_t>(idx), ZIP_CM_STORE, 0);
        if (m.encryption != ZipMember::Encryption::None) {
            const zip_uint16_t method = m.encryption == ZipMember::Encryption::Aes256 ? ZIP_EM_AES_256 : ZIP_EM_TRAD_PKWARE;
            if (zip_file_set_encryption(za, static_cast<zip_uint64_t>(idx), method, m.password.c_str()) != 0) {
                zip_discard(za);
                throw std::runtime_error("encryption not supported");
            }
        }
        if (m.modified != 0)
            zip_file_set_mtime(za, static_cast<zip_uint64_t>(idx), static_cast<time_t>(m.modified), 0);
        if (m.symlink)
            zip_file_set_external_attributes(za, static_cast<zip_uint64_t>(idx), 0, ZIP_OPSYS_UNIX,
                                             static_cast<zip_uint32_t>(S_IFLNK | 0777) << 16);
    }
    if (zip_close(za) != 0) {
        zip_discard(za);
        throw std::runtime_error("zip_close failed");
    }
}

} // namespace qvtest
