// SPDX-License-Identifier: GPL-3.0-or-later
// "Capture Text" from picture to clipboard and toast: the edge cases with the real engines on
// pictures drawn here (text with Qt and DejaVu Sans, codes with ZXing's writer), and the rules
// around them with engines the test controls.
#include "TextRecognition.h"

#include "Fakes.h"
#include "QtPrinters.h"
#include "Service.h"
#include "TesseractTextRecognizer.h"
#include "ZXingBarcodeReader.h"

#include <QPainter>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>

using namespace vantrel;
using namespace vantrel::test;

namespace {

// Web addresses and the like, drawn as QR codes.
QImage qrCode(const QString& payload, int side = 200)
{
    const Expected<QImage> code = drawBarcode(BarcodeSymbology::qrCode, payload, side, side);
    return code ? *code : QImage();
}

// A white page with `lines` of 20 px DejaVu Sans at `at`, and each code at its place.
QImage page(QSize size, const QStringList& lines, QPoint at, const std::vector<std::pair<QImage, QPoint>>& codes = {})
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(20);
    painter.setFont(font);
    painter.setPen(QColor(0x24, 0x24, 0x24));
    for (int i = 0; i < lines.size(); ++i)
        painter.drawText(at + QPoint(0, 20 + i * 36), lines[i]);
    for (const auto& [code, where] : codes)
        painter.drawImage(where, code);
    return image;
}

class TextRecognitionFlow : public ::testing::Test
{
protected:
    // Starts a recognition and waits until its result toast is up.
    void recognize(const QImage& image, double scale = 1.0)
    {
        recognizeText(image, scale);
        ASSERT_TRUE(QTest::qWaitFor([] { return runningTextRecognitions() == 0; }, 60000));
    }

    // Every recognition shows the scanning toast first and ends with exactly one result toast.
    const ToastRequest& resultToast()
    {
        EXPECT_EQ(toasts.requests.size(), 2u);
        const ToastRequest& scanning = toasts.requests.front();
        EXPECT_EQ(scanning.text, QStringLiteral("Scanning for text…"));
        EXPECT_TRUE(scanning.spinner);
        EXPECT_EQ(scanning.symbol, QStringLiteral("checkmark.circle.fill"));
        EXPECT_EQ(scanning.duration, 30.0);
        EXPECT_FALSE(toasts.requests.back().spinner);
        return toasts.requests.back();
    }

    QString clipboardText() const { return clipboard.current ? clipboard.current->text : QString(); }

    RecordingToasts toasts;
    FakeClipboard clipboard;
    FakeWorkspace workspace; // nothing may open a link
    LogCapture log;
    ScopedService<ToastPresenter> toastSlot {&toasts};
    ScopedService<Clipboard> clipboardSlot {&clipboard};
    ScopedService<Workspace> workspaceSlot {&workspace};
};

class WithRealEngines : public TextRecognitionFlow
{
protected:
    // One engine for the suite, since loading the models is slow. It must go before the program
    // ends: Tesseract's own word-list cache is a static that dies before any static made later.
    static void SetUpTestSuite()
    {
        s_textEngine = std::make_unique<TesseractTextRecognizer>(QString(), QStringList {QStringLiteral("eng")});
    }
    static void TearDownTestSuite() { s_textEngine.reset(); }
    static TesseractTextRecognizer& textEngine() { return *s_textEngine; }
    static inline std::unique_ptr<TesseractTextRecognizer> s_textEngine;
    ZXingBarcodeReader codeEngine;
    ScopedService<TextRecognizer> textSlot {&textEngine()};
    ScopedService<BarcodeReader> codeSlot {&codeEngine};
};

} // namespace

TEST_F(WithRealEngines, AQrCodeWithAWebAddressIsCopiedAndLoggedNeverOpened)
{
    const QString url = QStringLiteral("https://example.org/welcome?source=vantrel");
    recognize(page(QSize(400, 320), {}, {}, {{qrCode(url), QPoint(60, 40)}}));
    EXPECT_EQ(clipboardText(), url);
    EXPECT_FALSE(clipboard.current->image);
    const ToastRequest& toast = resultToast();
    EXPECT_EQ(toast.text, QStringLiteral("Copied QR: ") + url);
    EXPECT_EQ(toast.symbol, QStringLiteral("qrcode"));
    EXPECT_EQ(toast.duration, 2.4);
    EXPECT_TRUE(log.lines().contains(QStringLiteral("Vantrel: QR link ") + url)) << qPrintable(log.lines().join('\n'));
    EXPECT_TRUE(workspace.opened.empty());
}

