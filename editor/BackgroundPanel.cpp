// SPDX-License-Identifier: GPL-3.0-or-later
#include "BackgroundPanel.h"

#include "BackgroundRenderer.h"
#include "CanvasView.h"
#include "EditorDocument.h"
#include "SwatchPainter.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QSlider>
#include <QToolButton>
#include <QVBoxLayout>

#include <cmath>

namespace vantrel {

class ValueSlider : public QSlider
{
public:
    explicit ValueSlider(QWidget* parent)
        : QSlider(Qt::Horizontal, parent)
    {
        setTracking(true);
    }
    // `ticks` positions over [0, maximum] in the field's unit.
    void setScale(double maximum, int ticks)
    {
        m_maximum = std::max(maximum, 0.0);
        const QSignalBlocker blocker(this);
        setRange(0, std::max(ticks, 1));
    }
    double fieldValue() const { return m_maximum * value() / std::max(maximum(), 1); }
    double fieldMaximum() const { return m_maximum; }
    void showFieldValue(double v)
    {
        const QSignalBlocker blocker(this);
        setValue(m_maximum > 0 ? int(std::lround(v / m_maximum * maximum())) : 0);
    }

private:
    double m_maximum = 1;
};

namespace {

constexpr int swatchSize = 42;

// One preset: its gradient in a rounded square, outlined in the accent colour while the
// background is on and this preset is chosen.
class PresetSwatch : public QAbstractButton
{
public:
    PresetSwatch(const BackgroundPreset& preset, EditorDocument* doc, QWidget* parent)
        : QAbstractButton(parent)
        , m_preset(preset)
        , m_doc(doc)
    {
        setFixedSize(swatchSize, swatchSize);
        setFocusPolicy(Qt::NoFocus);
        setToolTip(shownName(preset));
        setAccessibleName(shownName(preset));
    }
    bool isOutlined() const
    {
        return m_doc->background().enabled && presetFor(m_doc->background().presetID).id == m_preset.id;
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        paintSwatch(painter, rect(), diagonalFill(m_preset.colors), isOutlined(), palette());
    }

private:
    BackgroundPreset m_preset;
    EditorDocument* m_doc;
};

QLabel* caption(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, p.color(QPalette::PlaceholderText));
    label->setPalette(p);
    return label;
}

} // namespace

BackgroundPanel::BackgroundPanel(EditorDocument* doc, CanvasView* canvas, QWidget* parent)
    : QScrollArea(parent)
    , m_doc(doc)
    , m_canvas(canvas)
    , m_content(new QWidget(this))
{
    setFixedWidth(panelWidth);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setWidgetResizable(true);
    setFocusPolicy(Qt::NoFocus);

    auto* column = new QVBoxLayout(m_content);
    column->setContentsMargins(14, 14, 14, 14);
    column->setSpacing(14);
    column->setAlignment(Qt::AlignTop | Qt::AlignLeft);

    m_enabled = new QCheckBox(tr("Background"), m_content);
    QFont headline = m_enabled->font();
    headline.setBold(true);
    m_enabled->setFont(headline);
    m_enabled->setFocusPolicy(Qt::NoFocus);
    connect(m_enabled, &QCheckBox::toggled, this, [this](bool on) {
        m_canvas->endTextEditing();
        m_doc->pushUndo();
        BackgroundSettings settings = m_doc->background();
        settings.enabled = on;
        m_doc->setBackground(settings);
    });
    column->addWidget(m_enabled);

    // Four presets to a row fill the panel's width without scrolling sideways.
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(8);
    int index = 0;
    for (const BackgroundPreset& preset : presets()) {
        auto* swatch = new PresetSwatch(preset, doc, m_content);
        const qint64 id = preset.id;
        connect(swatch, &QAbstractButton::clicked, this,
            [this, id] { edit([id](BackgroundSettings& settings) { settings.presetID = id; }); });
        grid->addWidget(swatch, index / 4, index % 4);
        m_presets.push_back(swatch);
        ++index;
    }
    grid->setColumnStretch(4, 1);
    column->addLayout(grid);

    m_padding = addSlider(tr("Padding"), [](BackgroundSettings& s, double v) { s.padding = v; });
    m_cornerRadius = addSlider(tr("Corner Radius"), [](BackgroundSettings& s, double v) { s.cornerRadius = v; });
    m_shadow = addSlider(tr("Shadow"), [](BackgroundSettings& s, double v) { s.shadow = v; });

    // The aspect ratios are exclusive, so they read as one segmented row.
    column->addWidget(caption(tr("Aspect Ratio"), m_content));
    auto* segments = new QHBoxLayout;
    segments->setSpacing(0);
    auto* group = new QButtonGroup(this);
    group->setExclusive(true);
    for (AspectRatio aspect : allAspectRatios) {
        auto* segment = new QToolButton(m_content);
        // "Auto" is stored as it reads in English; the ratios read alike in every language.
        segment->setText(aspect == AspectRatio::automatic ? tr("Auto") : rawValue(aspect));
        segment->setCheckable(true);
        segment->setFocusPolicy(Qt::NoFocus);
        segment->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        group->addButton(segment);
        connect(segment, &QToolButton::clicked, this, [this, aspect] {
            if (m_doc->background().aspect != aspect || !m_doc->background().enabled)
                edit([aspect](BackgroundSettings& settings) { settings.aspect = aspect; });
        });
        m_aspects[aspect] = segment;
        segments->addWidget(segment);
    }
    column->addLayout(segments);

    m_autoBalance = new QPushButton(tr("Auto Balance"), m_content);
    m_autoBalance->setFocusPolicy(Qt::NoFocus);
    connect(m_autoBalance, &QPushButton::clicked, this, [this] {
        m_canvas->endTextEditing();
        m_doc->autoBalanceBackground();
    });
    column->addWidget(m_autoBalance, 0, Qt::AlignLeft);

    setWidget(m_content);
    connect(m_doc, &EditorDocument::backgroundChanged, this, &BackgroundPanel::refresh);
    connect(m_doc, &EditorDocument::baseChanged, this, &BackgroundPanel::refresh);
    refresh();
}

