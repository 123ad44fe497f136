// SPDX-License-Identifier: GPL-3.0-or-later
#include "TesseractTextRecognizer.h"

#include "ScreenTextImage.h"
#include "SystemLog.h"
#include "TextRows.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <tesseract/baseapi.h>
#include <tesseract/ocrclass.h>
#include <tesseract/resultiterator.h>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <omp.h>
#include <optional>
#include <thread>
#include <vector>

namespace vantrel {

namespace {

// Pictures beyond this many pixels are read at a reduced size (a capture this large is a long
// scrolling capture or a wall of screens; its text stays legible well before this).
constexpr qint64 maxPixels = 64'000'000;
// Larger pictures are read in tiles of at most this side, each with this margin of overlap, so
// that the memory a recognition needs stays bounded.
constexpr int tileSide = 2048;
constexpr int tileMargin = 128;
// A recognition that takes longer than this gives up (the scanning toast lasts as long).
constexpr auto recognitionBudget = std::chrono::seconds(30);

using Engine = std::unique_ptr<tesseract::TessBaseAPI>;

QString trainedDataFile(const QString& directory, const QString& language)
{
    return QDir(directory).filePath(language + QStringLiteral(".traineddata"));
}

// Tesseract's code for a language: ISO 639-2/T, with the few codes that name a script too.
QString tesseractCode(const QLocale& locale)
{
    switch (locale.language()) {
    case QLocale::Chinese:
        return locale.script() == QLocale::TraditionalChineseScript || locale.territory() == QLocale::Taiwan
                || locale.territory() == QLocale::HongKong
            ? QStringLiteral("chi_tra")
            : QStringLiteral("chi_sim");
    case QLocale::Serbian:
        return locale.script() == QLocale::LatinScript ? QStringLiteral("srp_latn") : QStringLiteral("srp");
    case QLocale::Uzbek:
        return locale.script() == QLocale::CyrillicScript ? QStringLiteral("uzb_cyrl") : QStringLiteral("uzb");
    case QLocale::Azerbaijani:
        return locale.script() == QLocale::CyrillicScript ? QStringLiteral("aze_cyrl") : QStringLiteral("aze");
    case QLocale::C:
    case QLocale::AnyLanguage: return {};
    default: return QLocale::languageToCode(locale.language(), QLocale::ISO639Part2T);
    }
}

bool cancelled(void* stop, int)
{
    return static_cast<const std::stop_token*>(stop)->stop_requested();
}

} // namespace

QString defaultTessdataDirectory()
{
    const QString prefix = qEnvironmentVariable("TESSDATA_PREFIX");
    if (!prefix.isEmpty()) {
        // Tesseract 5 names the folder of the files; older releases named its parent.
        const QDir dir(prefix);
        if (dir.entryList({QStringLiteral("*.traineddata")}, QDir::Files).isEmpty()
            && dir.exists(QStringLiteral("tessdata")))
            return dir.filePath(QStringLiteral("tessdata"));
        return prefix;
    }
    for (const char* candidate :
        {"/usr/share/tesseract-ocr/5/tessdata", "/usr/share/tesseract-ocr/4.00/tessdata", "/usr/share/tessdata"}) {
        if (QFileInfo(QString::fromLatin1(candidate)).isDir())
            return QString::fromLatin1(candidate);
    }
    return QStringLiteral("/usr/share/tesseract-ocr/5/tessdata");
}

QStringList tesseractLanguagesFor(const QLocale& locale)
{
    QStringList codes;
    QStringList names = locale.uiLanguages();
    if (names.isEmpty())
        names << locale.name();
    for (const QString& name : names) {
        const QString code = tesseractCode(QLocale(name));
        if (!code.isEmpty() && code != QStringLiteral("eng") && !codes.contains(code))
            codes << code;
    }
    codes << QStringLiteral("eng");
    return codes;
}

struct TesseractTextRecognizer::Engines
{
    QString directory;
    QStringList wanted;
    // Engines at most, loaded or in use: one per recognition running at the same time, as many
    // as there are cores. Further recognitions wait for one; each engine holds its models (some
    // tens of MB) and runs one thread.
    int maxEngines = std::max(2, int(std::thread::hardware_concurrency()));

    std::mutex mutex;
    std::condition_variable_any changed;
    std::vector<Engine> spare; // loaded, waiting for the next recognition
    QString spareLanguages; // what the spare engines have loaded
    int engines = 0; // spare, in use or loading
    int running = 0; // recognitions between acquire and release
    int loads = 0;
    QString toldMissing; // the languages last reported missing, so that each change is told once

