// SPDX-License-Identifier: GPL-3.0-or-later
#include "SelfTest.h"

#include "BackgroundRenderer.h"
#include "EditorDocument.h"
#include "HotKeys.h"
#include "KeyboardLayout.h"
#include "ScrollStitcher.h"
#include "Service.h"
#include "ThumbnailPicture.h"

#include <QDir>
#include <QFont>
#include <QFontDatabase>
#include <QPainter>
#include <QRadialGradient>

#include <cstdio>

namespace vantrel {

namespace {

QString sizeText(QSize size)
{
    return QStringLiteral("%1x%2").arg(size.width()).arg(size.height());
}

QImage makeTestBase()
{
    QImage base(1400, 900, QImage::Format_ARGB32_Premultiplied);
    base.fill(QColor(246, 247, 249));
    QPainter painter(&base);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPixelSize(30);
    painter.setFont(font);
    painter.setPen(QColor(40, 44, 52));
    for (int line = 1; line <= 20; ++line) {
        painter.drawText(
            QPointF(40, 42 * line), QStringLiteral("Line %1: The quick brown fox jumps over the lazy dog").arg(line));
    }
    return base;
}

QImage makeStickerImage()
{
    QImage sticker(160, 100, QImage::Format_ARGB32_Premultiplied);
    sticker.fill(Qt::transparent);
    QPainter painter(&sticker);
    painter.setRenderHint(QPainter::Antialiasing);
    QRadialGradient gradient(QPointF(80, 50), 80);
    gradient.setColorAt(0, QColor(255, 214, 10));
    gradient.setColorAt(1, QColor(52, 199, 89));
    painter.setBrush(gradient);
    painter.setPen(QPen(Qt::white, 4));
    painter.drawRoundedRect(QRectF(2, 2, 156, 96), 18, 18);
    return sticker;
}

} // namespace

std::unique_ptr<EditorDocument> makeSelfTestDocument()
{
    auto doc = std::make_unique<EditorDocument>(makeTestBase(), 2.0);
    auto add = [&doc](Tool tool, QPointF start, QPointF end, const QColor& color, qint64 style = 0,
                   const QString& text = {}) {
        doc->setColor(color);
        if (tool == Tool::arrow)
            doc->setArrowStyle(style);
        if (tool == Tool::text)
            doc->setTextStyle(style);
        const QUuid id = *doc->createAnnotation(tool, start);
        doc->modifyAnnotation(id, [&](Annotation& a) {
            if (tool == Tool::text) {
                a.text = text;
                return;
            }
            if (tool == Tool::counter)
                return;
            a.end = end;
            if (tool == Tool::pencil || tool == Tool::highlighter) {
                const int steps = 24;
                for (int i = 1; i <= steps; ++i) {
                    const double t = double(i) / steps;
                    const QPointF along = start + (end - start) * t;
                    const double wave = tool == Tool::pencil ? ((i % 2) ? 24 : -24) : 0;
                    a.points.push_back(along + QPointF(0, wave));
                }
            }
        });
    };

    const QColor red = systemRed();
    add(Tool::rectangle, {60, 60}, {360, 220}, red);
    add(Tool::filledRect, {420, 70}, {600, 160}, QColor(255, 204, 0));
    add(Tool::ellipse, {660, 60}, {900, 220}, QColor(52, 199, 89));
    add(Tool::line, {960, 80}, {1300, 200}, QColor(255, 149, 0));
    add(Tool::arrow, {80, 300}, {420, 420}, red, ArrowStyle::tapered);
    add(Tool::arrow, {480, 300}, {820, 420}, QColor(0, 122, 255), ArrowStyle::doubleHeaded);
    add(Tool::arrow, {880, 300}, {1300, 400}, QColor(175, 82, 222), ArrowStyle::curved);
    add(Tool::text, {80, 520}, {}, red, TextStyle::plain, QStringLiteral("Plain text"));
    add(Tool::text, {480, 520}, {}, Qt::white, TextStyle::outline, QStringLiteral("Outline"));
    add(Tool::text, {880, 520}, {}, red, TextStyle::label, QStringLiteral("Label"));
    add(Tool::text, {80, 660}, {}, QColor(255, 204, 0), TextStyle::shadow, QStringLiteral("Shadow"));
    add(Tool::pencil, {480, 640}, {860, 640}, QColor(0, 122, 255));
    add(Tool::highlighter, {40, 790}, {700, 790}, QColor(255, 204, 0));
    add(Tool::counter, {1000, 640}, {}, red);
    add(Tool::counter, {1100, 640}, {}, QColor(0, 122, 255));
    add(Tool::blur, {420, 690}, {700, 770}, red);
    add(Tool::pixelate, {720, 700}, {880, 880}, red);
    add(Tool::spotlight, {20, 20}, {1380, 880}, red);
    doc->createImageAnnotation(makeStickerImage(), {1200, 230}, {1360, 330});

    BackgroundSettings background = doc->background();
    background.enabled = true;
    background.presetID = 5;
    doc->setBackground(background);
    doc->setTool(Tool::arrow);
    return doc;
}

QImage makeScrollTestPicture()
{
    // The matcher samples every third row of the overlap, which cannot tell rows 2 apart inside a
    // 6-row band when the bands start on a multiple of 3; starting them one row early keeps the
    // true offset the only perfect match.
    QImage picture(400, 1400, QImage::Format_RGB32);
    for (int y = 0; y < picture.height(); ++y) {
        const int band = (y + 1) / 6;
        const int grey = (band * 37 + 11) % 256;
        const int blockX = (band * 53) % 360;
        auto* row = reinterpret_cast<QRgb*>(picture.scanLine(y));
        for (int x = 0; x < picture.width(); ++x) {
            const int value = (x >= blockX && x < blockX + 40) ? 255 - grey : grey;
            row[x] = qRgb(value, value, value);
        }
    }
    return picture;
}

QImage makeShadowTestPicture()
{
    QImage picture(300, 200, QImage::Format_ARGB32_Premultiplied);
    QColor shade(Qt::black);
    shade.setAlphaF(0.3);
    picture.fill(shade);
    QPainter painter(&picture);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    // 30 pixels up from the bottom edge in y-up terms: rows 50 to 169 from the top.
    painter.fillRect(QRect(40, picture.height() - 30 - 120, 220, 120), Qt::white);
    return picture;
}

QString selfTestSummary(int failures)
{
    return failures == 0 ? QStringLiteral("ALL PASSED") : QStringLiteral("%1 FAILED").arg(failures);
}

int runSelfTest(const QString& outputDirectory, const std::function<void(const QString&)>& print)
{
    int failures = 0;
    auto fail = [&](const QString& line) {
        print(line);
        ++failures;
    };

    // The whole editor pipeline (annotations, background, shadow) must give the canvas's size.
    std::unique_ptr<EditorDocument> doc = makeSelfTestDocument();
    const QImage rendered = doc->render();
    const QSizeF output = doc->layout(false).canvasSize;
    const QSize expected(static_cast<int>(output.width()), static_cast<int>(output.height()));
    if (rendered.size() == expected)
        print(QStringLiteral("✓ editor render ") + sizeText(expected));
    else
        fail(
            QStringLiteral("✗ render size ") + sizeText(rendered.size()) + QStringLiteral(" != ") + sizeText(expected));

    // A render that cannot be written is a failure, not a silent pass.
    const QString path = QDir(outputDirectory).filePath(QStringLiteral("editor-render.png"));
    if (!QDir().mkpath(outputDirectory) || !rendered.save(path, "PNG"))
        fail(QStringLiteral("✗ saved render ") + path);

    // The sample holds counters 1 and 2, so the next is 3.
    const qint64 next = doc->nextCounterNumber();
    if (next == 3)
        print(QStringLiteral("✓ counter numbering"));
    else
        fail(QStringLiteral("✗ counter numbering %1").arg(next));

    // Undo must bring back every one of the sample's annotations.
    doc->pushUndo();
    doc->setAnnotations({});
    doc->undo();
    if (doc->annotations().size() != 19)
        fail(QStringLiteral("✗ undo restored %1").arg(doc->annotations().size()));

    // A quarter turn swaps the base image's width and height.
    const QSize before = doc->base().size();
    doc->transform(90, false, false);
    const QSize after = doc->base().size();
    if (after.width() != before.height() || after.height() != before.width())
        fail(QStringLiteral("✗ rotate size ") + sizeText(before) + QStringLiteral(" -> ") + sizeText(after));

    // Two frames of one picture 137 pixels apart must match at exactly that offset.
    const QImage picture = makeScrollTestPicture();
    const QImage first = picture.copy(0, 0, 400, 500);
    const QImage second = picture.copy(0, 137, 400, 500);
    const std::vector<std::uint8_t> firstGray = grayLevels(first);
    const std::vector<std::uint8_t> secondGray = grayLevels(second);
    const std::optional<FrameMatch> match = bestFrameMatch(firstGray, secondGray, 400, 500);
    if (match && match->offset == 137 && match->score < 6)
        print(QStringLiteral("✓ scroll stitch offset 137"));
    else
        fail(QStringLiteral("✗ stitch offset %1").arg(match ? match->offset : 0));

    // Identical frames must not read as a scroll, or a still page would stitch onto itself.
    const std::optional<FrameMatch> still = bestFrameMatch(firstGray, firstGray, 400, 500);
    if (!still || still->score >= 6 || still->offset == 0)
        print(QStringLiteral("✓ no-scroll detection"));
    else
        fail(QStringLiteral("✗ identical frames offset %1").arg(still->offset));

    // 50 points of padding around a 400 × 500 frame.
    BackgroundSettings window;
    window.enabled = true;
    window.presetID = 0;
    window.padding = 50;
    window.cornerRadius = 12;
    window.shadow = 0.5;
    window.inset = 0;
    window.aspect = AspectRatio::automatic;
    const QImage framed = applyBackground(window, first);
    if (framed.size() == QSize(500, 600))
        print(QStringLiteral("✓ window background"));
    else
        fail(QStringLiteral("✗ background apply ") + sizeText(framed.size()));

    // The hotkey label follows the keyboard layout and never fails; it keeps its glyphs.
    std::unique_ptr<XkbKeyboardLayout> layout;
    std::optional<ScopedService<KeyboardLayout>> layoutSlot;
    if (!Service<KeyboardLayout>::find()) {
        layout = std::make_unique<XkbKeyboardLayout>();
        layoutSlot.emplace(layout.get());
    }
    print(QStringLiteral("✓ hotkey label: ") + comboLabel(KeyCombo {1, KeyCombo::shift | KeyCombo::command}));

    // A window's shadow margin must trim away to the opaque frame.
    const std::optional<QRect> trim = opaquePixelBounds(makeShadowTestPicture());
    if (trim == QRect(40, 50, 220, 120)) {
        print(QStringLiteral("✓ shadow trim"));
    } else if (trim) {
        fail(QStringLiteral("✗ shadow trim (%1, %2, %3, %4)")
                 .arg(trim->x())
                 .arg(trim->y())
                 .arg(trim->width())
                 .arg(trim->height()));
    } else {
        fail(QStringLiteral("✗ shadow trim found no opaque pixels"));
    }

    print(selfTestSummary(failures));
    return failures == 0 ? 0 : 1;
}

int runSelfTest(const QString& outputDirectory)
{
    return runSelfTest(outputDirectory, [](const QString& line) {
        std::fputs(line.toUtf8().constData(), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
    });
}

} // namespace vantrel
