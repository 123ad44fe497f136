#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
#
# Time from a desktop shortcut (`vantrel --action captureArea`, as a desktop's own shortcut
# settings run it) to the selection overlay's first paint under a headless sway, the screen
# frozen through the desktop's screenshot portal (xdg-desktop-portal with its wlroots backend,
# which draws the picture with grim into a PNG file) against wlroots' direct screencopy, in the
# same run. The portal run writes /tmp/out.png: run no portal test at the same time.
#
#   bench/overlay-latency-wayland.sh [build dir] [trials] [WxH]
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-$here/build-bench}
trials=${2:-15}
size=${3:-1920x1080}

cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVANTREL_BUILD_BENCH=ON >/dev/null
cmake --build "$build" --target vantrel overlay-latency-probe vantrel-fake-access-portal >/dev/null

session=$(mktemp)
trap 'rm -f "$session"' EXIT
cat >"$session" <<SESSION
set -e
vantrel="$build/app/vantrel"
probe="$build/bench/overlay-latency-probe"
pids=()
trap 'for p in "\${pids[@]}"; do kill \$p 2>/dev/null || true; done' EXIT
owned() {
    dbus-send --session --print-reply --dest=org.freedesktop.DBus / org.freedesktop.DBus.NameHasOwner \
        "string:\$1" 2>/dev/null | grep -q true
}
waitfor() { for _ in \$(seq 200); do "\$@" && return 0; sleep 0.05; done; echo "gave up waiting: \$*" >&2; exit 1; }
screenshotOffered() {
    dbus-send --session --print-reply --dest=org.freedesktop.portal.Desktop /org/freedesktop/portal/desktop \
        org.freedesktop.DBus.Introspectable.Introspect 2>/dev/null | grep -q org.freedesktop.portal.Screenshot
}

mkdir -p "\$XDG_CONFIG_HOME/Vantrel"
echo '{"didOnboard":{"bool":true},"playSound":{"bool":false},"freezeScreen":{"bool":true}}' \
    >"\$XDG_CONFIG_HOME/Vantrel/settings.json"

# The portal as on a wlroots desktop: its backend needs PipeWire, and the front end offers
# screenshots only where some backend provides the access dialog (ours always allows).
portals="\$XDG_RUNTIME_DIR/portals"
mkdir -p "\$portals"
cp /usr/share/xdg-desktop-portal/portals/wlr.portal "\$portals/"
printf '[portal]\nDBusName=org.vantrel.bench.Access\nInterfaces=org.freedesktop.impl.portal.Access;\nUseIn=sway;\n' \
    >"\$portals/vantrel-bench-access.portal"
pipewire >/dev/null 2>&1 & pids+=(\$!)
waitfor test -S "\$XDG_RUNTIME_DIR/pipewire-0"
"$build/tests/support/vantrel-fake-access-portal" org.vantrel.bench.Access & pids+=(\$!)
/usr/libexec/xdg-desktop-portal-wlr >/dev/null 2>&1 & pids+=(\$!)
waitfor owned org.freedesktop.impl.portal.desktop.wlr
waitfor owned org.vantrel.bench.Access
XDG_DESKTOP_PORTAL_DIR="\$portals" /usr/libexec/xdg-desktop-portal --replace >/dev/null 2>&1 & pids+=(\$!)
waitfor screenshotOffered

paint() { sed -n 's/.*first paint median \\([0-9.]*\\) ms.*/\\1/p' <<<"\$1"; }
for path in portal screencopy; do
    if [ \$path = portal ]; then export VANTREL_WAYLAND_CAPTURE=portal; else unset VANTREL_WAYLAND_CAPTURE; fi
    "\$vantrel" 2>/dev/null & app=\$!
    waitfor owned org.vantrel.Vantrel
    sleep 1
    result=\$("\$probe" --wayland --trials $trials --exec "\$vantrel" --action captureArea)
    printf '%-11s %s\n' "\$path" "\$result"
    eval "\$path=\\\$(paint \"\\\$result\")"
    kill \$app; wait \$app 2>/dev/null || true
done
awk -v p="\$portal" -v s="\$screencopy" 'BEGIN {
    printf "portal / screencopy = %.2f; goals: portal %.1f of 150 ms, screencopy %.1f of 60 ms\n", p / s, p, s }'
SESSION

"$here/tests/harness/with-wayland.sh" --timeout 600 --size "$size" -- bash "$session"