TEST_F(WithRealEngines, AParagraphAndAQrCodeGiveTheTextAnEmptyLineAndTheCode)
{
    const QStringList paragraph {QStringLiteral("Scan the code to join the meeting"),
        QStringLiteral("or open the link in your browser."), QStringLiteral("The room opens at ten.")};
    const QString url = QStringLiteral("https://meet.example.org/room/42");
    recognize(page(QSize(760, 260), paragraph, QPoint(30, 30), {{qrCode(url), QPoint(520, 30)}}));
    const QString expected = paragraph.join(QLatin1Char('\n')) + QStringLiteral("\n\n") + url;
    EXPECT_EQ(clipboardText(), expected);
    const ToastRequest& toast = resultToast();
    EXPECT_EQ(toast.text,
        QStringLiteral("Copied QR: ") + QString(expected).replace(QLatin1Char('\n'), QLatin1Char(' ')).left(48)
            + QStringLiteral("…"));
    EXPECT_EQ(toast.symbol, QStringLiteral("qrcode"));
}

TEST_F(WithRealEngines, ShortTextBesideACodeGivesTheCodeAlone)
{
    const QString payload = QStringLiteral("https://example.org/ok");
    recognize(page(QSize(520, 280), {QStringLiteral("OK")}, QPoint(40, 110), {{qrCode(payload), QPoint(240, 30)}}));
    EXPECT_EQ(clipboardText(), payload);
    EXPECT_EQ(resultToast().text, QStringLiteral("Copied QR: ") + payload);
}

TEST_F(WithRealEngines, TwoCodesWithoutTextGiveTheFirstCodeOnly)
{
    recognize(page(QSize(640, 300), {}, {},
        {{qrCode(QStringLiteral("first-code")), QPoint(40, 40)},
            {qrCode(QStringLiteral("second-code")), QPoint(360, 50)}}));
    EXPECT_EQ(clipboardText(), QStringLiteral("first-code"));
    EXPECT_EQ(resultToast().text, QStringLiteral("Copied QR: first-code"));
    EXPECT_TRUE(workspace.opened.empty());
}

TEST_F(WithRealEngines, SixtyCharactersOnThreeLinesArePreviewedCutButCopiedWhole)
{
    const QStringList lines {QStringLiteral("Check the disk space"), QStringLiteral("then empty the trash"),
        QStringLiteral("before the next copy")};
    ASSERT_EQ(lines.join(QString()).size(), 60);
    recognize(page(QSize(420, 160), lines, QPoint(20, 20)));
    EXPECT_EQ(clipboardText(), lines.join(QLatin1Char('\n')));
    const ToastRequest& toast = resultToast();
    EXPECT_EQ(
        toast.text, QStringLiteral("Copied text: ") + lines.join(QLatin1Char(' ')).left(48) + QStringLiteral("…"));
    EXPECT_EQ(toast.symbol, QStringLiteral("text.viewfinder"));
    EXPECT_EQ(toast.duration, 2.4);
    EXPECT_TRUE(log.lines().isEmpty()) << qPrintable(log.lines().join('\n'));
}

TEST_F(WithRealEngines, ABlankPictureLeavesTheClipboardAlone)
{
    clipboard.write({.text = QStringLiteral("what the user copied before")});
    QImage transparent(300, 200, QImage::Format_ARGB32);
    transparent.fill(Qt::transparent);
    QImage dark(800, 600, QImage::Format_RGB32);
    dark.fill(QColor(0x24, 0x24, 0x24));
    for (const QImage& blank : {page(QSize(800, 600), {}, {}), dark, transparent, QImage(1, 1, QImage::Format_RGB32)}) {
        toasts.requests.clear();
        recognize(blank);
        const ToastRequest& toast = resultToast();
        EXPECT_EQ(toast.text, QStringLiteral("No text found"));
        EXPECT_EQ(toast.symbol, QStringLiteral("text.magnifyingglass"));
        EXPECT_EQ(toast.duration, 1.6);
    }
    EXPECT_EQ(clipboard.writes, 1);
    EXPECT_EQ(clipboardText(), QStringLiteral("what the user copied before"));
    EXPECT_TRUE(log.lines().isEmpty());
}

TEST(RecognizedContent, ComposesTextAndCodesByTheFourCharacterRule)
{
    struct Case
    {
        const char* name;
        RecognitionResult result;
        QString content;
    };
    const Case cases[] = {
        {"nothing", {}, QString()},
        {"text only", {QStringLiteral("a\nb"), {}}, QStringLiteral("a\nb")},
        {"code only", {QString(), {QStringLiteral("c1")}}, QStringLiteral("c1")},
        {"three characters and codes", {QStringLiteral("abc"), {QStringLiteral("c1"), QStringLiteral("c2")}},
            QStringLiteral("c1")},
        {"four characters and codes", {QStringLiteral("abcd"), {QStringLiteral("c1"), QStringLiteral("c2")}},
            QStringLiteral("abcd\n\nc1\nc2")},
        {"two lines of two", {QStringLiteral("ab\nc"), {QStringLiteral("c1")}}, QStringLiteral("ab\nc\n\nc1")},
    };
    for (const Case& c : cases)
        EXPECT_EQ(composeRecognizedContent(c.result), c.content) << c.name;
}

