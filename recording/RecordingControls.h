// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPoint>
#include <QWidget>

#include <functional>
#include <optional>

class QLabel;
class QScreen;
class QToolButton;

namespace vantrel {

// The recorder's floating bar: Stop, the elapsed time ("Starting…" until capture begins) and
// Discard, on a dark rounded plate that can be dragged anywhere. It never takes focus.
class RecordingControls : public QWidget
{
    Q_OBJECT
public:
    // `area` in points relative to the screen's top-left corner.
    RecordingControls(QScreen* screen, const QRectF& area, std::function<void()> stop, std::function<void()> discard);

    void setElapsed(double seconds);
    QString labelText() const;
    QLabel* label() const { return m_label; }
    QToolButton* stopButton() const { return m_stop; }
    QToolButton* discardButton() const { return m_discard; }

    // "bar W×H", then one line per control: its type and frame within the bar.
    QString layoutDescription() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QToolButton* m_stop;
    QLabel* m_label;
    QToolButton* m_discard;
    std::optional<QPoint> m_grab; // where the plate was taken, in its own points
};

// The bar for a 640 × 400 area at (300, 200) with its clock at 0:02; the layout is printed to
// standard output 0.5 s later and the application quits after 4 s.
void runRecordingBarPreview(QScreen* screen);

} // namespace vantrel
