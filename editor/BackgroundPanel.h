// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "BackgroundSettings.h"

#include <QScrollArea>

#include <functional>
#include <map>
#include <vector>

class QAbstractButton;
class QCheckBox;
class QPushButton;
class QSlider;

namespace vantrel {

class CanvasView;
class EditorDocument;

// A slider over [0, maximum] in steps of `step`, reporting values in the field's own unit.
class ValueSlider;

// The side panel that edits the document's background: the on/off switch, the preset swatches,
// padding, corner radius and shadow, the aspect ratio and Auto Balance. Each change is one undo
// step and turns the background on.
class BackgroundPanel : public QScrollArea
{
    Q_OBJECT
public:
    static constexpr int panelWidth = 250; // points

    BackgroundPanel(EditorDocument* doc, CanvasView* canvas, QWidget* parent);

    QCheckBox* enabledSwitch() const { return m_enabled; }
    const std::vector<QAbstractButton*>& presetSwatches() const { return m_presets; }
    QSlider* paddingSlider() const;
    QSlider* cornerRadiusSlider() const;
    QSlider* shadowSlider() const;
    // The field value a slider position stands for, and the slider's maximum in field units.
    double sliderValue(QSlider* slider) const;
    double sliderMaximum(QSlider* slider) const;
    QAbstractButton* aspectButton(AspectRatio aspect) const { return m_aspects.at(aspect); }
    QPushButton* autoBalanceButton() const { return m_autoBalance; }

    void refresh();

private:
    // Records undo, applies `change` to a copy of the settings with the background turned on,
    // and stores it.
    void edit(const std::function<void(BackgroundSettings&)>& change);
    ValueSlider* addSlider(const QString& caption, std::function<void(BackgroundSettings&, double)> write);

    EditorDocument* m_doc;
    CanvasView* m_canvas;
    QWidget* m_content;
    QCheckBox* m_enabled;
    std::vector<QAbstractButton*> m_presets;
    ValueSlider* m_padding = nullptr;
    ValueSlider* m_cornerRadius = nullptr;
    ValueSlider* m_shadow = nullptr;
    std::map<AspectRatio, QAbstractButton*> m_aspects;
    QPushButton* m_autoBalance = nullptr;
};

} // namespace vantrel
