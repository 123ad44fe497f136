// SPDX-License-Identifier: GPL-3.0-or-later
#include "PresetSwatchGrid.h"

#include "BackgroundRenderer.h"
#include "BackgroundSettings.h"
#include "Settings.h"
#include "SwatchPainter.h"

#include <QGridLayout>
#include <QPainter>

namespace vantrel {

namespace {

// One preset as window captures will show it, in the swatch shape the editor uses too; a ring in
// the accent colour marks the chosen one.
class PresetSwatch : public QAbstractButton
{
public:
    PresetSwatch(const BackgroundPreset& preset, QWidget* parent)
        : QAbstractButton(parent)
        , m_preset(preset)
    {
        setFixedSize(PresetSwatchGrid::swatchSize, PresetSwatchGrid::swatchSize);
        setCheckable(true);
        setAutoExclusive(false);
        setToolTip(shownName(preset));
        setAccessibleName(shownName(preset));
        setCursor(Qt::PointingHandCursor);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        // The gradient laid out y-up, as the background behind window captures draws it.
        const auto asCapturesGetIt = [this](QPainter& p, const QRectF& square) {
            p.translate(0, square.top() + square.bottom());
            p.scale(1, -1);
            drawGradient(p, square, m_preset.colors, m_preset.angle);
        };
        paintSwatch(painter, rect(), asCapturesGetIt, isChecked(), palette());
        if (hasFocus()) {
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setPen(QPen(palette().color(QPalette::Highlight), 1, Qt::DotLine));
            painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 9, 9);
        }
    }
    // A click always chooses; it never un-marks the chosen swatch.
    void nextCheckState() override { setChecked(true); }

private:
    BackgroundPreset m_preset;
};

} // namespace

PresetSwatchGrid::PresetSwatchGrid(Settings& settings, QWidget* parent)
    : QWidget(parent)
    , m_settings(settings)
{
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(spacing);
    grid->setVerticalSpacing(spacing);
    grid->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    int index = 0;
    for (const BackgroundPreset& preset : presets()) {
        auto* swatch = new PresetSwatch(preset, this);
        const qint64 id = preset.id;
        connect(swatch, &QAbstractButton::clicked, this, [this, id] { m_settings.setWindowBackgroundPreset(int(id)); });
        grid->addWidget(swatch, index / columns, index % columns);
        m_swatches.push_back(swatch);
        ++index;
    }
    refresh();
}

int PresetSwatchGrid::markedIndex() const
{
    for (std::size_t i = 0; i < m_swatches.size(); ++i) {
        if (m_swatches[i]->isChecked())
            return int(i);
    }
    return -1;
}

void PresetSwatchGrid::refresh()
{
    // Exact identifiers only: a stored identifier outside the table marks no swatch, although
    // captures still get a background (the table wraps it round).
    const std::vector<BackgroundPreset>& table = presets();
    for (std::size_t i = 0; i < m_swatches.size(); ++i) {
        const QSignalBlocker blocker(m_swatches[i]);
        m_swatches[i]->setChecked(table[i].id == m_settings.windowBackgroundPreset());
    }
}

} // namespace vantrel
