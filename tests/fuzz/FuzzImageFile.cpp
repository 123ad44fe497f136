// SPDX-License-Identifier: GPL-3.0-or-later
// Image files opened with Vantrel (PNG, JPEG with EXIF orientation, GIF; pHYs and JFIF
// resolutions): any bytes, never a crash; an image that opens has a sane scale.
#include "ImageFiles.h"

#include <QCoreApplication>

#include <cmath>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    // The JPEG and GIF readers are plugins, found through the application object.
    static QCoreApplication app(*argc, *argv);
    vantrel::allowLargeImages();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace vantrel;
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    (void)pixelsPerPointForResolution(declaredResolution(bytes));
    const Expected<OpenedImage> opened = decodeImageFile(bytes);
    if (opened && (opened->image.isNull() || !std::isfinite(opened->scale) || opened->scale <= 0))
        std::abort();
    return 0;
}
