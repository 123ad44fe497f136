// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "BarcodeReader.h"

namespace vantrel {

// Every symbology ZXing-C++ reads: QR, Micro QR, Data Matrix, Aztec, PDF417, MaxiCode, EAN-8/13,
// UPC-A/E, Code 39/93/128, ITF, Codabar and GS1 DataBar, dark on light or light on dark.
class ZXingBarcodeReader : public BarcodeReader
{
public:
    Expected<std::vector<Barcode>> read(const QImage& image) override;
};

// The symbologies ZXing-C++ can also draw.
enum class BarcodeSymbology {
    qrCode,
    dataMatrix,
    aztec,
    pdf417,
    ean8,
    ean13,
    upcA,
    upcE,
    code39,
    code93,
    code128,
    itf,
    codabar,
};

// A code drawn by ZXing's writer, black on white with its quiet zone, about `width` × `height`
// pixels (a linear code keeps whole bars, a matrix code whole square modules). An error when the
// payload does not fit the symbology (letters in an EAN, a wrong check digit).
Expected<QImage> drawBarcode(BarcodeSymbology symbology, const QString& payload, int width, int height);

} // namespace vantrel
