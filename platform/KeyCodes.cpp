// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeyCodes.h"

#include <array>
#include <utility>

namespace vantrel::keycodes {

namespace {

// {virtual key code, evdev code}
constexpr std::array<std::pair<quint32, quint32>, 96> table = {{
    // Letters
    {0, 30},
    {1, 31},
    {2, 32},
    {3, 33},
    {4, 35},
    {5, 34},
    {6, 44},
    {7, 45},
    {8, 46},
    {9, 47},
    {11, 48},
    {12, 16},
    {13, 17},
    {14, 18},
    {15, 19},
    {16, 21},
    {17, 20},
    {31, 24},
    {32, 22},
    {34, 23},
    {35, 25},
    {37, 38},
    {38, 36},
    {40, 37},
    {45, 49},
    {46, 50},
    // Digits
    {18, 2},
    {19, 3},
    {20, 4},
    {21, 5},
    {23, 6},
    {22, 7},
    {26, 8},
    {28, 9},
    {25, 10},
    {29, 11},
    // Punctuation
    {24, 13},
    {27, 12},
    {30, 27},
    {33, 26},
    {39, 40},
    {41, 39},
    {42, 43},
    {43, 51},
    {44, 53},
    {47, 52},
    {50, 41},
    {10, 86},
    // Editing
    {36, 28},
    {48, 15},
    {49, 57},
    {51, 14},
    {53, 1},
    {117, 111},
    {114, 110},
    {115, 102},
    {119, 107},
    {116, 104},
    {121, 109},
    // Function keys
    {122, 59},
    {120, 60},
    {99, 61},
    {118, 62},
    {96, 63},
    {97, 64},
    {98, 65},
    {100, 66},
    {101, 67},
    {109, 68},
    {103, 87},
    {111, 88},
    {105, 183},
    {107, 184},
    {113, 185},
    // Arrows
    {123, 105},
    {124, 106},
    {125, 108},
    {126, 103},
    // Keypad
    {82, 82},
    {83, 79},
    {84, 80},
    {85, 81},
    {86, 75},
    {87, 76},
    {88, 77},
    {89, 71},
    {91, 72},
    {92, 73},
    {65, 83},
    {67, 55},
    {69, 78},
    {78, 74},
    {75, 98},
    {76, 96},
    {81, 117},
    {71, 69},
}};

} // namespace

std::optional<quint32> evdevForVirtualKey(quint32 virtualKey)
{
    if (virtualKey >= evdevFlag)
        return virtualKey - evdevFlag;
    for (const auto& [vk, evdev] : table) {
        if (vk == virtualKey)
            return evdev;
    }
    return std::nullopt;
}

quint32 virtualKeyForEvdev(quint32 evdev)
{
    for (const auto& [vk, code] : table) {
        if (code == evdev)
            return vk;
    }
    return evdevFlag + evdev;
}

} // namespace vantrel::keycodes