TEST(RecognizedContent, PreviewJoinsLinesAndCutsAtFortyEightCharacters)
{
    const QString fortyEight(48, QLatin1Char('x'));
    const QString face = QStringLiteral("\U0001F600"); // two UTF-16 units, one character
    const std::pair<QString, QString> cases[] = {
        {QStringLiteral("one\ntwo\nthree"), QStringLiteral("one two three")},
        {fortyEight, fortyEight},
        {fortyEight + QLatin1Char('y'), fortyEight + QStringLiteral("…")},
        {QString(30, QLatin1Char('a')) + QLatin1Char('\n') + QString(30, QLatin1Char('b')),
            QString(30, QLatin1Char('a')) + QLatin1Char(' ') + QString(17, QLatin1Char('b')) + QStringLiteral("…")},
        {face.repeated(48), face.repeated(48)},
        {face.repeated(49), face.repeated(48) + QStringLiteral("…")},
        {QString(), QString()},
    };
    for (const auto& [content, preview] : cases)
        EXPECT_EQ(recognitionPreview(content), preview) << qPrintable(content);
}

namespace {

// Engines that answer what the test says, on the thread they are called on, and can hold a
// recognition until the test lets it go.
class ScriptedText : public TextRecognizer
{
public:
    Expected<QStringList> recognize(const QImage& image, double scale, std::stop_token) override
    {
        std::unique_lock lock(m_mutex);
        threads.push_back(QThread::currentThread());
        scales.push_back(scale);
        m_released.wait(lock, [this, &image] { return !held.count(image.width()); });
        if (failure)
            return *failure;
        return answers.count(image.width()) ? answers[image.width()] : QStringList();
    }
    void release(int width)
    {
        std::lock_guard lock(m_mutex);
        held.erase(width);
        m_released.notify_all();
    }

    std::set<int> held; // picture widths to hold
    std::map<int, QStringList> answers; // by picture width
    std::optional<Error> failure;
    std::vector<QThread*> threads;
    std::vector<double> scales;

private:
    std::mutex m_mutex;
    std::condition_variable m_released;
};

class ScriptedCodes : public BarcodeReader
{
public:
    Expected<std::vector<Barcode>> read(const QImage&) override
    {
        if (failure)
            return *failure;
        std::vector<Barcode> codes;
        for (const QString& payload : payloads)
            codes.push_back({payload, QRect(0, 0, 10, 10)});
        return codes;
    }
    QStringList payloads;
    std::optional<Error> failure;
};

class WithScriptedEngines : public TextRecognitionFlow
{
protected:
    QImage picture(int width) const
    {
        QImage image(width, 100, QImage::Format_RGB32);
        image.fill(Qt::white);
        return image;
    }
    ScriptedText text;
    ScriptedCodes codes;
    ScopedService<TextRecognizer> textSlot {&text};
    ScopedService<BarcodeReader> codeSlot {&codes};
};

} // namespace

TEST_F(WithScriptedEngines, OnlyWebLinksAreLoggedAndNothingIsEverOpened)
{
    const std::pair<const char*, bool> cases[] = {
        {"https://example.org/path", true},
        {"http://example.org", true},
        {"HTTPS://EXAMPLE.ORG/UPPER", true},
        {"ftp://files.example.org", false},
        {"mailto:someone@example.org", false},
        {"WIFI:S:home;T:WPA;P:secret;;", false},
        {"www.example.org", false},
        {"just words", false},
    };
    text.answers[200] = {QStringLiteral("Some text beside it")};
    for (const auto& [payload, logged] : cases) {
        toasts.requests.clear();
        const int before = int(log.lines().size());
        codes.payloads = {QString::fromLatin1(payload), QStringLiteral("https://second.example.org")};
        recognize(picture(200));
        const QStringList lines = log.lines().mid(before);
        EXPECT_EQ(lines.size(), logged ? 1 : 0) << payload;
        if (logged) {
            EXPECT_EQ(lines.value(0), QStringLiteral("Vantrel: QR link ") + QString::fromLatin1(payload));
        }
        EXPECT_TRUE(resultToast().text.startsWith(QStringLiteral("Copied QR: Some text beside it"))) << payload;
    }
    EXPECT_TRUE(workspace.opened.empty());
}