    // One log line when a wanted language has no trained data: recognition goes on with the rest.
    void tellMissing(const QStringList& installed)
    {
        QStringList missing;
        for (const QString& language : wanted) {
            if (!installed.contains(language))
                missing << language;
        }
        const QString key = missing.join(QLatin1Char('+'));
        {
            std::lock_guard lock(mutex);
            if (key == toldMissing)
                return;
            toldMissing = key;
        }
        if (missing.isEmpty())
            return;
        QStringList packages;
        for (const QString& language : missing)
            packages << QStringLiteral("tesseract-ocr-")
                    + QString(language).replace(QLatin1Char('_'), QLatin1Char('-'));
        systemLog(QStringLiteral("Vantrel: text recognition reads %1 only: no trained data for %2 in %3 (install %4)")
                      .arg(installed.join(QLatin1Char('+')), missing.join(QStringLiteral(", ")), directory,
                          packages.join(QStringLiteral(", "))));
    }

    QStringList installed() const
    {
        QStringList languages;
        for (const QString& language : wanted) {
            if (QFileInfo(trainedDataFile(directory, language)).isFile())
                languages << language;
        }
        return languages;
    }

    Expected<Engine> load(const QString& languages)
    {
        Engine engine = std::make_unique<tesseract::TessBaseAPI>();
        // Tesseract's own diagnostics would reach standard error, where Vantrel's log lines go.
        engine->SetVariable("debug_file", "/dev/null");
        const QByteArray directoryBytes = QFile::encodeName(directory);
        const QByteArray languageBytes = languages.toLatin1();
        if (engine->Init(directoryBytes.constData(), languageBytes.constData(), tesseract::OEM_LSTM_ONLY) != 0) {
            return Error {.description
                = QStringLiteral("could not load the trained data for %1 from %2").arg(languages, directory)};
        }
        // Light-on-dark text is turned dark on white before the engine sees it, so the engine
        // need not try each line inverted.
        engine->SetVariable("tessedit_do_invert", "0");
        // Magnified text can still have an x-height under Tesseract's default minimum of 10 px.
        engine->SetVariable("textord_min_xheight", "6");
        // Screens scatter text: find it anywhere; rows are put together afterwards.
        engine->SetPageSegMode(tesseract::PSM_SPARSE_TEXT);
        return engine;
    }

    // A loaded engine for `languages`: a spare one, a new one, or the next one released.
    Expected<Engine> acquire(const QString& languages, std::stop_token stop)
    {
        std::unique_lock lock(mutex);
        ++running;
        if (spareLanguages != languages) {
            // The languages changed (trained data installed or removed): start afresh.
            engines -= int(spare.size());
            spare.clear();
            spareLanguages = languages;
        }
        const bool ready = changed.wait(lock, stop, [this] { return !spare.empty() || engines < maxEngines; });
        if (!ready) {
            --running;
            changed.notify_all();
            return Error {.description = QStringLiteral("stopped")};
        }
        if (!spare.empty()) {
            Engine engine = std::move(spare.back());
            spare.pop_back();
            return engine;
        }
        ++engines;
        ++loads;
        lock.unlock();
        Expected<Engine> engine = load(languages);
        if (!engine) {
            lock.lock();
            --engines;
            --running;
            changed.notify_all();
        }
        return engine;
    }

