// SPDX-License-Identifier: GPL-3.0-or-later
#include "SymbolIcons.h"

#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QStringList>
#include <QTransform>

#include <functional>

namespace vantrel {

namespace {

// Symbol name → freedesktop icon names, best first. The standard freedesktop icon
// names come first; widely shipped extras (Adwaita, Breeze) follow.
const QHash<QString, QStringList>& themeTable()
{
    static const QHash<QString, QStringList> table = {
        {QStringLiteral("square.grid.2x2"), {QStringLiteral("view-app-grid-symbolic"), QStringLiteral("view-grid")}},
        {QStringLiteral("rectangle.dashed"),
            {QStringLiteral("selection-mode-symbolic"), QStringLiteral("select-rectangular"),
                QStringLiteral("edit-select-all")}},
        {QStringLiteral("arrow.counterclockwise.circle"),
            {QStringLiteral("edit-redo-symbolic"), QStringLiteral("view-refresh")}},
        {QStringLiteral("display"), {QStringLiteral("video-display")}},
        {QStringLiteral("window"), {QStringLiteral("window"), QStringLiteral("preferences-system-windows")}},
        {QStringLiteral("timer"), {QStringLiteral("timer-symbolic"), QStringLiteral("chronometer")}},
        {QStringLiteral("arrow.up.and.down.text.horizontal"), {QStringLiteral("view-sort"), QStringLiteral("go-down")}},
        {QStringLiteral("text.viewfinder"), {QStringLiteral("insert-text"), QStringLiteral("format-text-bold")}},
        {QStringLiteral("record.circle"), {QStringLiteral("media-record")}},
        {QStringLiteral("pencil.and.outline"),
            {QStringLiteral("document-edit"), QStringLiteral("accessories-text-editor")}},
        {QStringLiteral("pencil"), {QStringLiteral("document-edit"), QStringLiteral("edit-entry")}},
        {QStringLiteral("pin"), {QStringLiteral("pin"), QStringLiteral("window-pin"), QStringLiteral("view-pin")}},
        {QStringLiteral("pin.fill"), {QStringLiteral("pin"), QStringLiteral("window-pin")}},
        {QStringLiteral("clock.arrow.circlepath"), {QStringLiteral("document-open-recent")}},
        {QStringLiteral("arrow.uturn.backward"), {QStringLiteral("edit-undo")}},
        {QStringLiteral("arrow.uturn.forward"), {QStringLiteral("edit-redo")}},
        {QStringLiteral("lock.open"), {QStringLiteral("changes-allow"), QStringLiteral("object-unlocked")}},
        {QStringLiteral("lock.fill"), {QStringLiteral("changes-prevent"), QStringLiteral("object-locked")}},
        {QStringLiteral("checkmark.circle.fill"), {QStringLiteral("emblem-ok-symbolic"), QStringLiteral("dialog-ok")}},
        {QStringLiteral("arrow.down.circle.fill"), {QStringLiteral("document-save")}},
        {QStringLiteral("exclamationmark.triangle.fill"), {QStringLiteral("dialog-warning")}},
        {QStringLiteral("exclamationmark.circle.fill"), {QStringLiteral("dialog-warning-symbolic")}},
        {QStringLiteral("doc.on.clipboard"), {QStringLiteral("edit-paste")}},
        {QStringLiteral("doc.on.doc"), {QStringLiteral("edit-copy")}},
        {QStringLiteral("text.magnifyingglass"), {QStringLiteral("edit-find")}},
        {QStringLiteral("qrcode"), {QStringLiteral("qrcode"), QStringLiteral("view-barcode-qr")}},
        {QStringLiteral("hourglass"), {QStringLiteral("hourglass"), QStringLiteral("chronometer")}},
        {QStringLiteral("keyboard"), {QStringLiteral("input-keyboard")}},
        {QStringLiteral("stop.circle.fill"), {QStringLiteral("media-playback-stop")}},
        {QStringLiteral("stop.fill"), {QStringLiteral("media-playback-stop")}},
        {QStringLiteral("play.fill"), {QStringLiteral("media-playback-start")}},
        {QStringLiteral("square.and.arrow.up"), {QStringLiteral("document-share"), QStringLiteral("emblem-shared")}},
        {QStringLiteral("square.and.arrow.down"), {QStringLiteral("document-save")}},
        {QStringLiteral("trash"), {QStringLiteral("user-trash"), QStringLiteral("edit-delete")}},
        {QStringLiteral("folder"), {QStringLiteral("folder"), QStringLiteral("system-file-manager")}},
        {QStringLiteral("xmark"), {QStringLiteral("window-close")}},
        {QStringLiteral("rotate.right"), {QStringLiteral("object-rotate-right")}},
        {QStringLiteral("photo.artframe"), {QStringLiteral("image-x-generic")}},
        {QStringLiteral("photo.stack"), {QStringLiteral("image-x-generic")}},
        {QStringLiteral("viewfinder"), {}},
        // The settings window's tabs: Vantrel's own drawings, one set whatever the theme holds.
        {QStringLiteral("gearshape"), {}},
        {QStringLiteral("camera"), {}},
        {QStringLiteral("rectangle.on.rectangle"), {}},
        {QStringLiteral("command"), {}},
        // The editor's tools and style menus: always Vantrel's own drawings, so that the tool row
        // looks like one set whatever the theme holds.
        {QStringLiteral("cursorarrow"), {}},
        {QStringLiteral("crop"), {}},
        {QStringLiteral("rectangle"), {}},
        {QStringLiteral("rectangle.fill"), {}},
        {QStringLiteral("circle"), {}},
        {QStringLiteral("line.diagonal"), {}},
        {QStringLiteral("arrow.up.right"), {}},
        {QStringLiteral("textformat"), {}},
        {QStringLiteral("scribble"), {}},
        {QStringLiteral("highlighter"), {}},
        {QStringLiteral("1.circle"), {}},
        {QStringLiteral("drop"), {}},
        {QStringLiteral("checkerboard.rectangle"), {}},
        {QStringLiteral("flashlight.on.fill"), {}},
        {QStringLiteral("lineweight"), {}},
        {QStringLiteral("textformat.size"), {}},
    };
    return table;
}

using Painter = std::function<void(QPainter&, const QRectF&)>;

// A round black pen `fraction` of the symbol's width wide.
QPen symbolPen(const QRectF& r, qreal fraction)
{
    return QPen(Qt::black, r.width() * fraction, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

// A point of the symbol's square given in fractions of its size.
QPointF at(const QRectF& r, qreal x, qreal y)
{
    return QPointF(r.left() + r.width() * x, r.top() + r.height() * y);
}

QRectF inset(const QRectF& r, qreal left, qreal top, qreal right, qreal bottom)
{
    return QRectF(at(r, left, top), at(r, right, bottom));
}

QFont symbolFont(const QRectF& r, qreal fraction, bool bold)
{
    QFont font;
    font.setPixelSize(std::max(1, int(r.height() * fraction)));
    font.setBold(bold);
    return font;
}

// Vantrel's own drawings for the symbols that must never be missing. They are drawn in black
// on transparent, like template images, and tinted by the caller.
const QHash<QString, Painter>& drawnTable()
{
    static const QHash<QString, Painter> table = {
        {QStringLiteral("viewfinder"),
            [](QPainter& p, const QRectF& r) {
                const qreal w = r.width();
                QPen pen(Qt::black, w * 0.09, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
                p.setPen(pen);
                const QRectF box = r.adjusted(w * 0.12, w * 0.12, -w * 0.12, -w * 0.12);
                const qreal arm = w * 0.24;
                const QPointF corners[4] = {box.topLeft(), box.topRight(), box.bottomRight(), box.bottomLeft()};
                const QPointF dirs[4] = {{1, 1}, {-1, 1}, {-1, -1}, {1, -1}};
                for (int i = 0; i < 4; ++i) {
                    p.drawLine(corners[i], corners[i] + QPointF(dirs[i].x() * arm, 0));
                    p.drawLine(corners[i], corners[i] + QPointF(0, dirs[i].y() * arm));
                }
                p.setPen(Qt::NoPen);
                p.setBrush(Qt::black);
                p.drawEllipse(r.center(), w * 0.08, w * 0.08);
            }},
        {QStringLiteral("checkmark.circle.fill"),
            [](QPainter& p, const QRectF& r) {
                const qreal w = r.width();
                QPainterPath circle;
                circle.addEllipse(r.adjusted(w * 0.06, w * 0.06, -w * 0.06, -w * 0.06));
                QPainterPath tick;
                tick.moveTo(r.left() + w * 0.3, r.top() + w * 0.52);
                tick.lineTo(r.left() + w * 0.44, r.top() + w * 0.66);
                tick.lineTo(r.left() + w * 0.72, r.top() + w * 0.36);
                QPainterPathStroker stroker;
                stroker.setWidth(w * 0.1);
                stroker.setCapStyle(Qt::RoundCap);
                stroker.setJoinStyle(Qt::RoundJoin);
                p.fillPath(circle.subtracted(stroker.createStroke(tick)), Qt::black);
            }},
        {QStringLiteral("exclamationmark.triangle.fill"),
            [](QPainter& p, const QRectF& r) {
                const qreal w = r.width();
                QPainterPath triangle;
                triangle.moveTo(r.center().x(), r.top() + w * 0.08);
                triangle.lineTo(r.right() - w * 0.04, r.bottom() - w * 0.1);
                triangle.lineTo(r.left() + w * 0.04, r.bottom() - w * 0.1);
                triangle.closeSubpath();
                QPainterPath mark;
                mark.addRect(QRectF(r.center().x() - w * 0.05, r.top() + w * 0.35, w * 0.1, w * 0.28));
                mark.addEllipse(QPointF(r.center().x(), r.top() + w * 0.74), w * 0.06, w * 0.06);
                p.fillPath(triangle.subtracted(mark), Qt::black);
            }},
        // The history's symbol (the tray menu, the empty history window): a clock face inside an
        // arrow that turns back.
        {QStringLiteral("clock.arrow.circlepath"),
            [](QPainter& p, const QRectF& r) {
                const qreal w = r.width();
                const QPointF c = r.center();
                p.setPen(symbolPen(r, 0.08));
                p.setBrush(Qt::NoBrush);
                const QRectF ring(c - QPointF(w * 0.38, w * 0.38), QSizeF(w * 0.76, w * 0.76));
                // From the left, clockwise over the top round to the lower left (Qt angles turn
                // counter-clockwise, in sixteenths of a degree).
                p.drawArc(ring, 195 * 16, -300 * 16);
                QPainterPath head;
                const QPointF tip(ring.left() + w * 0.02, c.y() + w * 0.02);
                head.moveTo(tip + QPointF(-w * 0.14, -w * 0.1));
                head.lineTo(tip + QPointF(w * 0.1, -w * 0.12));
                head.lineTo(tip + QPointF(-w * 0.02, w * 0.12));
                head.closeSubpath();
                p.fillPath(head, Qt::black);
                p.setPen(symbolPen(r, 0.07));
                p.drawLine(c, c + QPointF(0, -w * 0.2));
                p.drawLine(c, c + QPointF(w * 0.14, w * 0.08));
            }},
        {QStringLiteral("gearshape"),
            [](QPainter& p, const QRectF& r) {
                const qreal w = r.width();
                const QPointF c = r.center();
                QPainterPath gear;
                gear.addEllipse(c, w * 0.31, w * 0.31);
                for (int i = 0; i < 8; ++i) {
                    QPainterPath tooth;
                    tooth.addRoundedRect(QRectF(-w * 0.08, -w * 0.44, w * 0.16, w * 0.2), w * 0.03, w * 0.03);
                    gear = gear.united(QTransform().translate(c.x(), c.y()).rotate(45.0 * i).map(tooth));
                }
                QPainterPath hole;
                hole.addEllipse(c, w * 0.13, w * 0.13);
                p.fillPath(gear.subtracted(hole), Qt::black);
            }},
        {QStringLiteral("camera"),
            [](QPainter& p, const QRectF& r) {
                QPainterPath body;
                body.addRoundedRect(inset(r, 0.06, 0.28, 0.94, 0.84), r.width() * 0.1, r.width() * 0.1);
                QPainterPath bump;
                bump.addRoundedRect(inset(r, 0.32, 0.16, 0.68, 0.34), r.width() * 0.05, r.width() * 0.05);
                QPainterPath lens;
                lens.addEllipse(at(r, 0.5, 0.56), r.width() * 0.17, r.width() * 0.17);
                QPainterPath pupil;
                pupil.addEllipse(at(r, 0.5, 0.56), r.width() * 0.09, r.width() * 0.09);
                p.fillPath(body.united(bump).subtracted(lens).united(pupil), Qt::black);
            }},
        {QStringLiteral("rectangle.on.rectangle"),
            [](QPainter& p, const QRectF& r) {
                p.setPen(symbolPen(r, 0.08));
                p.setBrush(Qt::NoBrush);
                const qreal radius = r.width() * 0.08;
                p.drawRoundedRect(inset(r, 0.3, 0.14, 0.9, 0.62), radius, radius);
                p.setBrush(Qt::black);
                p.drawRoundedRect(inset(r, 0.1, 0.38, 0.7, 0.86), radius, radius);
            }},
        {QStringLiteral("command"),
            [](QPainter& p, const QRectF& r) {
                // Shortcuts on Linux are keyboard settings: a keyboard with its keys.
                const qreal w = r.width();
                QPainterPath board;
                board.addRoundedRect(inset(r, 0.04, 0.2, 0.96, 0.8), w * 0.1, w * 0.1);
                QPainterPath keys;
                for (int row = 0; row < 2; ++row) {
                    for (int column = 0; column < 5; ++column)
                        keys.addRect(QRectF(at(r, 0.14 + column * 0.15, 0.3 + row * 0.15), QSizeF(w * 0.1, w * 0.1)));
                }
                keys.addRect(inset(r, 0.26, 0.6, 0.74, 0.7));
                p.fillPath(board.subtracted(keys), Qt::black);
            }},
        {QStringLiteral("exclamationmark.circle.fill"),
            [](QPainter& p, const QRectF& r) {
                const qreal w = r.width();
                QPainterPath circle;
                circle.addEllipse(r.adjusted(w * 0.06, w * 0.06, -w * 0.06, -w * 0.06));
                QPainterPath mark;
                mark.addRoundedRect(
                    QRectF(r.center().x() - w * 0.05, r.top() + w * 0.22, w * 0.1, w * 0.36), w * 0.05, w * 0.05);
                mark.addEllipse(QPointF(r.center().x(), r.top() + w * 0.72), w * 0.065, w * 0.065);
                p.fillPath(circle.subtracted(mark), Qt::black);
            }},
        {QStringLiteral("arrow.down.circle.fill"),
            [](QPainter& p, const QRectF& r) {
                const qreal w = r.width();
                QPainterPath circle;
                circle.addEllipse(r.adjusted(w * 0.06, w * 0.06, -w * 0.06, -w * 0.06));
                QPainterPath arrow;
                arrow.moveTo(r.center().x(), r.top() + w * 0.26);
                arrow.lineTo(r.center().x(), r.top() + w * 0.72);
                arrow.moveTo(r.left() + w * 0.32, r.top() + w * 0.54);
                arrow.lineTo(r.center().x(), r.top() + w * 0.72);
                arrow.lineTo(r.right() - w * 0.32, r.top() + w * 0.54);
                QPainterPathStroker stroker;
                stroker.setWidth(w * 0.1);
                stroker.setCapStyle(Qt::RoundCap);
                stroker.setJoinStyle(Qt::RoundJoin);
                p.fillPath(circle.subtracted(stroker.createStroke(arrow)), Qt::black);
            }},
        {QStringLiteral("stop.circle.fill"),
            [](QPainter& p, const QRectF& r) {
                const qreal w = r.width();
                QPainterPath circle;
                circle.addEllipse(r.adjusted(w * 0.06, w * 0.06, -w * 0.06, -w * 0.06));
                QPainterPath square;
                square.addRoundedRect(QRectF(r.center().x() - w * 0.17, r.center().y() - w * 0.17, w * 0.34, w * 0.34),
                    w * 0.04, w * 0.04);
                p.fillPath(circle.subtracted(square), Qt::black);
            }},
        {QStringLiteral("stop.fill"),
            [](QPainter& p, const QRectF& r) {
                p.setPen(Qt::NoPen);
                p.setBrush(Qt::black);
                p.drawRoundedRect(inset(r, 0.16, 0.16, 0.84, 0.84), r.width() * 0.1, r.width() * 0.1);
            }},
        {QStringLiteral("trash"),
            [](QPainter& p, const QRectF& r) {
                p.setPen(symbolPen(r, 0.08));
                p.setBrush(Qt::NoBrush);
                p.drawLine(at(r, 0.12, 0.24), at(r, 0.88, 0.24));
                p.drawPolyline(QPolygonF({at(r, 0.38, 0.24), at(r, 0.4, 0.1), at(r, 0.6, 0.1), at(r, 0.62, 0.24)}));
                p.drawPolyline(QPolygonF({at(r, 0.22, 0.24), at(r, 0.28, 0.9), at(r, 0.72, 0.9), at(r, 0.78, 0.24)}));
                for (const qreal x : {0.41, 0.59})
                    p.drawLine(at(r, x, 0.38), at(r, x, 0.76));
            }},
        {QStringLiteral("record.circle"),
            [](QPainter& p, const QRectF& r) {
                const qreal w = r.width();
                p.setPen(QPen(Qt::black, w * 0.08));
                p.setBrush(Qt::NoBrush);
                p.drawEllipse(r.adjusted(w * 0.1, w * 0.1, -w * 0.1, -w * 0.1));
                p.setPen(Qt::NoPen);
                p.setBrush(Qt::black);
                p.drawEllipse(r.center(), w * 0.2, w * 0.2);
            }},
        {QStringLiteral("lock.fill"),
            [](QPainter& p, const QRectF& r) {
                const qreal w = r.width();
                p.setPen(QPen(Qt::black, w * 0.1));
                p.setBrush(Qt::NoBrush);
                p.drawArc(QRectF(r.left() + w * 0.3, r.top() + w * 0.1, w * 0.4, w * 0.5), 0, 180 * 16);
                p.drawLine(
                    QPointF(r.left() + w * 0.3, r.top() + w * 0.35), QPointF(r.left() + w * 0.3, r.top() + w * 0.45));
                p.drawLine(
                    QPointF(r.right() - w * 0.3, r.top() + w * 0.35), QPointF(r.right() - w * 0.3, r.top() + w * 0.45));
                p.setPen(Qt::NoPen);
                p.setBrush(Qt::black);
                p.drawRoundedRect(
                    QRectF(r.left() + w * 0.2, r.top() + w * 0.45, w * 0.6, w * 0.45), w * 0.06, w * 0.06);
            }},
        {QStringLiteral("cursorarrow"),
            [](QPainter& p, const QRectF& r) {
                QPainterPath arrow;
                arrow.moveTo(at(r, 0.25, 0.1));
                arrow.lineTo(at(r, 0.25, 0.82));
                arrow.lineTo(at(r, 0.42, 0.66));
                arrow.lineTo(at(r, 0.55, 0.92));
                arrow.lineTo(at(r, 0.66, 0.86));
                arrow.lineTo(at(r, 0.53, 0.61));
                arrow.lineTo(at(r, 0.76, 0.61));
                arrow.closeSubpath();
                p.fillPath(arrow, Qt::black);
            }},
        {QStringLiteral("crop"),
            [](QPainter& p, const QRectF& r) {
                p.setPen(symbolPen(r, 0.09));
                p.drawPolyline(QPolygonF({at(r, 0.28, 0.06), at(r, 0.28, 0.72), at(r, 0.94, 0.72)}));
                p.drawPolyline(QPolygonF({at(r, 0.06, 0.28), at(r, 0.72, 0.28), at(r, 0.72, 0.94)}));
            }},
        {QStringLiteral("rectangle"),
            [](QPainter& p, const QRectF& r) {
                p.setPen(symbolPen(r, 0.08));
                p.drawRoundedRect(inset(r, 0.1, 0.22, 0.9, 0.78), r.width() * 0.06, r.width() * 0.06);
            }},
        {QStringLiteral("rectangle.fill"),
            [](QPainter& p, const QRectF& r) {
                p.setPen(Qt::NoPen);
                p.setBrush(Qt::black);
                p.drawRoundedRect(inset(r, 0.08, 0.2, 0.92, 0.8), r.width() * 0.08, r.width() * 0.08);
            }},
        {QStringLiteral("circle"),
            [](QPainter& p, const QRectF& r) {
                p.setPen(symbolPen(r, 0.08));
                p.drawEllipse(inset(r, 0.12, 0.12, 0.88, 0.88));
            }},
        {QStringLiteral("line.diagonal"),
            [](QPainter& p, const QRectF& r) {
                p.setPen(symbolPen(r, 0.09));
                p.drawLine(at(r, 0.15, 0.85), at(r, 0.85, 0.15));
            }},
        {QStringLiteral("arrow.up.right"),
            [](QPainter& p, const QRectF& r) {
                p.setPen(symbolPen(r, 0.09));
                p.drawLine(at(r, 0.18, 0.82), at(r, 0.8, 0.2));
                p.drawPolyline(QPolygonF({at(r, 0.38, 0.2), at(r, 0.8, 0.2), at(r, 0.8, 0.62)}));
            }},
        {QStringLiteral("textformat"),
            [](QPainter& p, const QRectF& r) {
                p.setPen(Qt::black);
                p.setFont(symbolFont(r, 0.72, true));
                p.drawText(r, Qt::AlignCenter, QStringLiteral("Aa"));
            }},
        {QStringLiteral("scribble"),
            [](QPainter& p, const QRectF& r) {
                p.setPen(symbolPen(r, 0.08));
                QPainterPath path;
                path.moveTo(at(r, 0.08, 0.7));
                path.cubicTo(at(r, 0.2, 0.1), at(r, 0.4, 0.1), at(r, 0.42, 0.5));
                path.cubicTo(at(r, 0.44, 0.9), at(r, 0.62, 0.9), at(r, 0.66, 0.5));
                path.cubicTo(at(r, 0.7, 0.15), at(r, 0.86, 0.2), at(r, 0.92, 0.4));
                p.drawPath(path);
            }},
        {QStringLiteral("highlighter"),
            [](QPainter& p, const QRectF& r) {
                QPainterPath pen;
                pen.moveTo(at(r, 0.62, 0.08));
                pen.lineTo(at(r, 0.92, 0.38));
                pen.lineTo(at(r, 0.48, 0.82));
                pen.lineTo(at(r, 0.18, 0.52));
                pen.closeSubpath();
                QPainterPath tip;
                tip.moveTo(at(r, 0.2, 0.6));
                tip.lineTo(at(r, 0.4, 0.8));
                tip.lineTo(at(r, 0.22, 0.92));
                tip.lineTo(at(r, 0.06, 0.92));
                tip.closeSubpath();
                p.fillPath(pen.united(tip), Qt::black);
            }},
        {QStringLiteral("1.circle"),
            [](QPainter& p, const QRectF& r) {
                p.setPen(symbolPen(r, 0.08));
                p.drawEllipse(inset(r, 0.08, 0.08, 0.92, 0.92));
                p.setFont(symbolFont(r, 0.55, true));
                p.drawText(r, Qt::AlignCenter, QStringLiteral("1"));
            }},
        {QStringLiteral("drop"),
            [](QPainter& p, const QRectF& r) {
                p.setPen(symbolPen(r, 0.08));
                QPainterPath drop;
                drop.moveTo(at(r, 0.5, 0.06));
                drop.cubicTo(at(r, 0.72, 0.36), at(r, 0.84, 0.5), at(r, 0.84, 0.64));
                drop.cubicTo(at(r, 0.84, 0.84), at(r, 0.68, 0.94), at(r, 0.5, 0.94));
                drop.cubicTo(at(r, 0.32, 0.94), at(r, 0.16, 0.84), at(r, 0.16, 0.64));
                drop.cubicTo(at(r, 0.16, 0.5), at(r, 0.28, 0.36), at(r, 0.5, 0.06));
                p.drawPath(drop);
            }},
        {QStringLiteral("checkerboard.rectangle"),
            [](QPainter& p, const QRectF& r) {
                const QRectF box = inset(r, 0.08, 0.2, 0.92, 0.8);
                p.setPen(symbolPen(r, 0.07));
                p.drawRect(box);
                const qreal cell = box.width() / 4;
                for (int row = 0; row < 2; ++row) {
                    for (int column = row % 2; column < 4; column += 2)
                        p.fillRect(QRectF(box.left() + column * cell, box.top() + row * box.height() / 2, cell,
                                       box.height() / 2),
                            Qt::black);
                }
            }},
        {QStringLiteral("flashlight.on.fill"),
            [](QPainter& p, const QRectF& r) {
                QPainterPath torch;
                torch.moveTo(at(r, 0.3, 0.38));
                torch.lineTo(at(r, 0.7, 0.38));
                torch.lineTo(at(r, 0.6, 0.56));
                torch.lineTo(at(r, 0.6, 0.94));
                torch.lineTo(at(r, 0.4, 0.94));
                torch.lineTo(at(r, 0.4, 0.56));
                torch.closeSubpath();
                p.fillPath(torch, Qt::black);
                p.setPen(symbolPen(r, 0.07));
                p.drawLine(at(r, 0.5, 0.06), at(r, 0.5, 0.24));
                p.drawLine(at(r, 0.2, 0.14), at(r, 0.3, 0.28));
                p.drawLine(at(r, 0.8, 0.14), at(r, 0.7, 0.28));
            }},
        {QStringLiteral("lineweight"),
            [](QPainter& p, const QRectF& r) {
                p.setPen(symbolPen(r, 0.05));
                p.drawLine(at(r, 0.12, 0.22), at(r, 0.88, 0.22));
                p.setPen(symbolPen(r, 0.1));
                p.drawLine(at(r, 0.12, 0.46), at(r, 0.88, 0.46));
                p.setPen(symbolPen(r, 0.16));
                p.drawLine(at(r, 0.12, 0.76), at(r, 0.88, 0.76));
            }},
        {QStringLiteral("textformat.size"),
            [](QPainter& p, const QRectF& r) {
                p.setPen(Qt::black);
                p.setFont(symbolFont(r, 0.82, true));
                p.drawText(inset(r, 0.3, 0, 1, 1), Qt::AlignCenter, QStringLiteral("A"));
                p.setFont(symbolFont(r, 0.5, true));
                p.drawText(inset(r, 0, 0.3, 0.45, 1), Qt::AlignCenter, QStringLiteral("A"));
            }},
        // Fallbacks for the editor's buttons when the icon theme has nothing (bare X sessions).
        {QStringLiteral("arrow.uturn.backward"),
            [](QPainter& p, const QRectF& r) {
                p.setPen(symbolPen(r, 0.08));
                QPainterPath turn;
                turn.moveTo(at(r, 0.2, 0.38));
                turn.lineTo(at(r, 0.62, 0.38));
                turn.cubicTo(at(r, 0.94, 0.38), at(r, 0.94, 0.86), at(r, 0.62, 0.86));
                turn.lineTo(at(r, 0.42, 0.86));
                p.drawPath(turn);
                p.drawPolyline(QPolygonF({at(r, 0.36, 0.2), at(r, 0.18, 0.38), at(r, 0.36, 0.56)}));
            }},
        {QStringLiteral("arrow.uturn.forward"),
            [](QPainter& p, const QRectF& r) {
                p.setPen(symbolPen(r, 0.08));
                QPainterPath turn;
                turn.moveTo(at(r, 0.8, 0.38));
                turn.lineTo(at(r, 0.38, 0.38));
                turn.cubicTo(at(r, 0.06, 0.38), at(r, 0.06, 0.86), at(r, 0.38, 0.86));
                turn.lineTo(at(r, 0.58, 0.86));
                p.drawPath(turn);
                p.drawPolyline(QPolygonF({at(r, 0.64, 0.2), at(r, 0.82, 0.38), at(r, 0.64, 0.56)}));
            }},
        {QStringLiteral("rotate.right"),
            [](QPainter& p, const QRectF& r) {
                p.setPen(symbolPen(r, 0.08));
                p.drawRoundedRect(inset(r, 0.12, 0.42, 0.62, 0.9), r.width() * 0.05, r.width() * 0.05);
                QPainterPath turn;
                turn.moveTo(at(r, 0.36, 0.3));
                turn.cubicTo(at(r, 0.5, 0.1), at(r, 0.86, 0.12), at(r, 0.86, 0.44));
                p.drawPath(turn);
                p.drawPolyline(QPolygonF({at(r, 0.72, 0.32), at(r, 0.86, 0.46), at(r, 0.97, 0.32)}));
            }},
        {QStringLiteral("photo.artframe"),
            [](QPainter& p, const QRectF& r) {
                p.setPen(symbolPen(r, 0.07));
                p.drawRect(inset(r, 0.08, 0.14, 0.92, 0.86));
                QPainterPath hills;
                hills.moveTo(at(r, 0.22, 0.74));
                hills.lineTo(at(r, 0.42, 0.5));
                hills.lineTo(at(r, 0.56, 0.64));
                hills.lineTo(at(r, 0.66, 0.54));
                hills.lineTo(at(r, 0.78, 0.74));
                hills.closeSubpath();
                p.fillPath(hills, Qt::black);
                p.setPen(Qt::NoPen);
                p.setBrush(Qt::black);
                p.drawEllipse(at(r, 0.68, 0.34), r.width() * 0.06, r.width() * 0.06);
            }},
        {QStringLiteral("pin"),
            [](QPainter& p, const QRectF& r) {
                QPainterPath head;
                head.addRoundedRect(inset(r, 0.3, 0.06, 0.7, 0.2), r.width() * 0.04, r.width() * 0.04);
                head.moveTo(at(r, 0.36, 0.2));
                head.lineTo(at(r, 0.64, 0.2));
                head.lineTo(at(r, 0.66, 0.46));
                head.lineTo(at(r, 0.8, 0.6));
                head.lineTo(at(r, 0.2, 0.6));
                head.lineTo(at(r, 0.34, 0.46));
                head.closeSubpath();
                p.fillPath(head, Qt::black);
                p.setPen(symbolPen(r, 0.07));
                p.drawLine(at(r, 0.5, 0.6), at(r, 0.5, 0.94));
            }},
        {QStringLiteral("square.and.arrow.up"),
            [](QPainter& p, const QRectF& r) {
                p.setPen(symbolPen(r, 0.07));
                p.drawPolyline(QPolygonF({at(r, 0.34, 0.4), at(r, 0.18, 0.4), at(r, 0.18, 0.92), at(r, 0.82, 0.92),
                    at(r, 0.82, 0.4), at(r, 0.66, 0.4)}));
                p.drawLine(at(r, 0.5, 0.06), at(r, 0.5, 0.62));
                p.drawPolyline(QPolygonF({at(r, 0.34, 0.22), at(r, 0.5, 0.06), at(r, 0.66, 0.22)}));
            }},
        {QStringLiteral("square.and.arrow.down"),
            [](QPainter& p, const QRectF& r) {
                p.setPen(symbolPen(r, 0.07));
                p.drawPolyline(QPolygonF({at(r, 0.34, 0.4), at(r, 0.18, 0.4), at(r, 0.18, 0.92), at(r, 0.82, 0.92),
                    at(r, 0.82, 0.4), at(r, 0.66, 0.4)}));
                p.drawLine(at(r, 0.5, 0.06), at(r, 0.5, 0.66));
                p.drawPolyline(QPolygonF({at(r, 0.34, 0.5), at(r, 0.5, 0.66), at(r, 0.66, 0.5)}));
            }},
        {QStringLiteral("doc.on.doc"),
            [](QPainter& p, const QRectF& r) {
                p.setPen(symbolPen(r, 0.07));
                p.drawPolyline(QPolygonF(
                    {at(r, 0.2, 0.7), at(r, 0.12, 0.7), at(r, 0.12, 0.06), at(r, 0.6, 0.06), at(r, 0.6, 0.16)}));
                p.drawRoundedRect(inset(r, 0.34, 0.26, 0.88, 0.94), r.width() * 0.05, r.width() * 0.05);
            }},
        // The thumbnail's corner buttons: small, on white, and useless when missing.
        {QStringLiteral("xmark"),
            [](QPainter& p, const QRectF& r) {
                const qreal w = r.width();
                p.setPen(QPen(Qt::black, w * 0.14, Qt::SolidLine, Qt::RoundCap));
                p.drawLine(r.topLeft() + QPointF(w * 0.22, w * 0.22), r.bottomRight() - QPointF(w * 0.22, w * 0.22));
                p.drawLine(r.topRight() + QPointF(-w * 0.22, w * 0.22), r.bottomLeft() + QPointF(w * 0.22, -w * 0.22));
            }},
        {QStringLiteral("pin.fill"),
            [](QPainter& p, const QRectF& r) {
                const qreal w = r.width();
                const qreal cx = r.center().x();
                QPainterPath head;
                head.addRoundedRect(QRectF(cx - w * 0.2, r.top() + w * 0.06, w * 0.4, w * 0.18), w * 0.04, w * 0.04);
                head.moveTo(cx - w * 0.14, r.top() + w * 0.24);
                head.lineTo(cx + w * 0.14, r.top() + w * 0.24);
                head.lineTo(cx + w * 0.3, r.top() + w * 0.56);
                head.lineTo(cx - w * 0.3, r.top() + w * 0.56);
                head.closeSubpath();
                p.fillPath(head, Qt::black);
                p.setPen(QPen(Qt::black, w * 0.09, Qt::SolidLine, Qt::RoundCap));
                p.drawLine(QPointF(cx, r.top() + w * 0.56), QPointF(cx, r.bottom() - w * 0.06));
            }},
        {QStringLiteral("pencil"),
            [](QPainter& p, const QRectF& r) {
                const qreal w = r.width();
                p.save();
                p.translate(r.center());
                p.rotate(45);
                QPainterPath pencil;
                pencil.addRect(QRectF(-w * 0.1, -w * 0.42, w * 0.2, w * 0.62));
                pencil.moveTo(-w * 0.1, w * 0.24);
                pencil.lineTo(w * 0.1, w * 0.24);
                pencil.lineTo(0, w * 0.44);
                pencil.closeSubpath();
                p.fillPath(pencil, Qt::black);
                p.restore();
            }},
        {QStringLiteral("play.fill"),
            [](QPainter& p, const QRectF& r) {
                const qreal w = r.width();
                QPainterPath triangle;
                triangle.moveTo(r.left() + w * 0.26, r.top() + w * 0.14);
                triangle.lineTo(r.right() - w * 0.14, r.center().y());
                triangle.lineTo(r.left() + w * 0.26, r.bottom() - w * 0.14);
                triangle.closeSubpath();
                p.fillPath(triangle, Qt::black);
            }},
        {QStringLiteral("text.viewfinder"),
            [](QPainter& p, const QRectF& r) {
                const qreal w = r.width();
                p.setPen(QPen(Qt::black, w * 0.09, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
                const QRectF box = r.adjusted(w * 0.08, w * 0.08, -w * 0.08, -w * 0.08);
                const qreal arm = w * 0.22;
                const QPointF corners[4] = {box.topLeft(), box.topRight(), box.bottomRight(), box.bottomLeft()};
                const QPointF dirs[4] = {{1, 1}, {-1, 1}, {-1, -1}, {1, -1}};
                for (int i = 0; i < 4; ++i) {
                    p.drawLine(corners[i], corners[i] + QPointF(dirs[i].x() * arm, 0));
                    p.drawLine(corners[i], corners[i] + QPointF(0, dirs[i].y() * arm));
                }
                // A "T" for text in the middle.
                p.drawLine(QPointF(r.left() + w * 0.34, r.top() + w * 0.34),
                    QPointF(r.right() - w * 0.34, r.top() + w * 0.34));
                p.drawLine(QPointF(r.center().x(), r.top() + w * 0.34), QPointF(r.center().x(), r.bottom() - w * 0.32));
            }},
        {QStringLiteral("hourglass"),
            [](QPainter& p, const QRectF& r) {
                const qreal w = r.width();
                QPainterPath glass;
                glass.moveTo(r.left() + w * 0.25, r.top() + w * 0.1);
                glass.lineTo(r.right() - w * 0.25, r.top() + w * 0.1);
                glass.lineTo(r.center().x() + w * 0.04, r.center().y());
                glass.lineTo(r.right() - w * 0.25, r.bottom() - w * 0.1);
                glass.lineTo(r.left() + w * 0.25, r.bottom() - w * 0.1);
                glass.lineTo(r.center().x() - w * 0.04, r.center().y());
                glass.closeSubpath();
                p.fillPath(glass, Qt::black);
            }},
    };
    return table;
}

QPixmap drawnPixmap(const Painter& draw, int size, qreal dpr)
{
    QPixmap pixmap(QSize(size, size) * dpr);
    pixmap.setDevicePixelRatio(dpr);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    draw(p, QRectF(0, 0, size, size));
    return pixmap;
}

} // namespace

bool isKnownSymbol(const QString& name)
{
    return themeTable().contains(name) || drawnTable().contains(name);
}

QIcon symbolIcon(const QString& name)
{
    for (const QString& themeName : themeTable().value(name)) {
        if (QIcon::hasThemeIcon(themeName))
            return QIcon::fromTheme(themeName);
    }
    const auto drawn = drawnTable().constFind(name);
    if (drawn == drawnTable().constEnd())
        return {};
    QIcon icon;
    for (int size : {16, 22, 32, 48, 64})
        icon.addPixmap(drawnPixmap(*drawn, size, 1.0));
    icon.setIsMask(true);
    return icon;
}

QPixmap tintedSymbol(const QString& name, int size, const QColor& color, qreal devicePixelRatio)
{
    QPixmap pixmap(QSize(size, size) * devicePixelRatio);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    pixmap.fill(Qt::transparent);
    const QIcon icon = symbolIcon(name);
    if (icon.isNull())
        return pixmap;
    QPainter p(&pixmap);
    icon.paint(&p, QRect(0, 0, size, size));
    p.setCompositionMode(QPainter::CompositionMode_SourceIn);
    p.fillRect(QRect(0, 0, size, size), color);
    return pixmap;
}

} // namespace vantrel
