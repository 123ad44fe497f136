#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The screen recorder against ffmpeg at 1080p60 and 4K30 on private X servers. Needs the ffmpeg
# command (apt-get install ffmpeg). Usage: run-recording-bench.sh path/to/recording-bench [seconds]
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bench=${1:?usage: run-recording-bench.sh path/to/recording-bench [seconds]}
seconds=${2:-10}
command -v ffmpeg >/dev/null || { echo "ffmpeg is not installed (apt-get install ffmpeg)" >&2; exit 2; }
for run in "1920x1080x24 60" "3840x2160x24 30"; do
    set -- $run
    "$here/tests/harness/with-x11.sh" --timeout 900 --screen "$1" -- "$bench" "$2" "$seconds"
    echo
done
