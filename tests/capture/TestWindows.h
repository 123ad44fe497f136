// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QImage>
#include <QWidget>

namespace vantrel::test {

// The colour of point (x, y) of a pattern window: every point of a 256 × 256 area differs, so a
// crop that is off by one point, or scaled, does not match.
QRgb patternColor(int x, int y);

// A window that paints patternColor at every point (each point covers scale × scale native
// pixels), or one plain colour.
class PatternWindow : public QWidget
{
public:
    enum class Placement {
        exact, // not managed: lies exactly at the given rectangle, no frame
        managed, // placed and framed by the window manager
        managedFrameless,
    };
    PatternWindow(const QRect& geometry, Placement placement, std::optional<QColor> plain = std::nullopt);

    // Shows the window and waits until it is mapped and painted.
    bool showAndWait();
    int paints() const { return m_paints; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::optional<QColor> m_plain;
    int m_paints = 0;
};

// Runs a program to completion while Qt's events keep flowing (our own process may have to
// answer it, as the clipboard owner does). Returns standard output; none on failure.
std::optional<QByteArray> runProcess(const QString& program, const QStringList& arguments, int timeoutMs = 10000);

} // namespace vantrel::test
