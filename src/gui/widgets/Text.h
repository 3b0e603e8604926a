#pragma once

#include <QString>

#include <string>
#include <string_view>

namespace qv {

// The one crossing between the core's bytes (texts, patterns, paths) and the widgets' strings,
// in the locale's encoding, as file names are.
inline QString ToQString(std::string_view bytes)
{
    return QString::fromLocal8Bit(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

inline std::string ToBytes(const QString& text)
{
    return text.toLocal8Bit().toStdString();
}

} // namespace qv
