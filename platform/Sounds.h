// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <memory>

class QThreadPool;

namespace vantrel {

// The two short sounds: a shutter when a capture is taken, and the countdown's tick. They
// never block and are silent when no sound server runs.
class Sounds
{
public:
    virtual ~Sounds() = default;
    virtual void playCapture() = 0;
    virtual void playTick() = 0;
};

// Sounds through libcanberra: the theme's "screen-capture" event, else Vantrel's own shutter;
// the tick is always Vantrel's own.
class CanberraSounds : public Sounds
{
public:
    CanberraSounds();
    ~CanberraSounds() override;
    void playCapture() override;
    void playTick() override;

    // How long quitting waits for a sound still being handed to the sound server.
    static constexpr int teardownWaitMs = 2000;

private:
    struct State;
    void play(std::function<void(State&)> task);

    std::shared_ptr<State> m_state;
    std::unique_ptr<QThreadPool> m_pool;
};

} // namespace vantrel
