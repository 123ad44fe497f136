// SPDX-License-Identifier: GPL-3.0-or-later
// Text recognition on screen text, against the `tesseract` command run on the same pictures in
// the same run: character error rate (edit distance over the expected length) per kind of
// screen (real Qt widgets among them), and seconds per picture. Also the time for a typical 800 × 600 capture and a
// blank one, and whether every barcode of a sheet of them is found.
//
//   ocr_bench [--save DIR] [--images DIR] [--no-reference] [--dejavu-only]
//
// --images DIR reads the PNG files of DIR instead (screenshots nobody drew for this): with a
// NAME.txt beside a NAME.png it scores, without it prints both readings.
#include "ScreenTextSamples.h"
#include "TesseractTextRecognizer.h"
#include "WidgetScreens.h"
#include "ZXingBarcodeReader.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdio>
#include <ctime>
#include <map>
#include <sys/resource.h>

using namespace vantrel;
using namespace vantrel::samples;

namespace {

double threadSeconds()
{
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

double childSeconds()
{
    rusage usage {};
    getrusage(RUSAGE_CHILDREN, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

struct Reading
{
    QString text;
    double wall = 0; // seconds
    double cpu = 0; // seconds of processor time
};

Reading readOurs(TesseractTextRecognizer& recognizer, const QImage& image, double scale)
{
    QElapsedTimer timer;
    timer.start();
    const double cpu = threadSeconds();
    const Expected<QStringList> lines = recognizer.recognize(image, scale);
    Reading reading;
    reading.cpu = threadSeconds() - cpu;
    reading.wall = timer.nsecsElapsed() * 1e-9;
    reading.text = lines ? lines->join(QLatin1Char('\n'))
                         : QStringLiteral("[failed: ") + lines.error().description + QLatin1Char(']');
    return reading;
}

// `tesseract FILE stdout` with its defaults, as a user would run it.
Reading readReference(const QString& file)
{
    QProcess process;
    QElapsedTimer timer;
    timer.start();
    const double cpu = childSeconds();
    process.start(QStringLiteral("tesseract"), {file, QStringLiteral("stdout")});
    process.waitForFinished(120'000);
    Reading reading;
    reading.wall = timer.nsecsElapsed() * 1e-9;
    reading.cpu = childSeconds() - cpu;
    reading.text = QString::fromUtf8(process.readAllStandardOutput());
    return reading;
}

struct Tally
{
    int errors = 0;
    int length = 0;
    double wall = 0;
    double cpu = 0;
    int images = 0;
    void add(const QString& expected, const Reading& reading)
    {
        const QString want = comparableText(expected);
        errors += editDistance(want, comparableText(reading.text));
        length += int(want.size());
        wall += reading.wall;
        cpu += reading.cpu;
        ++images;
    }
    double rate() const { return length ? 100.0 * errors / length : 0.0; }
};

void save(const QString& dir, const QString& name, const QString& suffix, const QString& text)
{
    QFile file(QDir(dir).filePath(
        QString(name).replace(QLatin1Char('/'), QLatin1Char('_')).replace(QLatin1Char(' '), QLatin1Char('-'))
        + suffix));
    if (file.open(QIODevice::WriteOnly))
        file.write(text.toUtf8() + '\n');
}

int runOnFolder(TesseractTextRecognizer& recognizer, const QString& folder, bool reference, const QString& saveDir)
{
    Tally ours, theirs;
    const QDir dir(folder);
    for (const QString& name : dir.entryList({QStringLiteral("*.png")}, QDir::Files, QDir::Name)) {
        const QString path = dir.filePath(name);
        const QImage image(path);
        const Reading mine = readOurs(recognizer, image, 1.0);
        const Reading stock = reference ? readReference(path) : Reading {};
        if (!saveDir.isEmpty()) {
            save(saveDir, QFileInfo(name).completeBaseName(), QStringLiteral(".ours"), mine.text);
            if (reference)
                save(saveDir, QFileInfo(name).completeBaseName(), QStringLiteral(".tesseract"), stock.text);
        }
        QFile truthFile(dir.filePath(QFileInfo(name).completeBaseName() + QStringLiteral(".txt")));
        if (truthFile.open(QIODevice::ReadOnly)) {
            const QString truth = QString::fromUtf8(truthFile.readAll());
            ours.add(truth, mine);
            if (reference)
                theirs.add(truth, stock);
            std::printf("%-40s ours %6.2f %%  tesseract %6.2f %%  %.2f s\n", qPrintable(name),
                100 * characterErrorRate(truth, mine.text), 100 * characterErrorRate(truth, stock.text), mine.cpu);
        } else {
            std::printf("=== %s (%dx%d, %.2f s)\n--- Vantrel:\n%s\n", qPrintable(name), image.width(), image.height(),
                mine.cpu, qPrintable(mine.text));
            if (reference)
                std::printf("--- tesseract:\n%s\n", qPrintable(comparableText(stock.text)));
        }
    }
    if (ours.images)
        std::printf("\noverall: ours %.2f %%, tesseract %.2f %%\n", ours.rate(), theirs.rate());
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    auto option = [&args](const char* name) {
        const int at = int(args.indexOf(QString::fromLatin1(name)));
        return at >= 0 && at + 1 < args.size() ? args[at + 1] : QString();
    };
    const bool reference = !args.contains(QStringLiteral("--no-reference"))
        && !QStandardPaths::findExecutable(QStringLiteral("tesseract")).isEmpty();
    if (!reference)
        std::printf("(no reference figures: the tesseract command is not installed — apt-get install tesseract-ocr)\n");
    const QString saveDir = option("--save");
    if (!saveDir.isEmpty())
        QDir().mkpath(saveDir);

    TesseractTextRecognizer recognizer;
    std::printf("languages: %s\n", qPrintable(recognizer.installedLanguages().join(QLatin1Char('+'))));
    {
        // The first recognition loads the engine; the benchmark times the ones after it.
        QImage warm(200, 40, QImage::Format_RGB32);
        warm.fill(Qt::white);
        QPainter painter(&warm);
        painter.drawText(10, 25, QStringLiteral("Warm up"));
        painter.end();
        QElapsedTimer timer;
        timer.start();
        recognizer.recognize(warm, 1.0);
        std::printf("first recognition, loading the engine: %.2f s\n\n", timer.nsecsElapsed() * 1e-9);
    }
    if (const QString folder = option("--images"); !folder.isEmpty())
        return runOnFolder(recognizer, folder, reference, saveDir);

    const QStringList fonts = args.contains(QStringLiteral("--dejavu-only"))
        ? QStringList {QStringLiteral("DejaVu Sans"), QStringLiteral("DejaVu Sans Mono")}
        : sampleFonts();
    std::vector<ScreenTextSample> samples = screenTextSamples(fonts);
    for (const QString& font : fonts) {
        samples.push_back(typicalCapture(font, false));
        samples.push_back(typicalCapture(font, true));
    }
    // Real widgets in each interface font (a monospaced font is none), small and dark, larger
    // and light.
    for (const QString& font : fonts) {
        if (font.contains(QStringLiteral("Mono")))
            continue;
        for (const auto& [points, dark] : {std::pair {8.0, true}, std::pair {10.0, false}}) {
            for (ScreenTextSample& sample : widgetScreens(font, points, dark))
                samples.push_back(std::move(sample));
        }
    }

    QTemporaryDir scratch;
    std::map<QString, Tally> ours, theirs;
    Tally ourTotal, theirTotal;
    std::printf("%zu screen pictures in %s\n", samples.size(), qPrintable(fonts.join(QStringLiteral(", "))));
    for (const ScreenTextSample& sample : samples) {
        const QString expected = sample.lines.join(QLatin1Char('\n'));
        const Reading mine = readOurs(recognizer, sample.image, sample.scale);
        ours[sample.family].add(expected, mine);
        ourTotal.add(expected, mine);
        Reading stock;
        if (reference) {
            const QString file = scratch.filePath(QStringLiteral("sample.png"));
            sample.image.save(file);
            stock = readReference(file);
            theirs[sample.family].add(expected, stock);
            theirTotal.add(expected, stock);
        }
        if (!saveDir.isEmpty()) {
            sample.image.save(QDir(saveDir).filePath(QString(sample.name)
                                                         .replace(QLatin1Char('/'), QLatin1Char('_'))
                                                         .replace(QLatin1Char(' '), QLatin1Char('-'))
                + QStringLiteral(".png")));
            save(saveDir, sample.name, QStringLiteral(".txt"), expected);
            save(saveDir, sample.name, QStringLiteral(".ours"), mine.text);
            if (reference)
                save(saveDir, sample.name, QStringLiteral(".tesseract"), stock.text);
        }
    }

    std::printf(
        "\n%-10s %7s %14s %8s | %12s %12s\n", "family", "images", "CER Vantrel", "command", "s/image ours", "command");
    for (const auto& [family, tally] : ours) {
        const Tally& other = theirs[family];
        std::printf("%-10s %7d %13.2f%% %7.2f%% | %6.3f (%5.3f) %6.3f (%5.3f)\n", qPrintable(family), tally.images,
            tally.rate(), other.rate(), tally.cpu / tally.images, tally.wall / tally.images,
            other.images ? other.cpu / other.images : 0.0, other.images ? other.wall / other.images : 0.0);
    }
    std::printf("%-10s %7d %13.2f%% %7.2f%% | %6.3f (%5.3f) %6.3f (%5.3f)\n", "overall", ourTotal.images,
        ourTotal.rate(), theirTotal.rate(), ourTotal.cpu / ourTotal.images, ourTotal.wall / ourTotal.images,
        theirTotal.images ? theirTotal.cpu / theirTotal.images : 0.0,
        theirTotal.images ? theirTotal.wall / theirTotal.images : 0.0);
    std::printf("(seconds: processor time of the recognition, wall-clock in brackets; the command's include "
                "starting it and loading its model)\n\n");

    // A typical capture, on one core, best of three (the machine may be busy with other work).
    const ScreenTextSample typical = typicalCapture(QStringLiteral("DejaVu Sans"), false);
    double best = 1e9, bestWall = 1e9;
    for (int i = 0; i < 3; ++i) {
        const Reading reading = readOurs(recognizer, typical.image, 1.0);
        best = std::min(best, reading.cpu);
        bestWall = std::min(bestWall, reading.wall);
    }
    QImage blank(800, 600, QImage::Format_RGB32);
    blank.fill(QColor(0xf6, 0xf5, 0xf4));
    ZXingBarcodeReader barcodes;
    double blankBest = 1e9;
    for (int i = 0; i < 5; ++i) {
        QElapsedTimer timer;
        timer.start();
        recognizer.recognize(blank, 1.0);
        barcodes.read(blank);
        blankBest = std::min(blankBest, timer.nsecsElapsed() * 1e-9);
    }

    // Every symbology the writer draws, each with a payload it can hold: alone on a clean
    // picture, then all together on one sheet.
    struct Code
    {
        BarcodeSymbology symbology;
        const char* payload;
        const char* expected; // what the reader returns: Codabar without its start and stop letters
        QSize size;
    };
    const Code codes[] = {{BarcodeSymbology::qrCode, "https://example.org/qr", "https://example.org/qr", {150, 150}},
        {BarcodeSymbology::dataMatrix, "DATAMATRIX-42", "DATAMATRIX-42", {120, 120}},
        {BarcodeSymbology::aztec, "Aztec payload", "Aztec payload", {150, 150}},
        {BarcodeSymbology::pdf417, "PDF417 payload", "PDF417 payload", {300, 120}},
        {BarcodeSymbology::ean8, "96385074", "96385074", {200, 80}},
        {BarcodeSymbology::ean13, "5901234123457", "5901234123457", {250, 80}},
        {BarcodeSymbology::upcA, "036000291452", "036000291452", {250, 80}},
        {BarcodeSymbology::upcE, "01234565", "01234565", {200, 80}},
        {BarcodeSymbology::code39, "CODE39 TEST", "CODE39 TEST", {380, 80}},
        {BarcodeSymbology::code93, "CODE93 TEST", "CODE93 TEST", {300, 80}},
        {BarcodeSymbology::code128, "Code128 test", "Code128 test", {300, 80}},
        {BarcodeSymbology::itf, "12345678901231", "12345678901231", {300, 80}},
        {BarcodeSymbology::codabar, "A123456B", "123456", {250, 80}}};
    QImage sheet(1000, 1000, QImage::Format_RGB32);
    sheet.fill(Qt::white);
    QStringList payloads, missingAlone;
    int aloneFound = 0;
    double aloneSeconds = 0;
    {
        QPainter painter(&sheet);
        int x = 20, y = 20, rowHeight = 0;
        for (const Code& code : codes) {
            const Expected<QImage> drawn
                = drawBarcode(code.symbology, QString::fromLatin1(code.payload), code.size.width(), code.size.height());
            if (!drawn) {
                std::printf("could not draw %s: %s\n", code.payload, qPrintable(drawn.error().description));
                continue;
            }
            payloads << QString::fromLatin1(code.expected);
            QImage alone(drawn->width() + 80, drawn->height() + 80, QImage::Format_RGB32);
            alone.fill(Qt::white);
            QPainter single(&alone);
            single.drawImage(40, 40, *drawn);
            single.end();
            QElapsedTimer timer;
            timer.start();
            const Expected<std::vector<Barcode>> read = barcodes.read(alone);
            aloneSeconds += timer.nsecsElapsed() * 1e-9;
            if (read && read->size() == 1 && read->front().payload == payloads.last())
                ++aloneFound;
            else
                missingAlone << payloads.last();
            if (x + drawn->width() > sheet.width() - 20) {
                x = 20;
                y += rowHeight + 40;
                rowHeight = 0;
            }
            painter.drawImage(x, y, *drawn);
            x += drawn->width() + 40;
            rowHeight = std::max(rowHeight, drawn->height());
        }
    }
    if (!saveDir.isEmpty())
        sheet.save(QDir(saveDir).filePath(QStringLiteral("barcodes.png")));
    QElapsedTimer codeTimer;
    codeTimer.start();
    const Expected<std::vector<Barcode>> read = barcodes.read(sheet);
    const double codeSeconds = codeTimer.nsecsElapsed() * 1e-9;
    QStringList found;
    if (read) {
        for (const Barcode& code : *read)
            found << code.payload;
    }
    int matched = 0;
    QStringList missing;
    for (const QString& payload : payloads) {
        if (found.contains(payload))
            ++matched;
        else
            missing << payload;
    }

    auto verdict = [](bool ok) { return ok ? "met" : "NOT MET"; };
    const double ratio = theirTotal.rate() > 0 ? ourTotal.rate() / theirTotal.rate() : 0.0;
    std::printf("Goals\n");
    if (reference)
        std::printf("  CER at most half of the command's: %.2f %% vs %.2f %% (ratio %.2f)  %s\n", ourTotal.rate(),
            theirTotal.rate(), ratio, verdict(ratio <= 0.5));
    std::printf("  CER below 4 %%: %.2f %%  %s\n", ourTotal.rate(), verdict(ourTotal.rate() < 4.0));
    std::printf("  typical 800x600 capture on one core: %.3f s processor (%.3f s wall-clock)  %s\n", best, bestWall,
        verdict(best <= 0.6));
    std::printf("  blank 800x600 picture, text and codes: %.1f ms  %s\n", blankBest * 1000, verdict(blankBest < 0.05));
    std::printf("  barcodes found alone: %d of %d, %.0f ms each%s%s  %s\n", aloneFound, int(payloads.size()),
        aloneSeconds * 1000 / std::max<qsizetype>(1, payloads.size()),
        missingAlone.isEmpty() ? "" : ", missing: ", qPrintable(missingAlone.join(QStringLiteral(", "))),
        verdict(aloneFound == payloads.size()));
    std::printf("  barcodes found on one sheet: %d of %d in %.0f ms%s%s  %s\n", matched, int(payloads.size()),
        codeSeconds * 1000, missing.isEmpty() ? "" : ", missing: ", qPrintable(missing.join(QStringLiteral(", "))),
        verdict(matched == payloads.size()));
    return 0;
}
