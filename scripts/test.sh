#!/usr/bin/env bash
# Installs what is missing, checks the formatting, builds every test with
# AddressSanitizer and UndefinedBehaviorSanitizer and runs the whole suite
# headless; then builds the threaded tests with ThreadSanitizer and runs them;
# then runs each parser's fuzzer for a short while. Any failing test, fuzzer
# finding or sanitizer report fails the command.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen

"$root/scripts/install-deps.sh"
"$root/scripts/check-format.sh"

cmake -S "$root" -B "$root/build/asan" -DCMAKE_BUILD_TYPE=Debug \
  -DSPECKWRIGHT_SANITIZE=address,undefined -DSPECKWRIGHT_BUILD_BENCH=OFF >/dev/null
cmake --build "$root/build/asan" -j"$jobs"
ctest --test-dir "$root/build/asan" --output-on-failure --no-tests=error -j"$jobs"

cmake -S "$root" -B "$root/build/tsan" -DCMAKE_BUILD_TYPE=Debug \
  -DSPECKWRIGHT_SANITIZE=thread -DSPECKWRIGHT_BUILD_BENCH=OFF >/dev/null
cmake --build "$root/build/tsan" --target speckwright_threaded_tests -j"$jobs"
ctest --test-dir "$root/build/tsan" --output-on-failure --no-tests=error -L threads -j"$jobs"

"$root/scripts/fuzz.sh" 25
