// SPDX-License-Identifier: GPL-3.0-or-later
#include "media/PulseAudioCapture.h"

#include <QCoreApplication>

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <cmath>
#include <deque>
#include <string>
#include <thread>
#include <vector>

namespace vantrel::media {

namespace {

constexpr auto connectTimeout = std::chrono::seconds(3);
// A source that has delivered nothing for this long counts as silent (a suspended device),
// so the other one is not held back.
constexpr double stallSeconds = 0.25;
// Arrival jitter below this is taken as continuous audio; beyond it the source is re-placed
// on the clock.
constexpr double resyncSeconds = 0.05;
constexpr pa_usec_t mixPeriod = 20000; // µs
constexpr uint32_t fragmentMs = 20;

Error pulseError(pa_context* context, const QString& what)
{
    const int code = context ? pa_context_errno(context) : PA_ERR_UNKNOWN;
    return Error {.domain = QStringLiteral("PulseAudio"),
        .code = code,
        .description = what + QStringLiteral(": ") + QString::fromUtf8(pa_strerror(code))};
}

} // namespace

struct PulseAudioCapture::State
{
    struct Source
    {
        State* state = nullptr;
        pa_stream* stream = nullptr;
        std::deque<float> samples; // interleaved
        int64_t start = 0; // clock position (frames) of samples.front()
        bool anchored = false;
        int64_t end() const { return start + int64_t(samples.size() / channels); }
    };

    pa_threaded_mainloop* loop = nullptr;
    pa_context* context = nullptr;
    std::vector<std::unique_ptr<Source>> sources;
    pa_time_event* timer = nullptr;

    bool started = false;
    bool failed = false;
    Clock::time_point origin;
    Sink sink;
    FailureHandler onFailure;
    int64_t mixed = 0; // frames delivered
    std::vector<float> mixBuffer;

    ~State()
    {
        if (loop) {
            pa_threaded_mainloop_lock(loop);
            disconnect();
            if (context) {
                pa_context_disconnect(context);
                pa_context_unref(context);
                context = nullptr;
            }
            pa_threaded_mainloop_unlock(loop);
            pa_threaded_mainloop_stop(loop);
            pa_threaded_mainloop_free(loop);
        }
    }

    void disconnect()
    {
        if (timer) {
            pa_threaded_mainloop_get_api(loop)->time_free(timer);
            timer = nullptr;
        }
        for (auto& source : sources) {
            if (source->stream) {
                pa_stream_set_read_callback(source->stream, nullptr, nullptr);
                pa_stream_disconnect(source->stream);
                pa_stream_unref(source->stream);
                source->stream = nullptr;
            }
        }
        started = false;
    }

    int64_t positionOf(Clock::time_point time) const
    {
        return int64_t(std::llround(std::chrono::duration<double>(time - origin).count() * sampleRate));
    }

    // A chunk of `frames` frames that the server handed over now (none = a hole, silence).
    void accept(Source& source, const float* data, int64_t frames)
    {
        // How long ago the chunk's first sample was taken: what waits to be read (this chunk
        // included), its way here, the source's own buffer, less the output's buffer for a
        // monitor, whose samples are taken before they sound.
        double behind = double(frames) / sampleRate;
        if (const pa_timing_info* timing = pa_stream_get_timing_info(source.stream)) {
            behind = double(pa_stream_readable_size(source.stream)) / (sizeof(float) * channels) / sampleRate
                + (double(timing->transport_usec) + double(timing->source_usec) - double(timing->sink_usec)) / 1e6;
        }
        const int64_t position = positionOf(Clock::now()) - int64_t(std::llround(behind * sampleRate));
        const int64_t jitter = int64_t(resyncSeconds * sampleRate);
        int64_t skip = 0;
        if (!source.anchored || (source.samples.empty() && position > source.end() + jitter)) {
            source.samples.clear();
            source.start = position;
            source.anchored = true;
        } else if (position > source.end() + jitter) {
            source.samples.insert(source.samples.end(), size_t(position - source.end()) * channels, 0.0f);
        } else if (position + frames < source.end() - jitter) {
            return; // older than what this source already gave
        } else if (position < source.end() - jitter) {
            skip = source.end() - position;
        }
        for (int64_t i = skip; i < frames; ++i) {
            for (int c = 0; c < channels; ++c)
                source.samples.push_back(data ? data[i * channels + c] : 0.0f);
        }
    }

