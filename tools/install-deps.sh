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
          xvfb xauth x11-utils imagemagick libmeshoptimizer-dev libpng-dev libturbojpeg0-dev
          libfast-float-dev)
# The Python package glmobj: building it (with pip offline, in a venv that
# sees these) and running it.
packages+=(python3 python3-dev python3-venv python3-setuptools python3-wheel python3-pybind11
           pybind11-dev python3-numpy)
if [[ "${1:-}" == "--tests" ]]; then
  # Unit tests, the benchmarks' peers (the Python ones too), the end-to-end
  # tests' input and text recognition, the libFuzzer build, the Python
  # package's tests, and the readers' German locale.
  packages+=(libgtest-dev libtinyobjloader-dev python3-pywavefront python3-meshio xdotool x11-apps
             tesseract-ocr tesseract-ocr-kor clang libclang-rt-14-dev python3-pytest locales)
fi

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done
# A German locale, whose decimal point is a comma: the readers' tests check
# that numbers read alike in it (they skip that check without it).
need_locale=0
if [[ "${1:-}" == "--tests" ]]; then
  locales=$(locale -a 2>/dev/null || true)
  grep -qi '^de_DE\.utf-\?8$' <<< "$locales" || need_locale=1
fi
[[ ${#missing[@]} -eq 0 && $need_locale -eq 0 ]] && exit 0

cmd="apt-get install -y --no-install-recommends ${missing[*]}"
if [[ $(id -u) -ne 0 && ${#missing[@]} -eq 0 ]]; then
  echo "No de_DE.UTF-8 locale (the locale test will be skipped); as root: locale-gen" >&2
  exit 0
fi
if [[ $(id -u) -ne 0 ]]; then
  echo "Missing packages. Run as root:" >&2
  echo "  apt-get update && $cmd" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
if [[ ${#missing[@]} -gt 0 ]]; then
  echo "Installing: ${missing[*]}"
  apt-get update -qq
  $cmd
fi
if [[ $need_locale -eq 1 ]]; then
  sed -i 's/^# *de_DE.UTF-8 UTF-8/de_DE.UTF-8 UTF-8/' /etc/locale.gen
  grep -q '^de_DE.UTF-8 UTF-8' /etc/locale.gen || echo 'de_DE.UTF-8 UTF-8' >> /etc/locale.gen
  locale-gen
fi
