// SPDX-License-Identifier: GPL-3.0-or-later
// Times the editor's effect layers, rendering and the scroll matcher. Each figure is the median
// of several runs after a warm-up; OpenCV's blur and pixellation of the same picture, measured
// in the same run, are the reference (ratio = Vantrel time ÷ OpenCV time).
#include "EditorDocument.h"
#include "ImageEffects.h"
#include "ScrollStitcher.h"
#include "SelfTest.h"

#include <QFont>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QPainter>
#include <QRandomGenerator>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <thread>
#include <vector>

#ifdef VANTREL_BENCH_OPENCV
#include <opencv2/imgproc.hpp>
#endif

using namespace vantrel;

namespace {

double milliseconds(const std::function<void()>& work, int runs = 9)
{
    work(); // warm-up: caches, thread stacks and the image pool
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        work();
        times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

double firstCall(const std::function<void()>& work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// A screenshot-like picture: text lines, panels and a few photos' worth of noise.
QImage screenshot(int w, int h)
{
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(246, 247, 249));
    QPainter painter(&image);
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPixelSize(std::max(12, h / 60));
    painter.setFont(font);
    painter.setPen(QColor(40, 44, 52));
    QRandomGenerator random(1);
    for (int i = 0; i < 30; ++i) {
        painter.fillRect(random.bounded(w), random.bounded(h), random.bounded(w / 4), random.bounded(h / 4),
            QColor::fromRgb(random.generate() | 0xff000000));
    }
    for (int y = font.pixelSize(); y < h; y += font.pixelSize() * 3 / 2)
        painter.drawText(10, y, QStringLiteral("The quick brown fox jumps over the lazy dog 0123456789 ").repeated(8));
    return image;
}

std::unique_ptr<EditorDocument> documentAt(int w, int h, bool background)
{
    const std::unique_ptr<EditorDocument> model = makeSelfTestDocument();
    const double k = double(w) / model->base().width();
    auto doc = std::make_unique<EditorDocument>(screenshot(w, h), 2.0);
    std::vector<Annotation> annotations = model->annotations();
    for (Annotation& a : annotations) {
        a.start *= k;
        a.end *= k;
        for (QPointF& p : a.points)
            p *= k;
        a.lineWidth *= k;
        a.fontSize *= k;
    }
    doc->setAnnotations(annotations);
    BackgroundSettings settings = model->background();
    settings.enabled = background;
    settings.padding = std::round(w * 0.04);
    doc->setBackground(settings);
    return doc;
}

void effectFigures(int w, int h)
{
    const QImage base = screenshot(w, h);
    const int longest = std::max(w, h);
    const double sigma = effects::blurSigma(longest);
    const double cell = effects::pixelCell(longest);
    std::printf("\n%dx%d base, sigma %.2f, cell %.2f px\n", w, h, sigma, cell);

    EffectLayers layers;
    const double first = firstCall([&] { layers = effects::makeEffectLayers(base); });
    const double blur = milliseconds([&] { layers.blurred = effects::gaussianBlur(base, sigma); });
    const double pixel = milliseconds([&] { layers.pixelated = effects::pixellate(base, cell); });
    const double both = milliseconds([&] {
        layers = {};
        layers = effects::makeEffectLayers(base);
    });
    std::printf("  Vantrel blur            %8.2f ms\n", blur);
    std::printf("  Vantrel pixellate       %8.2f ms\n", pixel);
    std::printf("  Vantrel rebuildEffects  %8.2f ms   (first call in the process: %.2f ms)\n", both, first);

#ifdef VANTREL_BENCH_OPENCV
    const cv::Mat source(h, w, CV_8UC4, const_cast<uchar*>(base.constBits()), base.bytesPerLine());
    cv::Mat blurred, small, pixelated;
    const double cvBlur = milliseconds(
        [&] { cv::GaussianBlur(source, blurred, cv::Size(0, 0), sigma, sigma, cv::BORDER_REPLICATE); }, 3);
    const double cvPixel = milliseconds([&] {
        cv::resize(source, small, cv::Size(int(std::ceil(w / cell)), int(std::ceil(h / cell))), 0, 0, cv::INTER_AREA);
        cv::resize(small, pixelated, source.size(), 0, 0, cv::INTER_NEAREST);
    });
    std::printf("  OpenCV GaussianBlur     %8.2f ms   ratio Vantrel/OpenCV %.3f\n", cvBlur, blur / cvBlur);
    std::printf("  OpenCV pixellate        %8.2f ms   ratio Vantrel/OpenCV %.3f\n", cvPixel, pixel / cvPixel);
    std::printf("  OpenCV blur + pixellate %8.2f ms   ratio Vantrel/OpenCV %.3f\n", cvBlur + cvPixel,
        both / (cvBlur + cvPixel));

    int largest = 0;
    double total = 0;
    for (int y = 0; y < h; ++y) {
        const uchar* ours = layers.blurred->constScanLine(y);
        const uchar* theirs = blurred.ptr<uchar>(y);
        for (int i = 0; i < w * 4; ++i) {
            const int d = std::abs(int(ours[i]) - int(theirs[i]));
            largest = std::max(largest, d);
            total += d;
        }
    }
    std::printf(
        "  blur difference to OpenCV: largest %d grey levels, mean %.3f\n", largest, total / (double(w) * h * 4));
#endif
}

void renderFigures()
{
    std::printf("\nrender\n");
    const std::unique_ptr<EditorDocument> selfTest = makeSelfTestDocument();
    std::printf("  self-test document %dx%d          %8.2f ms\n", selfTest->render().width(),
        selfTest->render().height(), milliseconds([&] { (void)selfTest->render(); }));
    for (bool background : {false, true}) {
        const std::unique_ptr<EditorDocument> doc = documentAt(3840, 2160, background);
        const QSize size = doc->render().size();
        std::printf("  4K document%s %dx%d render      %8.2f ms\n", background ? ", background" : "            ",
            size.width(), size.height(), milliseconds([&] { (void)doc->render(); }));
        // A canvas repaint draws into a surface that already exists.
        QImage surface(size, QImage::Format_ARGB32_Premultiplied);
        std::printf("  4K document%s repaint (drawDocument)    %8.2f ms\n",
            background ? ", background" : "            ", milliseconds([&] {
                QPainter painter(&surface);
                doc->drawDocument(painter, false);
            }));
    }
#ifdef VANTREL_BENCH_OPENCV
    QImage frame = screenshot(3840, 2160);
    cv::Mat copy;
    const cv::Mat source(2160, 3840, CV_8UC4, frame.bits(), frame.bytesPerLine());
    std::printf("  reference: copying one 4K frame           %8.2f ms\n", milliseconds([&] { source.copyTo(copy); }));
#endif
}

void stitchFigures()
{
    std::printf("\nfindOffset, 1600x1000 frames\n");
    const QImage tall = screenshot(1600, 1600);
    const std::vector<std::uint8_t> grey = grayLevels(tall);
    const std::vector<std::uint8_t> first(grey.begin(), grey.begin() + 1600 * 1000);
    const std::vector<std::uint8_t> second(grey.begin() + 1600 * 300, grey.begin() + 1600 * 1300);
    std::vector<std::uint8_t> noise(first.size());
    QRandomGenerator random(3);
    for (auto& v : noise)
        v = static_cast<std::uint8_t>(random.bounded(256));
    int found = 0;
    std::printf(
        "  scrolled 300 rows     %8.3f ms", milliseconds([&] { found = findOffset(first, second, 1600, 1000); }));
    std::printf("  (offset %d)\n", found);
    std::printf(
        "  identical frames      %8.3f ms\n", milliseconds([&] { found = findOffset(first, first, 1600, 1000); }));
    std::printf(
        "  no match (full search)%8.3f ms\n", milliseconds([&] { found = findOffset(first, noise, 1600, 1000); }));
    std::printf("  reference: grey image of one frame %8.3f ms\n",
        milliseconds([&] { (void)grayLevels(tall.copy(0, 0, 1600, 1000)); }));
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    std::printf("Editor image work; medians of 9 runs (OpenCV blur: 3) on %u cores\n",
        std::max(1u, std::thread::hardware_concurrency()));
    effectFigures(1920, 1080);
    effectFigures(3840, 2160);
    renderFigures();
    stitchFigures();
    return 0;
}
