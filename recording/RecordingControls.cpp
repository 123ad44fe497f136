// SPDX-License-Identifier: GPL-3.0-or-later
#include "RecordingControls.h"

#include "ChromeWindow.h"
#include "RecordingGeometry.h"
#include "SymbolIcons.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QTimer>
#include <QToolButton>

#include <cmath>
#include <cstdio>

namespace vantrel {

namespace {

constexpr int insets = 14;
constexpr int spacing = 10;
constexpr int symbolSize = 16;
constexpr double cornerRadius = 12.0;
const QColor stopRed(255, 59, 48);

QToolButton* symbolButton(const QString& symbol, const QColor& tint, const QString& name, std::function<void()> action)
{
    auto* button = new QToolButton;
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setIcon(QIcon(tintedSymbol(symbol, symbolSize, tint, 2.0)));
    button->setIconSize(QSize(symbolSize, symbolSize));
    button->setToolTip(name);
    button->setAccessibleName(name);
    button->setCursor(Qt::ArrowCursor);
    button->setStyleSheet(QStringLiteral("QToolButton { border: none; background: transparent; padding: 2px; }"));
    QObject::connect(button, &QToolButton::clicked, button, [action = std::move(action)] { action(); });
    return button;
}

} // namespace

RecordingControls::RecordingControls(
    QScreen* screen, const QRectF& area, std::function<void()> stop, std::function<void()> discard)
    : QWidget(nullptr,
        Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::X11BypassWindowManagerHint
            | Qt::WindowDoesNotAcceptFocus)
    , m_stop(symbolButton(QStringLiteral("stop.fill"), stopRed, tr("Stop"), std::move(stop)))
    , m_label(new QLabel(tr("Starting…")))
    , m_discard(symbolButton(QStringLiteral("trash"), Qt::white, tr("Discard"), std::move(discard)))
{
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    markAsChrome(this);
    if (screen)
        setScreen(screen);

    QFont font = m_label->font();
    font.setPixelSize(13);
    font.setWeight(QFont::Medium);
    m_label->setFont(font);
    QPalette palette = m_label->palette();
    palette.setColor(QPalette::WindowText, Qt::white);
    m_label->setPalette(palette);
    m_label->setAlignment(Qt::AlignCenter);
    // As wide as the longest usual clock, so the bar keeps its size while the time runs.
    m_label->setFixedWidth(int(std::ceil(QFontMetricsF(font).horizontalAdvance(QStringLiteral("\u25CF REC  00:00")))));

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(insets, 0, insets, 0);
    layout->setSpacing(spacing);
    layout->addWidget(m_stop, 0, Qt::AlignVCenter);
    layout->addWidget(m_label, 0, Qt::AlignVCenter);
    layout->addWidget(m_discard, 0, Qt::AlignVCenter);

    const int width = layout->sizeHint().width();
    const QRectF bar = screen ? recordinggeometry::barRect(screen->geometry(), screen->availableGeometry(), area, width)
                              : QRectF(0, 0, width, recordinggeometry::barHeight);
    setFixedSize(width, int(recordinggeometry::barHeight));
    move(bar.topLeft().toPoint());

    if (!desktopIsCompositing()) {
        QPainterPath shape;
        shape.addRoundedRect(QRectF(rect()), cornerRadius, cornerRadius);
        setMask(QRegion(shape.toFillPolygon().toPolygon()));
    }
}

void RecordingControls::setElapsed(double seconds)
{
    m_label->setText(recordinggeometry::elapsedLabel(seconds));
}

QString RecordingControls::labelText() const
{
    return m_label->text();
}

QString RecordingControls::layoutDescription() const
{
    auto frameOf = [](const QRect& r) {
        return QStringLiteral("%1,%2 %3×%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
    };
    QString text = QStringLiteral("bar %1×%2\n").arg(width()).arg(height());
    for (const QWidget* control : {static_cast<const QWidget*>(m_stop), static_cast<const QWidget*>(m_label),
             static_cast<const QWidget*>(m_discard)})
        text += QString::fromLatin1(control->metaObject()->className()) + QLatin1Char(' ')
            + frameOf(control->geometry()) + QLatin1Char('\n');
    return text;
}

void RecordingControls::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(30, 30, 32, 220));
    painter.drawRoundedRect(QRectF(rect()), cornerRadius, cornerRadius);
}

void RecordingControls::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        m_grab = event->position().toPoint();
}

void RecordingControls::mouseMoveEvent(QMouseEvent* event)
{
    if (m_grab)
        move(event->globalPosition().toPoint() - *m_grab);
}

void RecordingControls::mouseReleaseEvent(QMouseEvent*)
{
    m_grab.reset();
}

void runRecordingBarPreview(QScreen* screen)
{
    auto* bar = new RecordingControls(
        screen, QRectF(300, 200, 640, 400), [] {}, [] {});
    bar->setElapsed(2);
    bar->show();
    QTimer::singleShot(500, bar, [bar] {
        std::fputs(bar->layoutDescription().toUtf8().constData(), stdout);
        std::fflush(stdout);
    });
    QTimer::singleShot(4000, bar, [bar] {
        bar->hide();
        bar->deleteLater();
        QCoreApplication::quit();
    });
}

} // namespace vantrel
