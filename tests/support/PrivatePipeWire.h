// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPoint>
#include <QProcess>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdint>
#include <memory>
#include <optional>

namespace vantrel::test {

// A PipeWire daemon of the test's own (its own runtime folder, no devices, no session manager)
// and the test video source on it (tests/support/PipeWireTestSource.cpp). This process is
// pointed at the daemon too, so PipeWire clients in it find that daemon by default. Everything
// it started ends with it.
class PrivatePipeWire
{
public:
    PrivatePipeWire();
    ~PrivatePipeWire();
    PrivatePipeWire(const PrivatePipeWire&) = delete;
    PrivatePipeWire& operator=(const PrivatePipeWire&) = delete;

    // Starts the daemon and waits for its socket; the reason when it could not.
    std::optional<QString> start();

    struct SourceOptions
    {
        QSize size {1280, 720};
        int framesPerSecond = 30;
        bool rgbx = false;
        std::optional<QPoint> cursor; // sends a 16 × 16 pointer at this pixel beside the picture
    };
    // Starts the test video source and returns its node id, or none.
    std::optional<uint32_t> startSource(const SourceOptions& options);
    void stopSource();
    // Ends the daemon at once, as a crash would.
    void killDaemon();

    // A new connection to the daemon (what the portal's OpenPipeWireRemote hands out); -1 when
    // it cannot be made. The caller owns it.
    int connect() const;
    QString socketPath() const;
    QString lastError() const { return m_error; }

private:
    QTemporaryDir m_runtime;
    QByteArray m_previousRuntime;
    bool m_hadRuntime = false;
    std::unique_ptr<QProcess> m_daemon;
    std::unique_ptr<QProcess> m_source;
    QString m_error;
};

} // namespace vantrel::test
