// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QIcon>
#include <QString>

namespace vantrel {

// Icons by symbol name ("checkmark.circle.fill", "pin", …). The desktop's icon theme supplies
// most of them through one table of freedesktop names; a few that matter most (the tray icon,
// the toast symbols) are drawn by Vantrel itself when the theme has nothing. An unknown name
// gives a null icon, which callers show as an empty slot.
QIcon symbolIcon(const QString& name);

// The symbol rendered in one colour, as template images are: every opaque pixel takes `color`.
// `size` is in device-independent pixels; the pixmap carries `devicePixelRatio`.
QPixmap tintedSymbol(const QString& name, int size, const QColor& color, qreal devicePixelRatio = 1.0);

// Whether the symbol name is known to the table at all.
bool isKnownSymbol(const QString& name);

} // namespace vantrel
