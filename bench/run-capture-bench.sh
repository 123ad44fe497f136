#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs the capture benchmark on a private 1080p and a private 4K X server. Needs the ffmpeg
# command for its reference figures.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bench=${1:?usage: run-capture-bench.sh path/to/capture-bench}
command -v ffmpeg >/dev/null || { echo "ffmpeg is not installed (apt-get install ffmpeg)" >&2; exit 2; }
for screen in 1920x1080x24 3840x2160x24; do
    "$here/tests/harness/with-x11.sh" --timeout 300 --screen "$screen" -- "$bench"
    echo
done
