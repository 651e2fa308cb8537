# Shared helpers of the end-to-end tests: they run the real scene binary on a
# virtual X display (Xvfb, Mesa's software GL) and look at its window with the
# X utilities and ImageMagick. Sourced by tests/e2e/test_*.sh, each run as
#   bash tests/e2e/test_x.sh <path-to-scene-binary>
# from the project root, where the scene finds its data/ directory.
set -euo pipefail

E2E_SCRIPT=$(realpath "$0")
E2E_BIN=$(realpath "${1:?usage: $0 <path-to-scene-binary>}")

# Depth 24 is the one that gives GLX with true colours: 8 has no GLX and 16
# changes the colours.
E2E_NO_DISPLAY=75
if [[ -z "${E2E_UNDER_XVFB:-}" ]]; then
  # A random first display number keeps parallel runs from racing for the same one.
  # A display that cannot be reached (a stale socket, a server that died at
  # start) is the test machine's fault, not the scene's: try another one.
  for attempt in 1 2 3; do
    status=0
    # -noreset: an X server resets when its last client leaves, and a program
    # started during the reset cannot open the display; the tests start one
    # program after another.
    E2E_UNDER_XVFB=1 xvfb-run -a -n $((100 + RANDOM % 800)) -s "-screen 0 1280x1024x24 -noreset" \
      bash "$E2E_SCRIPT" "$@" || status=$?
    [[ $status -eq $E2E_NO_DISPLAY ]] || exit $status
    echo "display not reachable (attempt $attempt); retrying on another" >&2
  done
  exit 1
fi

E2E_WORK=$(mktemp -d)
SCENE_PID=""
WIN=""
# A change of the whole view moves hundreds of thousands of pixels; the
# animation alone (walkers, dogs, ball, balloon) moves a few thousand a second.
BIG_CHANGE=50000

cleanup() {
  if [[ -n "$SCENE_PID" ]] && kill -0 "$SCENE_PID" 2>/dev/null; then
    kill "$SCENE_PID" 2>/dev/null || true
    wait "$SCENE_PID" 2>/dev/null || true
  fi
  rm -rf "$E2E_WORK"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  if [[ -f "$E2E_WORK/scene.log" && -s "$E2E_WORK/scene.log" ]]; then
    echo "--- scene output ---" >&2
    cat "$E2E_WORK/scene.log" >&2
  fi
  exit 1
}

pass() { echo "ok: $*"; }

# poll SECONDS COMMAND...: runs COMMAND every 0.1 s until it succeeds.
poll() {
  local deadline=$((SECONDS + $1))
  shift
  until "$@"; do
    ((SECONDS < deadline)) || return 1
    sleep 0.1
  done
}

scene_alive() { kill -0 "$SCENE_PID" 2>/dev/null; }

# Sets WIN to the scene's top-level window once it is mapped.
find_window() {
  if ! scene_alive; then
    # Reached a moment ago by xdpyinfo, yet refused the scene: the machine's fault too.
    grep -q 'failed to open display' "$E2E_WORK/scene.log" && exit $E2E_NO_DISPLAY
    fail "the scene exited before its window opened"
  fi
  WIN=$(xwininfo -root -children 2>/dev/null | awk '/"Tavo---/ {print $1; exit}')
  [[ -n "$WIN" ]] && xwininfo -id "$WIN" 2>/dev/null | grep -q 'Map State: IsViewable'
}

# Mean brightness of a screenshot, 0 (all black) to 1.
brightness() { convert "$1" -format '%[fx:mean]' info:; }

# shot NAME: saves the window's current picture as $E2E_WORK/NAME.png.
shot() { import -window "$WIN" "$E2E_WORK/$1.png" 2>/dev/null; }

# differing A B: the number of pixels that differ between two screenshots.
differing() {
  local n
  n=$(compare -metric AE "$E2E_WORK/$1.png" "$E2E_WORK/$2.png" null: 2>&1 || true)
  printf '%.0f\n' "$n"
}

drawn() {
  shot first
  awk -v b="$(brightness "$E2E_WORK/first.png")" 'BEGIN { exit !(b > 0.01) }'
}

