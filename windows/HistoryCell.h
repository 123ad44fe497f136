// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "HistoryItem.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QRectF>
#include <QString>

class QPainter;
class QPalette;

namespace vantrel {

// Colours and fonts of the history grid's cells, from the window's palette and font.
struct HistoryCellStyle
{
    QColor text;
    QColor secondaryText;
    QColor thumbnailFill; // the secondary colour at opacity 0.12
    QColor accent;
    QColor selection;
    QFont dateFont;
    QFont sizeFont;
    QFont badgeFont;

    static HistoryCellStyle from(const QPalette& palette, const QFont& font);
};

// One capture in the history grid, top to bottom 6 points apart: the thumbnail area, then the
// capture date and the pixel size. Geometry in points, y downwards.
struct HistoryCell
{
    static constexpr qreal thumbnailHeight = 130;
    static constexpr qreal stackSpacing = 6;
    static constexpr qreal lineSpacing = 2; // between the date and the size
    static constexpr qreal cornerRadius = 10;
    static constexpr qreal thumbnailInset = 6;
    static constexpr qreal hoverOutlineWidth = 2;
    static constexpr qreal badgeRadius = 3;
    static constexpr qreal badgeMargin = 8; // from the thumbnail area's top-left corner

    HistoryItem item;
    QImage thumb; // null until loaded, and for files that cannot be read
    bool hovering = false;
    bool selected = false;
    QString dateText;
    QString sizeText;

    // The whole cell's height for the style's fonts.
    static qreal height(const HistoryCellStyle& style);
    // The thumbnail area of a cell.
    static QRectF thumbnailArea(const QRectF& cell);
    // Where a picture of `imageSize` is drawn in the area: as large as fits inside the 6-point
    // inset, aspect kept, centred.
    static QRectF fittedThumbnail(const QRectF& area, const QSizeF& imageSize);
    // "GIF" for GIFs, "VIDEO" for recordings, nothing for pictures.
    static QString badgeText(CaptureKind kind);

    void paint(QPainter& painter, const QRectF& cell, const HistoryCellStyle& style) const;
};

} // namespace vantrel
