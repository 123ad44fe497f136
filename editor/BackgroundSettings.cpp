// SPDX-License-Identifier: GPL-3.0-or-later
#include "BackgroundSettings.h"

#include <QCoreApplication>

#include <cmath>

namespace vantrel {

QString rawValue(AspectRatio aspect)
{
    switch (aspect) {
    case AspectRatio::automatic: return QStringLiteral("Auto");
    case AspectRatio::square: return QStringLiteral("1:1");
    case AspectRatio::r16x9: return QStringLiteral("16:9");
    case AspectRatio::r4x3: return QStringLiteral("4:3");
    case AspectRatio::r9x16: return QStringLiteral("9:16");
    }
    return {};
}

std::optional<AspectRatio> aspectRatioFromRaw(const QString& raw)
{
    for (AspectRatio aspect : allAspectRatios) {
        if (rawValue(aspect) == raw)
            return aspect;
    }
    return std::nullopt;
}

std::optional<double> ratio(AspectRatio aspect)
{
    switch (aspect) {
    case AspectRatio::automatic: return std::nullopt;
    case AspectRatio::square: return 1.0;
    case AspectRatio::r16x9: return 16.0 / 9.0;
    case AspectRatio::r4x3: return 4.0 / 3.0;
    case AspectRatio::r9x16: return 0.5625;
    }
    return std::nullopt;
}

CanvasLayout canvasLayout(const BackgroundSettings& settings, QSizeF content)
{
    const double w = content.width();
    const double h = content.height();
    if (!settings.enabled)
        return {static_cast<int>(std::round(w)), static_cast<int>(std::round(h)), 0, 0};
    double canvasW = w + 2 * settings.padding;
    double canvasH = h + 2 * settings.padding;
    if (const std::optional<double> r = ratio(settings.aspect); r && canvasH > 0) {
        if (canvasW / canvasH > *r)
            canvasH = canvasW / *r;
        else
            canvasW = canvasH * *r;
    }
    // std::round rounds halves away from zero; the offsets use the unrounded canvas.
    return {static_cast<int>(std::round(canvasW)), static_cast<int>(std::round(canvasH)),
        static_cast<int>(std::round((canvasW - w) / 2)), static_cast<int>(std::round((canvasH - h) / 2))};
}

const std::vector<BackgroundPreset>& presets()
{
    static const std::vector<BackgroundPreset> table = [] {
        struct Row
        {
            const char* name;
            std::vector<std::array<int, 3>> colors;
        };
        const std::vector<Row> rows = {
            {QT_TRANSLATE_NOOP("BackgroundPreset", "Sunrise"), {{255, 154, 139}, {255, 106, 136}, {255, 153, 172}}},
            {QT_TRANSLATE_NOOP("BackgroundPreset", "Ocean"), {{46, 49, 146}, {27, 255, 255}}},
            {QT_TRANSLATE_NOOP("BackgroundPreset", "Grape"), {{142, 45, 226}, {74, 0, 224}}},
            {QT_TRANSLATE_NOOP("BackgroundPreset", "Peach"), {{255, 222, 233}, {181, 255, 252}}},
            {QT_TRANSLATE_NOOP("BackgroundPreset", "Lime"), {{212, 252, 121}, {150, 230, 161}}},
            {QT_TRANSLATE_NOOP("BackgroundPreset", "Flamingo"), {{240, 147, 251}, {245, 87, 108}}},
            {QT_TRANSLATE_NOOP("BackgroundPreset", "Sky"), {{79, 172, 254}, {0, 242, 254}}},
            {QT_TRANSLATE_NOOP("BackgroundPreset", "Mango"), {{246, 211, 101}, {253, 160, 133}}},
            {QT_TRANSLATE_NOOP("BackgroundPreset", "Night"), {{35, 37, 38}, {65, 67, 69}}},
            {QT_TRANSLATE_NOOP("BackgroundPreset", "Aurora"), {{67, 233, 123}, {56, 249, 215}}},
            {QT_TRANSLATE_NOOP("BackgroundPreset", "Dusk"), {{15, 32, 39}, {32, 58, 67}, {44, 83, 100}}},
            {QT_TRANSLATE_NOOP("BackgroundPreset", "Candy"), {{161, 140, 209}, {251, 194, 235}}},
            {QT_TRANSLATE_NOOP("BackgroundPreset", "Fire"), {{248, 54, 0}, {249, 212, 35}}},
            {QT_TRANSLATE_NOOP("BackgroundPreset", "Mint"), {{11, 163, 96}, {60, 186, 146}}},
            {QT_TRANSLATE_NOOP("BackgroundPreset", "Royal"), {{20, 30, 48}, {36, 59, 85}}},
            {QT_TRANSLATE_NOOP("BackgroundPreset", "Cotton"), {{250, 208, 196}, {255, 209, 255}}},
            {QT_TRANSLATE_NOOP("BackgroundPreset", "White"), {{245, 245, 247}}},
            {QT_TRANSLATE_NOOP("BackgroundPreset", "Graphite"), {{28, 28, 30}}},
            {QT_TRANSLATE_NOOP("BackgroundPreset", "Blue"), {{10, 132, 255}}},
            {QT_TRANSLATE_NOOP("BackgroundPreset", "Orange"), {{255, 159, 10}}},
        };
        std::vector<BackgroundPreset> result;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            BackgroundPreset preset;
            preset.id = static_cast<qint64>(i);
            preset.name = QString::fromLatin1(rows[i].name);
            for (const auto& [r, g, b] : rows[i].colors)
                preset.colors.append(QColor(r, g, b));
            preset.angle = 135;
            result.push_back(preset);
        }
        return result;
    }();
    return table;
}

QString shownName(const BackgroundPreset& preset)
{
    return QCoreApplication::translate("BackgroundPreset", preset.name.toUtf8().constData());
}

const BackgroundPreset& presetFor(qint64 presetID)
{
    const auto& table = presets();
    const qint64 size = static_cast<qint64>(table.size());
    return table[static_cast<std::size_t>(((presetID % size) + size) % size)];
}

} // namespace vantrel
