// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QList>
#include <QSizeF>
#include <QString>

#include <array>
#include <optional>
#include <vector>

namespace vantrel {

// Shape of the background canvas. `automatic` (raw "Auto") follows the image.
enum class AspectRatio {
    automatic,
    square,
    r16x9,
    r4x3,
    r9x16,
};

inline constexpr std::array<AspectRatio, 5> allAspectRatios
    = {AspectRatio::automatic, AspectRatio::square, AspectRatio::r16x9, AspectRatio::r4x3, AspectRatio::r9x16};

QString rawValue(AspectRatio aspect);
std::optional<AspectRatio> aspectRatioFromRaw(const QString& raw);
// Width / height, none for automatic.
std::optional<double> ratio(AspectRatio aspect);

// A gradient canvas around an image. Lengths are pixels.
struct BackgroundSettings
{
    bool enabled = false;
    qint64 presetID = 0;
    double padding = 64;
    double cornerRadius = 12;
    double shadow = 0.5; // 0–1
    double inset = 0; // kept and compared; nothing draws it
    AspectRatio aspect = AspectRatio::automatic;

    bool operator==(const BackgroundSettings&) const = default;
};

// Where the canvas puts its content, in whole output pixels.
struct CanvasLayout
{
    int width = 0;
    int height = 0;
    int contentX = 0;
    int contentY = 0;

    bool operator==(const CanvasLayout&) const = default;
};

// The canvas for content of `contentSize` pixels: the content plus padding on every side, grown
// (never cut) to the aspect ratio, rounded half away from zero.
CanvasLayout canvasLayout(const BackgroundSettings& settings, QSizeF contentSize);

struct BackgroundPreset
{
    qint64 id = 0;
    QString name; // English, as the table has it; shownName() for the user's language
    QList<QColor> colors; // gradient stops in order, sRGB
    double angle = 135; // degrees
};

// The fixed table of 20 presets, in swatch order.
const std::vector<BackgroundPreset>& presets();
// The preset's name in the user's language.
QString shownName(const BackgroundPreset& preset);
// The preset a `presetID` selects: its index modulo the table size, negative ids included.
const BackgroundPreset& presetFor(qint64 presetID);

} // namespace vantrel
