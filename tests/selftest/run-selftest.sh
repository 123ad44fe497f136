#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs `vantrel --selftest` the way a user would on a machine without a display: no DISPLAY, no
# platform override. Checks the exit status, the closing line and the written picture, then that
# a render that cannot be written makes the run fail with "1 FAILED".
set -euo pipefail
vantrel=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM

status=0
"$vantrel" --selftest "$work/out" >"$work/stdout" 2>"$work/stderr" || status=$?
cat "$work/stdout"
[ "$status" -eq 0 ] || { echo "exit status $status, expected 0" >&2; cat "$work/stderr" >&2; exit 1; }
[ "$(tail -n 1 "$work/stdout")" = "ALL PASSED" ] || { echo "last line is not ALL PASSED" >&2; exit 1; }
[ "$(wc -l <"$work/stdout")" -eq 8 ] || { echo "expected 8 lines" >&2; exit 1; }
[ "$(head -c 8 "$work/out/editor-render.png" | od -An -tx1 | tr -d ' \n')" = "89504e470d0a1a0a" ] \
    || { echo "editor-render.png is missing or not a PNG" >&2; exit 1; }

touch "$work/blocker"
status=0
"$vantrel" --selftest "$work/blocker/sub" >"$work/stdout" 2>/dev/null || status=$?
[ "$status" -eq 1 ] || { echo "exit status $status for an unwritable folder, expected 1" >&2; exit 1; }
[ "$(tail -n 1 "$work/stdout")" = "1 FAILED" ] || { echo "last line is not 1 FAILED" >&2; exit 1; }
echo "self-test command checked"
