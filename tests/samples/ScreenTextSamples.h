// SPDX-License-Identifier: GPL-3.0-or-later
// Screen text drawn here with Qt, with the lines a reader should get back: the recogniser's
// tests and its benchmark measure themselves on these. Needs a QGuiApplication (fonts).
#pragma once

#include <QImage>
#include <QString>
#include <QStringList>

#include <vector>

namespace vantrel::samples {

struct ScreenTextSample
{
    QString name; // unique, e.g. "menu/DejaVu Sans/13px"
    QString family; // the kind of screen: "light", "dark", "menu", "table", "colour", "subpixel", "hidpi"
    QImage image; // opaque RGB32
    double scale = 1.0; // pixels per point of the screen it pretends to come from
    // Top to bottom; the cells of one visual row joined by one space.
    QStringList lines;
};

// Font families to draw with: DejaVu Sans and DejaVu Sans Mono (fonts-dejavu-core, always
// installed), then Liberation Sans and Noto Sans where installed, so a machine with more fonts
// measures more rather than something else.
QStringList sampleFonts();

// Every family at pixel sizes 11 to 16 with the first font, and at a few sizes with the others.
// `sizesPerExtraFont` = 0 leaves the other fonts out.
std::vector<ScreenTextSample> screenTextSamples(const QStringList& fonts, int sizesPerExtraFont = 2);

// An 800 × 600 capture of a settings window as a user would take it: a heading, prose,
// label/value rows, a table and a row of buttons, in the light (`dark` false) or dark theme.
ScreenTextSample typicalCapture(const QString& font, bool dark);

// Text as compared: typographic quotes and dashes made plain, runs of blanks made one space,
// lines trimmed, empty lines dropped.
QString comparableText(const QString& text);

// Levenshtein distance of the comparable texts over the length of the expected one (0 for two
// empty texts, 1 for anything against an empty expectation).
double characterErrorRate(const QString& expected, const QString& actual);

// The edit distance alone, in characters, for summing rates over a set.
int editDistance(const QString& a, const QString& b);

} // namespace vantrel::samples