# Starts the scene and waits until its window shows a picture.
start_scene() {
  poll 10 xdpyinfo >/dev/null 2>&1 || exit $E2E_NO_DISPLAY
  "$E2E_BIN" >"$E2E_WORK/scene.log" 2>&1 &
  SCENE_PID=$!
  poll 60 find_window || fail "no scene window within 60 s"
  poll 30 drawn || fail "the window stayed black"
  # Without a window manager the keyboard focus follows the pointer.
  xdotool mousemove --window "$WIN" 500 500 2>/dev/null
}

stop_scene() {
  kill "$SCENE_PID" 2>/dev/null || true
  wait "$SCENE_PID" 2>/dev/null || true
  SCENE_PID=""
}

changed_from() {
  shot now
  (($(differing "$1" now) > BIG_CHANGE))
}

# expect_change REF WHAT: waits until the picture differs widely from REF.
expect_change() {
  poll 20 changed_from "$1" || fail "$2: the picture did not change (differs by $(differing "$1" now) pixels)"
  pass "$2 ($(differing "$1" now) pixels changed)"
}

# The animation's own change over about a second, to show that the
# threshold tells an input's effect apart from it.
check_animation_noise() {
  shot noise_a
  sleep 1
  shot noise_b
  local n
  n=$(differing noise_a noise_b)
  ((n < BIG_CHANGE / 2)) || fail "the animation alone changes $n pixels a second; too many to judge input by"
  echo "animation alone: $n pixels in about a second"
}

# share SHOT WxH+X+Y COLOUR [FUZZ]: the fraction (0 to 1) of the region's
# pixels within FUZZ (6% unless given) of COLOUR.
share() {
  local size=${2%%+*} differ
  convert "$E2E_WORK/$1.png" -crop "$2" +repage -alpha off "$E2E_WORK/_region.png"
  differ=$(compare -metric AE -fuzz "${4:-6%}" "$E2E_WORK/_region.png" -size "$size" "xc:$3" null: 2>&1 || true)
  awk -v d="$differ" -v s="$size" 'BEGIN { split(s, wh, "x"); printf "%.4f\n", 1 - d / (wh[1] * wh[2]) }'
}

# ---- The pop-up menu -----------------------------------------------------
# The scene draws its own menu into its frame: a right press opens it with
# its top-left corner at the pointer, entries MENU_ROW pixels high below a
# MENU_PAD border; the entry under the pointer turns blue. Within 1% no
# colour of the scene comes near the panel's or the highlight's.
MENU_AT=300
MENU_ROW=26
MENU_PAD=4
PANEL="rgb(247,247,245)"
HIGHLIGHT="rgb(54,120,219)"
# The strip between the menu's left border and its texts, down all entries.
MENU_STRIP="10x$((5 * MENU_ROW))+$((MENU_AT + 2))+$((MENU_AT + MENU_PAD))"
panel_share_is() { shot menu; awk -v s="$(share menu "$MENU_STRIP" "$PANEL" 1%)" "BEGIN { exit !(s $1) }"; }
menu_shown() { panel_share_is '>= 0.75'; }
menu_hidden() { panel_share_is '< 0.05'; }
# highlighted ENTRY: that entry's row of the strip is blue, and only that one.
highlighted() {
  shot menu
  local row="10x$((MENU_ROW - 2))+$((MENU_AT + 2))+$((MENU_AT + MENU_PAD + ($1 - 1) * MENU_ROW + 1))"
  awk -v r="$(share menu "$row" "$HIGHLIGHT" 1%)" -v a="$(share menu "$MENU_STRIP" "$HIGHLIGHT" 1%)" \
    'BEGIN { exit !(r >= 0.95 && a < 0.25) }'
}

open_menu() {
  xdotool mousemove --window "$WIN" $MENU_AT $MENU_AT mousedown 3 2>/dev/null
  poll 10 menu_shown || fail "the right button opened no menu"
}

# choose ENTRY: opens the menu, moves onto entry 1 to 5, waits for its
# highlight and releases the button there.
choose() {
  open_menu
  xdotool mousemove --window "$WIN" $((MENU_AT + 40)) $((MENU_AT + MENU_PAD + ($1 - 1) * MENU_ROW + MENU_ROW / 2)) 2>/dev/null
  poll 10 highlighted "$1" || fail "entry $1 was not highlighted under the pointer"
  xdotool mouseup 3 2>/dev/null
  poll 10 menu_hidden || fail "the menu stayed open after choosing entry $1"
  # Away from the scene's fixed parts, so the pointer hides nothing looked at.
  xdotool mousemove --window "$WIN" 5 995 2>/dev/null
}
