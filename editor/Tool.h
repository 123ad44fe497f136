// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QChar>
#include <QString>

#include <array>
#include <optional>

namespace vantrel {

// The editor's tools, in toolbar and keyboard-lookup order. The raw value is the case name.
enum class Tool {
    select,
    crop,
    rectangle,
    filledRect,
    ellipse,
    line,
    arrow,
    text,
    pencil,
    highlighter,
    counter,
    blur,
    pixelate,
    spotlight,
};

inline constexpr std::array<Tool, 14> allTools
    = {Tool::select, Tool::crop, Tool::rectangle, Tool::filledRect, Tool::ellipse, Tool::line, Tool::arrow, Tool::text,
        Tool::pencil, Tool::highlighter, Tool::counter, Tool::blur, Tool::pixelate, Tool::spotlight};

QString rawValue(Tool tool);
std::optional<Tool> toolFromRaw(const QString& raw);

// Toolbar tooltip text, e.g. "Filled Rectangle".
QString title(Tool tool);
// Symbol name of the toolbar icon (see SymbolIcons).
QString symbol(Tool tool);
// The one-letter shortcut, lower case.
QChar key(Tool tool);
// The first tool (in tool order) whose key is `character`, compared in lower case.
std::optional<Tool> toolForKey(QChar character);

// Tools whose geometry is the rectangle spanned by start and end, with four corner handles.
bool isRectShaped(Tool tool);

} // namespace vantrel
