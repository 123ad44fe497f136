// SPDX-License-Identifier: GPL-3.0-or-later
// Measures how long a freshly started Vantrel takes until its capture shortcut works: from the
// start of the process until a press of Shift+Super+S, repeated every few milliseconds the way an
// impatient user would, brings up the selection overlay. A press only counts once the shortcut is
// grabbed and the main thread is free to answer it. (The probe never grabs the key itself to find
// out whether the program has: that would race with the program's own grab.)
// Run inside tests/harness/with-x11.sh; see startup-history.sh.
//
//   startup-probe --trials N -- PROGRAM [ARGS…]
#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

// Keycodes of the usual evdev keymap: Shift_L 50, Super_L 133, s 39, Escape 9.
constexpr uint8_t shiftKey = 50, superKey = 133, sKey = 39, escapeKey = 9;

struct Probe
{
    xcb_connection_t* c = nullptr;
    xcb_screen_t* screen = nullptr;

    void open()
    {
        c = xcb_connect(nullptr, nullptr);
        if (xcb_connection_has_error(c)) {
            std::fprintf(stderr, "cannot connect to the X server\n");
            std::exit(2);
        }
        screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(c, screen->root, XCB_CW_EVENT_MASK, &mask);
        xcb_flush(c);
    }

    void key(const std::vector<uint8_t>& keycodes)
    {
        for (uint8_t k : keycodes)
            xcb_test_fake_input(c, XCB_KEY_PRESS, k, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
        for (auto it = keycodes.rbegin(); it != keycodes.rend(); ++it)
            xcb_test_fake_input(c, XCB_KEY_RELEASE, *it, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
        xcb_flush(c);
    }

    void drain()
    {
        while (xcb_generic_event_t* e = xcb_poll_for_event(c))
            std::free(e);
    }

    // True once a window of at least half the screen has been mapped.
    bool overlayMapped()
    {
        bool big = false;
        while (xcb_generic_event_t* e = xcb_poll_for_event(c)) {
            if ((e->response_type & 0x7f) == XCB_MAP_NOTIFY) {
                auto* map = reinterpret_cast<xcb_map_notify_event_t*>(e);
                xcb_get_geometry_reply_t* g = xcb_get_geometry_reply(c, xcb_get_geometry(c, map->window), nullptr);
                big = big
                    || (g && g->width >= screen->width_in_pixels / 2 && g->height >= screen->height_in_pixels / 2);
                std::free(g);
            }
            std::free(e);
        }
        return big;
    }
};

pid_t start(const std::vector<std::string>& command)
{
    const pid_t pid = fork();
    if (pid == 0) {
        std::vector<char*> argv;
        for (const std::string& s : command)
            argv.push_back(const_cast<char*>(s.c_str()));
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    int trials = 7;
    std::vector<std::string> command;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--trials" && i + 1 < argc)
            trials = std::atoi(argv[++i]);
        else if (arg == "--") {
            for (++i; i < argc; ++i)
                command.emplace_back(argv[i]);
        }
    }
    if (command.empty()) {
        std::fprintf(stderr, "usage: startup-probe --trials N -- PROGRAM [ARGS…]\n");
        return 2;
    }

    Probe probe;
    probe.open();
    std::vector<double> answered;
    int failures = 0;
    for (int t = 0; t < trials; ++t) {
        probe.drain();
        const auto begin = Clock::now();
        const pid_t pid = start(command);
        bool shown = false;
        while (!shown && Clock::now() - begin < std::chrono::seconds(10)) {
            probe.key({shiftKey, superKey, sKey});
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            shown = probe.overlayMapped();
        }
        if (shown)
            answered.push_back(ms(Clock::now() - begin));
        else
            ++failures;
        probe.key({escapeKey});
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
    }
    if (answered.empty()) {
        std::printf("no overlay seen in %d trials\n", trials);
        return 1;
    }
    std::printf("trials %zu (failed %d)  shortcut answered after start median %.0f ms (fastest %.0f ms)\n",
        answered.size(), failures, median(answered), *std::min_element(answered.begin(), answered.end()));
    return 0;
}
