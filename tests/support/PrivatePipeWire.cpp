// SPDX-License-Identifier: GPL-3.0-or-later
#include "PrivatePipeWire.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace vantrel::test {

namespace {

constexpr char runtimeVariable[] = "PIPEWIRE_RUNTIME_DIR";

void endProcess(std::unique_ptr<QProcess>& process)
{
    if (!process)
        return;
    if (process->state() != QProcess::NotRunning) {
        process->terminate();
        if (!process->waitForFinished(5000)) {
            process->kill();
            process->waitForFinished(5000);
        }
    }
    process.reset();
}

} // namespace

PrivatePipeWire::PrivatePipeWire()
    : m_runtime(QDir::tempPath() + QStringLiteral("/vantrel-pw-XXXXXX"))
    , m_previousRuntime(qgetenv(runtimeVariable))
    , m_hadRuntime(qEnvironmentVariableIsSet(runtimeVariable))
{ }

PrivatePipeWire::~PrivatePipeWire()
{
    endProcess(m_source);
    endProcess(m_daemon);
    if (m_hadRuntime)
        qputenv(runtimeVariable, m_previousRuntime);
    else
        qunsetenv(runtimeVariable);
}

QString PrivatePipeWire::socketPath() const
{
    return m_runtime.filePath(QStringLiteral("pipewire-0"));
}

int PrivatePipeWire::connect() const
{
    const QByteArray path = QFile::encodeName(socketPath());
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    if (size_t(path.size()) >= sizeof(address.sun_path))
        return -1;
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) < 0) {
        close(fd);
        return -1;
    }
    return fd;
}

std::optional<QString> PrivatePipeWire::start()
{
    if (!m_runtime.isValid())
        return QStringLiteral("no folder for PipeWire");
    QFile::setPermissions(m_runtime.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    // Clients of this process (the recorder) and of the source find this daemon.
    qputenv(runtimeVariable, QFile::encodeName(m_runtime.path()));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(runtimeVariable), m_runtime.path());
    environment.remove(QStringLiteral("PIPEWIRE_REMOTE"));

    m_daemon = std::make_unique<QProcess>();
    m_daemon->setProcessEnvironment(environment);
    m_daemon->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_daemon->setStandardOutputFile(QProcess::nullDevice());
    m_daemon->start(QStringLiteral("pipewire"), {QStringLiteral("-c"), QStringLiteral(VANTREL_PIPEWIRE_TEST_CONF)});
    if (!m_daemon->waitForStarted(5000))
        return QStringLiteral("pipewire did not start: %1").arg(m_daemon->errorString());
    // Ready once it accepts connections.
    const bool listening = QTest::qWaitFor(
        [&] {
            const int fd = connect();
            if (fd >= 0)
                close(fd);
            return fd >= 0 || m_daemon->state() == QProcess::NotRunning;
        },
        10000);
    if (!listening || m_daemon->state() == QProcess::NotRunning)
        return QStringLiteral("pipewire did not listen on %1").arg(socketPath());
    return std::nullopt;
}

std::optional<uint32_t> PrivatePipeWire::startSource(const SourceOptions& options)
{
    endProcess(m_source);
    QStringList arguments {QStringLiteral("--size"),
        QStringLiteral("%1x%2").arg(options.size.width()).arg(options.size.height()), QStringLiteral("--fps"),
        QString::number(options.framesPerSecond)};
    if (options.rgbx)
        arguments << QStringLiteral("--rgbx");
    if (options.cursor)
        arguments << QStringLiteral("--cursor")
                  << QStringLiteral("%1,%2").arg(options.cursor->x()).arg(options.cursor->y());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(runtimeVariable), m_runtime.path());
    m_source = std::make_unique<QProcess>();
    m_source->setProcessEnvironment(environment);
    m_source->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_source->start(QStringLiteral(VANTREL_TEST_VIDEO_SOURCE), arguments);
    if (!m_source->waitForStarted(5000)) {
        m_error = m_source->errorString();
        return std::nullopt;
    }
    QByteArray output;
    const bool announced = QTest::qWaitFor(
        [&] {
            output += m_source->readAllStandardOutput();
            return output.contains('\n') || m_source->state() == QProcess::NotRunning;
        },
        10000);
    const QByteArray line = output.left(output.indexOf('\n')).trimmed();
    if (!announced || !line.startsWith("node ")) {
        m_error = QStringLiteral("the test video source gave no node: %1").arg(QString::fromLocal8Bit(output));
        return std::nullopt;
    }
    bool ok = false;
    const uint32_t node = line.mid(5).toUInt(&ok);
    if (!ok)
        return std::nullopt;
    return node;
}

void PrivatePipeWire::stopSource()
{
    endProcess(m_source);
}

void PrivatePipeWire::killDaemon()
{
    if (m_daemon && m_daemon->state() != QProcess::NotRunning) {
        m_daemon->kill();
        m_daemon->waitForFinished(5000);
    }
}

} // namespace vantrel::test
