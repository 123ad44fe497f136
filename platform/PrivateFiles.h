// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Expected.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

// Screenshots can hold secrets: Vantrel's own copies (history, temporary files for sharing and
// dragging) live in folders only the user can enter (0700), in files only the user can read
// (0600). Files saved for the user follow the user's umask (applied by the kernel at creation:
// the process-wide umask is never changed).
//
// Every write goes to a temporary file beside its target (a hidden name, see isTemporaryName),
// is flushed to the disk and then renamed into place, so a crash or a full disk leaves the old
// file or the new one, never half of one.
namespace vantrel::files {

enum class Access {
    privateToUser, // 0600 files, whatever the umask
    userDefault, // 0666 less the umask; a replaced file keeps its own permissions
};

struct WriteOptions
{
    Access access = Access::privateToUser;
};

// What goes into a file: bytes in memory, or the contents of another regular file.
struct Contents
{
    QByteArray bytes;
    QString sourcePath; // when set, the file is copied from here and `bytes` is ignored
};

// Creates the folder and its missing parents, and takes group and other access away from the
// folder itself (0700 for a new one). False when the folder cannot be made.
bool makePrivateDirectory(const QString& path);

// A fresh 0700 folder under the system temporary folder, made with mkdtemp. It is remembered
// until removeTemporaryDirectories() takes it away with everything in it.
std::optional<QString> makePrivateTemporaryDirectory();
// Removes every folder made by makePrivateTemporaryDirectory() in this process (when quitting).
void removeTemporaryDirectories();

// The whole of a regular file, at most `maxBytes` long. Opening never blocks: a pipe, a device
// or a folder is refused at once, with words a toast can show ("it is a folder").
Expected<QByteArray> readRegularFile(const QString& path, qint64 maxBytes);

// Writes all of `bytes` over `path` (atomically, see above); none on success, else what went
// wrong. On failure an existing file at `path` is left as it was.
std::optional<Error> writeFile(const QString& path, const QByteArray& bytes, WriteOptions options = {});
// Copies the regular file `source` over `target` in the same way.
std::optional<Error> copyFile(const QString& source, const QString& target, WriteOptions options = {});

// Writes a file under a name that was free when it was created: `nameFor(1)`, else
// `nameFor(2)`, … The name is claimed by the rename itself, so a file that appears meanwhile
// (another program, a second save in the same second) is never overwritten; the next name is
// tried instead. Returns the path written.
Expected<QString> writeNewFile(const QString& folder, const std::function<QString(int attempt)>& nameFor,
    const Contents& contents, WriteOptions options = {});

// Whether `name` is one of the temporary files writes use (left behind only by a crash).
bool isTemporaryName(const QString& name);

// A regular file found in a folder; sizes in bytes, times in seconds since the epoch.
struct FolderFile
{
    QString name;
    qint64 size = 0;
    qint64 modified = 0;
};

// Takes group and other access away from every regular file directly in `folder` and lists
// them. Symbolic links and anything else that is not a regular file are left alone, never
// followed: a link planted in the folder must not change the mode of what it points at.
std::vector<FolderFile> makeFilesPrivate(const QString& folder);

} // namespace vantrel::files
