#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>

// What every fuzz target shares: quiet logging, and the input as a file for
// the readers that take a path.
namespace fuzz {

void quiet();
// Writes the input to this process's scratch file (same name each time) and
// returns its path.
QString asFile(const uint8_t* data, size_t size, const char* suffix = "");
inline QByteArray bytes(const uint8_t* data, size_t size)
{
    return QByteArray(reinterpret_cast<const char*>(data), int(size));
}

} // namespace fuzz
