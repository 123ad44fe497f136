// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QRect>
#include <QString>
#include <QStringList>

#include <vector>

namespace vantrel {

// One word as a text engine found it; `box` in the pixels of the picture it read.
struct RecognizedWord
{
    QString text;
    QRect box;
    float confidence = 100.0f; // 0–100
};

// The words of a screen as lines in reading order: one line per visual row (a menu item and its
// shortcut, the cells of a table row, a label and its value), rows top to bottom, words left to
// right, joined by one space. Menu and toolbar symbols read as a lone letter are left out, and
// keyboard shortcuts misread letter for digit are mended.
QStringList assembleTextRows(std::vector<RecognizedWord> words);

// "Ctri+S" → "Ctrl+S", "Shitt+Ctrl+Z" → "Shift+Ctrl+Z", "Fll" → "F11"; anything else unchanged.
QString mendShortcut(const QString& word);

} // namespace vantrel
