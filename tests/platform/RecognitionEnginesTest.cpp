// SPDX-License-Identifier: GPL-3.0-or-later
// The real engines: Tesseract on screen text drawn here with Debian's fonts, ZXing on codes drawn
// by its own writer, and both on pictures that hold nothing or cannot be read.
#include "QtPrinters.h"
#include "ScreenTextSamples.h"
#include "SystemLog.h"
#include "TesseractTextRecognizer.h"
#include "WidgetScreens.h"
#include "ZXingBarcodeReader.h"

#include <QDir>
#include <QFile>
#include <QPainter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <memory>
#include <thread>

using namespace vantrel;
using namespace vantrel::samples;

namespace {

// One engine for the whole program, since loading the models is slow. It must go before the
// program ends: Tesseract's own word-list cache is a static that dies before any static made later.
std::unique_ptr<TesseractTextRecognizer> sharedRecognizer;

class SharedRecognizer : public ::testing::Environment
{
public:
    void TearDown() override { sharedRecognizer.reset(); }
};
const auto* const sharedRecognizerEnvironment = ::testing::AddGlobalTestEnvironment(new SharedRecognizer);

TesseractTextRecognizer& recognizer()
{
    if (!sharedRecognizer)
        sharedRecognizer = std::make_unique<TesseractTextRecognizer>(QString(), QStringList {QStringLiteral("eng")});
    return *sharedRecognizer;
}

QImage onWhite(const QImage& picture, int margin = 40)
{
    QImage page(picture.width() + 2 * margin, picture.height() + 2 * margin, QImage::Format_RGB32);
    page.fill(Qt::white);
    QPainter painter(&page);
    painter.drawImage(margin, margin, picture);
    return page;
}

QImage textPicture(const QStringList& lines, int pixelSize = 16)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(pixelSize);
    QImage image(600, 40 + int(lines.size()) * pixelSize * 2, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(QColor(0x20, 0x20, 0x20));
    for (int i = 0; i < lines.size(); ++i)
        painter.drawText(20, 30 + i * pixelSize * 2, lines[i]);
    return image;
}

QStringList payloads(const Expected<std::vector<Barcode>>& codes)
{
    QStringList texts;
    if (codes) {
        for (const Barcode& code : *codes)
            texts << code.payload;
    }
    return texts;
}

// Where the dark pixels of a picture are.
QRect darkBounds(const QImage& image)
{
    QRect bounds;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qGray(image.pixel(x, y)) < 128)
                bounds |= QRect(x, y, 1, 1);
        }
    }
    return bounds;
}

