// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

class QSocketNotifier;

namespace vantrel {

// Turns SIGTERM, SIGINT and SIGHUP into a signal on the main thread, so that a kill, Ctrl+C in
// a terminal or a closing terminal ends Vantrel through the same orderly quit as its menu. The
// handler only writes the signal's number into a pipe (the one thing safe to do there); the
// main loop reads it. One instance at a time; the default handling comes back when it goes.
class QuitSignals : public QObject
{
    Q_OBJECT
public:
    explicit QuitSignals(QObject* parent = nullptr);
    ~QuitSignals() override;
    QuitSignals(const QuitSignals&) = delete;
    QuitSignals& operator=(const QuitSignals&) = delete;

    // False when the pipe or the handlers could not be set up (then the defaults stay).
    bool active() const { return m_notifier != nullptr; }

Q_SIGNALS:
    // The number of the signal that arrived (SIGTERM, SIGINT or SIGHUP).
    void quitRequested(int signalNumber);

private:
    void readPipe();

    int m_pipe[2] = {-1, -1};
    QSocketNotifier* m_notifier = nullptr;
};

} // namespace vantrel
