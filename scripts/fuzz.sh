#!/bin/bash
# Builds the libFuzzer targets of fuzz/ with clang in build-fuzz/ and runs each from its seed
# corpus for a bounded time (QUIBLO_FUZZ_SECONDS, default 60; the targets run side by side).
# A finding (a crash, a sanitizer report, a property that fails) fails the run; its input is
# kept in build-fuzz/findings/ to replay with build-fuzz/TARGET_fuzz FILE.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${QUIBLO_FUZZ_SECONDS:-60}
targets=(reply settings history imgctl deflate)

CC=clang CXX=clang++ cmake -S fuzz -B build-fuzz -G Ninja >/dev/null
cmake --build build-fuzz -j"$(nproc)"

# Corpus growth and the targets' own files go to memory, not the disk.
work=$(mktemp -d /dev/shm/quiblo-fuzz.XXXXXX 2>/dev/null || mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p build-fuzz/findings
pids=()
for target in "${targets[@]}"; do
    mkdir -p "$work/$target"
    TMPDIR="$work" "build-fuzz/${target}_fuzz" -max_total_time="$seconds" -timeout=20 \
        -rss_limit_mb=2048 -artifact_prefix="build-fuzz/findings/${target}-" \
        "$work/$target" "fuzz/corpus/$target" >"$work/$target.log" 2>&1 &
    pids+=($!)
done
failed=0
for i in "${!targets[@]}"; do
    if wait "${pids[$i]}"; then
        echo "fuzz ${targets[$i]}: $(grep -o 'Done [0-9]* runs' "$work/${targets[$i]}.log" | tail -1), no finding"
    else
        failed=1
        echo "fuzz ${targets[$i]}: FINDING" >&2
        tail -60 "$work/${targets[$i]}.log" >&2
    fi
done
exit $failed
