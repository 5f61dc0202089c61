#!/usr/bin/env bash
# Installs what is missing, builds the program in Release and starts it on the
# simulated cameras. Run it from anywhere; the program starts in the repository
# root so that it finds the example cameraparameter.xml there.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$root/build/release" -DCMAKE_BUILD_TYPE=Release \
  -DSPECKWRIGHT_BUILD_TESTS=OFF -DSPECKWRIGHT_BUILD_BENCH=OFF >/dev/null
cmake --build "$root/build/release" --target speckwright kivoctl -j"$(nproc)"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found (DISPLAY and WAYLAND_DISPLAY are unset); start it on a virtual one: xvfb-run -a -s '-screen 0 1280x1024x24' $0" >&2
  exit 1
fi

cd "$root"
exec "$root/build/release/app/speckwright" "$@"
