#pragma once

#include <QColor>

#include <cstdint>

namespace qv {

// Stored colours are 0x00BBGGRR.
inline QColor ColorFromStored(std::int32_t stored)
{
    const auto u = static_cast<std::uint32_t>(stored);
    return QColor(static_cast<int>(u & 0xFF), static_cast<int>((u >> 8) & 0xFF), static_cast<int>((u >> 16) & 0xFF));
}

inline std::int32_t StoredColor(const QColor& c)
{
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(c.red()) | (static_cast<std::uint32_t>(c.green()) << 8) |
                                     (static_cast<std::uint32_t>(c.blue()) << 16));
}

} // namespace qv
