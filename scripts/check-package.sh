#!/usr/bin/env bash
# Builds the Debian package and checks it the way a distribution would: the
# menu entry and the software centre data validate, lintian finds no error,
# the programs find the camera library through the system's library folder,
# the program speaks German in a German locale, and the program unpacked into
# a scratch root starts and shows its window.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

deb=$("$root/scripts/package.sh" | tail -n 1)

desktop-file-validate "$root/packaging/org.talvane.speckwright.desktop"
appstreamcli validate --no-net "$root/packaging/org.talvane.speckwright.metainfo.xml" >/dev/null
lintian --fail-on error "$deb"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
dpkg -x "$deb" "$scratch/root"
libdir=$(dirname "$(find "$scratch/root" -name 'libkivo_api.so.1')")
case "$libdir" in
  "$scratch/root/usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)") ;;
  *) echo "camera library not in the system library folder: $libdir" >&2; exit 1 ;;
esac
for program in speckwright kivoctl; do
  if readelf -d "$scratch/root/usr/bin/$program" | grep -q 'RPATH\|RUNPATH'; then
    echo "$program carries a run path; it should use the system's library folder" >&2
    exit 1
  fi
done
"$scratch/root/usr/bin/kivoctl" --version >/dev/null
# The installed program follows the system's language and finds its
# translation beside itself.
if ! env -u LC_ALL -u LC_MESSAGES -u LANGUAGE LANG=de_DE.UTF-8 LD_LIBRARY_PATH="$libdir" \
  "$scratch/root/usr/bin/speckwright" --help | grep -q 'Diese Hilfe anzeigen'; then
  echo "the installed program does not speak German in a German locale" >&2
  exit 1
fi

# Outside a chroot the unpacked library is found through LD_LIBRARY_PATH;
# installed, the dynamic linker's cache finds it. Home, settings and sockets
# live in the scratch folder. No search for GenICam cameras: it would
# broadcast on the machine's networks.
mkdir -p "$scratch/home" "$scratch/runtime"
chmod 700 "$scratch/runtime"
HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/home/.config" XDG_DATA_HOME="$scratch/home/.local/share" \
  XDG_RUNTIME_DIR="$scratch/runtime" LD_LIBRARY_PATH="$libdir" QT_QPA_PLATFORM=xcb \
  KIVO_GENICAM_CAMERAS=0 \
  xvfb-run -a -s '-screen 0 1280x1024x24' sh -c '
    "$1" &
    pid=$!
    shown=no
    for _ in $(seq 60); do
      sleep 0.5
      kill -0 "$pid" 2>/dev/null || break
      if xwininfo -root -tree | grep -q "\"Kivo Speckwright\""; then shown=yes; break; fi
    done
    sleep 2
    if ! kill -0 "$pid" 2>/dev/null; then echo "the installed program ended by itself" >&2; exit 1; fi
    kill "$pid"
    wait "$pid" 2>/dev/null || true
    [ "$shown" = yes ] || { echo "the installed program showed no window" >&2; exit 1; }
  ' sh "$scratch/root/usr/bin/speckwright"
echo "package checks passed: $(basename "$deb")"
