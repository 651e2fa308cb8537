# The right button opens the scene's own menu: it highlights the entry under
# the pointer, its entries switch to a preset viewpoint and back to the free
# view, and releasing off the menu closes it with nothing chosen. While it is
# open the scene animates and keys do not reach it. Without a Korean font the
# scene says so and falls back to GLUT's menu.
source "$(dirname "$0")/lib.sh"

start_scene
check_animation_noise

shot free
open_menu
pass "the right button opens the menu at the pointer"
shot open_a
awk -v s="$(share open_a "$MENU_STRIP" "$HIGHLIGHT" 1%)" 'BEGIN { exit !(s < 0.05) }' ||
  fail "an entry is highlighted with the pointer off the entries"
animating() { shot open_b; (($(differing open_a open_b) > 0)); }
poll 10 animating || fail "the scene stopped animating under the open menu"
pass "under the open menu the scene animates, no entry highlighted"
# Legible: OCR reads every entry's Korean words off the panel (tripled, as
# OCR wants letters larger than a menu's). "PT" is Latin, which GLUT's own
# menu showed too, and OCR takes it for other marks.
convert "$E2E_WORK/open_a.png" -crop "180x$((5 * MENU_ROW))+$((MENU_AT + 2))+$((MENU_AT + MENU_PAD))" \
  +repage -colorspace gray -resize 300% "$E2E_WORK/entries.png"
read_text=$(tesseract "$E2E_WORK/entries.png" - -l kor+eng --psm 6 2>/dev/null | tr -d ' \n')
for words in 체조하는사람들 족구장 개 위에서밑으로보는시점 일반시점; do
  [[ "$read_text" == *"$words"* ]] || fail "OCR did not read '$words' off the menu, only '$read_text'"
done
pass "OCR reads every entry off the menu: '$read_text'"
xdotool key a a a a 2>/dev/null  # would zoom in, were the keys to reach the scene
xdotool mousemove --window "$WIN" 900 900 mouseup 3 2>/dev/null
poll 10 menu_hidden || fail "releasing off the menu did not close it"
# Events come in order: the keys were handled before the release closed it.
shot closed
(($(differing free closed) < BIG_CHANGE)) || fail "keys or the release off the menu changed the view"
pass "releasing off the menu closes it, and neither it nor keys pressed meanwhile change the view"

choose 4
expect_change free "the entry 'from above' switches the view"
cp "$E2E_WORK/now.png" "$E2E_WORK/above.png"

choose 2
expect_change above "the entry 'court' replaces the viewpoint"
cp "$E2E_WORK/now.png" "$E2E_WORK/court.png"

choose 3
expect_change court "the entry 'dog' replaces the viewpoint"
cp "$E2E_WORK/now.png" "$E2E_WORK/dog.png"

choose 1
expect_change dog "the entry 'PT' replaces the viewpoint"

# Back to the free view: close to the picture before the presets again, far
# from the preset.
choose 5
shot back
((preset = $(differing free above))) || true
back_diff() { shot back; (($(differing free back) < preset / 3)); }
poll 20 back_diff || fail "the entry 'normal view' did not return to the free view ($(differing free back) vs $preset pixels)"
pass "the entry 'normal view' returns to the free view ($(differing free back) pixels from the start, $preset for the preset)"
scene_alive || fail "the scene died"
stop_scene

# No font at all: one line on standard error, and GLUT's menu on the button.
echo '<fontconfig></fontconfig>' >"$E2E_WORK/nofonts.conf"
FONTCONFIG_FILE="$E2E_WORK/nofonts.conf" start_scene
grep -q '^scene: no font with Korean letters found through fontconfig' "$E2E_WORK/scene.log" ||
  fail "no word of the missing font: '$(cat "$E2E_WORK/scene.log")'"
glut_menu_shown() {
  local menu
  menu=$(xwininfo -root -children 2>/dev/null | awk '/"freeglut menu"/ {print $1; exit}')
  [[ -n "$menu" ]] && xwininfo -id "$menu" | grep -q 'Map State: IsViewable'
}
xdotool mousemove --window "$WIN" 300 300 mousedown 3 mousemove --window "$WIN" 330 330 2>/dev/null
poll 10 glut_menu_shown || fail "without a font the right button opened no GLUT menu"
xdotool mouseup 3 2>/dev/null
pass "without a font: '$(head -1 "$E2E_WORK/scene.log")', and GLUT's menu opens"
