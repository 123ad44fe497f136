// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class QLabel;

namespace vantrel {

// Secondary text (notes under controls, taglines): word-wrapped, in the palette's placeholder
// colour so that it follows light and dark themes.
QLabel* secondaryLabel(const QString& text);

} // namespace vantrel
