// SPDX-License-Identifier: GPL-3.0-or-later
// The stored shortcuts ("hotKeys", a JSON object in a Data value): any bytes, never a crash; a
// map that decodes encodes and decodes to itself, and every combination can be labelled.
#include "HotKeys.h"
#include "KeyCombo.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace vantrel;
    const std::optional<HotKeyMap> decoded
        = decodeHotKeys(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    if (!decoded)
        return 0;
    const std::optional<HotKeyMap> again = decodeHotKeys(encodeHotKeys(*decoded));
    if (!again || *again != *decoded)
        std::abort();
    for (const auto& [action, combo] : *decoded)
        (void)comboLabel(combo);
    return 0;
}
