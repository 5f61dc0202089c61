#!/usr/bin/env bash
# Builds the Debian package in build/package: a Release build installed under
# /usr, packed by CPack. Prints the package's path; install it with
#   apt-get install ./build/package/package/speckwright_<version>_<arch>.deb
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$root/build/package"

"$root/scripts/install-deps.sh"
# Built with Debian's own hardening flags, as its packages are.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cppflags=$(dpkg-buildflags --get CPPFLAGS)
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DCMAKE_C_FLAGS="$(dpkg-buildflags --get CFLAGS) $cppflags" \
  -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CXXFLAGS) $cppflags" \
  -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" \
  -DCMAKE_SHARED_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" \
  -DSPECKWRIGHT_BUILD_TESTS=OFF -DSPECKWRIGHT_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j"$(nproc)"
rm -f "$build"/package/*.deb
(cd "$build" && cpack -G DEB >/dev/null)
ls "$build"/package/*.deb
