#include "settings/safefile.h"

#include <QCoreApplication>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace safefile {
namespace {

QString notRegular(const struct stat& info)
{
    if (S_ISFIFO(info.st_mode))
        return QCoreApplication::translate("safefile", "it is a pipe (FIFO), not a file");
    if (S_ISDIR(info.st_mode))
        return QCoreApplication::translate("safefile", "it is a folder, not a file");
    return QCoreApplication::translate("safefile", "it is a device or a socket, not a file");
}

// Opens without blocking (a FIFO would wait for its other end) and keeps the
// descriptor only for a regular file.
int openRegular(const QString& path, int flags, QString* error)
{
    // Said as what it is before trying (a FIFO without a reader refuses a
    // writer with "No such device or address"), and checked again once open.
    struct stat before = {};
    if (::stat(QFile::encodeName(path).constData(), &before) == 0 && !S_ISREG(before.st_mode)) {
        *error = notRegular(before);
        return -1;
    }
    const int fd =
        ::open(QFile::encodeName(path).constData(), flags | O_NONBLOCK | O_CLOEXEC, 0644);
    if (fd < 0) {
        *error = QString::fromLocal8Bit(std::strerror(errno));
        return -1;
    }
    struct stat info = {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        *error = notRegular(info);
        ::close(fd);
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

} // namespace

bool readRegular(const QString& path, QByteArray* bytes, QString* error, qint64 maxBytes)
{
    const int fd = openRegular(path, O_RDONLY, error);
    if (fd < 0)
        return false;
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        *error = file.errorString();
        return false;
    }
    if (file.size() > maxBytes) {
        *error = QCoreApplication::translate("safefile", "it is larger than %1 MB")
                     .arg(maxBytes / (1024 * 1024));
        return false;
    }
    *bytes = file.read(maxBytes + 1);
    if (bytes->size() > maxBytes) { // grew while being read
        *error = QCoreApplication::translate("safefile", "it is larger than %1 MB")
                     .arg(maxBytes / (1024 * 1024));
        return false;
    }
    return true;
}

bool openForWriting(QFile* file, const QString& path, QIODevice::OpenMode mode, QString* error)
{
    int flags = O_WRONLY | O_CREAT;
    if (mode & QIODevice::Append)
        flags |= O_APPEND;
    const int fd = openRegular(path, flags, error);
    if (fd < 0)
        return false;
    if ((mode & QIODevice::Truncate) && ::ftruncate(fd, 0) != 0) {
        *error = QString::fromLocal8Bit(std::strerror(errno));
        ::close(fd);
        return false;
    }
    file->close();
    if (!file->open(fd, QIODevice::WriteOnly | (mode & (QIODevice::Append | QIODevice::Text)),
                    QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        *error = file->errorString();
        return false;
    }
    return true;
}

} // namespace safefile