ValueSlider* BackgroundPanel::addSlider(const QString& text, std::function<void(BackgroundSettings&, double)> write)
{
    auto* layout = static_cast<QVBoxLayout*>(m_content->layout());
    auto* block = new QVBoxLayout;
    block->setSpacing(4);
    block->addWidget(caption(text, m_content));
    auto* slider = new ValueSlider(m_content);
    slider->setFocusPolicy(Qt::NoFocus);
    slider->setAccessibleName(text);
    connect(slider, &QSlider::valueChanged, this, [this, slider, write] {
        const double value = slider->fieldValue();
        edit([&](BackgroundSettings& settings) { write(settings, value); });
    });
    block->addWidget(slider);
    layout->addLayout(block);
    return slider;
}

QSlider* BackgroundPanel::paddingSlider() const
{
    return m_padding;
}

QSlider* BackgroundPanel::cornerRadiusSlider() const
{
    return m_cornerRadius;
}

QSlider* BackgroundPanel::shadowSlider() const
{
    return m_shadow;
}

double BackgroundPanel::sliderValue(QSlider* slider) const
{
    return static_cast<ValueSlider*>(slider)->fieldValue();
}

double BackgroundPanel::sliderMaximum(QSlider* slider) const
{
    return static_cast<ValueSlider*>(slider)->fieldMaximum();
}

void BackgroundPanel::edit(const std::function<void(BackgroundSettings&)>& change)
{
    m_canvas->endTextEditing();
    m_doc->pushUndo();
    BackgroundSettings settings = m_doc->background();
    change(settings);
    settings.enabled = true;
    m_doc->setBackground(settings);
}

void BackgroundPanel::refresh()
{
    const BackgroundSettings& settings = m_doc->background();
    {
        const QSignalBlocker blocker(m_enabled);
        m_enabled->setChecked(settings.enabled);
    }
    for (QAbstractButton* swatch : m_presets)
        swatch->update();

    // Padding up to 30 % of the longer side in whole pixels; radius up to 40 points; shadow in
    // hundredths.
    const QSize base = m_doc->base().size();
    const double maxPadding = 0.3 * std::max(base.width(), base.height());
    m_padding->setScale(maxPadding, int(std::ceil(maxPadding)));
    const double maxRadius = 40 * m_doc->scale();
    m_cornerRadius->setScale(maxRadius, int(std::ceil(maxRadius * 2)));
    m_shadow->setScale(1, 100);
    m_padding->showFieldValue(settings.padding);
    m_cornerRadius->showFieldValue(settings.cornerRadius);
    m_shadow->showFieldValue(settings.shadow);

    for (const auto& [aspect, button] : m_aspects)
        button->setChecked(aspect == settings.aspect);
}

} // namespace vantrel
