#!/usr/bin/env bash
# Builds the scene and runs it. With no display (a server, a container) it
# runs the scene for a few seconds under a virtual X display instead, saves a
# screenshot and prints its path.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh

# A build directory of its own, so neither the tests' build/ (warnings as
# errors, every target) nor an install build is reconfigured or rebuilt here.
build=build-scene
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j2 --target scene
binary=$build/scene/scene

if [[ -n "${DISPLAY:-}" ]]; then
  exec "$binary"
fi

shot="$PWD/$build/scene-screenshot.png"
rm -f "$shot"
echo "No display: running the scene under Xvfb for a few seconds."
# Depth 24: depth 8 has no GLX and 16 changes the colours.
status=0
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  "$1" & pid=$!
  id=""
  for _ in $(seq 300); do
    if ! kill -0 $pid 2>/dev/null; then
      wait $pid; echo "The scene exited (status $?) before its window opened." >&2; exit 1
    fi
    id=$(xwininfo -root -children 2>/dev/null | awk "/\"Tavo---/ {print \$1; exit}")
    [[ -n "$id" ]] && break
    sleep 0.1
  done
  [[ -n "$id" ]] || { echo "No scene window within 30 s." >&2; kill $pid; exit 1; }
  sleep 3
  import -window "$id" "$2"
  kill $pid
  wait $pid 2>/dev/null || true
' _ "$binary" "$shot" || status=$?
if [[ $status -ne 0 || ! -s "$shot" ]]; then
  echo "No screenshot taken." >&2
  exit 1
fi
echo "Screenshot: $shot"
