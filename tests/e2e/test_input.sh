# Keys and a left drag on the real window change the view; an unbound key
# does not; Escape quits.
source "$(dirname "$0")/lib.sh"

# Escape ends the scene through exit(), where a sanitizer build checks for
# leaks: it would report what Mesa's driver and fontconfig hold until then,
# which is theirs to free, not the scene's (the library's and the scene's own
# memory is checked by the unit tests).
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
start_scene
check_animation_noise

# An unbound key changes nothing; only the animation moves meanwhile.
shot before_b
xdotool key b 2>/dev/null
sleep 0.5
shot after_b
n=$(differing before_b after_b)
((n < BIG_CHANGE)) || fail "the unbound key b changed $n pixels"
pass "unbound key b leaves the view ($n pixels changed)"

shot before_zoom
xdotool key a a a 2>/dev/null
expect_change before_zoom "keys a a a zoom in"

shot before_zoom_out
xdotool key s s s s s s 2>/dev/null
expect_change before_zoom_out "keys s zoom out"

shot before_walk
for _ in 1 2 3 4 5 6 7 8; do xdotool key Up 2>/dev/null; done
expect_change before_walk "the up arrow walks forward"

shot before_drag
xdotool mousemove --window "$WIN" 400 500 mousedown 1 2>/dev/null
for x in 420 440 460 480 500 520 540 560 580 600; do
  xdotool mousemove --window "$WIN" "$x" 520 2>/dev/null
done
xdotool mouseup 1 2>/dev/null
expect_change before_drag "a left drag turns the scene"

# After the release, moving the pointer turns nothing.
shot after_drag
xdotool mousemove --window "$WIN" 100 100 2>/dev/null
sleep 0.5
shot moved_free
n=$(differing after_drag moved_free)
((n < BIG_CHANGE)) || fail "moving without a button changed $n pixels"
pass "moving without a button leaves the view"

scene_alive || fail "the scene died"

# Escape quits, with status 0.
xdotool key Escape 2>/dev/null
poll 10 bash -c "! kill -0 $SCENE_PID 2>/dev/null" || fail "the scene still runs after Escape"
status=0
wait "$SCENE_PID" || status=$?
SCENE_PID=""
((status == 0)) || fail "Escape ended the scene with status $status"
pass "Escape quits with status 0"
