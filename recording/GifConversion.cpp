// SPDX-License-Identifier: GPL-3.0-or-later
#include "GifConversion.h"

#include "SystemLog.h"

#include <QTimer>

namespace vantrel {

void convertToGIF(const QUrl&, int, int, std::function<void(std::optional<QUrl>)> completion)
{
    systemLog(QStringLiteral("Vantrel: GIF conversion is not built yet; the recording is kept as a video"));
    // Asynchronous like the real conversion, so callers take the same road.
    QTimer::singleShot(0, [completion = std::move(completion)] { completion(std::nullopt); });
}

} // namespace vantrel
