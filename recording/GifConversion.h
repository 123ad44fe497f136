// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QUrl>

#include <functional>
#include <optional>

namespace vantrel {

// Turns a finished movie into an endlessly looping GIF beside it (same name, extension "gif")
// at `framesPerSecond`, no wider than `maxWidth` pixels, through the installed GIF encoder (the
// work runs off the main thread). Values outside the settings' ranges are brought within them.
// The completion runs on the main thread with the GIF, or with nothing when the conversion
// failed (logged; the movie is then left as it is).
void convertToGIF(
    const QUrl& movie, int framesPerSecond, int maxWidth, std::function<void(std::optional<QUrl>)> completion);

// Where the GIF of `movie` goes: the same folder and base name, extension "gif".
QUrl gifURL(const QUrl& movie);

} // namespace vantrel
