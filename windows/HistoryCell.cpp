// SPDX-License-Identifier: GPL-3.0-or-later
#include "HistoryCell.h"

#include <QCoreApplication>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>

#include <algorithm>
#include <cmath>

namespace vantrel {

HistoryCellStyle HistoryCellStyle::from(const QPalette& palette, const QFont& font)
{
    HistoryCellStyle style;
    style.text = palette.color(QPalette::Text);
    style.secondaryText = palette.color(QPalette::PlaceholderText);
    style.thumbnailFill = style.secondaryText;
    style.thumbnailFill.setAlphaF(float(style.secondaryText.alphaF() * 0.12));
    style.accent = palette.color(QPalette::Highlight);
    style.selection = style.accent;
    style.selection.setAlphaF(0.18f);
    style.dateFont = font;
    style.dateFont.setPointSizeF(font.pointSizeF() > 0 ? font.pointSizeF() * 0.9 : 9);
    style.sizeFont = font;
    style.sizeFont.setPointSizeF(font.pointSizeF() > 0 ? font.pointSizeF() * 0.8 : 8);
    style.badgeFont = font;
    // 9 points of the original design, where a point is a logical pixel: 6.75 typographic points.
    style.badgeFont.setPointSizeF(6.75);
    style.badgeFont.setBold(true);
    return style;
}

qreal HistoryCell::height(const HistoryCellStyle& style)
{
    return std::ceil(thumbnailHeight + stackSpacing + QFontMetricsF(style.dateFont).height() + lineSpacing
        + QFontMetricsF(style.sizeFont).height());
}

QRectF HistoryCell::thumbnailArea(const QRectF& cell)
{
    return QRectF(cell.left(), cell.top(), cell.width(), thumbnailHeight);
}

QRectF HistoryCell::fittedThumbnail(const QRectF& area, const QSizeF& imageSize)
{
    const QRectF room = area.adjusted(thumbnailInset, thumbnailInset, -thumbnailInset, -thumbnailInset);
    if (imageSize.isEmpty() || room.isEmpty())
        return {};
    const QSizeF size = imageSize.scaled(room.size(), Qt::KeepAspectRatio);
    return QRectF(room.center() - QPointF(size.width() / 2, size.height() / 2), size);
}

QString HistoryCell::badgeText(CaptureKind kind)
{
    switch (kind) {
    case CaptureKind::gif: return QCoreApplication::translate("HistoryCell", "GIF");
    case CaptureKind::recording: return QCoreApplication::translate("HistoryCell", "VIDEO");
    default: return {};
    }
}

void HistoryCell::paint(QPainter& painter, const QRectF& cell, const HistoryCellStyle& style) const
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    if (selected) {
        // The keyboard's and the menu's cell: a soft accent plate behind the whole cell.
        painter.setPen(Qt::NoPen);
        painter.setBrush(style.selection);
        painter.drawRoundedRect(cell.adjusted(-4, -4, 4, 4), cornerRadius + 2, cornerRadius + 2);
    }

    const QRectF area = thumbnailArea(cell);
    painter.setPen(Qt::NoPen);
    painter.setBrush(style.thumbnailFill);
    painter.drawRoundedRect(area, cornerRadius, cornerRadius);

    if (!thumb.isNull()) {
        const QRectF target = fittedThumbnail(area, QSizeF(thumb.size()));
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(target, thumb);
    }

    if (const QString badge = badgeText(item.kind); !badge.isEmpty()) {
        const QFontMetricsF metrics(style.badgeFont);
        const QSizeF padding(5, 2);
        const QRectF plate(area.topLeft() + QPointF(badgeMargin, badgeMargin),
            QSizeF(metrics.horizontalAdvance(badge) + 2 * padding.width(), metrics.height() + 2 * padding.height()));
        painter.setBrush(QColor(0, 0, 0, 166)); // black at 0.65
        painter.drawRoundedRect(plate, badgeRadius, badgeRadius);
        painter.setFont(style.badgeFont);
        painter.setPen(Qt::white);
        painter.drawText(plate, Qt::AlignCenter, badge);
    }

    if (hovering) {
        // The outline lies inside the area, so neighbouring cells never cover it.
        const qreal half = hoverOutlineWidth / 2;
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(style.accent, hoverOutlineWidth));
        painter.drawRoundedRect(area.adjusted(half, half, -half, -half), cornerRadius - half, cornerRadius - half);
    }

    const QFontMetricsF dateMetrics(style.dateFont);
    const QFontMetricsF sizeMetrics(style.sizeFont);
    const QRectF dateLine(cell.left(), area.bottom() + stackSpacing, cell.width(), dateMetrics.height());
    const QRectF sizeLine(cell.left(), dateLine.bottom() + lineSpacing, cell.width(), sizeMetrics.height());
    painter.setFont(style.dateFont);
    painter.setPen(style.text);
    painter.drawText(
        dateLine, Qt::AlignLeft | Qt::AlignVCenter, dateMetrics.elidedText(dateText, Qt::ElideRight, dateLine.width()));
    painter.setFont(style.sizeFont);
    painter.setPen(style.secondaryText);
    painter.drawText(
        sizeLine, Qt::AlignLeft | Qt::AlignVCenter, sizeMetrics.elidedText(sizeText, Qt::ElideRight, sizeLine.width()));
    painter.restore();
}

} // namespace vantrel
