// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAbstractButton>
#include <QWidget>

#include <vector>

namespace vantrel {

class Settings;

// The background presets for window captures, one swatch each in the presets' order. The swatch
// whose preset identifier equals `windowBackgroundPreset` is marked; a click stores its
// identifier.
class PresetSwatchGrid : public QWidget
{
    Q_OBJECT
public:
    static constexpr int swatchSize = 36; // points
    static constexpr int spacing = 6; // points
    static constexpr int columns = 10;

    explicit PresetSwatchGrid(Settings& settings, QWidget* parent = nullptr);

    const std::vector<QAbstractButton*>& swatches() const { return m_swatches; }
    // The marked swatch's index, or -1 when the stored identifier names no preset.
    int markedIndex() const;
    // Repaints the marks after the stored preset changed.
    void refresh();

private:
    Settings& m_settings;
    std::vector<QAbstractButton*> m_swatches;
};

} // namespace vantrel
