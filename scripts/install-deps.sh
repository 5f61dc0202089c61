#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need.
# Only what is missing is installed; as a normal user it asks sudo.
set -euo pipefail

packages=(
  g++ make cmake pkg-config
  qtbase5-dev qtbase5-dev-tools qttools5-dev qttools5-dev-tools
  nlohmann-json3-dev libbenchmark-dev
  clang-format clang libclang-rt-14-dev
  xvfb xauth fonts-dejavu-core
  desktop-file-utils appstream lintian dpkg-dev file x11-utils librsvg2-bin
  libaravis-dev libusb-1.0-0-dev aravis-tools libglib2.0-bin iproute2 util-linux
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
