// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Expected.h"

#include <QImage>
#include <QRect>
#include <QString>

#include <vector>

namespace vantrel {

// One code found in a picture.
struct Barcode
{
    QString payload; // its text
    QRect area; // the code with its quiet zone, in the picture's pixels
};

// Finds QR codes and the other two-dimensional and linear barcodes in a picture. Safe to call
// from several threads at once.
class BarcodeReader
{
public:
    virtual ~BarcodeReader() = default;
    // Every code that carries text, in reading order (rows of codes top to bottom, left to right
    // within a row); codes that carry binary data are left out.
    virtual Expected<std::vector<Barcode>> read(const QImage& image) = 0;
};

} // namespace vantrel
