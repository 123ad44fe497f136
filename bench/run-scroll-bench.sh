#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs the scrolling capture benchmark on a private X server at scale 1 (1000 × 700 pixel frames)
# and at scale 2 (2000 × 1400).
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bench=${1:?usage: run-scroll-bench.sh path/to/scroll_bench}
"$here/tests/harness/with-x11.sh" --timeout 300 --screen 1920x1080x24 -- "$bench"
echo
"$here/tests/harness/with-x11.sh" --timeout 300 --screen 2600x1600x24 --xft-dpi 192 -- "$bench"
