// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QRect>
#include <QWidget>

#include <optional>

class QLabel;
class QPushButton;

namespace vantrel {

// The small dark panel of a running scrolling capture: the height collected so far, "Done"
// (also Return) and "Cancel". It floats above ordinary windows, takes the keyboard so that
// Return reaches it (the wheel keeps scrolling whatever lies under the pointer, as X11 sends
// wheel events there whoever has the focus), and can be dragged by its background, though never
// over the ring, so that it stays out of the frames.
class ScrollingCapturePanel : public QWidget
{
    Q_OBJECT
public:
    explicit ScrollingCapturePanel(const QRect& keepOut);

    void setStatus(const QString& text);
    QString status() const;
    QPushButton* doneButton() const { return m_done; }
    QPushButton* cancelButton() const { return m_cancel; }
    // Asks for the keyboard until the window system hands it over (it refuses until the window
    // is on screen).
    void takeKeyboard();

Q_SIGNALS:
    void doneClicked();
    void cancelClicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void askForKeyboard(int attempt);

    QRect m_keepOut;
    QLabel* m_status;
    QPushButton* m_done;
    QPushButton* m_cancel;
    std::optional<QPoint> m_dragOffset; // pointer minus window position, while dragging
    bool m_translucent;
};

} // namespace vantrel
