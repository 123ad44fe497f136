#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
#
# Builds the libFuzzer targets with clang in a tree of their own and runs each one for a bounded
# time, starting from its checked-in seed corpus (tests/fuzz/corpus/<target>/). New inputs go to
# a scratch copy, never into the tree. A crash, leak or undefined behaviour fails the run and
# leaves its input in <tree>/artifacts/; each one found becomes a regression test.
#
#   tests/fuzz/run.sh [seconds per target]      (default 45; FUZZ_BUILD_DIR sets the tree)
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
tree=${FUZZ_BUILD_DIR:-$here/build-fuzz}
seconds=${1:-45}
targets=(fuzz_history fuzz_settings fuzz_hotkeys fuzz_image_file)

cmake -S "$here" -B "$tree" -G Ninja -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 -DVANTREL_FUZZ=ON \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" >/dev/null
cmake --build "$tree" --parallel "$(nproc)" --target "${targets[@]}"

mkdir -p "$tree/artifacts"
scratch=$(mktemp -d "${TMPDIR:-/tmp}/vantrel-fuzz.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
export QT_QPA_PLATFORM=minimal
export ASAN_OPTIONS=detect_leaks=1:halt_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
passed=0
failed=0
for target in "${targets[@]}"; do
    seeds="$here/tests/fuzz/corpus/${target#fuzz_}"
    mkdir -p "$scratch/$target"
    log="$scratch/$target.log"
    if "$tree/tests/fuzz/$target" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2560 -print_final_stats=1 \
        -artifact_prefix="$tree/artifacts/$target-" "$scratch/$target" "$seeds" >"$log" 2>&1; then
        passed=$((passed + 1))
        result=clean
    else
        failed=$((failed + 1))
        result=FAILED
        tail -n 60 "$log" >&2
    fi
    runs=$(awk '/stat::number_of_executed_units/ {print $NF}' "$log")
    corpus=$(ls "$scratch/$target" | wc -l)
    echo "$target: $result, ${runs:-0} runs in ${seconds} s, $(ls "$seeds" | wc -l) seeds, $corpus new inputs"
done
echo "fuzz: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
