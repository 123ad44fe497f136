// SPDX-License-Identifier: GPL-3.0-or-later
// vantrel-virtual-input: a pointer and a keyboard for scripts that drive a wlroots compositor.
// It reads one command a line on standard input and answers each with "ok" (or "error …")
// once the compositor has handled it:
//
//   move X Y        pointer to (X, Y) in the desktop's layout, logical pixels
//   press [B]       button down (Linux code, default 0x110, the left button); release [B]
//   click [B]       press and release
//   keydown K       key down (Linux key code, 1 = Escape); keyup K; key K (down and up)
//
// "ready" is printed once both devices exist; end of input ends the devices and the program.
#include "VirtualInput.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>

using vantrel::test::VirtualInput;

namespace {

bool run(VirtualInput& input, const std::string& line)
{
    std::istringstream words(line);
    std::string command;
    words >> command;
    if (command == "move") {
        int x = 0, y = 0;
        return bool(words >> x >> y) && input.moveTo(x, y);
    }
    if (command == "press" || command == "release" || command == "click") {
        unsigned long code = VirtualInput::leftButton;
        if (std::string given; words >> given)
            code = std::strtoul(given.c_str(), nullptr, 0);
        if (command == "click")
            return input.button(uint32_t(code), true) && input.button(uint32_t(code), false);
        return input.button(uint32_t(code), command == "press");
    }
    if (command == "keydown" || command == "keyup" || command == "key") {
        unsigned code = 0;
        if (!(words >> code))
            return false;
        if (command == "key")
            return input.tap(code);
        return input.key(code, command == "keydown");
    }
    return false;
}

} // namespace

int main()
{
    std::string error;
    std::unique_ptr<VirtualInput> input = VirtualInput::connect(&error);
    if (!input) {
        std::printf("error %s\n", error.c_str());
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    for (std::string line; std::getline(std::cin, line);) {
        if (line.empty())
            continue;
        if (run(*input, line))
            std::printf("ok\n");
        else
            std::printf("error %s\n", line.c_str());
        std::fflush(stdout);
    }
    return 0;
}
