#!/usr/bin/env bash
# Installs the Debian packages the project needs, when any are missing.
# As root it runs apt-get; otherwise it prints the exact command and stops.
set -euo pipefail

packages=(g++ cmake make libgtest-dev freeglut3-dev libglu1-mesa-dev libgl1-mesa-dev
          libgl1-mesa-dri libx11-dev libtinyobjloader-dev xvfb xauth x11-utils x11-apps
          xdotool imagemagick pkg-config python3 libfreetype-dev libfontconfig-dev fonts-nanum
          tesseract-ocr tesseract-ocr-kor clang libclang-rt-14-dev
          libmeshoptimizer-dev libpng-dev libturbojpeg0-dev)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

cmd="apt-get install -y --no-install-recommends ${missing[*]}"
if [[ $(id -u) -ne 0 ]]; then
  echo "Missing packages. Run as root:" >&2
  echo "  apt-get update && $cmd" >&2
  exit 1
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
$cmd
