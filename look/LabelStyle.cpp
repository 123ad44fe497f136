// SPDX-License-Identifier: GPL-3.0-or-later
#include "LabelStyle.h"

#include <QLabel>
#include <QPalette>

namespace vantrel {

QLabel* secondaryLabel(const QString& text)
{
    auto* label = new QLabel(text);
    label->setWordWrap(true);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, palette.color(QPalette::PlaceholderText));
    label->setPalette(palette);
    return label;
}

} // namespace vantrel
