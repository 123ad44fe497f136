#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
#
# One entry point for people and CI on Debian 12:
#   scripts/setup.sh run [vantrel arguments…]   install what is missing, build, start Vantrel
#   scripts/setup.sh test                       install what is missing, build, run every test
# Set BUILD_DIR to build elsewhere (default: build/ in the source tree).
#
# "test" runs the suite three ways: the release build; a second tree (build-asan/, or
# SANITIZE_BUILD_DIR) where every object runs under AddressSanitizer and
# UndefinedBehaviorSanitizer; and the fuzz targets, built with clang in build-fuzz/ and run for
# FUZZ_SECONDS each (default 45) by tests/fuzz/run.sh.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${BUILD_DIR:-$here/build}
mode=${1:-}
[ $# -gt 0 ] && shift

packages=(
    # toolchain
    build-essential cmake ninja-build ccache pkg-config git
    # Qt 6 and X11
    qt6-base-dev qt6-base-dev-tools qt6-multimedia-dev libqt6svg6-dev libgl-dev libvulkan-dev
    libxcb1-dev libxcb-shm0-dev libxcb-xfixes0-dev libxcb-composite0-dev libxcb-randr0-dev libxcb-xinput-dev
    libxcb-ewmh-dev libxcb-icccm4-dev libxcb-keysyms1-dev libxcb-xkb-dev libxcb-shape0-dev libxcb-xtest0-dev
    libxcb-image0-dev libxcb-damage0-dev libxkbcommon-dev libxkbcommon-x11-dev xkb-data
    # Wayland: the client library, the protocol descriptions, Qt's Wayland platform, PipeWire
    # (the screen-cast stream the recorder reads)
    libwayland-dev wayland-protocols qt6-wayland libpipewire-0.3-dev
    # lupdate and lrelease: the translation template and the compiled languages
    qt6-l10n-tools
    # media, recognition, sound
    libavcodec-dev libavformat-dev libavutil-dev libswscale-dev libswresample-dev libavfilter-dev
    libpulse-dev libtesseract-dev tesseract-ocr-eng libzxing-dev libgif-dev libimagequant-dev libpng-dev
    zlib1g-dev libcanberra-dev libyuv-dev
    # runtime: fonts, and readers for the WebP (and other) images "Open With" hands over
    fonts-dejavu-core qt6-image-formats-plugins
    # sanitizers and fuzzing (clang's libFuzzer)
    clang-14 libclang-rt-14-dev
    # tests
    libgtest-dev libgmock-dev libbenchmark-dev xvfb xauth openbox xdotool xclip x11-utils x11-xserver-utils
    x11-xkb-utils dbus dbus-x11 pulseaudio
    # a headless Wayland compositor for the Wayland tests, another client's clipboard there, and
    # a PipeWire daemon for the recorder's (the tests start their own, with the test video source)
    sway wl-clipboard pipewire
    # the screenshot portal of a wlroots desktop (its backend draws the picture with grim)
    xdg-desktop-portal xdg-desktop-portal-wlr grim
    # a second window manager for the desktop cover's stacking test
    xfwm4
    # the desktop entry's and metainfo's validators, a second shell for completion
    desktop-file-utils appstream zsh
    # the text recognition benchmark's reference: the stock tesseract command
    tesseract-ocr
)

install_missing() {
    local missing=()
    for p in "${packages[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
}

# ccache finds the objects of another checkout of the same sources (CI builds in a fresh clone).
export CCACHE_BASEDIR="$here" CCACHE_NOHASHDIR=true

build_all() {
    cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release
    cmake --build "$build" --parallel "$(nproc)"
}

# Every test again with each object checked for memory errors, leaks and undefined behaviour,
# at -O1 with line tables so that reports name the lines. Any finding fails its test.
sanitizer_tests() {
    local tree=${SANITIZE_BUILD_DIR:-$here/build-asan}
    cmake -S "$here" -B "$tree" -G Ninja -DVANTREL_SANITIZE=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG"
    cmake --build "$tree" --parallel "$(nproc)"
    ASAN_OPTIONS=detect_leaks=1:halt_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        ctest --test-dir "$tree" --output-on-failure --parallel "$(nproc)" --timeout 900
}

case "$mode" in
    run)
        install_missing
        build_all
        exec "$build/app/vantrel" "$@"
        ;;
    test)
        install_missing
        build_all
        ctest --test-dir "$build" --output-on-failure --parallel "$(nproc)" --timeout 600
        sanitizer_tests
        exec "$here/tests/fuzz/run.sh" "${FUZZ_SECONDS:-45}"
        ;;
    *)
        echo "usage: scripts/setup.sh run|test" >&2
        exit 2
        ;;
esac
