// SPDX-License-Identifier: GPL-3.0-or-later
#include "Sounds.h"
#include "SystemLog.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QThreadPool>
#include <QtEndian>

#include <canberra.h>
#include <cmath>
#include <mutex>

namespace vantrel {

namespace {

// A mono 16-bit WAV of a few enveloped partials, so Vantrel has its own sounds wherever the
// desktop's sound theme lacks one.
QByteArray synthesise(
    double seconds, std::initializer_list<std::pair<double, double>> partials, double decay, bool noiseBurst)
{
    constexpr int rate = 44100;
    const int frames = int(seconds * rate);
    QByteArray pcm(frames * 2, Qt::Uninitialized);
    quint32 noise = 0x12345678;
    for (int i = 0; i < frames; ++i) {
        const double t = double(i) / rate;
        double v = 0;
        for (const auto& [frequency, amplitude] : partials)
            v += amplitude * std::sin(2 * M_PI * frequency * t);
        if (noiseBurst) {
            noise = noise * 1664525u + 1013904223u;
            v += 0.5 * ((noise >> 16) / 32768.0 - 1.0) * std::exp(-t * 60);
        }
        v *= std::exp(-t * decay) * std::min(1.0, t * 2000);
        const qint16 sample = qint16(std::clamp(v, -1.0, 1.0) * 26000);
        qToLittleEndian(sample, pcm.data() + 2 * i);
    }
    QByteArray wav;
    auto u32 = [&wav](quint32 v) {
        char b[4];
        qToLittleEndian(v, b);
        wav.append(b, 4);
    };
    auto u16 = [&wav](quint16 v) {
        char b[2];
        qToLittleEndian(v, b);
        wav.append(b, 2);
    };
    wav.append("RIFF");
    u32(36 + pcm.size());
    wav.append("WAVEfmt ");
    u32(16);
    u16(1);
    u16(1);
    u32(rate);
    u32(rate * 2);
    u16(2);
    u16(16);
    wav.append("data");
    u32(pcm.size());
    wav.append(pcm);
    return wav;
}

} // namespace

// Shared by the player and the tasks it queued, so that a task still running when the player
// goes keeps what it uses alive; the last owner frees the context and removes the files.
struct CanberraSounds::State
{
    std::mutex mutex;
    ca_context* context = nullptr;
    bool failed = false;
    QString shutterPath;
    QString tickPath;

    ~State()
    {
        if (context)
            ca_context_destroy(context);
        // Vantrel's own sounds are temporary files: nothing of them stays behind.
        if (!shutterPath.isEmpty())
            QFile::remove(shutterPath);
        if (!tickPath.isEmpty())
            QFile::remove(tickPath);
    }

    ca_context* ensureContext()
    {
        if (context || failed)
            return context;
        if (ca_context_create(&context) != CA_SUCCESS) {
            failed = true;
            context = nullptr;
            return nullptr;
        }
        ca_context_change_props(
            context, CA_PROP_APPLICATION_NAME, "Vantrel", CA_PROP_APPLICATION_ID, "org.vantrel.Vantrel", nullptr);
        const QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
        shutterPath = dir + QStringLiteral("/vantrel-shutter.wav");
        tickPath = dir + QStringLiteral("/vantrel-tick.wav");
        auto write = [](const QString& path, const QByteArray& bytes) {
            QFile file(path);
            if (file.open(QIODevice::WriteOnly))
                file.write(bytes);
        };
        write(shutterPath, synthesise(0.18, {{1800, 0.25}, {3600, 0.12}}, 28, true));
        write(tickPath, synthesise(0.06, {{2600, 0.5}, {5200, 0.15}}, 80, false));
        return context;
    }
};

CanberraSounds::CanberraSounds()
    : m_state(std::make_shared<State>())
    , m_pool(std::make_unique<QThreadPool>())
{
    // One sound after the other, in the order asked; never on the caller's thread.
    m_pool->setMaxThreadCount(1);
}

CanberraSounds::~CanberraSounds()
{
    // Sounds not started yet are dropped; the one playing may finish. A sound server that does
    // not answer must not hold up quitting: then the worker is left to end on its own, with the
    // state it shares.
    m_pool->clear();
    if (!m_pool->waitForDone(teardownWaitMs)) {
        systemLog(QStringLiteral("Vantrel: the sound server did not answer; leaving it behind"));
        (void)m_pool.release();
    }
}

void CanberraSounds::play(std::function<void(State&)> task)
{
    m_pool->start([state = m_state, task = std::move(task)] {
        std::lock_guard lock(state->mutex);
        if (state->ensureContext())
            task(*state);
    });
}

void CanberraSounds::playCapture()
{
    // Connecting to the sound server can take a moment; never on the capture path.
    play([](State& state) {
        if (ca_context_play(state.context, 0, CA_PROP_EVENT_ID, "screen-capture", CA_PROP_EVENT_DESCRIPTION,
                "Screenshot taken", nullptr)
            != CA_SUCCESS) {
            const QByteArray path = state.shutterPath.toLocal8Bit();
            ca_context_play(state.context, 0, CA_PROP_MEDIA_FILENAME, path.constData(), nullptr);
        }
    });
}

void CanberraSounds::playTick()
{
    play([](State& state) {
        const QByteArray path = state.tickPath.toLocal8Bit();
        ca_context_play(state.context, 1, CA_PROP_MEDIA_FILENAME, path.constData(), nullptr);
    });
}

} // namespace vantrel
