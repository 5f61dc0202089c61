#!/usr/bin/env bash
# Renders the icon sources res/svg/*.svg into the PNGs and the ICO that the
# resource file compiles in, and the application icon into the sizes of the
# desktop's icon theme that packaging/ installs. The rendered files are committed, so only someone
# changing an icon needs rsvg-convert (librsvg2-bin) and ImageMagick.
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

# The desktop's icon theme: a PNG for every size a menu or launcher asks for;
# the SVG itself is installed as the scalable one.
for size in 16 22 24 32 48 64 128 256; do
  mkdir -p "$root/packaging/icons/${size}x${size}"
  png="$root/packaging/icons/${size}x${size}/speckwright.png"
  rsvg-convert -w "$size" -h "$size" -o "$png" "$src/main.svg"
  # Without the renderer's metadata, so the files change only with the icon.
  convert "$png" -strip -define png:compression-level=9 PNG32:"$png"
done
