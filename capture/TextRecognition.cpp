// SPDX-License-Identifier: GPL-3.0-or-later
#include "TextRecognition.h"

#include "BarcodeReader.h"
#include "Clipboard.h"
#include "Service.h"
#include "SystemLog.h"
#include "TextRecognizer.h"
#include "Toasts.h"

#include <QCoreApplication>
#include <QPainter>
#include <QTextBoundaryFinder>
#include <QUrl>

#include <map>
#include <stop_token>
#include <thread>

namespace vantrel {

namespace {

constexpr int previewLength = 48; // characters

// What a recognition hands back to the main thread.
struct Outcome
{
    RecognitionResult result;
    QStringList failures;
};

// Runs each recognition on a thread of its own, so that several run at once and none waits for
// another, and finishes it on the main thread, where the clipboard and toasts live. Lives for
// the whole process.
class TextRecognitionRunner : public QObject
{
public:
    static TextRecognitionRunner& shared()
    {
        static TextRecognitionRunner* instance = new TextRecognitionRunner;
        return *instance;
    }

    void start(const QImage& image, double scale)
    {
        showToast({.text = QCoreApplication::translate("vantrel::TextRecognition", "Scanning for text…"),
            .symbol = QStringLiteral("checkmark.circle.fill"),
            .spinner = true,
            .duration = 30.0});
        // The engines are looked up here, on the main thread, where services are installed.
        TextRecognizer* text = Service<TextRecognizer>::find();
        BarcodeReader* codes = Service<BarcodeReader>::find();
        TextRecognitionRunner* self = this; // never deleted
        const quint64 id = ++m_lastID;
        m_threads.emplace(id, std::jthread([self, id, image, scale, text, codes](std::stop_token stop) {
            Outcome outcome = recognize(image, scale, text, codes, stop);
            QMetaObject::invokeMethod(
                self, [self, id, outcome = std::move(outcome)] { self->finish(id, outcome); }, Qt::QueuedConnection);
        }));
    }

    int running() const { return int(m_threads.size()); }

private:
    TextRecognitionRunner()
    {
        if (QCoreApplication* app = QCoreApplication::instance()) {
            // On the way out, stop what still runs rather than wait for it to finish: nobody is
            // left to tell, and the engines go away with the platform services right after.
            connect(app, &QCoreApplication::aboutToQuit, this, [this] {
                for (auto& [id, thread] : m_threads)
                    thread.request_stop();
                m_threads.clear(); // joins
            });
        }
    }

    // On a worker thread: both engines, one after the other, on the same picture.
    static Outcome recognize(
        const QImage& image, double scale, TextRecognizer* text, BarcodeReader* codes, std::stop_token stop)
    {
        Outcome outcome;
        if (image.isNull() || image.width() < 1 || image.height() < 1) {
            outcome.failures
                << QStringLiteral("the picture is empty (%1 × %2 pixels)").arg(image.width()).arg(image.height());
            return outcome;
        }
        std::vector<QRect> codeAreas;
        if (codes) {
            const Expected<std::vector<Barcode>> found = codes->read(image);
            if (found) {
                for (const Barcode& code : *found) {
                    outcome.result.codes << code.payload;
                    codeAreas.push_back(code.area);
                }
            } else {
                outcome.failures << found.error().description;
            }
        } else {
            outcome.failures << QStringLiteral("no barcode reader is available");
        }
        if (text) {
            const Expected<QStringList> lines = text->recognize(withoutCodes(image, codeAreas), scale, stop);
            if (lines)
                outcome.result.text = lines->join(QLatin1Char('\n'));
            else
                outcome.failures << lines.error().description;
        } else {
            outcome.failures << QStringLiteral("no text recognizer is available");
        }
        return outcome;
    }

    // The picture with its codes painted over in the colour around them: the text engine would
    // read their modules as a scatter of letters.
    static QImage withoutCodes(const QImage& image, const std::vector<QRect>& areas)
    {
        if (areas.empty())
            return image;
        QImage copy = image.convertToFormat(QImage::Format_ARGB32);
        QPainter painter(&copy);
        for (const QRect& area : areas)
            painter.fillRect(area, surroundingColour(copy, area));
        painter.end();
        return copy;
    }

