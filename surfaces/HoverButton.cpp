// SPDX-License-Identifier: GPL-3.0-or-later
#include "HoverButton.h"

#include "SymbolIcons.h"

#include <QPainter>

namespace vantrel {

namespace {

constexpr int symbolPoints = 10;

} // namespace

HoverButton::HoverButton(QWidget* parent)
    : QAbstractButton(parent)
{
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
}

HoverButton* HoverButton::titled(const QString& title, QWidget* parent)
{
    auto* button = new HoverButton(parent);
    button->setText(title);
    button->setAccessibleName(title);
    QFont font = button->font();
    font.setPixelSize(13);
    font.setWeight(QFont::DemiBold);
    button->setFont(font);
    button->resize(96, 30);
    return button;
}

HoverButton* HoverButton::symbol(const QString& symbolName, const QString& toolTip, QWidget* parent)
{
    auto* button = new HoverButton(parent);
    button->m_symbol = symbolName;
    button->setToolTip(toolTip);
    button->setAccessibleName(toolTip);
    button->resize(24, 24);
    return button;
}

void HoverButton::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    QColor fill(255, 255, 255);
    fill.setAlphaF(isDown() ? 0.75 : 0.92);
    p.setBrush(fill);
    const qreal radius = std::min(width(), height()) / 2.0;
    p.drawRoundedRect(QRectF(rect()), radius, radius);
    if (!m_symbol.isEmpty()) {
        const QPixmap glyph = tintedSymbol(m_symbol, symbolPoints, Qt::black, devicePixelRatioF());
        p.drawPixmap(QPointF((width() - symbolPoints) / 2.0, (height() - symbolPoints) / 2.0), glyph);
    } else {
        p.setPen(Qt::black);
        p.setFont(font());
        p.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine, text());
    }
}

} // namespace vantrel
