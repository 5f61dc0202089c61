#!/usr/bin/env bash
# Renders the icon sources res/svg/*.svg into the PNGs and the ICO that the
# resource file compiles in. The rendered files are committed, so only someone
# changing an icon runs this; besides rsvg-convert it needs ImageMagick. (The
# desktop icon theme's sizes are rendered by the build, in packaging/.)
# Toolbar icons are drawn on a 24 px grid and rendered at 48 px, so they stay
# sharp when shown at 24 px, also on HiDPI screens.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
src="$root/res/svg"
out="$root/res"

for svg in "$src"/*.svg; do
  name=$(basename "$svg" .svg)
  case "$name" in
    main) ;; # becomes main.ico below
    about_logo_kivo) rsvg-convert -w 128 -h 128 -o "$out/$name.png" "$svg" ;;
    *) rsvg-convert -w 48 -h 48 -o "$out/$name.png" "$svg" ;;
  esac
done

# main.ico carries every size a shell asks for, each rendered from the vector
# source rather than scaled from one bitmap.
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
frames=()
for size in 16 24 32 48 256; do
  rsvg-convert -w "$size" -h "$size" -o "$tmp/main-$size.png" "$src/main.svg"
  frames+=("$tmp/main-$size.png")
done
convert "${frames[@]}" "$out/main.ico"