    // Hands the mix on, as far as every source has delivered (or gone quiet), or to `until`.
    void mix(std::optional<int64_t> until)
    {
        if (!started || failed)
            return;
        int64_t target;
        if (until) {
            target = *until;
        } else {
            const int64_t now = positionOf(Clock::now());
            target = now;
            for (const auto& source : sources) {
                const int64_t quietSince = now - int64_t(stallSeconds * sampleRate);
                target = std::min(target, std::max(source->anchored ? source->end() : quietSince, quietSince));
            }
        }
        if (target <= mixed)
            return;
        const int64_t frames = target - mixed;
        mixBuffer.assign(size_t(frames) * channels, 0.0f);
        for (auto& source : sources) {
            const int64_t from = std::max(mixed, source->start);
            const int64_t to = std::min(target, source->end());
            for (int64_t p = from; p < to; ++p) {
                for (int c = 0; c < channels; ++c)
                    mixBuffer[size_t(p - mixed) * channels + c]
                        += source->samples[size_t(p - source->start) * channels + c];
            }
            const int64_t used
                = std::clamp(target - source->start, int64_t(0), int64_t(source->samples.size() / channels));
            source->samples.erase(source->samples.begin(), source->samples.begin() + used * channels);
            source->start += used;
        }
        for (float& sample : mixBuffer)
            sample = std::clamp(sample, -1.0f, 1.0f);
        mixed = target;
        if (auto failure = sink(mixBuffer.data(), int(frames))) {
            failed = true;
            if (onFailure)
                onFailure(*failure);
        }
    }

    static void onRead(pa_stream* stream, size_t, void* userdata)
    {
        auto* source = static_cast<Source*>(userdata);
        State* state = source->state;
        while (pa_stream_readable_size(stream) > 0) {
            const void* data = nullptr;
            size_t bytes = 0;
            if (pa_stream_peek(stream, &data, &bytes) < 0 || bytes == 0)
                break;
            if (state->started)
                state->accept(*source, static_cast<const float*>(data), int64_t(bytes / (sizeof(float) * channels)));
            pa_stream_drop(stream);
        }
        state->mix(std::nullopt);
    }

    static void onTimer(pa_mainloop_api* api, pa_time_event* event, const struct timeval*, void* userdata)
    {
        auto* state = static_cast<State*>(userdata);
        state->mix(std::nullopt);
        pa_context_rttime_restart(state->context, event, pa_rtclock_now() + mixPeriod);
    }

    static void signalLoop(void* userdata) { pa_threaded_mainloop_signal(static_cast<State*>(userdata)->loop, 0); }

