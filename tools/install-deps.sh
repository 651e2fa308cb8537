#!/usr/bin/env bash
# Installs the Debian packages the project needs, when any are missing.
# As root it runs apt-get; otherwise it prints the exact command and stops.
#   tools/install-deps.sh          what building, installing and running need
#   tools/install-deps.sh --tests  that, and what the tests, benchmarks and
#                                  fuzzing add
set -euo pipefail

# Building (the manual pages are made by help2man) and running; the X server
# and screenshot tools let the scene run on a machine without a display.
packages=(g++ cmake make pkg-config freeglut3-dev libglu1-mesa-dev libgl1-mesa-dev
          libgl1-mesa-dri libx11-dev libfreetype-dev libfontconfig-dev fonts-nanum help2man
          xvfb xauth x11-utils imagemagick libmeshoptimizer-dev libpng-dev libturbojpeg0-dev)
if [[ "${1:-}" == "--tests" ]]; then
  # Unit tests, the benchmarks' peer, the end-to-end tests' input and text
  # recognition, and the libFuzzer build.
  packages+=(libgtest-dev libtinyobjloader-dev xdotool x11-apps python3
             tesseract-ocr tesseract-ocr-kor clang libclang-rt-14-dev)
fi

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
