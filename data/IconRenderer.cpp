// SPDX-License-Identifier: GPL-3.0-or-later
// Build-time tool: draws the application icon's SVG into the PNG sizes of the hicolor theme, so
// that every size comes from one drawing.
//
//   vantrel-icon-render ICON.svg OUTPUT-FOLDER SIZE…   writes OUTPUT-FOLDER/SIZExSIZE/vantrel.png
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: vantrel-icon-render ICON.svg OUTPUT-FOLDER SIZE...\n");
        return 2;
    }
    QSvgRenderer svg(QString::fromLocal8Bit(argv[1]));
    if (!svg.isValid()) {
        std::fprintf(stderr, "vantrel-icon-render: cannot read %s\n", argv[1]);
        return 1;
    }
    const QDir output(QString::fromLocal8Bit(argv[2]));
    for (int i = 3; i < argc; ++i) {
        const int size = QByteArray(argv[i]).toInt();
        if (size <= 0 || size > 4096) {
            std::fprintf(stderr, "vantrel-icon-render: bad size %s\n", argv[i]);
            return 2;
        }
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        svg.render(&painter, QRectF(0, 0, size, size));
        painter.end();
        const QString folder = QStringLiteral("%1x%1").arg(size);
        const QString path = output.filePath(folder + QStringLiteral("/vantrel.png"));
        if (!output.mkpath(folder) || !image.save(path, "PNG")) {
            std::fprintf(stderr, "vantrel-icon-render: cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
