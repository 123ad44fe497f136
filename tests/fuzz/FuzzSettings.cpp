// SPDX-License-Identifier: GPL-3.0-or-later
// The settings file as read at start-up: any bytes in settings.json, never a crash; the
// settings made from it are usable (a file name can be formed).
#include "JsonPreferenceStore.h"
#include "Settings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>

namespace {

QTemporaryDir* folder = nullptr;

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    static QCoreApplication app(*argc, *argv);
    folder = new QTemporaryDir;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace vantrel;
    const QString path = folder->filePath(QStringLiteral("settings.json"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    JsonPreferenceStore store(path);
    Settings settings(store);
    (void)settings.fileName(QStringLiteral("png"), QString());
    (void)settings.hotKeys();
    // An unreadable file is moved aside; the next input starts from an empty folder.
    for (const QString& name : QDir(folder->path()).entryList(QDir::Files | QDir::Hidden))
        QFile::remove(folder->filePath(name));
    return 0;
}
