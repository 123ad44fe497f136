// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAbstractButton>

namespace vantrel {

// A borderless button of the thumbnail's hover layer: white at 0.92 alpha, fully rounded, with
// a black title or a black symbol, and the pointing hand over all of it. It never takes the
// keyboard focus, so the thumbnail keeps its shortcuts.
class HoverButton : public QAbstractButton
{
    Q_OBJECT
public:
    // A title button ("Copy", "Save"), drawn in 13-point semibold.
    static HoverButton* titled(const QString& title, QWidget* parent);
    // A round corner button with a symbol of 10 points; `toolTip` is also its accessible name.
    static HoverButton* symbol(const QString& symbolName, const QString& toolTip, QWidget* parent);

    QString symbolName() const { return m_symbol; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    explicit HoverButton(QWidget* parent);

    QString m_symbol;
};

} // namespace vantrel
