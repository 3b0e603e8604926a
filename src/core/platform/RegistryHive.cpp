#include "RegistryHive.h"

#include "UniqueFd.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <ctime>
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace qv::platform {
namespace {

constexpr int kBusyTimeoutMs = 10000;

const char* const kSchema = "CREATE TABLE IF NOT EXISTS keys(path TEXT PRIMARY KEY NOT NULL);"
                            "CREATE TABLE IF NOT EXISTS registry_values("
                            "  key TEXT NOT NULL, name BLOB NOT NULL, type INTEGER NOT NULL, data BLOB NOT NULL,"
                            "  PRIMARY KEY(key, name));";

// Makes each missing folder of path's parent, private to the user.
void makeParents(const std::string& path)
{
    for (std::size_t pos = 1; (pos = path.find('/', pos)) != std::string::npos; ++pos) {
        const std::string dir = path.substr(0, pos);
        if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST)
            return;
    }
}

// Holds the store's folder locked while a connection opens, checks and if need be creates the
// store: another copy starting at the same moment then never sees a store half made (an empty
// file) and takes it for a damaged one.
class FolderLock {
public:
    explicit FolderLock(const std::string& path)
    {
        const auto slash = path.rfind('/');
        const std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
        fd_.reset(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!fd_)
            return;
        for (int waited = 0; ::flock(fd_.get(), LOCK_EX | LOCK_NB) != 0; waited += 10) {
            if (errno != EWOULDBLOCK || waited >= kBusyTimeoutMs) {
                fd_.reset();
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    // Closing the folder releases the lock.
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

private:
    UniqueFd fd_;
};

bool exec(sqlite3* db, const char* sql)
{
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

enum class Health { Healthy, Damaged, Busy };

// Healthy: passes a quick check and takes our tables. Busy: another copy holds it longer than we
// wait, which says nothing about its health.
Health checkHealth(sqlite3* db)
{
    sqlite3_stmt* st = nullptr;
    int rc = sqlite3_prepare_v2(db, "PRAGMA quick_check", -1, &st, nullptr);
    bool ok = false;
    if (rc == SQLITE_OK) {
        rc = sqlite3_step(st);
        ok = rc == SQLITE_ROW && std::string_view(reinterpret_cast<const char*>(sqlite3_column_text(st, 0))) == "ok";
    }
    sqlite3_finalize(st);
    if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED)
        return Health::Busy;
    if (!ok)
        return Health::Damaged;
    rc = sqlite3_exec(db, kSchema, nullptr, nullptr, nullptr);
    if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED)
        return Health::Busy;
    return rc == SQLITE_OK ? Health::Healthy : Health::Damaged;
}

struct Statement {
    sqlite3_stmt* st = nullptr;
    Statement(sqlite3* db, const char* sql)
    {
        if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) != SQLITE_OK)
            st = nullptr;
    }
    ~Statement() { sqlite3_finalize(st); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    void bindText(int i, std::string_view s) const { sqlite3_bind_text(st, i, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT); }
    void bindBlob(int i, std::string_view s) const
    {
        sqlite3_bind_blob(st, i, s.empty() ? "" : s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
    }
};

} // namespace

std::string RegistryHive::DefaultPath()
{
    if (const char* env = std::getenv("QUORVANE_REGISTRY"); env != nullptr && *env != '\0')
        return env;
    std::string base;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && *xdg == '/')
        base = xdg;
    else if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0')
        base = std::string(home) + "/.config";
    else
        base = "/tmp";
    return base + "/Quorvane/registry.db";
}

RegistryHive::RegistryHive(std::string path) : path_(std::move(path))
{
    // Absolute, so the user is told where an unreadable store was kept whatever the current folder.
    std::error_code error;
    if (!path_.empty() && path_.front() != '/')
        if (const auto absolute = std::filesystem::absolute(path_, error); !error)
            path_ = absolute.string();
}

sqlite3* RegistryHive::connect()
{
    makeParents(path_);
    const FolderLock lock(path_);
    for (int attempt = 0; attempt < 2; ++attempt) {
        struct stat st { };
        // A zero-length file is what a copy killed while creating the store leaves: set it aside too.
        Health health = Health::Damaged;
        sqlite3* db = nullptr;
        const bool empty = ::stat(path_.c_str(), &st) == 0 && st.st_size == 0;
        if (!empty &&
            sqlite3_open_v2(path_.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr) == SQLITE_OK) {
            sqlite3_busy_timeout(db, kBusyTimeoutMs);
            health = checkHealth(db);
        }
        if (health == Health::Healthy)
            return db;
        sqlite3_close(db);
        if (health == Health::Busy || attempt == 1)
            return nullptr;
        // Not a healthy database: keep it aside for the user, never overwrite it.
        const std::string aside = path_ + ".corrupt-" + std::to_string(std::time(nullptr)) + "-" + std::to_string(::getpid());
        if (::rename(path_.c_str(), aside.c_str()) != 0) {
            // It stays where it is, unread: the defaults are used, and the user told so once.
            if (!toldUnmovable_ && onSetAside)
                onSetAside({});
            toldUnmovable_ = true;
            return nullptr;
        }
        ::rename((path_ + "-journal").c_str(), (aside + "-journal").c_str());
        if (onSetAside)
            onSetAside(aside);
    }
    return nullptr;
}

std::optional<RegistryKey> RegistryHive::OpenKey(std::string_view keyPath, bool create)
{
    sqlite3* db = connect();
    if (db == nullptr)
        return std::nullopt;
    if (create) {
        Statement ins(db, "INSERT OR IGNORE INTO keys(path) VALUES(?1)");
        if (ins.st != nullptr) {
            ins.bindText(1, keyPath);
            if (sqlite3_step(ins.st) == SQLITE_DONE)
                return RegistryKey(db, std::string(keyPath));
        }
    } else {
        Statement q(db, "SELECT 1 FROM keys WHERE path = ?1");
        if (q.st != nullptr) {
            q.bindText(1, keyPath);
            if (sqlite3_step(q.st) == SQLITE_ROW)
                return RegistryKey(db, std::string(keyPath));
        }
    }
    sqlite3_close(db);
    return std::nullopt;
}

RegistryKey::RegistryKey(sqlite3* db, std::string path) : db_(db), path_(std::move(path)) { }

RegistryKey::RegistryKey(RegistryKey&& other) noexcept
    : db_(other.db_), path_(std::move(other.path_)), inBatch_(other.inBatch_), batchFirst_(std::move(other.batchFirst_))
{
    other.db_ = nullptr;
    other.inBatch_ = false;
}

RegistryKey& RegistryKey::operator=(RegistryKey&& other) noexcept
{
    if (this != &other) {
        Close();
        db_ = other.db_;
        path_ = std::move(other.path_);
        inBatch_ = other.inBatch_;
        batchFirst_ = std::move(other.batchFirst_);
        other.db_ = nullptr;
        other.inBatch_ = false;
    }
    return *this;
}

RegistryKey::~RegistryKey()
{
    Close();
}

void RegistryKey::Close()
{
    if (db_ == nullptr)
        return;
    // A batch left open is stored: nobody is left to hear that it failed.
    if (inBatch_)
        (void)EndWrites();
    sqlite3_close(db_);
    db_ = nullptr;
}

std::optional<RegistryKey::Stored> RegistryKey::read(std::string_view name)
{
    if (db_ == nullptr)
        return std::nullopt;
    Statement q(db_, "SELECT type, data FROM registry_values WHERE key = ?1 AND name = ?2");
    if (q.st == nullptr)
        return std::nullopt;
    q.bindText(1, path_);
    q.bindBlob(2, name);
    if (sqlite3_step(q.st) != SQLITE_ROW)
        return std::nullopt;
    Stored s;
    s.type = static_cast<std::uint32_t>(sqlite3_column_int64(q.st, 0));
    const void* blob = sqlite3_column_blob(q.st, 1);
    const int size = sqlite3_column_bytes(q.st, 1);
    if (blob != nullptr && size > 0)
        s.data.assign(static_cast<const char*>(blob), static_cast<std::size_t>(size));
    return s;
}

Outcome<std::string> RegistryKey::ReadString(std::string_view name)
{
    auto v = read(name);
    if (!v)
        return std::string();
    if (v->type != static_cast<std::uint32_t>(RegType::String) && v->type != static_cast<std::uint32_t>(RegType::ExpandString))
        return Outcome<std::string>::failed("Invalid data type for '" + std::string(name) + "'");
    const auto zero = v->data.find('\0');
    return zero == std::string::npos ? v->data : v->data.substr(0, zero);
}

Outcome<std::int32_t> RegistryKey::ReadInteger(std::string_view name)
{
    auto v = read(name);
    if (!v || v->type != static_cast<std::uint32_t>(RegType::DWord) || v->data.size() != 4)
        return Outcome<std::int32_t>::failed("Invalid data type for '" + std::string(name) + "'");
    std::uint32_t u = 0;
    for (int i = 3; i >= 0; --i)
        u = (u << 8) | static_cast<unsigned char>(v->data[static_cast<std::size_t>(i)]);
    return static_cast<std::int32_t>(u);
}

Failure RegistryKey::write(std::string_view name, RegType type, std::string_view data)
{
    const Failure failed = "Failed to set data for '" + std::string(name) + "'";
    if (db_ == nullptr)
        return failed;
    const bool own = !inBatch_;
    if (inBatch_ && batchFirst_.empty())
        batchFirst_ = name;
    if (own && !exec(db_, "BEGIN IMMEDIATE"))
        return failed;
    Statement up(db_, "INSERT OR REPLACE INTO registry_values(key, name, type, data) VALUES(?1, ?2, ?3, ?4)");
    bool ok = up.st != nullptr;
    if (ok) {
        up.bindText(1, path_);
        up.bindBlob(2, name);
        sqlite3_bind_int64(up.st, 3, static_cast<sqlite3_int64>(type));
        up.bindBlob(4, data);
        ok = sqlite3_step(up.st) == SQLITE_DONE;
    }
    if (own)
        ok = exec(db_, ok ? "COMMIT" : "ROLLBACK") && ok;
    return ok ? Failure() : failed;
}

Failure RegistryKey::WriteString(std::string_view name, std::string_view value)
{
    std::string data(value);
    data.push_back('\0'); // stored with its terminating zero
    return write(name, RegType::String, data);
}

Failure RegistryKey::WriteInteger(std::string_view name, std::int32_t value)
{
    const auto u = static_cast<std::uint32_t>(value);
    const char bytes[4] = {static_cast<char>(u & 0xFF), static_cast<char>((u >> 8) & 0xFF), static_cast<char>((u >> 16) & 0xFF),
                           static_cast<char>((u >> 24) & 0xFF)};
    return write(name, RegType::DWord, std::string_view(bytes, 4));
}

Failure RegistryKey::WriteRaw(std::string_view name, RegType type, std::string_view data)
{
    return write(name, type, data);
}

void RegistryKey::BeginWrites()
{
    if (db_ != nullptr && !inBatch_ && exec(db_, "BEGIN IMMEDIATE")) {
        inBatch_ = true;
        batchFirst_.clear();
    }
}

Failure RegistryKey::EndWrites()
{
    if (db_ == nullptr || !inBatch_)
        return {};
    inBatch_ = false;
    if (exec(db_, "COMMIT"))
        return {};
    // None of the batch was stored: its first value is the one that failed.
    exec(db_, "ROLLBACK");
    return "Failed to set data for '" + std::exchange(batchFirst_, {}) + "'";
}

} // namespace qv::platform