QString rectText(const QRect& r)
{
    return QStringLiteral("%1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

int threadsOfThisProcess()
{
    return int(QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
}

} // namespace

// The character error rate a kind of screen may reach, summed over its pictures, and the most
// any single picture may reach. Tesseract's own defaults read the same pictures at about
// 10 to 85 % (see bench/OcrBench.cpp).
TEST(TextRecognizer, ReadsScreenTextWithinItsErrorBudgetForEveryKindOfScreen)
{
    const std::map<QString, double> budget {{QStringLiteral("light"), 0.02}, {QStringLiteral("dark"), 0.02},
        {QStringLiteral("subpixel"), 0.02}, {QStringLiteral("hidpi"), 0.03}, {QStringLiteral("table"), 0.03},
        {QStringLiteral("colour"), 0.05}, {QStringLiteral("menu"), 0.06}, {QStringLiteral("typical"), 0.02},
        {QStringLiteral("widgets"), 0.05}};
    constexpr double worstPicture = 0.12;

    const QStringList fonts = sampleFonts();
    std::vector<ScreenTextSample> samples = screenTextSamples(fonts, 1);
    samples.push_back(typicalCapture(fonts[0], false));
    samples.push_back(typicalCapture(fonts[0], true));
    // Qt's own widgets: frames, check boxes, arrows and spacing nobody here drew.
    for (const auto& [points, dark] : {std::pair {8.0, true}, std::pair {10.0, false}}) {
        for (ScreenTextSample& sample : widgetScreens(fonts[0], points, dark))
            samples.push_back(std::move(sample));
    }
    std::map<QString, std::pair<int, int>> totals; // errors, characters
    for (const ScreenTextSample& sample : samples) {
        const Expected<QStringList> lines = recognizer().recognize(sample.image, sample.scale);
        ASSERT_TRUE(lines) << qPrintable(lines.error().description);
        const QString expected = comparableText(sample.lines.join(QLatin1Char('\n')));
        const QString got = comparableText(lines->join(QLatin1Char('\n')));
        const double rate = characterErrorRate(expected, got);
        EXPECT_LE(rate, worstPicture) << qPrintable(sample.name) << "\nexpected:\n"
                                      << qPrintable(expected) << "\nread:\n"
                                      << qPrintable(got);
        totals[sample.family].first += editDistance(expected, got);
        totals[sample.family].second += int(expected.size());
    }
    for (const auto& [family, limit] : budget) {
        ASSERT_TRUE(totals.count(family)) << qPrintable(family);
        const auto [errors, characters] = totals[family];
        EXPECT_LE(double(errors) / characters, limit) << qPrintable(family) << ": " << errors << " of " << characters;
    }
}

TEST(TextRecognizer, KeepsItsEngineLoadedAndRunsOnTheCallingThreadOnly)
{
    TesseractTextRecognizer fresh(QString(), {QStringLiteral("eng")});
    const QImage picture = textPicture({QStringLiteral("Keep the engine loaded")});
    const int threadsBefore = threadsOfThisProcess();
    for (int i = 0; i < 3; ++i) {
        const Expected<QStringList> lines = fresh.recognize(picture, 1.0);
        ASSERT_TRUE(lines);
        EXPECT_EQ(lines->join(QLatin1Char(' ')), QStringLiteral("Keep the engine loaded"));
    }
    EXPECT_EQ(fresh.enginesLoaded(), 1);
    // Tesseract's OpenMP would start worker threads (and keep them); none may appear.
    EXPECT_EQ(threadsOfThisProcess(), threadsBefore);
}

TEST(TextRecognizer, SeveralRecognitionsAtOnceEachGetTheirOwnText)
{
    TesseractTextRecognizer shared(QString(), {QStringLiteral("eng")});
    const QStringList texts {QStringLiteral("First window title"), QStringLiteral("Second dialog message"),
        QStringLiteral("Third button label")};
    std::vector<QString> results(texts.size());
    std::atomic<int> failures = 0;
    std::vector<std::thread> threads;
    for (int round = 0; round < 2; ++round) {
        for (int i = 0; i < texts.size(); ++i) {
            threads.emplace_back([&, i] {
                const Expected<QStringList> lines = shared.recognize(textPicture({texts[i]}), 1.0);
                if (lines)
                    results[size_t(i)] = lines->join(QLatin1Char(' '));
                else
                    ++failures;
            });
        }
        for (std::thread& thread : threads)
            thread.join();
        threads.clear();
        for (int i = 0; i < texts.size(); ++i)
            EXPECT_EQ(results[size_t(i)], texts[i]);
    }
    EXPECT_EQ(failures, 0);
    // At most one engine per recognition running at once; the second round reuses them.
    EXPECT_LE(shared.enginesLoaded(), int(texts.size()));
    EXPECT_LE(shared.enginesLoaded(), std::max(2, int(std::thread::hardware_concurrency())));
    EXPECT_GE(shared.enginesLoaded(), 1);
}

TEST(TextRecognizer, PicturesWithNothingToReadGiveNoLinesAndNoError)
{
    QImage transparent(800, 600, QImage::Format_ARGB32);
    transparent.fill(Qt::transparent);
    QImage huge(20000, 20000, QImage::Format_Grayscale8); // 400 MB; read shrunk and in tiles
    huge.fill(230);
    QImage blank(800, 600, QImage::Format_RGB32);
    blank.fill(QColor(0x24, 0x24, 0x24));
    const std::pair<const char*, QImage> cases[] = {
        {"null", QImage()},
        {"zero-sized", QImage(0, 0, QImage::Format_RGB32)},
        {"one pixel", QImage(1, 1, QImage::Format_RGB32)},
        {"fully transparent", transparent},
        {"20000 x 20000", huge},
        {"blank dark", blank},
    };
    for (const auto& [name, image] : cases) {
        const Expected<QStringList> lines = recognizer().recognize(image, 1.0);
        ASSERT_TRUE(lines) << name << ": " << qPrintable(lines.error().description);
        EXPECT_TRUE(lines->isEmpty()) << name;
    }
}

TEST(TextRecognizer, ReadsTextInTheFarCornerOfAPictureTooLargeToReadWhole)
{
    // Tiles and the shrinking of oversized pictures keep word positions and words whole.
    QImage tall(1200, 6000, QImage::Format_RGB32);
    tall.fill(Qt::white);
    QPainter painter(&tall);
    painter.drawImage(0, 0, textPicture({QStringLiteral("At the top")}, 20));
    // Tiles meet at y = 2000; this line straddles that border.
    painter.drawImage(600, 1975, textPicture({QStringLiteral("Across the border")}, 20));
    painter.drawImage(500, 5900, textPicture({QStringLiteral("At the bottom")}, 20));
    painter.end();
    const Expected<QStringList> lines = recognizer().recognize(tall, 1.0);
    ASSERT_TRUE(lines) << qPrintable(lines.error().description);
    EXPECT_EQ(*lines,
        QStringList(
            {QStringLiteral("At the top"), QStringLiteral("Across the border"), QStringLiteral("At the bottom")}));
}

TEST(TextRecognizer, MissingTrainedDataIsAnErrorNotACrash)
{
    QTemporaryDir empty;
    TesseractTextRecognizer missing(empty.path(), {QStringLiteral("eng")});
    EXPECT_TRUE(missing.installedLanguages().isEmpty());
    const Expected<QStringList> lines = missing.recognize(textPicture({QStringLiteral("Nothing to read with")}), 1.0);
    ASSERT_FALSE(lines);
    EXPECT_TRUE(lines.error().description.contains(QStringLiteral("no trained data")))
        << qPrintable(lines.error().description);
    EXPECT_TRUE(lines.error().description.contains(empty.path()));
    // A blank picture needs no engine at all.
    QImage blank(100, 100, QImage::Format_RGB32);
    blank.fill(Qt::white);
    EXPECT_TRUE(missing.recognize(blank, 1.0));

    // A damaged file: the same error, from the engine's own check.
    QFile broken(empty.filePath(QStringLiteral("eng.traineddata")));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("not trained data");
    broken.close();
    const Expected<QStringList> damaged = missing.recognize(textPicture({QStringLiteral("Still nothing")}), 1.0);
    ASSERT_FALSE(damaged);
    EXPECT_TRUE(damaged.error().description.contains(QStringLiteral("could not load")));
}

TEST(TextRecognizer, ALocaleWithoutTrainedDataReadsEnglishAndSaysSoOnce)
{
    // A German desktop on a machine with only the English data: text is still read, and the log
    // tells once which package would add German.
    const QString english = QDir(defaultTessdataDirectory()).filePath(QStringLiteral("eng.traineddata"));
    ASSERT_TRUE(QFile::exists(english)) << qPrintable(english);
    QTemporaryDir data;
    ASSERT_TRUE(QFile::link(english, data.filePath(QStringLiteral("eng.traineddata"))));
    QStringList logged;
    setSystemLogSink([&logged](const QString& line) { logged << line; });
    {
        TesseractTextRecognizer german(data.path(), {QStringLiteral("deu"), QStringLiteral("eng")});
        for (int i = 0; i < 2; ++i) {
            const Expected<QStringList> lines = german.recognize(textPicture({QStringLiteral("Read in English")}), 1.0);
            ASSERT_TRUE(lines) << qPrintable(lines.error().description);
            EXPECT_EQ(lines->join(QLatin1Char(' ')), QStringLiteral("Read in English"));
        }
    }
    setSystemLogSink({});
    ASSERT_EQ(logged.size(), 1) << qPrintable(logged.join(QLatin1Char('\n')));
    EXPECT_TRUE(
        logged[0].startsWith(QStringLiteral("Vantrel: text recognition reads eng only: no trained data for deu")))
        << qPrintable(logged[0]);
    EXPECT_TRUE(logged[0].contains(QStringLiteral("tesseract-ocr-deu"))) << qPrintable(logged[0]);
}

TEST(TextRecognizer, AStoppedRecognitionEndsWithAnError)
{
    std::stop_source stop;
    stop.request_stop();
    const Expected<QStringList> lines
        = recognizer().recognize(textPicture({QStringLiteral("Never read")}), 1.0, stop.get_token());
    EXPECT_FALSE(lines);
}

TEST(TextRecognizer, LanguagesAreEnglishPlusTheLocalesWhenInstalled)
{
    const std::pair<QLocale, QStringList> cases[] = {
        {QLocale(QLocale::English, QLocale::UnitedStates), {QStringLiteral("eng")}},
        {QLocale(QLocale::German, QLocale::Germany), {QStringLiteral("deu"), QStringLiteral("eng")}},
        {QLocale(QLocale::French, QLocale::Canada), {QStringLiteral("fra"), QStringLiteral("eng")}},
        {QLocale(QLocale::Chinese, QLocale::China), {QStringLiteral("chi_sim"), QStringLiteral("eng")}},
        {QLocale(QLocale::Chinese, QLocale::Taiwan), {QStringLiteral("chi_tra"), QStringLiteral("eng")}},
        {QLocale(QLocale::Serbian, QLocale::LatinScript, QLocale::Serbia),
            {QStringLiteral("srp_latn"), QStringLiteral("eng")}},
        {QLocale::c(), {QStringLiteral("eng")}},
    };
    for (const auto& [locale, expected] : cases)
        EXPECT_EQ(tesseractLanguagesFor(locale), expected) << qPrintable(locale.name());

    // Only what is installed is loaded; a missing language is no failure.
    QTemporaryDir data;
    for (const char* name : {"eng.traineddata", "fra.traineddata"}) {
        QFile file(data.filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    TesseractTextRecognizer german(data.path(), {QStringLiteral("deu"), QStringLiteral("eng")});
    EXPECT_EQ(german.installedLanguages(), QStringList {QStringLiteral("eng")});
    TesseractTextRecognizer french(data.path(), {QStringLiteral("fra"), QStringLiteral("eng")});
    EXPECT_EQ(french.installedLanguages(), QStringList({QStringLiteral("fra"), QStringLiteral("eng")}));
}

TEST(BarcodeReader, FindsEverySymbologyItsWriterDraws)
{
    struct Case
    {
        BarcodeSymbology symbology;
        const char* payload;
        const char* expected;
        QSize size;
    };
    const Case cases[]
        = {{BarcodeSymbology::qrCode, "https://example.org/a?b=c", "https://example.org/a?b=c", {150, 150}},
            {BarcodeSymbology::dataMatrix, "Data Matrix 42", "Data Matrix 42", {120, 120}},
            {BarcodeSymbology::aztec, "Aztec code", "Aztec code", {150, 150}},
            {BarcodeSymbology::pdf417, "PDF417 text", "PDF417 text", {300, 120}},
            {BarcodeSymbology::ean8, "96385074", "96385074", {200, 80}},
            {BarcodeSymbology::ean13, "5901234123457", "5901234123457", {250, 80}},
            {BarcodeSymbology::upcA, "036000291452", "036000291452", {250, 80}},
            {BarcodeSymbology::upcE, "01234565", "01234565", {200, 80}},
            {BarcodeSymbology::code39, "CODE 39", "CODE 39", {300, 80}},
            {BarcodeSymbology::code93, "CODE 93", "CODE 93", {300, 80}},
            {BarcodeSymbology::code128, "Code 128", "Code 128", {300, 80}},
            {BarcodeSymbology::itf, "12345678901231", "12345678901231", {300, 80}},
            {BarcodeSymbology::codabar, "A40156B", "40156", {250, 80}}};
    ZXingBarcodeReader reader;
    QImage sheet(1000, 900, QImage::Format_RGB32);
    sheet.fill(Qt::white);
    QPainter painter(&sheet);
    QPoint at(20, 20);
    int rowHeight = 0;
    QStringList expected;
    for (const Case& c : cases) {
        const Expected<QImage> code
            = drawBarcode(c.symbology, QString::fromLatin1(c.payload), c.size.width(), c.size.height());
        ASSERT_TRUE(code) << c.payload << ": " << qPrintable(code.error().description);
        const Expected<std::vector<Barcode>> alone = reader.read(onWhite(*code));
        ASSERT_TRUE(alone);
        EXPECT_EQ(payloads(alone), QStringList {QString::fromLatin1(c.expected)}) << c.payload;
        if (!alone->empty()) {
            // The area covers the bars or modules, without straying far from them.
            const QRect ink = darkBounds(*code).translated(40, 40);
            const QRect area = alone->front().area;
            EXPECT_TRUE(area.contains(ink))
                << c.payload << ": " << qPrintable(rectText(area)) << " for " << qPrintable(rectText(ink));
            EXPECT_TRUE(ink.adjusted(-40, -40, 40, 40).contains(area)) << c.payload;
        }
        if (at.x() + code->width() > sheet.width() - 20)
            at = QPoint(20, at.y() + rowHeight + 40), rowHeight = 0;
        painter.drawImage(at, *code);
        at.rx() += code->width() + 40;
        rowHeight = std::max(rowHeight, code->height());
        expected << QString::fromLatin1(c.expected);
    }
    painter.end();
    // All on one screen: the matrix codes' decoders look from the middle outwards only, so the
    // reader must look patch by patch as well.
    const QStringList all = payloads(reader.read(sheet));
    for (const QString& payload : expected)
        EXPECT_TRUE(all.contains(payload))
            << qPrintable(payload) << " among " << qPrintable(all.join(QLatin1Char('|')));
    EXPECT_EQ(all.size(), expected.size());
}

TEST(BarcodeReader, ReadsCodesInReadingOrderAndLightOnDark)
{
    ZXingBarcodeReader reader;
    const QImage first = *drawBarcode(BarcodeSymbology::qrCode, QStringLiteral("first"), 120, 120);
    const QImage second = *drawBarcode(BarcodeSymbology::qrCode, QStringLiteral("second"), 160, 160);
    QImage pair(500, 260, QImage::Format_RGB32);
    pair.fill(Qt::white);
    QPainter painter(&pair);
    painter.drawImage(300, 60, second); // drawn first, yet to the right
    painter.drawImage(30, 40, first);
    painter.end();
    EXPECT_EQ(payloads(reader.read(pair)), QStringList({QStringLiteral("first"), QStringLiteral("second")}));

    // The same code twice, linear or not: both read (the library's own search for several
    // linear codes at once aborts the process on this).
    for (const BarcodeSymbology symbology : {BarcodeSymbology::code128, BarcodeSymbology::qrCode}) {
        const QImage code = *drawBarcode(symbology, QStringLiteral("twice"), 200, 80);
        QImage two(700, 500, QImage::Format_RGB32);
        two.fill(Qt::white);
        QPainter twice(&two);
        twice.drawImage(20, 20, code);
        twice.drawImage(400, 300, code);
        twice.end();
        EXPECT_EQ(payloads(reader.read(two)), QStringList({QStringLiteral("twice"), QStringLiteral("twice")}));
    }

    QImage dark = onWhite(first);
    dark.invertPixels(); // a dark theme's light code
    EXPECT_EQ(payloads(reader.read(dark)), QStringList {QStringLiteral("first")});
}

TEST(BarcodeReader, PicturesWithoutCodesGiveNothing)
{
    ZXingBarcodeReader reader;
    QImage transparent(400, 300, QImage::Format_ARGB32);
    transparent.fill(Qt::transparent);
    QImage huge(20000, 20000, QImage::Format_Grayscale8);
    huge.fill(255);
    const std::pair<const char*, QImage> cases[] = {
        {"null", QImage()},
        {"one pixel", QImage(1, 1, QImage::Format_RGB32)},
        {"fully transparent", transparent},
        {"20000 x 20000", huge},
        {"text only", textPicture({QStringLiteral("No code in here"), QStringLiteral("Only words")})},
    };
    for (const auto& [name, image] : cases) {
        const Expected<std::vector<Barcode>> codes = reader.read(image);
        ASSERT_TRUE(codes) << name;
        EXPECT_TRUE(codes->empty()) << name << ": " << qPrintable(payloads(codes).join(QLatin1Char('|')));
    }
}
