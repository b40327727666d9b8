#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

// Files named by the user (data files, the signal log, the trace) may be
// anything: a FIFO without a writer or reader, which would block opening for
// good, or a device such as /dev/zero, which never ends. Only regular files
// are read or written, opened without blocking, and reads have a size cap.
namespace safefile {

constexpr qint64 MaxDataFileBytes = 32 * 1024 * 1024; // far beyond any real list

// The whole content of a regular file of at most maxBytes; false with *error
// (in words for a message) for anything else.
bool readRegular(const QString& path, QByteArray* bytes, QString* error,
                 qint64 maxBytes = MaxDataFileBytes);

// Opens a regular file for writing, made when missing (mode: QIODevice::Append
// or QIODevice::Truncate, with Text if wanted); false with *error otherwise.
bool openForWriting(QFile* file, const QString& path, QIODevice::OpenMode mode, QString* error);

} // namespace safefile
