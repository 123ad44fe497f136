// SPDX-License-Identifier: GPL-3.0-or-later
// Measures how long a screenshot tool takes from its trigger to showing its selection overlay:
// the time until a screen-sized window is mapped, and until the screen's pixels change (the
// overlay's first paint). Run inside tests/harness/with-x11.sh; see overlay-latency.sh.
//
//   overlay-latency-probe --trials N --key       (trigger: Shift+Super+S through XTest)
//   overlay-latency-probe --trials N --exec CMD… (trigger: running CMD, e.g. "flameshot gui")
//
// With --wayland first it runs under sway instead (tests/harness/with-wayland.sh; see
// overlay-latency-wayland.sh): a Wayland window shows once it has committed its first picture,
// so its first paint is the moment it maps, which sway's IPC announces; the overlay is closed
// with Escape from a virtual keyboard.
//
//   overlay-latency-probe --wayland --trials N --exec CMD…
#include <xcb/xcb.h>
#include <xcb/xtest.h>

#ifdef VANTREL_PROBE_WAYLAND
#include "VirtualInput.h"

#include <fcntl.h>
#include <memory>
#include <poll.h>
#endif

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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

struct Probe
{
    xcb_connection_t* c = nullptr;
    xcb_screen_t* screen = nullptr;
    xcb_window_t backdrop = 0;

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
        // A white window under everything, so that any dimming shows in the pixels.
        backdrop = xcb_generate_id(c);
        const uint32_t values[] = {screen->white_pixel, 1};
        xcb_create_window(c, XCB_COPY_FROM_PARENT, backdrop, screen->root, 0, 0, screen->width_in_pixels,
            screen->height_in_pixels, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
            XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT, values);
        xcb_map_window(c, backdrop);
        const uint32_t below = XCB_STACK_MODE_BELOW;
        xcb_configure_window(c, backdrop, XCB_CONFIG_WINDOW_STACK_MODE, &below);
        xcb_flush(c);
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        drain();
    }

    void drain()
    {
        while (xcb_generic_event_t* e = xcb_poll_for_event(c))
            std::free(e);
    }

    uint32_t pixel(int x, int y)
    {
        xcb_get_image_reply_t* reply = xcb_get_image_reply(
            c, xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, screen->root, x, y, 1, 1, ~0u), nullptr);
        uint32_t value = 0;
        if (reply && xcb_get_image_data_length(reply) >= 4)
            std::memcpy(&value, xcb_get_image_data(reply), 4);
        std::free(reply);
        return value & 0xffffff;
    }

    void key(const std::vector<uint8_t>& keycodes)
    {
        for (uint8_t k : keycodes)
            xcb_test_fake_input(c, XCB_KEY_PRESS, k, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
        for (auto it = keycodes.rbegin(); it != keycodes.rend(); ++it)
            xcb_test_fake_input(c, XCB_KEY_RELEASE, *it, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
        xcb_flush(c);
    }

    // Waits for a screen-sized window to be mapped; returns false after `timeout`.
    bool waitForMap(Clock::duration timeout)
    {
        const auto deadline = Clock::now() + timeout;
        while (Clock::now() < deadline) {
            while (xcb_generic_event_t* e = xcb_poll_for_event(c)) {
                const uint8_t type = e->response_type & 0x7f;
                if (type == XCB_MAP_NOTIFY) {
                    auto* map = reinterpret_cast<xcb_map_notify_event_t*>(e);
                    xcb_get_geometry_reply_t* g = xcb_get_geometry_reply(c, xcb_get_geometry(c, map->window), nullptr);
                    const bool big = g && g->width >= screen->width_in_pixels / 2
                        && g->height >= screen->height_in_pixels / 2 && map->window != backdrop;
                    std::free(g);
                    if (big) {
                        std::free(e);
                        return true;
                    }
                }
                std::free(e);
            }
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        return false;
    }

    bool waitForPixelChange(int x, int y, uint32_t from, Clock::duration timeout)
    {
        const auto deadline = Clock::now() + timeout;
        while (Clock::now() < deadline) {
            if (pixel(x, y) != from)
                return true;
            std::this_thread::sleep_for(std::chrono::microseconds(300));
        }
        return false;
    }

    bool waitForPixel(int x, int y, uint32_t value, Clock::duration timeout)
    {
        const auto deadline = Clock::now() + timeout;
        while (Clock::now() < deadline) {
            if (pixel(x, y) == value)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return false;
    }
};

void runDetached(const std::vector<std::string>& command)
{
    if (fork() == 0) {
        std::vector<char*> argv;
        for (const std::string& s : command)
            argv.push_back(const_cast<char*>(s.c_str()));
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
}

double percentile(std::vector<double> values, double p)
{
    std::sort(values.begin(), values.end());
    const size_t i = std::min(values.size() - 1, size_t(p * (values.size() - 1) + 0.5));
    return values[i];
}

#ifdef VANTREL_PROBE_WAYLAND
struct WaylandProbe
{
    std::unique_ptr<vantrel::test::VirtualInput> input;
    FILE* events = nullptr;
    std::string pending;

    void open()
    {
        std::string error;
        input = vantrel::test::VirtualInput::connect(&error);
        if (!input) {
            std::fprintf(stderr, "no virtual input: %s\n", error.c_str());
            std::exit(2);
        }
        events = popen("swaymsg -r -m -t subscribe '[\"window\"]'", "r");
        if (!events) {
            std::fprintf(stderr, "cannot follow sway's window events\n");
            std::exit(2);
        }
        fcntl(fileno(events), F_SETFL, fcntl(fileno(events), F_GETFL) | O_NONBLOCK);
    }

    // Reads sway's events until one says `change` ("new": mapped, "close") of a Vantrel window;
    // false after `timeout`.
    bool waitFor(const std::string& change, Clock::duration timeout)
    {
        const std::string wanted = "\"change\":\"" + change + "\"";
        const auto deadline = Clock::now() + timeout;
        while (true) {
            for (size_t end; (end = pending.find('\n')) != std::string::npos;) {
                std::string line = pending.substr(0, end);
                pending.erase(0, end + 1);
                line.erase(std::remove(line.begin(), line.end(), ' '), line.end());
                if (line.find(wanted) != std::string::npos && line.find("\"app_id\":\"vantrel\"") != std::string::npos)
                    return true;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0)
                return false;
            pollfd fd {fileno(events), POLLIN, 0};
            if (poll(&fd, 1, int(std::min<long long>(left.count(), 100))) > 0)
                readAvailable();
        }
    }

    void readAvailable()
    {
        char chunk[4096];
        for (ssize_t n; (n = read(fileno(events), chunk, sizeof chunk)) > 0;)
            pending.append(chunk, size_t(n));
    }

    // Forgets every event so far.
    void drain()
    {
        readAvailable();
        pending.clear();
    }
};

int runWayland(int trials, const std::vector<std::string>& command)
{
    WaylandProbe probe;
    probe.open();
    std::vector<double> painted;
    int failures = 0;
    for (int t = 0; t < trials; ++t) {
        probe.drain();
        const auto start = Clock::now();
        runDetached(command);
        if (probe.waitFor("new", std::chrono::seconds(5)))
            painted.push_back(ms(Clock::now() - start));
        else
            ++failures;
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        probe.input->tap(1); // Escape
        probe.waitFor("close", std::chrono::seconds(3));
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        while (waitpid(-1, nullptr, WNOHANG) > 0) { }
    }
    if (painted.empty()) {
        std::printf("no overlay seen in %d trials\n", trials);
        return 1;
    }
    std::printf("trials %zu (failed %d)  first paint median %.1f ms p90 %.1f ms\n", painted.size(), failures,
        percentile(painted, 0.5), percentile(painted, 0.9));
    return 0;
}
#endif

} // namespace

int main(int argc, char** argv)
{
    int trials = 15;
    bool useKey = false;
    bool wayland = false;
    std::vector<std::string> command;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--wayland")
            wayland = true;
        else if (arg == "--trials" && i + 1 < argc)
            trials = std::atoi(argv[++i]);
        else if (arg == "--key")
            useKey = true;
        else if (arg == "--exec") {
            for (++i; i < argc; ++i)
                command.emplace_back(argv[i]);
        }
    }

    if (wayland) {
#ifdef VANTREL_PROBE_WAYLAND
        return runWayland(trials, command);
#else
        std::fprintf(stderr, "built without the Wayland probe (it needs the test support)\n");
        return 2;
#endif
    }

    Probe probe;
    probe.open();
    // Keycodes of the usual evdev keymap: Shift_L 50, Super_L 133, s 39, Escape 9.
    const std::vector<uint8_t> shortcut = {50, 133, 39};
    const int px = probe.screen->width_in_pixels / 2 + 37;
    const int py = probe.screen->height_in_pixels / 3 + 11;
    const uint32_t white = probe.pixel(px, py);

    std::vector<double> mapped, painted;
    int failures = 0;
    for (int t = 0; t < trials; ++t) {
        probe.waitForPixel(px, py, white, std::chrono::seconds(3));
        probe.drain();
        const auto start = Clock::now();
        if (useKey)
            probe.key(shortcut);
        else
            runDetached(command);
        const bool map = probe.waitForMap(std::chrono::seconds(5));
        const auto mapTime = Clock::now();
        const bool paint = map && probe.waitForPixelChange(px, py, white, std::chrono::seconds(5));
        const auto paintTime = Clock::now();
        if (map && paint) {
            mapped.push_back(ms(mapTime - start));
            painted.push_back(ms(paintTime - start));
        } else {
            ++failures;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        probe.key({9}); // Escape
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        while (waitpid(-1, nullptr, WNOHANG) > 0) { }
    }
    if (mapped.empty()) {
        std::printf("no overlay seen in %d trials\n", trials);
        return 1;
    }
    std::printf("%dx%d  trials %zu (failed %d)  mapped median %.1f ms p90 %.1f ms  first paint median %.1f ms p90 %.1f "
                "ms\n",
        probe.screen->width_in_pixels, probe.screen->height_in_pixels, mapped.size(), failures, percentile(mapped, 0.5),
        percentile(mapped, 0.9), percentile(painted, 0.5), percentile(painted, 0.9));
    return 0;
}
