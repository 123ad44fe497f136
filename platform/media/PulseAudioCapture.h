// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Expected.h"

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace vantrel::media {

// The computer's audio (the default output's monitor) and the microphone (the default input)
// from a PulseAudio server (PipeWire's included), mixed into one stream of interleaved float
// samples laid on the recording's clock: sample 0 is the instant the video starts.
class PulseAudioCapture
{
public:
    using Clock = std::chrono::steady_clock;
    // Receives the mix in order, on the audio thread; an error stops the audio.
    using Sink = std::function<std::optional<Error>(const float* samples, int frames)>;
    using FailureHandler = std::function<void(const Error&)>;

    struct Sources
    {
        bool systemAudio = false;
        bool microphone = false;
    };

    static constexpr int sampleRate = 48000;
    static constexpr int channels = 2;

    // Connects (never starting a server) and opens the sources; an error when there is no
    // server or none of the sources opens.
    static Expected<std::unique_ptr<PulseAudioCapture>> open(const Sources& sources);
    ~PulseAudioCapture();
    PulseAudioCapture(const PulseAudioCapture&) = delete;
    PulseAudioCapture& operator=(const PulseAudioCapture&) = delete;

    void start(Clock::time_point origin, Sink sink, FailureHandler onFailure);
    // Delivers the mix up to `end` (silence where a source had nothing yet) and disconnects.
    void stop(Clock::time_point end);

private:
    PulseAudioCapture();
    struct State;
    std::unique_ptr<State> m_state;
};

} // namespace vantrel::media
