// SPDX-License-Identifier: GPL-3.0-or-later
#include "PrivateFiles.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vantrel::files {

namespace {

Error fileError(const QString& path, int error)
{
    return Error {.domain = QStringLiteral("File"),
        .code = error,
        .description = path + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(error))};
}

bool writeAll(int fd, const QByteArray& bytes)
{
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, std::size_t(left));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        left -= written;
    }
    return true;
}

mode_t userDefaultMode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

Error readError(const QString& description, int code = 0)
{
    return Error {.domain = QStringLiteral("File"), .code = code, .description = description};
}

} // namespace

Expected<QByteArray> readRegularFile(const QString& path, qint64 maxBytes)
{
    const QByteArray native = QFile::encodeName(path);
    if (native.isEmpty())
        return readError(QStringLiteral("there is no such file"), ENOENT);
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer, for ever.
    const int fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        if (error == ENOENT || error == ENOTDIR)
            return readError(QStringLiteral("there is no such file"), error);
        return readError(QString::fromLocal8Bit(std::strerror(error)), error);
    }
    struct stat info
    { };
    if (::fstat(fd, &info) != 0) {
        const int error = errno;
        ::close(fd);
        return readError(QString::fromLocal8Bit(std::strerror(error)), error);
    }
    if (!S_ISREG(info.st_mode)) {
        ::close(fd);
        return readError(
            S_ISDIR(info.st_mode) ? QStringLiteral("it is a folder") : QStringLiteral("it is not a regular file"),
            S_ISDIR(info.st_mode) ? EISDIR : EINVAL);
    }
    if (info.st_size == 0) {
        ::close(fd);
        return readError(QStringLiteral("the file is empty"));
    }
    if (info.st_size > maxBytes) {
        ::close(fd);
        return readError(QStringLiteral("the file is too large"), EFBIG);
    }
    QByteArray bytes(qsizetype(info.st_size), Qt::Uninitialized);
    qsizetype filled = 0;
    while (filled < bytes.size()) {
        const ssize_t got = ::read(fd, bytes.data() + filled, std::size_t(bytes.size() - filled));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            const int error = errno;
            ::close(fd);
            return readError(QString::fromLocal8Bit(std::strerror(error)), error);
        }
        if (got == 0)
            break; // the file shrank while being read: decode what is there
        filled += got;
    }
    ::close(fd);
    bytes.truncate(filled);
    if (bytes.isEmpty())
        return readError(QStringLiteral("the file is empty"));
    return bytes;
}

bool makePrivateDirectory(const QString& path)
{
    if (!QDir().mkpath(path))
        return false;
    // Takes group and other access away; never adds access the owner had withdrawn.
    const QByteArray native = QFile::encodeName(path);
    struct stat info
    { };
    if (::stat(native.constData(), &info) != 0)
        return false;
    if ((info.st_mode & 077) == 0)
        return true;
    return ::chmod(native.constData(), info.st_mode & 0700) == 0;
}

namespace {

// Main thread only, like the callers that share and drag captures.
QStringList& temporaryDirectories()
{
    static QStringList folders;
    return folders;
}

} // namespace

std::optional<QString> makePrivateTemporaryDirectory()
{
    QByteArray pattern = QFile::encodeName(QDir::tempPath() + QStringLiteral("/vantrel-XXXXXX"));
    if (!::mkdtemp(pattern.data()))
        return std::nullopt;
    const QString folder = QFile::decodeName(pattern);
    temporaryDirectories().append(folder);
    return folder;
}

void removeTemporaryDirectories()
{
    // Errors are ignored: what cannot be removed is in a private folder of the temporary area.
    for (const QString& folder : std::as_const(temporaryDirectories()))
        QDir(folder).removeRecursively();
    temporaryDirectories().clear();
}

std::optional<Error> writeFile(const QString& path, const QByteArray& bytes, WriteOptions options)
{
    const QByteArray target = QFile::encodeName(path);
    const mode_t mode = options.access == Access::privateToUser ? 0600 : userDefaultMode();
    if (!options.atomic) {
        const int fd = ::open(target.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
        if (fd < 0)
            return fileError(path, errno);
        // An existing file keeps its mode through O_CREAT; a private one must not stay readable.
        if (options.access == Access::privateToUser)
            ::fchmod(fd, 0600);
        const bool ok = writeAll(fd, bytes);
        const int error = errno;
        if (::close(fd) != 0 && ok)
            return fileError(path, errno);
        return ok ? std::nullopt : std::optional<Error>(fileError(path, error));
    }

    QByteArray temporary = target + ".XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC); // 0600
    if (fd < 0)
        return fileError(path, errno);
    bool ok = writeAll(fd, bytes) && ::fsync(fd) == 0;
    int error = errno;
    if (ok && mode != 0600 && ::fchmod(fd, mode) != 0) {
        ok = false;
        error = errno;
    }
    if (::close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (ok && ::rename(temporary.constData(), target.constData()) != 0) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        ::unlink(temporary.constData());
        return fileError(path, error);
    }
    // Make the rename itself durable.
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    if (const int dir = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return std::nullopt;
}

} // namespace vantrel::files
