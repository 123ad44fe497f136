// SPDX-License-Identifier: GPL-3.0-or-later
#include "Tool.h"

#include <QCoreApplication>

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
    {"select", QT_TRANSLATE_NOOP("Tool", "Select & Move"), "cursorarrow", 'v'},
    {"crop", QT_TRANSLATE_NOOP("Tool", "Crop"), "crop", 'c'},
    {"rectangle", QT_TRANSLATE_NOOP("Tool", "Rectangle"), "rectangle", 'r'},
    {"filledRect", QT_TRANSLATE_NOOP("Tool", "Filled Rectangle"), "rectangle.fill", 'f'},
    {"ellipse", QT_TRANSLATE_NOOP("Tool", "Ellipse"), "circle", 'o'},
    {"line", QT_TRANSLATE_NOOP("Tool", "Line"), "line.diagonal", 'l'},
    {"arrow", QT_TRANSLATE_NOOP("Tool", "Arrow"), "arrow.up.right", 'a'},
    {"text", QT_TRANSLATE_NOOP("Tool", "Text"), "textformat", 't'},
    {"pencil", QT_TRANSLATE_NOOP("Tool", "Pencil"), "scribble", 'p'},
    {"highlighter", QT_TRANSLATE_NOOP("Tool", "Highlighter"), "highlighter", 'h'},
    {"counter", QT_TRANSLATE_NOOP("Tool", "Counter"), "1.circle", 'n'},
    {"blur", QT_TRANSLATE_NOOP("Tool", "Blur"), "drop", 'b'},
    {"pixelate", QT_TRANSLATE_NOOP("Tool", "Pixelate"), "checkerboard.rectangle", 'x'},
    {"spotlight", QT_TRANSLATE_NOOP("Tool", "Spotlight"), "flashlight.on.fill", 's'},
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
    return QCoreApplication::translate("Tool", info(tool).title);
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