TEST_F(WithScriptedEngines, AFailingEngineIsLoggedAndTheOtherEnginesResultStillCounts)
{
    text.failure = Error {.description = QStringLiteral("no trained data for eng in /nowhere")};
    codes.payloads = {QStringLiteral("still-read")};
    recognize(picture(100));
    EXPECT_EQ(log.lines(),
        QStringList {QStringLiteral("Vantrel: text recognition failed: no trained data for eng in /nowhere")});
    EXPECT_EQ(clipboardText(), QStringLiteral("still-read"));
    EXPECT_EQ(resultToast().text, QStringLiteral("Copied QR: still-read"));

    // Both failing: one line, and the clipboard keeps what it had.
    toasts.requests.clear();
    codes.failure = Error {.description = QStringLiteral("decoder broke")};
    recognize(picture(100));
    EXPECT_EQ(log.lines().size(), 2);
    EXPECT_EQ(log.lines().last(),
        QStringLiteral("Vantrel: text recognition failed: decoder broke; no trained data for eng in /nowhere"));
    EXPECT_EQ(resultToast().text, QStringLiteral("No text found"));
    EXPECT_EQ(clipboard.writes, 1);
}

TEST_F(WithScriptedEngines, AnEmptyPictureIsLoggedAndNeverReachesTheEngines)
{
    text.answers[0] = {QStringLiteral("never asked")};
    for (const QImage& empty : {QImage(), QImage(0, 0, QImage::Format_RGB32), QImage(0, 40, QImage::Format_ARGB32)}) {
        toasts.requests.clear();
        const qsizetype logged = log.lines().size();
        recognize(empty);
        EXPECT_EQ(resultToast().text, QStringLiteral("No text found"));
        ASSERT_EQ(log.lines().size(), logged + 1);
        EXPECT_TRUE(
            log.lines().last().startsWith(QStringLiteral("Vantrel: text recognition failed: the picture is empty")))
            << qPrintable(log.lines().last());
    }
    EXPECT_TRUE(text.threads.empty());
    EXPECT_FALSE(clipboard.current);
}

TEST(TextRecognitionWithoutEngines, SaysNoTextFoundAndLogsWhy)
{
    RecordingToasts toasts;
    FakeClipboard clipboard;
    LogCapture log;
    ScopedService<ToastPresenter> toastSlot(&toasts);
    ScopedService<Clipboard> clipboardSlot(&clipboard);
    ScopedService<TextRecognizer> noText(nullptr);
    ScopedService<BarcodeReader> noCodes(nullptr);
    QImage image(50, 50, QImage::Format_RGB32);
    image.fill(Qt::white);
    recognizeText(image, 1.0);
    ASSERT_TRUE(QTest::qWaitFor([] { return runningTextRecognitions() == 0; }, 10000));
    ASSERT_EQ(log.lines().size(), 1);
    EXPECT_TRUE(log.lines()[0].startsWith(QStringLiteral("Vantrel: text recognition failed: ")));
    EXPECT_EQ(toasts.requests.back().text, QStringLiteral("No text found"));
    EXPECT_FALSE(clipboard.current);
}

TEST_F(WithScriptedEngines, RecognitionsRunOffTheUiThreadSeveralAtOnceEachWithItsToasts)
{
    text.answers[100] = {QStringLiteral("first picture")};
    text.answers[200] = {QStringLiteral("second picture")};
    text.held = {100, 200};
    recognizeText(picture(100), 1.0);
    recognizeText(picture(200), 2.0);
    // Both returned at once, both are running, each has its scanning toast.
    EXPECT_EQ(runningTextRecognitions(), 2);
    ASSERT_EQ(toasts.requests.size(), 2u);
    EXPECT_EQ(toasts.requests[1].text, QStringLiteral("Scanning for text…"));

    // The second finishes first: its toast replaces the scanning toasts, its text is copied.
    text.release(200);
    ASSERT_TRUE(QTest::qWaitFor([] { return runningTextRecognitions() == 1; }, 10000));
    EXPECT_EQ(toasts.requests.back().text, QStringLiteral("Copied text: second picture"));
    EXPECT_EQ(clipboardText(), QStringLiteral("second picture"));

    text.release(100);
    ASSERT_TRUE(QTest::qWaitFor([] { return runningTextRecognitions() == 0; }, 10000));
    EXPECT_EQ(toasts.requests.back().text, QStringLiteral("Copied text: first picture"));
    EXPECT_EQ(clipboardText(), QStringLiteral("first picture"));
    EXPECT_EQ(toasts.requests.size(), 4u);

    ASSERT_EQ(text.threads.size(), 2u);
    for (QThread* thread : text.threads)
        EXPECT_NE(thread, QThread::currentThread());
    EXPECT_NE(text.threads[0], text.threads[1]);
    EXPECT_EQ(std::set<double>(text.scales.begin(), text.scales.end()), std::set<double>({1.0, 2.0}));
}
