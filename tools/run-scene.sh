#!/usr/bin/env bash
# Builds the scene and runs it. With no display (a server, a container) it
# runs the scene for a few seconds under a virtual X display instead, saves a
# screenshot and prints its path.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2 --target scene
binary=build/scene/scene

if [[ -n "${DISPLAY:-}" ]]; then
  exec "$binary"
fi

shot="$PWD/build/scene-screenshot.png"
echo "No display: running the scene under Xvfb for a few seconds."
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  "$1" & pid=$!
  for _ in $(seq 100); do
    xwininfo -root -children 2>/dev/null | grep -q "Tavo" && break
    kill -0 $pid 2>/dev/null || exit 1
    sleep 0.1
  done
  sleep 3
  id=$(xwininfo -root -children | grep "Tavo" | head -n1 | awk "{print \$1}")
  import -window "$id" "$2"
  kill $pid
  wait $pid 2>/dev/null || true
' _ "$binary" "$shot"
echo "Screenshot: $shot"
