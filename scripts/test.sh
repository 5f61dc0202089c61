#!/usr/bin/env bash
# Installs what is missing, checks the formatting, builds every test with
# AddressSanitizer and UndefinedBehaviorSanitizer and runs the whole suite
# headless; the GenICam tests (label genicam) run inside a network namespace
# of their own that has only the loopback interface, with a second loopback
# address for their second fake camera, so that GigE Vision traffic never
# leaves the machine. Then it builds the Debian package and checks it
# (scripts/check-package.sh); then builds the threaded tests with
# ThreadSanitizer and runs them; then runs each parser's fuzzer for a short
# while. Any failing test, package check, fuzzer finding or sanitizer report
# fails the command.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen

"$root/scripts/install-deps.sh"
# A network namespace needs root.
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo --preserve-env=QT_QPA_PLATFORM"
"$root/scripts/check-format.sh"

cmake -S "$root" -B "$root/build/asan" -DCMAKE_BUILD_TYPE=Debug \
  -DSPECKWRIGHT_SANITIZE=address,undefined -DSPECKWRIGHT_BUILD_BENCH=OFF >/dev/null
cmake --build "$root/build/asan" -j"$jobs"
# The build has just brought the .ts files up to date with the sources; every
# text must have its translation.
if grep -q 'type="unfinished"' "$root"/translations/*.ts; then
  echo "Texts without translation (translate them in translations/*.ts with linguist):" >&2
  grep -h -B3 'type="unfinished"' "$root"/translations/*.ts | grep '<source>' >&2
  exit 1
fi
ctest --test-dir "$root/build/asan" --output-on-failure --no-tests=error -j"$jobs" -LE genicam
$sudo unshare -n sh -c "ip link set lo up && ip addr add 127.0.0.2/8 dev lo &&
  ctest --test-dir '$root/build/asan' --output-on-failure --no-tests=error -L genicam"

"$root/scripts/check-package.sh"

cmake -S "$root" -B "$root/build/tsan" -DCMAKE_BUILD_TYPE=Debug \
  -DSPECKWRIGHT_SANITIZE=thread -DSPECKWRIGHT_BUILD_BENCH=OFF >/dev/null
cmake --build "$root/build/tsan" --target speckwright_threaded_tests -j"$jobs"
ctest --test-dir "$root/build/tsan" --output-on-failure --no-tests=error -L threads -j"$jobs"

"$root/scripts/fuzz.sh" 25
