// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QImage>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <optional>
#include <random>

namespace vantrel::test {

// A window that shows the time since `zero` as 14 black or white bars across its top half
// (milliseconds ÷ 2, in binary) above a colour that changes with every repaint, repainted as
// fast as Qt allows. A recording of it tells which moment each frame shows.
class ClockWindow : public QWidget
{
public:
    using Clock = std::chrono::steady_clock;
    static constexpr int bits = 14;

    ClockWindow(const QRect& geometry, Clock::time_point zero);

    // The time a picture of the window (at `where` in the picture) shows, in seconds since
    // `zero`; none when a bar cannot be read.
    static std::optional<double> read(const QImage& picture, const QRect& where);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    static QRect barRect(const QSize& size, int bit);

    Clock::time_point m_zero;
    QTimer m_timer;
};

// A window of one colour exactly at `geometry`; `chrome` marks it as one of Vantrel's chrome
// windows, `managed` lets the window manager frame it (as thumbnails are).
class PlainWindow : public QWidget
{
public:
    PlainWindow(const QRect& geometry, const QColor& colour, bool chrome = false, bool managed = false);
    bool showAndWait();
};

// Fresh random pixels with every repaint: a picture that compresses badly, so a movie of it
// grows fast.
class NoiseWindow : public QWidget
{
public:
    explicit NoiseWindow(const QRect& geometry);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QTimer m_timer;
    std::minstd_rand m_random;
};

} // namespace vantrel::test
