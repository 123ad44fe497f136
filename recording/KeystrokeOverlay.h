// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QPointer>
#include <QRectF>
#include <QTimer>

#include <functional>
#include <optional>

class QScreen;
class QWidget;

namespace vantrel {

struct KeyPress;
class KeystrokePanel;

// The keys pressed during a recording, shown near the bottom of the recorded area: each key
// with its modifiers, fully for 1.2 s and then fading out over 0.3 s; a key typed within 1.2 s
// of the last keeps it up. The panel is in the recording (it is not chrome). One process-wide
// instance; main thread only.
class KeystrokeOverlay : public QObject
{
    Q_OBJECT
public:
    // Milliseconds on a steady clock; tests drive their own.
    using Clock = std::function<qint64()>;

    static KeystrokeOverlay& shared();

    // `area` in points relative to the screen's top-left corner. Where other applications' keys
    // cannot be read, a toast says so and nothing else happens.
    void start(QScreen* screen, const QRectF& area);
    void stop();
    bool isRunning() const { return m_running; }

    void setClock(Clock clock);
    // The panel (none unless running), the text it shows and the label's opacity now.
    QWidget* window() const;
    QString text() const { return m_text; }
    double opacity() const;

    // Shows a key as if it had been pressed now.
    void show(const KeyPress& press);
    // Brings the panel up to date with the clock: repaints the fade, hides it when done. The
    // overlay's own timers call it; tests whose clock they move call it too.
    void refresh();

Q_SIGNALS:
    void keyShown(const QString& text);
    // The label has faded out completely.
    void faded();

private:
    KeystrokeOverlay();
    qint64 now() const;

    Clock m_clock;
    QPointer<KeystrokePanel> m_panel;
    QString m_text;
    std::optional<qint64> m_lastKey; // when the key on show was pressed, by the clock
    QTimer m_timer;
    bool m_running = false;
};

} // namespace vantrel
