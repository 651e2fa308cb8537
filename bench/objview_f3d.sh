#!/usr/bin/env bash
# Sets objview beside f3d, a peer to measure against (Debian's package f3d,
# installed by hand: apt-get install f3d; nothing else needs it), at 1024x768
# under Xvfb with Mesa's llvmpipe: the time to the first picture and the
# frame rate turning the model, each the median of three runs.
#   bench/objview_f3d.sh [path-to-objview] MODEL.obj...
# Time to the first picture: the wall time of a run that writes its first
# picture to a PNG and exits (objview --screenshot, f3d --output).
# Turning: objview's --bench 60, one turn in 60 frames as a left drag makes
# it (the coarse level drawn), then 60 still frames. f3d plays a left drag of
# 60 mouse moves making one turn (VTK's trackball turns 0.195 degrees a pixel
# in a window 1024 wide: 1843 pixels), each move one frame rendered; its rate
# is 60 over the time that adds to a run playing the press and release alone.
set -euo pipefail
if [[ -z "${DISPLAY:-}" ]]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24" bash "$0" "$@"
fi
objview=$(realpath "${1:-build/objview/objview}")
shift
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for moves in 0 60; do
  {
    echo "# StreamVersion 1.1"
    echo "MouseMoveEvent 0 384 0 0 0 0"
    echo "LeftButtonPressEvent 0 384 0 0 0 0"
    for ((i = 1; i <= moves; i++)); do echo "MouseMoveEvent $((1843 * i / moves)) 384 0 0 0 0"; done
    echo "LeftButtonReleaseEvent $((moves ? 1843 : 0)) 384 0 0 0 0"
  } >"$work/turn$moves.log"
done
wall() {
  local start
  start=$(date +%s.%N)
  "$@" >/dev/null 2>&1
  echo "$(date +%s.%N) - $start" | bc
}
median() { printf '%s\n' "$@" | sort -g | sed -n 2p; }
load() { cut -d' ' -f1-3 /proc/loadavg; }
printf '%-16s %-14s %9s %9s %9s %9s %9s\n' model load "o first" "f3d first" "o moving" "o still" "f3d turn"
for model in "$@"; do
  before=$(load)
  ofirst=() ffirst=() fturn=() omoving=() ostill=()
  for run in 1 2 3; do
    ofirst+=("$(wall "$objview" "$model" --size 1024x768 --screenshot "$work/o.png")")
    ffirst+=("$(wall f3d "$model" --resolution 1024,768 --output "$work/f.png")")
    none=$(wall f3d "$model" --resolution 1024,768 --interaction-test-play "$work/turn0.log" --output "$work/f.png")
    turn=$(wall f3d "$model" --resolution 1024,768 --interaction-test-play "$work/turn60.log" --output "$work/f.png")
    fturn+=("$(echo "60 / ($turn - $none)" | bc -l)")
    read -r moving still < <("$objview" "$model" --size 1024x768 --bench 60 2>/dev/null |
      sed -n 's/^bench: moving \([0-9.]*\) fps, still \([0-9.]*\) fps$/\1 \2/p')
    omoving+=("$moving")
    ostill+=("$still")
  done
  printf '%-16s %-14s %8.2fs %8.2fs %9.1f %9.1f %9.1f   (load after %s)\n' "$(basename "$model")" "$before" \
    "$(median "${ofirst[@]}")" "$(median "${ffirst[@]}")" "$(median "${omoving[@]}")" \
    "$(median "${ostill[@]}")" "$(median "${fturn[@]}")" "$(load)"
  printf '  runs: objview first %s; f3d first %s; objview moving %s, still %s; f3d turning %s\n' \
    "${ofirst[*]}" "${ffirst[*]}" "${omoving[*]}" "${ostill[*]}" "$(printf '%.1f ' "${fturn[@]}")"
done
