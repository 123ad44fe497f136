#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
#
# Time from the capture shortcut to the selection overlay (window mapped, first paint) on a
# 1920x1080 and a 3840x2160 screen with the screen frozen, for Vantrel and, as the reference in
# the same run, Flameshot's "flameshot gui" with its daemon running. Vantrel is triggered twice
# over: by its global shortcut, and by "vantrel --action captureArea" (a process start and one
# bus call, as a desktop's own shortcut settings run it); the difference is printed.
#
#   bench/overlay-latency.sh [build dir] [trials] [--no-peer]   (--no-peer: Vantrel alone)
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-$here/build-bench}
trials=${2:-15}
peer=yes
[ "${3:-}" = "--no-peer" ] && peer=no

if [ "$peer" = yes ] && ! command -v flameshot >/dev/null; then
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
key=\$("\$probe" --trials $trials --key)
echo "Vantrel   (shortcut)      \$key"
action=\$("\$probe" --trials $trials --exec "$build/app/vantrel" --action captureArea)
echo "Vantrel   (--action)      \$action"
kill \$vantrel; wait \$vantrel 2>/dev/null || true
paint() { sed -n 's/.*first paint median \\([0-9.]*\\) ms.*/\\1/p' <<<"\$1"; }
awk -v a="\$(paint "\$action")" -v k="\$(paint "\$key")" \
    'BEGIN { printf "Vantrel   --action costs %+.1f ms more than the shortcut to the first paint (median)\\n", a - k }'
[ "$peer" = yes ] || exit 0

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
