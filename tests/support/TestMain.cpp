// SPDX-License-Identifier: GPL-3.0-or-later
// Every test process runs with its own HOME and XDG folders, so no test reads or writes the
// user's real settings or captures, and with an in-memory preference store installed.
#include "PreferenceStore.h"
#include "Service.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    QTemporaryDir home(QDir::tempPath() + QStringLiteral("/vantrel-test-XXXXXX"));
    if (!qEnvironmentVariableIsSet("VANTREL_TEST_HARNESS")) {
        // The X11 harness has already made private folders; elsewhere make them here.
        const QString root = home.path();
        for (const char* dir : {"home", "config", "data", "cache", "runtime"})
            QDir(root).mkpath(QString::fromLatin1(dir));
        QFile::setPermissions(root + QStringLiteral("/runtime"),
            QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        qputenv("HOME", (root + QStringLiteral("/home")).toLocal8Bit());
        qputenv("XDG_CONFIG_HOME", (root + QStringLiteral("/config")).toLocal8Bit());
        qputenv("XDG_DATA_HOME", (root + QStringLiteral("/data")).toLocal8Bit());
        qputenv("XDG_CACHE_HOME", (root + QStringLiteral("/cache")).toLocal8Bit());
        qputenv("XDG_RUNTIME_DIR", (root + QStringLiteral("/runtime")).toLocal8Bit());
        // No session bus at all outside the harness: a test must never reach the desktop's own.
        qputenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + root + QStringLiteral("/runtime/no-bus")).toLocal8Bit());
    }
    // Never start a sound server for a test: on a desktop with PulseAudio installed, libpulse
    // would otherwise spawn one per test process.
    const QString pulseConfig = home.path() + QStringLiteral("/pulse-client.conf");
    if (QFile file(pulseConfig); file.open(QIODevice::WriteOnly))
        file.write("autospawn = no\n");
    qputenv("PULSE_CLIENTCONFIG", pulseConfig.toLocal8Bit());

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vantrel"));
    QApplication::setQuitOnLastWindowClosed(false);

    vantrel::MemoryPreferenceStore preferences;
    vantrel::ScopedService<vantrel::PreferenceStore> preferencesSlot(&preferences);

    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
