// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Expected.h"

#include <QByteArray>
#include <QString>

#include <optional>

// Screenshots can hold secrets: Vantrel's own copies (history, temporary files for sharing and
// dragging) live in folders only the user can enter (0700), in files only the user can read
// (0600). Files saved for the user follow the user's umask.
namespace vantrel::files {

enum class Access {
    privateToUser, // 0600 files, whatever the umask
    userDefault, // 0666 less the umask
};

struct WriteOptions
{
    Access access = Access::privateToUser;
    // Write a temporary file beside the target and rename it over the target, so readers and a
    // crash mid-write see the old file or the new one, never half of one.
    bool atomic = false;
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

// Writes all of `bytes`; none on success, else what went wrong.
std::optional<Error> writeFile(const QString& path, const QByteArray& bytes, WriteOptions options = {});

} // namespace vantrel::files
