// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Toasts.h"

#include <QPointer>
#include <QWidget>

class QTimer;
class QPropertyAnimation;

namespace vantrel {

// The floating capsule (or large centred word) of one toast. It never takes focus, lets every
// click through, and is left out of captures.
class ToastPanel : public QWidget
{
    Q_OBJECT
public:
    explicit ToastPanel(const ToastRequest& request);

    QString text() const { return m_request.text; }
    QString displayedText() const { return m_displayedText; }
    bool isLarge() const { return m_request.large; }
    bool hasSpinner() const { return m_request.spinner; }
    // Corner radius of the rounded shape: 24 for the large style, half the height otherwise.
    qreal cornerRadius() const;

    // Fades out over 0.25 s, hides, announces it and closes itself.
    void fadeOut();

Q_SIGNALS:
    void hidden();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void advanceSpinner();

    ToastRequest m_request;
    QString m_displayedText;
    QPixmap m_symbol;
    QRect m_leadingRect;
    QRect m_textRect;
    QFont m_font;
    int m_spinnerStep = 0;
    QTimer* m_spinnerTimer = nullptr;
};

// Shows at most one toast at a time: a new request removes the current panel at once, and the
// old panel's pending hide can never touch its successor.
class ToastService : public QObject, public ToastPresenter
{
    Q_OBJECT
public:
    explicit ToastService(QObject* parent = nullptr);
    ~ToastService() override;

    void show(const ToastRequest& request) override;
    void dismiss() override;

    ToastPanel* currentPanel() const { return m_current; }

    // Width cap of the capsule, and its distance above the bottom of the screen, in points.
    static constexpr int maximumWidth = 520;
    static constexpr int bottomOffset = 140;

private:
    QPointer<ToastPanel> m_current;
    QTimer* m_hideTimer;
};

} // namespace vantrel
