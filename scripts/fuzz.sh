#!/usr/bin/env bash
# Builds the libFuzzer harnesses of fuzz/ with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each for the given seconds, starting
# from the seed corpus in the repository. Inputs the fuzzer finds go to
# build/fuzz/corpus, never into the repository. Prints the runs of each
# harness; a crash, leak, time-out or sanitizer report fails the command and
# leaves the input in build/fuzz/findings.
#
# usage: scripts/fuzz.sh [seconds per harness, default 30] [harness...]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
seconds=${1:-30}
shift || true
build="$root/build/fuzz"
harnesses=("$@")
[ ${#harnesses[@]} -gt 0 ] ||
  harnesses=(binarylistfile eepromfile worldconfig controlrequest hotpixeltextfile cameraparameterfile)

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S "$root/fuzz" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++ "${launcher[@]}" >/dev/null
cmake --build "$build" -j"$(nproc)" >/dev/null

# The file harnesses write a file per run: a file system in memory keeps them fast.
[ -d /dev/shm ] && export TMPDIR=/dev/shm
mkdir -p "$build/findings"
for harness in "${harnesses[@]}"; do
  corpus="$build/corpus/$harness"
  log="$build/$harness.log"
  mkdir -p "$corpus"
  if ! "$build/fuzz_$harness" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$build/findings/$harness-" \
    "$corpus" "$root/fuzz/corpus/$harness" >"$log" 2>&1; then
    tail -n 40 "$log"
    echo "fuzz: $harness failed; the input is in $build/findings, the log in $log" >&2
    exit 1
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  echo "fuzz: $harness: $runs runs in $seconds s"
done
