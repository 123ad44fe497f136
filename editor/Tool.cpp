// SPDX-License-Identifier: GPL-3.0-or-later
#include "Tool.h"

namespace vantrel {

namespace {

struct ToolInfo
{
    const char* raw;
    const char* title;
    const char* symbol;
    char key;
};

constexpr std::array<ToolInfo, 14> infos = {{
    {"select", "Select & Move", "cursorarrow", 'v'},
    {"crop", "Crop", "crop", 'c'},
    {"rectangle", "Rectangle", "rectangle", 'r'},
    {"filledRect", "Filled Rectangle", "rectangle.fill", 'f'},
    {"ellipse", "Ellipse", "circle", 'o'},
    {"line", "Line", "line.diagonal", 'l'},
    {"arrow", "Arrow", "arrow.up.right", 'a'},
    {"text", "Text", "textformat", 't'},
    {"pencil", "Pencil", "scribble", 'p'},
    {"highlighter", "Highlighter", "highlighter", 'h'},
    {"counter", "Counter", "1.circle", 'n'},
    {"blur", "Blur", "drop", 'b'},
    {"pixelate", "Pixelate", "checkerboard.rectangle", 'x'},
    {"spotlight", "Spotlight", "flashlight.on.fill", 's'},
}};

const ToolInfo& info(Tool tool)
{
    return infos[static_cast<std::size_t>(tool)];
}

} // namespace

QString rawValue(Tool tool)
{
    return QString::fromLatin1(info(tool).raw);
}

std::optional<Tool> toolFromRaw(const QString& raw)
{
    for (Tool tool : allTools) {
        if (raw == QLatin1String(info(tool).raw))
            return tool;
    }
    return std::nullopt;
}

QString title(Tool tool)
{
    return QString::fromLatin1(info(tool).title);
}

QString symbol(Tool tool)
{
    return QString::fromLatin1(info(tool).symbol);
}

QChar key(Tool tool)
{
    return QChar::fromLatin1(info(tool).key);
}

std::optional<Tool> toolForKey(QChar character)
{
    const QChar lower = character.toLower();
    for (Tool tool : allTools) {
        if (key(tool) == lower)
            return tool;
    }
    return std::nullopt;
}

bool isRectShaped(Tool tool)
{
    switch (tool) {
    case Tool::rectangle:
    case Tool::filledRect:
    case Tool::ellipse:
    case Tool::blur:
    case Tool::pixelate:
    case Tool::spotlight: return true;
    default: return false;
    }
}

} // namespace vantrel
