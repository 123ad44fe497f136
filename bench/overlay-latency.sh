#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
#
# Time from the capture shortcut to the selection overlay (window mapped, first paint) on a
# 1920x1080 and a 3840x2160 screen with the screen frozen, for Vantrel and, as the reference in
# the same run, Flameshot's "flameshot gui" with its daemon running.
#
#   bench/overlay-latency.sh [build dir] [trials]
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-$here/build-bench}
trials=${2:-15}

if ! command -v flameshot >/dev/null; then
    sudo=(); [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends flameshot >/dev/null
fi
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVANTREL_BUILD_BENCH=ON >/dev/null
cmake --build "$build" --target vantrel overlay-latency-probe >/dev/null

session=$(mktemp)
trap 'rm -f "$session"' EXIT
cat >"$session" <<SESSION
set -e
probe="$build/bench/overlay-latency-probe"
mkdir -p "\$XDG_CONFIG_HOME/Vantrel" "\$XDG_CONFIG_HOME/flameshot"
echo '{"didOnboard":{"bool":true},"playSound":{"bool":false},"freezeScreen":{"bool":true}}' \
    >"\$XDG_CONFIG_HOME/Vantrel/settings.json"
printf '[General]\nshowHelp=false\nshowStartupLaunchMessage=false\nshowDesktopNotification=false\n' \
    >"\$XDG_CONFIG_HOME/flameshot/flameshot.ini"

"$build/app/vantrel" 2>/dev/null &
vantrel=\$!
sleep 2
printf 'Vantrel   (shortcut)      '
"\$probe" --trials $trials --key
kill \$vantrel; wait \$vantrel 2>/dev/null || true

flameshot >/dev/null 2>&1 &
daemon=\$!
sleep 2
printf 'Flameshot (flameshot gui) '
"\$probe" --trials $trials --exec flameshot gui
kill \$daemon; wait \$daemon 2>/dev/null || true
SESSION

for size in 1920x1080x24 3840x2160x24; do
    "$here/tests/harness/with-x11.sh" --timeout 600 --screen "$size" -- bash "$session"
done