    void release(Engine engine, const QString& languages)
    {
        std::lock_guard lock(mutex);
        engine->Clear();
        if (spareLanguages == languages)
            spare.push_back(std::move(engine));
        else
            --engines;
        --running;
        changed.notify_all();
    }
};

TesseractTextRecognizer::TesseractTextRecognizer(QString dataDirectory, QStringList languages)
    : m_engines(std::make_unique<Engines>())
{
    m_engines->directory = dataDirectory.isEmpty() ? defaultTessdataDirectory() : std::move(dataDirectory);
    m_engines->wanted = languages.isEmpty() ? tesseractLanguagesFor(QLocale::system()) : std::move(languages);
}

TesseractTextRecognizer::~TesseractTextRecognizer()
{
    std::unique_lock lock(m_engines->mutex);
    m_engines->changed.wait(lock, [this] { return m_engines->running == 0; });
}

QStringList TesseractTextRecognizer::installedLanguages() const
{
    return m_engines->installed();
}

int TesseractTextRecognizer::enginesLoaded() const
{
    std::lock_guard lock(m_engines->mutex);
    return m_engines->loads;
}

Expected<QStringList> TesseractTextRecognizer::recognize(const QImage& image, double scale, std::stop_token stop)
{
    if (image.isNull() || image.width() < 3 || image.height() < 3)
        return QStringList();

    QImage source = image;
    double shrink = 1.0;
    const qint64 pixels = qint64(image.width()) * image.height();
    if (pixels > maxPixels) {
        shrink = std::sqrt(double(maxPixels) / double(pixels));
        source = image.scaled(
            int(image.width() * shrink), int(image.height() * shrink), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }

    // Blank pictures (and blank tiles) never reach the engine, nor load it.
    struct Prepared
    {
        TextTile tile;
        ScreenTextImage text;
    };
    std::vector<Prepared> prepared;
    for (const TextTile& tile : textTiles(source.size(), tileSide, tileMargin)) {
        if (stop.stop_requested())
            return Error {.description = QStringLiteral("stopped")};
        ScreenTextImage text = prepareScreenText(source.copy(tile.read), scale * shrink);
        if (!text.blank)
            prepared.push_back({tile, std::move(text)});
    }
    if (prepared.empty())
        return QStringList();

    const QStringList languages = m_engines->installed();
    if (languages.isEmpty()) {
        return Error {.description = QStringLiteral("no trained data for %1 in %2")
                                         .arg(m_engines->wanted.join(QStringLiteral(", ")), m_engines->directory)};
    }
    m_engines->tellMissing(languages);
    const QString languageKey = languages.join(QLatin1Char('+'));
    Expected<Engine> acquired = m_engines->acquire(languageKey, stop);
    if (!acquired)
        return acquired.error();
    Engine engine = std::move(*acquired);

    // Tesseract asks OpenMP for up to ten threads per line; none of them pays off on a small
    // machine, and several recognitions at once would fight over the cores. This thread's
    // parallel regions run on the thread itself.
    omp_set_max_active_levels(0);

    const auto deadline = std::chrono::steady_clock::now() + recognitionBudget;
    std::vector<RecognizedWord> words;
    std::optional<Error> failure;
    for (const Prepared& part : prepared) {
        const auto left
            = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            failure = Error {
                .description = QStringLiteral("recognition took longer than %1 s").arg(recognitionBudget.count())};
            break;
        }
        const QImage& grey = part.text.grey;
        engine->SetImage(grey.constBits(), grey.width(), grey.height(), 1, int(grey.bytesPerLine()));
        // Screens are read at 96 dpi; the engine sizes a few of its thresholds by it.
        engine->SetSourceResolution(int(std::lround(96 * part.text.magnification)));
        tesseract::ETEXT_DESC monitor;
        monitor.cancel = &cancelled;
        monitor.cancel_this = &stop;
        monitor.set_deadline_msecs(int(left.count()));
        if (engine->Recognize(&monitor) != 0) {
            failure = Error {.description = stop.stop_requested()
                    ? QStringLiteral("stopped")
                    : QStringLiteral("the text engine gave up on the picture")};
            break;
        }
        // Word boxes back into the pixels of the caller's picture.
        const double toSource = 1.0 / (part.text.magnification * shrink);
        const QPointF origin = QPointF(part.tile.read.topLeft()) / shrink;
        const QRectF owned(QPointF(part.tile.owned.topLeft()) / shrink, QSizeF(part.tile.owned.size()) / shrink);
        std::unique_ptr<tesseract::ResultIterator> it(engine->GetIterator());
        if (!it)
            continue;
        do {
            const std::unique_ptr<char[]> text(it->GetUTF8Text(tesseract::RIL_WORD));
            if (!text)
                continue;
            int left = 0, top = 0, right = 0, bottom = 0;
            if (!it->BoundingBox(tesseract::RIL_WORD, &left, &top, &right, &bottom))
                continue;
            const QRectF box(origin + QPointF(left, top) * toSource, QSizeF(right - left, bottom - top) * toSource);
            if (!owned.contains(box.center()))
                continue; // the neighbouring tile reads it
            words.push_back({QString::fromUtf8(text.get()), box.toAlignedRect(), it->Confidence(tesseract::RIL_WORD)});
        } while (it->Next(tesseract::RIL_WORD));
    }
    m_engines->release(std::move(engine), languageKey);
    if (failure)
        return *failure;
    return assembleTextRows(std::move(words));
}

} // namespace vantrel
