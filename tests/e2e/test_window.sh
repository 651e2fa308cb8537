# The real scene opens one 1000x1000 window titled with the key legend in
# UTF-8, and draws into it.
source "$(dirname "$0")/lib.sh"

title='Tavo---행사풍선방향(q,w)---공차기(z,x)---PT체조시작/멈춤(e,r)---멀리/가까이보기(s,a)'

start_scene

geometry=$(xwininfo -id "$WIN")
width=$(awk '/^ *Width:/ {print $2}' <<<"$geometry")
height=$(awk '/^ *Height:/ {print $2}' <<<"$geometry")
[[ "$width" == 1000 && "$height" == 1000 ]] || fail "window is ${width}x${height}, not 1000x1000"
pass "window is 1000x1000"

for prop in _NET_WM_NAME WM_NAME; do
  line=$(xprop -id "$WIN" "$prop")
  [[ "$line" == "$prop(UTF8_STRING) = \"$title\"" ]] || fail "unexpected $prop: $line"
  pass "$prop is the UTF-8 title"
done

# Only the one window (plus GLUT's menu window, unmapped, where no font for
# the scene's own menu was found).
count=$(xwininfo -root -children | grep -c '^ *0x' || true)
menus=$(xwininfo -root -children | grep -c '"freeglut menu"' || true)
((count - menus == 1)) || fail "expected one scene window, found $((count - menus))"
pass "one scene window"

# It keeps drawing: the animation runs without input.
shot before
moved() { shot now; (($(differing before now) > 0)); }
poll 10 moved || fail "the picture is frozen"
pass "the picture animates"

scene_alive || fail "the scene died"
