// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>

namespace vantrel {

class CaptureItem;

// The thumbnails that slide in after each capture.
class QuickAccessManager
{
public:
    static QuickAccessManager& shared();

    // The item of the thumbnail closed last, until it is restored.
    std::shared_ptr<CaptureItem> lastClosed() const { return m_lastClosed; }
    void restore();
    // Adds a thumbnail for a finished capture.
    void show(const std::shared_ptr<CaptureItem>& item);

private:
    std::shared_ptr<CaptureItem> m_lastClosed;
};

} // namespace vantrel