    // Waits (loop locked) until `done` answers yes or the time is up.
    template <typename Done> bool waitFor(Done done)
    {
        const auto deadline = Clock::now() + connectTimeout;
        while (!done()) {
            if (Clock::now() >= deadline)
                return false;
            pa_threaded_mainloop_unlock(loop);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            pa_threaded_mainloop_lock(loop);
        }
        return true;
    }
};

PulseAudioCapture::PulseAudioCapture()
    : m_state(std::make_unique<State>())
{ }

PulseAudioCapture::~PulseAudioCapture() = default;

Expected<std::unique_ptr<PulseAudioCapture>> PulseAudioCapture::open(const Sources& requested)
{
    std::unique_ptr<PulseAudioCapture> capture(new PulseAudioCapture);
    State& s = *capture->m_state;
    s.loop = pa_threaded_mainloop_new();
    if (!s.loop)
        return Error {.domain = QStringLiteral("PulseAudio"),
            .description = QCoreApplication::translate("Recording", "Out of memory")};
    s.context = pa_context_new(pa_threaded_mainloop_get_api(s.loop), "Vantrel");
    if (!s.context)
        return Error {.domain = QStringLiteral("PulseAudio"),
            .description = QCoreApplication::translate("Recording", "Out of memory")};
    // A recorder never starts a sound server of its own.
    if (pa_context_connect(s.context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
        return pulseError(s.context, QCoreApplication::translate("Recording", "No audio server"));
    if (pa_threaded_mainloop_start(s.loop) < 0)
        return Error {.domain = QStringLiteral("PulseAudio"),
            .description = QCoreApplication::translate("Recording", "Could not start audio")};

    pa_threaded_mainloop_lock(s.loop);
    struct Unlock
    {
        pa_threaded_mainloop* loop;
        ~Unlock() { pa_threaded_mainloop_unlock(loop); }
    } unlock {s.loop};

    const bool ready = s.waitFor([&] {
        const pa_context_state_t state = pa_context_get_state(s.context);
        return state == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(state);
    });
    if (!ready || pa_context_get_state(s.context) != PA_CONTEXT_READY)
        return pulseError(s.context, QCoreApplication::translate("Recording", "No audio server"));

    // When the default input is the output's own monitor, one stream gives both.
    struct Names
    {
        std::string sink, source;
        bool done = false;
    } names;
    pa_operation* info = pa_context_get_server_info(
        s.context,
        [](pa_context*, const pa_server_info* server, void* userdata) {
            auto* n = static_cast<Names*>(userdata);
            if (server) {
                n->sink = server->default_sink_name ? server->default_sink_name : "";
                n->source = server->default_source_name ? server->default_source_name : "";
            }
            n->done = true;
        },
        &names);
    if (info) {
        s.waitFor([&] { return names.done; });
        pa_operation_unref(info);
    }
    std::vector<const char*> devices;
    if (requested.systemAudio)
        devices.push_back("@DEFAULT_MONITOR@");
    const bool inputIsMonitor = !names.sink.empty() && names.source == names.sink + ".monitor";
    if (requested.microphone && !(requested.systemAudio && inputIsMonitor))
        devices.push_back("@DEFAULT_SOURCE@");

    const pa_sample_spec sampleFormat {PA_SAMPLE_FLOAT32LE, uint32_t(sampleRate), uint8_t(channels)};
    pa_buffer_attr attributes;
    attributes.maxlength = uint32_t(-1);
    attributes.tlength = uint32_t(-1);
    attributes.prebuf = uint32_t(-1);
    attributes.minreq = uint32_t(-1);
    attributes.fragsize = uint32_t(pa_usec_to_bytes(fragmentMs * 1000, &sampleFormat));
    for (const char* device : devices) {
        auto source = std::make_unique<State::Source>();
        source->state = &s;
        source->stream = pa_stream_new(s.context, "Vantrel recording", &sampleFormat, nullptr);
        if (!source->stream)
            continue;
        pa_stream_set_read_callback(source->stream, &State::onRead, source.get());
        const auto flags
            = pa_stream_flags_t(PA_STREAM_ADJUST_LATENCY | PA_STREAM_AUTO_TIMING_UPDATE | PA_STREAM_INTERPOLATE_TIMING);
        if (pa_stream_connect_record(source->stream, device, &attributes, flags) < 0) {
            pa_stream_unref(source->stream);
            continue;
        }
        pa_stream* stream = source->stream;
        const bool opened = s.waitFor([&] {
            const pa_stream_state_t state = pa_stream_get_state(stream);
            return state == PA_STREAM_READY || !PA_STREAM_IS_GOOD(state);
        });
        if (!opened || pa_stream_get_state(stream) != PA_STREAM_READY) {
            pa_stream_set_read_callback(stream, nullptr, nullptr);
            pa_stream_disconnect(stream);
            pa_stream_unref(stream);
            continue;
        }
        s.sources.push_back(std::move(source));
    }
    if (s.sources.empty())
        return pulseError(s.context, QCoreApplication::translate("Recording", "No audio source could be opened"));
    return capture;
}

void PulseAudioCapture::start(Clock::time_point origin, Sink sink, FailureHandler onFailure)
{
    State& s = *m_state;
    pa_threaded_mainloop_lock(s.loop);
    s.origin = origin;
    s.sink = std::move(sink);
    s.onFailure = std::move(onFailure);
    s.mixed = 0;
    s.started = true;
    s.timer = pa_context_rttime_new(s.context, pa_rtclock_now() + mixPeriod, &State::onTimer, &s);
    pa_threaded_mainloop_unlock(s.loop);
}

void PulseAudioCapture::stop(Clock::time_point end)
{
    State& s = *m_state;
    pa_threaded_mainloop_lock(s.loop);
    s.mix(s.positionOf(end));
    s.disconnect();
    pa_threaded_mainloop_unlock(s.loop);
}

} // namespace vantrel::media
