#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
#
# Time from starting Vantrel until its capture shortcut is answered (the selection overlay
# shows), with an empty history as the reference and with a 20,000-record history, in the same
# run, on a private X server.
#
#   bench/startup-history.sh [build dir] [trials] [records]
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-$here/build-bench}
trials=${2:-7}
records=${3:-20000}

cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVANTREL_BUILD_BENCH=ON >/dev/null
cmake --build "$build" --target vantrel startup-probe history_store_bench >/dev/null

session=$(mktemp)
trap 'rm -f "$session"' EXIT
cat >"$session" <<SESSION
set -e
mkdir -p "\$XDG_CONFIG_HOME/Vantrel"
echo '{"didOnboard":{"bool":true},"playSound":{"bool":false},"dropAnimation":{"bool":false}}' \
    >"\$XDG_CONFIG_HOME/Vantrel/settings.json"
history="\$XDG_DATA_HOME/Vantrel/History"
for n in 0 $records; do
    rm -rf "\$history"
    "$build/bench/history_store_bench" --fill "\$history" \$n
    printf '%6d records: ' \$n
    "$build/bench/startup-probe" --trials $trials -- "$build/app/vantrel"
done
SESSION

"$here/tests/harness/with-x11.sh" --timeout 600 -- bash "$session"
