// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TextRecognizer.h"

#include <QLocale>
#include <QString>
#include <QStringList>

#include <memory>

namespace vantrel {

// Tesseract 5 with its LSTM models, tuned for screens (see ScreenTextImage and TextRows): each
// recognition runs on one thread (Tesseract's own OpenMP threads only slow a small machine
// down), and loaded engines are kept for the next recognition, one per recognition running.
class TesseractTextRecognizer : public TextRecognizer
{
public:
    // `dataDirectory` holds the *.traineddata files (empty: defaultTessdataDirectory());
    // `languages` in Tesseract's codes (empty: English plus the system locale's languages).
    explicit TesseractTextRecognizer(QString dataDirectory = {}, QStringList languages = {});
    // Waits for recognitions still running.
    ~TesseractTextRecognizer() override;
    TesseractTextRecognizer(const TesseractTextRecognizer&) = delete;
    TesseractTextRecognizer& operator=(const TesseractTextRecognizer&) = delete;

    Expected<QStringList> recognize(const QImage& image, double scale, std::stop_token stop = {}) override;

    // The languages a new engine loads: the wanted ones whose trained data is installed, the
    // locale's first. Empty when none is.
    QStringList installedLanguages() const;
    // Engines loaded so far: one per recognition running at the same time, not one per
    // recognition.
    int enginesLoaded() const;

private:
    struct Engines;
    std::unique_ptr<Engines> m_engines;
};

// $TESSDATA_PREFIX when set, else the folder Debian's tesseract-ocr packages install into.
QString defaultTessdataDirectory();

// Tesseract's names for the languages of a locale, in its order of preference, with English
// last: "deu", "eng" for German (Germany); "chi_sim", "eng" for Chinese (China); "eng" alone
// for English.
QStringList tesseractLanguagesFor(const QLocale& locale);

} // namespace vantrel