    // The mean colour of the pixels just outside `area`.
    static QColor surroundingColour(const QImage& image, const QRect& area)
    {
        const QRect ring = area.adjusted(-1, -1, 1, 1);
        qint64 red = 0, green = 0, blue = 0, count = 0;
        auto add = [&](int x, int y) {
            if (!image.rect().contains(x, y) || area.contains(x, y))
                return;
            const QRgb pixel = image.pixel(x, y);
            red += qRed(pixel), green += qGreen(pixel), blue += qBlue(pixel), ++count;
        };
        for (int x = ring.left(); x <= ring.right(); ++x)
            add(x, ring.top()), add(x, ring.bottom());
        for (int y = ring.top() + 1; y < ring.bottom(); ++y)
            add(ring.left(), y), add(ring.right(), y);
        if (count == 0)
            return Qt::white;
        return QColor(int(red / count), int(green / count), int(blue / count));
    }

    // On the main thread.
    void finish(quint64 id, const Outcome& outcome)
    {
        auto done = m_threads.extract(id);
        if (done.empty())
            return; // stopped on the way out
        done.mapped().join(); // it has nothing left to do but return
        if (!outcome.failures.isEmpty())
            systemLog(
                QStringLiteral("Vantrel: text recognition failed: ") + outcome.failures.join(QStringLiteral("; ")));

        const QString content = composeRecognizedContent(outcome.result);
        if (content.isEmpty()) {
            // The clipboard keeps what it held.
            showToast({.text = QCoreApplication::translate("vantrel::TextRecognition", "No text found"),
                .symbol = QStringLiteral("text.magnifyingglass"),
                .duration = 1.6});
            return;
        }
        if (Clipboard* clipboard = Service<Clipboard>::find())
            clipboard->write({.text = content});
        const bool hasCodes = !outcome.result.codes.isEmpty();
        showToast({.text = (hasCodes ? QCoreApplication::translate("vantrel::TextRecognition", "Copied QR: ")
                                     : QCoreApplication::translate("vantrel::TextRecognition", "Copied text: "))
                + recognitionPreview(content),
            .symbol = hasCodes ? QStringLiteral("qrcode") : QStringLiteral("text.viewfinder"),
            .duration = 2.4});
        if (hasCodes) {
            // A web link is only reported: opening what a code says is the user's choice.
            const QString& first = outcome.result.codes.first();
            const QUrl url(first, QUrl::StrictMode);
            if (url.isValid() && url.scheme().startsWith(QStringLiteral("http")))
                systemLog(QStringLiteral("Vantrel: QR link ") + first);
        }
    }

    std::map<quint64, std::jthread> m_threads; // the recognitions running, by start order
    quint64 m_lastID = 0;
};

} // namespace

QString composeRecognizedContent(const RecognitionResult& result)
{
    if (result.codes.isEmpty())
        return result.text;
    if (result.text.size() >= 4)
        return result.text + QStringLiteral("\n\n") + result.codes.join(QLatin1Char('\n'));
    return result.codes.first();
}

QString recognitionPreview(const QString& content)
{
    QString preview = content;
    preview.replace(QLatin1Char('\n'), QLatin1Char(' '));
    // Count what the user sees as characters, so that a cut never splits an emoji or an accent.
    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, preview);
    int count = 0;
    qsizetype cut = -1;
    while (graphemes.toNextBoundary() >= 0) {
        ++count;
        if (count == previewLength)
            cut = graphemes.position();
        if (count > previewLength)
            return preview.left(cut) + QStringLiteral("…");
    }
    return preview;
}

void recognizeText(const QImage& image, double scale)
{
    TextRecognitionRunner::shared().start(image, scale);
}

int runningTextRecognitions()
{
    return TextRecognitionRunner::shared().running();
}

} // namespace vantrel
