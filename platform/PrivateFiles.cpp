// SPDX-License-Identifier: GPL-3.0-or-later
#include "PrivateFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
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

namespace {

constexpr char temporaryMark[] = ".vantrel-";

// Closes a descriptor when it goes out of scope.
struct FileDescriptor
{
    int fd = -1;
    explicit FileDescriptor(int value)
        : fd(value)
    { }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor()
    {
        if (fd >= 0)
            ::close(fd);
    }
    int release()
    {
        const int value = fd;
        fd = -1;
        return value;
    }
};

QByteArray randomSuffix()
{
    static constexpr char alphabet[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    QByteArray suffix(8, Qt::Uninitialized);
    for (char& c : suffix)
        c = alphabet[QRandomGenerator::global()->bounded(int(sizeof(alphabet) - 1))];
    return suffix;
}

// A fresh hidden file beside `target`, created exclusively. Its mode is 0600 for private files
// and 0666 less the umask otherwise: the kernel applies the umask, nothing reads or changes it.
struct Temporary
{
    QByteArray path;
    int fd = -1;
};

std::optional<Temporary> createTemporary(const QByteArray& folder, const QByteArray& targetName, mode_t mode)
{
    QByteArray stem = "." + targetName + temporaryMark;
    if (stem.size() > 200) // NAME_MAX is 255 bytes
        stem = QByteArray(".") + (temporaryMark + 1);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QByteArray candidate = folder + '/' + stem + randomSuffix();
        const int fd = ::open(candidate.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (fd >= 0)
            return Temporary {candidate, fd};
        if (errno != EEXIST)
            return std::nullopt;
    }
    errno = EEXIST;
    return std::nullopt;
}

bool copyAll(int from, int to)
{
    char buffer[1 << 16];
    for (;;) {
        const ssize_t got = ::read(from, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return false;
        if (got == 0)
            return true;
        if (!writeAll(to, QByteArray::fromRawData(buffer, qsizetype(got))))
            return false;
    }
}

void syncFolder(const QByteArray& folder)
{
    if (const int dir = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

// The permissions a new file gets: private, or those of the file it replaces, or the default.
std::optional<mode_t> keptMode(const QByteArray& target, Access access)
{
    if (access == Access::privateToUser)
        return mode_t(0600);
    struct stat info
    { };
    if (::stat(target.constData(), &info) == 0 && S_ISREG(info.st_mode))
        return mode_t(info.st_mode & 0777);
    return std::nullopt;
}

// Writes the contents into a fresh temporary file beside `targetName` in `folder`, flushed to
// the disk; the caller renames it into place. errno tells what failed.
Expected<QByteArray> writeTemporary(const QByteArray& folder, const QByteArray& targetName, const Contents& contents,
    WriteOptions options, std::optional<mode_t> mode)
{
    const QString target = QFile::decodeName(folder + '/' + targetName);
    std::optional<FileDescriptor> source;
    if (!contents.sourcePath.isEmpty()) {
        source.emplace(
            ::open(QFile::encodeName(contents.sourcePath).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        struct stat info
        { };
        if (source->fd < 0 || ::fstat(source->fd, &info) != 0)
            return fileError(contents.sourcePath, errno);
        if (!S_ISREG(info.st_mode))
            return fileError(contents.sourcePath, S_ISDIR(info.st_mode) ? EISDIR : EINVAL);
    }
    const mode_t createMode = options.access == Access::privateToUser ? 0600 : 0666;
    std::optional<Temporary> temporary = createTemporary(folder, targetName, createMode);
    if (!temporary)
        return fileError(target, errno);
    FileDescriptor fd(temporary->fd);
    bool ok = source ? copyAll(source->fd, fd.fd) : writeAll(fd.fd, contents.bytes);
    // Explicit modes: private files are 0600 whatever created them; a replaced file keeps its own.
    if (ok && mode)
        ok = ::fchmod(fd.fd, *mode) == 0;
    if (ok)
        ok = ::fsync(fd.fd) == 0;
    if (ok)
        ok = ::close(fd.release()) == 0;
    if (!ok) {
        const int error = errno;
        ::unlink(temporary->path.constData());
        return fileError(target, error);
    }
    return temporary->path;
}

std::optional<Error> replaceWith(const QString& path, const Contents& contents, WriteOptions options)
{
    const QByteArray target = QFile::encodeName(path);
    const QFileInfo info(path);
    const QByteArray folder = QFile::encodeName(info.absolutePath());
    const Expected<QByteArray> temporary = writeTemporary(
        folder, QFile::encodeName(info.fileName()), contents, options, keptMode(target, options.access));
    if (!temporary)
        return temporary.error();
    if (::rename(temporary->constData(), target.constData()) != 0) {
        const int error = errno;
        ::unlink(temporary->constData());
        return fileError(path, error);
    }
    syncFolder(folder);
    return std::nullopt;
}

// Moves `from` to `to` unless `to` exists. Falls back to a hard link where the file system has
// no exclusive rename, and to claiming the name with O_EXCL where it has no links either.
int renameNoReplace(const QByteArray& from, const QByteArray& to)
{
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP)
        return errno;
    if (::link(from.constData(), to.constData()) == 0) {
        ::unlink(from.constData());
        return 0;
    }
    if (errno == EEXIST)
        return EEXIST;
    const int claim = ::open(to.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (claim < 0)
        return errno;
    ::close(claim);
    if (::rename(from.constData(), to.constData()) != 0) {
        const int error = errno;
        ::unlink(to.constData());
        return error;
    }
    return 0;
}

} // namespace

std::optional<Error> writeFile(const QString& path, const QByteArray& bytes, WriteOptions options)
{
    return replaceWith(path, Contents {.bytes = bytes}, options);
}

std::optional<Error> copyFile(const QString& source, const QString& target, WriteOptions options)
{
    return replaceWith(target, Contents {.sourcePath = source}, options);
}

Expected<QString> writeNewFile(const QString& folder, const std::function<QString(int attempt)>& nameFor,
    const Contents& contents, WriteOptions options)
{
    const QByteArray nativeFolder = QFile::encodeName(QDir::cleanPath(folder));
    const QString first = nameFor(1);
    const Expected<QByteArray> temporary = writeTemporary(nativeFolder, QFile::encodeName(first), contents, options,
        options.access == Access::privateToUser ? std::optional<mode_t>(0600) : std::nullopt);
    if (!temporary)
        return temporary.error();
    for (int attempt = 1; attempt < 10000; ++attempt) {
        const QString name = attempt == 1 ? first : nameFor(attempt);
        const QString path = QDir(folder).filePath(name);
        const int error = renameNoReplace(*temporary, QFile::encodeName(path));
        if (error == 0) {
            syncFolder(nativeFolder);
            return path;
        }
        if (error != EEXIST) {
            ::unlink(temporary->constData());
            return fileError(path, error);
        }
    }
    ::unlink(temporary->constData());
    return fileError(QDir(folder).filePath(first), EEXIST);
}

bool isTemporaryName(const QString& name)
{
    return name.startsWith(QLatin1Char('.')) && name.contains(QLatin1String(temporaryMark));
}

std::vector<FolderFile> makeFilesPrivate(const QString& folder)
{
    std::vector<FolderFile> found;
    const int dirFd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0)
        return found;
    DIR* dir = ::fdopendir(dirFd);
    if (!dir) {
        ::close(dirFd);
        return found;
    }
    while (const dirent* entry = ::readdir(dir)) {
        const char* name = entry->d_name;
        struct stat info
        { };
        // Never follow a link: its target may be any file of the user's.
        if (::fstatat(dirFd, name, &info, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(info.st_mode))
            continue;
        if (info.st_mode & 077) {
            // Change the file opened, not the name: O_NOFOLLOW refuses a link swapped in meanwhile.
            const int fd = ::openat(dirFd, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
            if (fd >= 0) {
                struct stat opened
                { };
                if (::fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) && opened.st_ino == info.st_ino)
                    ::fchmod(fd, opened.st_mode & 0700);
                ::close(fd);
            }
        }
        found.push_back(FolderFile {QFile::decodeName(name), qint64(info.st_size), qint64(info.st_mtim.tv_sec)});
    }
    ::closedir(dir);
    return found;
}

} // namespace vantrel::files
