// SPDX-License-Identifier: GPL-3.0-or-later
#include "CaptureItem.h"

namespace vantrel {

std::shared_ptr<CaptureItem> CaptureItem::fromImage(QImage image, double scale, CaptureKind kind)
{
    auto item = std::make_shared<CaptureItem>();
    item->image = std::move(image);
    item->scale = scale;
    item->kind = kind;
    return item;
}

std::shared_ptr<CaptureItem> CaptureItem::fromFile(QUrl fileURL, CaptureKind kind)
{
    auto item = std::make_shared<CaptureItem>();
    item->fileURL = std::move(fileURL);
    item->kind = kind;
    return item;
}

} // namespace vantrel
