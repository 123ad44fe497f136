// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QRandomGenerator>

#include <algorithm>

namespace vantrel::test {

// Lines of "words" (blocks of dark, noisy pixels) on white, with blank gaps of uneven height
// between them: like a document, nothing repeats, and blank runs are common.
inline QImage documentPage(int width, int height, quint32 seed)
{
    QImage page(width, height, QImage::Format_RGB32);
    page.fill(Qt::white);
    QRandomGenerator random(seed);
    for (int y = random.bounded(12); y < height;) {
        const int lineHeight = 12 + random.bounded(10);
        for (int x = 6 + random.bounded(30); x < width - 30;) {
            const int wordWidth = 8 + random.bounded(70);
            for (int row = y; row < std::min(height, y + lineHeight); ++row) {
                auto* line = reinterpret_cast<QRgb*>(page.scanLine(row));
                for (int col = x; col < std::min(width, x + wordWidth); ++col) {
                    if (random.bounded(3) != 0) {
                        const int ink = random.bounded(140);
                        line[col] = qRgb(ink, ink, ink + random.bounded(100));
                    }
                }
            }
            x += wordWidth + 5 + random.bounded(12);
        }
        y += lineHeight + 3 + random.bounded(40);
    }
    return page;
}

} // namespace vantrel::test
