// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>

namespace vantrel {

class CaptureItem;

// Opens captures in annotation editor windows, one window per item.
class EditorWindowController
{
public:
    static void open(const std::shared_ptr<CaptureItem>& item);
};

} // namespace vantrel
