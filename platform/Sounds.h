// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

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

private:
    enum class Sound {
        shutter,
        tick
    };
    // Both sounds take this one road to the sound server.
    void play(Sound sound);

    struct State;
    State* m_state;
};

} // namespace vantrel
