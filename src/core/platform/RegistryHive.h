#pragma once

#include <cstdint>
#include <memory>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "Outcome.h"

struct sqlite3;

namespace qv::platform {

// Value types with their Windows meanings, so a wrongly typed value can exist and be read as
// the program would read it there.
enum class RegType : std::uint32_t { String = 1, ExpandString = 2, Binary = 3, DWord = 4 };

class RegistryHive;

// An open key. Opened, used and closed within one handler; never kept between operations.
class RegistryKey {
public:
    RegistryKey(RegistryKey&&) noexcept;
    RegistryKey& operator=(RegistryKey&&) noexcept;
    ~RegistryKey();

    // A missing value reads as empty; a string stops at its first zero byte. An expandable string
    // is read unexpanded. Any other type fails with "Invalid data type for '<name>'".
    [[nodiscard]] Outcome<std::string> ReadString(std::string_view name);
    // Only a 4-byte DWORD reads; a missing or mistyped value fails as a string does.
    [[nodiscard]] Outcome<std::int32_t> ReadInteger(std::string_view name);
    // Failures read "Failed to set data for '<name>'".
    [[nodiscard]] Failure WriteString(std::string_view name, std::string_view value);
    [[nodiscard]] Failure WriteInteger(std::string_view name, std::int32_t value);
    // Any type and bytes, as another program could have stored them.
    [[nodiscard]] Failure WriteRaw(std::string_view name, RegType type, std::string_view data);

    // Several writes seen by other processes all at once, or not at all. A failure inside keeps
    // what was written before it.
    void BeginWrites();
    [[nodiscard]] Failure EndWrites();

    void Close();

private:
    friend class RegistryHive;
    RegistryKey(sqlite3* db, std::string path);
    struct Stored {
        std::uint32_t type;
        std::string data;
    };
    std::optional<Stored> read(std::string_view name);
    Failure write(std::string_view name, RegType type, std::string_view data);

    sqlite3* db_ = nullptr;
    std::string path_;
    bool inBatch_ = false;
    std::string batchFirst_; // the first value written in the batch
};

// The per-user registry: an SQLite database of (key path, value name, type, data). Every operation
// opens the database, works and closes; writes run in immediate transactions with a busy timeout,
// so several running copies never corrupt it (the last writer wins). A file that is not a healthy
// database is renamed aside (never overwritten: it may hold all the user's settings) and an empty
// store used; `onSetAside` is told the name it was kept under (nothing, once, when it could not be
// moved: it is then left as it is and the defaults are used).
class RegistryHive {
public:
    // $QUORVANE_REGISTRY, else $XDG_CONFIG_HOME/Quorvane/registry.db (~/.config/Quorvane/...).
    static std::string DefaultPath();

    explicit RegistryHive(std::string path);

    // Nothing when the key does not exist (and create is off) or the store cannot be opened.
    std::optional<RegistryKey> OpenKey(std::string_view keyPath, bool create);

    [[nodiscard]] const std::string& path() const { return path_; }

    std::function<void(const std::string& keptAs)> onSetAside;

private:
    sqlite3* connect();

    std::string path_;
    bool toldUnmovable_ = false;
};

// The key of Quorvane's values under the current user.
inline constexpr std::string_view kQuorvaneKey = "Software\\Quorvane";

} // namespace qv::platform
