# The right button opens the pop-up menu; its entries switch to a preset
# viewpoint and back to the free view.
source "$(dirname "$0")/lib.sh"

MENU=""
menu_shown() {
  MENU=$(xwininfo -root -children 2>/dev/null | awk '/"freeglut menu"/ {print $1; exit}')
  [[ -n "$MENU" ]] && xwininfo -id "$MENU" | grep -q 'Map State: IsViewable'
}
menu_hidden() { ! menu_shown; }

# choose ENTRY: opens the menu with a right click and picks the entry
# (1 to 5) with the left button.
choose() {
  xdotool mousemove --window "$WIN" 300 300 click 3 2>/dev/null
  poll 10 menu_shown || fail "the right button opened no menu"
  local info x y h
  info=$(xwininfo -id "$MENU")
  x=$(awk '/Absolute upper-left X/ {print $4}' <<<"$info")
  y=$(awk '/Absolute upper-left Y/ {print $4}' <<<"$info")
  h=$(awk '/^ *Height:/ {print $2}' <<<"$info")
  xdotool mousemove $((x + 30)) $((y + h * ($1 - 1) / 5 + h / 10)) 2>/dev/null
  xdotool click 1 2>/dev/null
  poll 10 menu_hidden || fail "the menu stayed open after choosing entry $1"
}

start_scene
check_animation_noise

shot free
choose 4
pass "right click opens the menu"
expect_change free "the entry 'from above' switches the view"
cp "$E2E_WORK/now.png" "$E2E_WORK/above.png"

choose 2
expect_change above "the entry 'court' replaces the viewpoint"

# Back to the free view: close to the picture before the presets again, far
# from the preset.
choose 5
shot back
((preset = $(differing free above))) || true
back_diff() { shot back; (($(differing free back) < preset / 3)); }
poll 20 back_diff || fail "the entry 'normal view' did not return to the free view ($(differing free back) vs $preset pixels)"
pass "the entry 'normal view' returns to the free view ($(differing free back) pixels from the start, $preset for the preset)"

scene_alive || fail "the scene died"
