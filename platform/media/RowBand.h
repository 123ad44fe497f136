// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace vantrel::media {

// Rows [top, bottom) of a picture, both even.
struct RowBand
{
    int top = 0;
    int bottom = 0;
    bool operator==(const RowBand&) const = default;
};

} // namespace vantrel::media
