// SPDX-License-Identifier: GPL-3.0-or-later
// The history list file as read at start-up: any bytes, never a crash; what decodes writes back
// and reads again as the same records.
#include "HistoryItem.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace vantrel;
    const DecodedHistory decoded = decodeHistory(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    if (!decoded.wellFormed)
        return 0;
    const DecodedHistory again = decodeHistory(encodeHistory(decoded.items));
    if (!again.wellFormed || again.rejected != 0 || again.items != decoded.items)
        std::abort();
    return 0;
}
