// SPDX-License-Identifier: GPL-3.0-or-later
#include "GifConversion.h"

#include "GifEncoding.h"
#include "Service.h"
#include "Settings.h"
#include "SystemLog.h"

#include <QDir>
#include <QFileInfo>
#include <QTimer>

#include <algorithm>

namespace vantrel {

namespace {

void fail(std::function<void(std::optional<QUrl>)> completion, const QString& why)
{
    systemLog(QStringLiteral("Vantrel: GIF conversion failed: ") + why);
    // Asynchronous like a conversion that ran, so callers take one road.
    QTimer::singleShot(0, [completion = std::move(completion)] { completion(std::nullopt); });
}

// A value from outside the settings' range (another caller, a hand-edited file) is brought to
// the nearest bound, so a GIF always has frames and a width.
int withinLimits(const char* what, int value, const Settings::IntLimits& limits)
{
    const int kept = std::clamp(value, limits.minimum, limits.maximum);
    if (kept != value)
        systemLog(QStringLiteral("Vantrel: a GIF %1 of %2 is outside %3 to %4; using %5")
                      .arg(QString::fromLatin1(what))
                      .arg(value)
                      .arg(limits.minimum)
                      .arg(limits.maximum)
                      .arg(kept));
    return kept;
}

} // namespace

QUrl gifURL(const QUrl& movie)
{
    const QFileInfo file(movie.toLocalFile());
    return QUrl::fromLocalFile(file.dir().filePath(file.completeBaseName() + QStringLiteral(".gif")));
}

void convertToGIF(
    const QUrl& movie, int framesPerSecond, int maxWidth, std::function<void(std::optional<QUrl>)> completion)
{
    GifEncoding* encoding = Service<GifEncoding>::find();
    if (!encoding) {
        fail(std::move(completion), QStringLiteral("no GIF encoder is installed"));
        return;
    }
    if (!movie.isLocalFile()) {
        fail(std::move(completion), QStringLiteral("%1 is not a local file").arg(movie.toString()));
        return;
    }
    const QUrl gif = gifURL(movie);
    if (gif == movie) {
        fail(std::move(completion), QStringLiteral("%1 is a GIF already").arg(movie.toLocalFile()));
        return;
    }
    GifRequest request;
    request.moviePath = movie.toLocalFile();
    request.gifPath = gif.toLocalFile();
    request.framesPerSecond = withinLimits("frame rate", framesPerSecond, Settings::gifFPSLimits);
    request.maxWidth = withinLimits("maximum width", maxWidth, Settings::gifMaxWidthLimits);
    encoding->convert(request, [completion = std::move(completion)](Expected<GifResult> result) {
        if (!result) {
            systemLog(QStringLiteral("Vantrel: GIF conversion failed: ") + result.error().description);
            completion(std::nullopt);
            return;
        }
        if (result->skippedFrames > 0)
            systemLog(QStringLiteral("Vantrel: the movie had no picture for %1 of the GIF's %2 frames")
                          .arg(result->skippedFrames)
                          .arg(result->frames + result->skippedFrames));
        completion(QUrl::fromLocalFile(result->path));
    });
}

} // namespace vantrel
