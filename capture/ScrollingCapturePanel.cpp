// SPDX-License-Identifier: GPL-3.0-or-later
#include "ScrollingCapturePanel.h"

#include "ChromeWindow.h"
#include "ScrollingCaptureLayout.h"
#include "ScrollingFrameWindow.h"

#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>

namespace vantrel {

namespace {

constexpr qreal cornerRadius = 12;
const QColor hudColour(28, 28, 30);

QPushButton* bezelButton(const QString& title, QWidget* parent, bool prominent)
{
    auto* button = new QPushButton(title, parent);
    button->setFocusPolicy(Qt::NoFocus);
    button->setCursor(Qt::ArrowCursor);
    const QColor fill = prominent ? ScrollingFrameWindow::accentColour() : QColor(255, 255, 255, 46);
    button->setStyleSheet(QStringLiteral("QPushButton { color: white; background: %1; border: 1px solid rgba(255, "
                                         "255, 255, 40); border-radius: 6px; padding: 3px 12px; font-size: 12px; }"
                                         "QPushButton:pressed { background: rgba(255, 255, 255, 90); }")
                              .arg(fill.name(QColor::HexArgb)));
    return button;
}

} // namespace

ScrollingCapturePanel::ScrollingCapturePanel(const QRect& keepOut)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::X11BypassWindowManagerHint)
    , m_keepOut(keepOut)
    , m_translucent(desktopIsCompositing())
{
    setWindowTitle(QStringLiteral("Vantrel Scrolling Capture"));
    markAsChrome(this);
    setFocusPolicy(Qt::StrongFocus);
    // Without a compositor a translucent window shows black where it is clear: the rounded
    // corners are cut out of the window's shape instead, and the panel is opaque.
    if (m_translucent)
        setAttribute(Qt::WA_TranslucentBackground);
    setFixedSize(ScrollingCaptureLayout::panelWidth, ScrollingCaptureLayout::panelHeight);

    m_status = new QLabel(tr("Scroll slowly…"), this);
    QFont font = m_status->font();
    font.setPixelSize(12);
    font.setWeight(QFont::Medium);
    m_status->setFont(font);
    QPalette palette = m_status->palette();
    palette.setColor(QPalette::WindowText, Qt::white);
    m_status->setPalette(palette);

    m_done = bezelButton(tr("Done"), this, true);
    m_done->setToolTip(QKeySequence(Qt::Key_Return).toString(QKeySequence::NativeText));
    m_cancel = bezelButton(tr("Cancel"), this, false);

    auto* row = new QHBoxLayout(this);
    row->setSpacing(8);
    row->setContentsMargins(12, 6, 12, 6);
    row->addWidget(m_status, 1);
    row->addWidget(m_done);
    row->addWidget(m_cancel);

    connect(m_done, &QPushButton::clicked, this, &ScrollingCapturePanel::doneClicked);
    connect(m_cancel, &QPushButton::clicked, this, &ScrollingCapturePanel::cancelClicked);
    for (int key : {Qt::Key_Return, Qt::Key_Enter}) {
        auto* shortcut = new QShortcut(QKeySequence(key), this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, &ScrollingCapturePanel::doneClicked);
    }

    if (!m_translucent) {
        QPainterPath shape;
        shape.addRoundedRect(QRectF(rect()), cornerRadius, cornerRadius);
        setMask(QRegion(shape.toFillPolygon().toPolygon()));
    }
}

void ScrollingCapturePanel::setStatus(const QString& text)
{
    m_status->setText(text);
}

QString ScrollingCapturePanel::status() const
{
    return m_status->text();
}

void ScrollingCapturePanel::takeKeyboard()
{
    askForKeyboard(0);
}

void ScrollingCapturePanel::askForKeyboard(int attempt)
{
    if (!isVisible() || isActiveWindow() || attempt >= 50)
        return;
    activateWindow();
    setFocus(Qt::OtherFocusReason);
    QPointer<ScrollingCapturePanel> self(this);
    QTimer::singleShot(20, this, [self, attempt] {
        if (self)
            self->askForKeyboard(attempt + 1);
    });
}

void ScrollingCapturePanel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    QColor fill = hudColour;
    if (m_translucent)
        fill.setAlpha(224);
    painter.setBrush(fill);
    painter.drawRoundedRect(QRectF(rect()), cornerRadius, cornerRadius);
}

void ScrollingCapturePanel::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    m_dragOffset = event->globalPosition().toPoint() - pos();
}

void ScrollingCapturePanel::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_dragOffset)
        return;
    const QPoint wanted = event->globalPosition().toPoint() - *m_dragOffset;
    move(keepOutside(QRect(wanted, size()), m_keepOut));
}

void ScrollingCapturePanel::mouseReleaseEvent(QMouseEvent*)
{
    m_dragOffset.reset();
}

} // namespace vantrel
