# objview end to end under Xvfb: --screenshot pictures of a known cube and
# sphere, the modes, the help overlay, bad input.
#   bash tests/e2e/objview.sh <path-to-objview>
source "$(dirname "$0")/lib.sh"
poll 10 xdpyinfo >/dev/null 2>&1 || exit $E2E_NO_DISPLAY
check="python3 $(dirname "$E2E_SCRIPT")/objview_check.py"
corpus=$(dirname "$E2E_SCRIPT")/../data/corpus
cube=$corpus/assimp/test/models/OBJ/box_without_lineending.obj
# In a sanitizer build: the GL driver keeps its buffers to the end of the
# process, which LeakSanitizer would report as objview's.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"

# A unit sphere of 48 x 24 facets.
python3 - "$E2E_WORK/sphere.obj" <<'PY'
import math, sys
n, m = 48, 24
with open(sys.argv[1], "w") as f:
    for i in range(m + 1):
        t = math.pi * i / m
        for j in range(n):
            p = 2 * math.pi * j / n
            f.write(f"v {math.sin(t) * math.cos(p):.6f} {math.cos(t):.6f} {math.sin(t) * math.sin(p):.6f}\n")
    for i in range(m):
        for j in range(n):
            a, b = i * n + j + 1, i * n + (j + 1) % n + 1
            f.write(f"f {a} {a + n} {b + n}\nf {a} {b + n} {b}\n")
PY

shoot() {  # shoot NAME MODEL [OPTIONS...]: a 400x300 screenshot as $E2E_WORK/NAME.ppm
  local name=$1 model=$2
  shift 2
  "$E2E_BIN" "$model" --screenshot "$E2E_WORK/$name.ppm" --size 400x300 "$@" >>"$E2E_WORK/scene.log" 2>&1 ||
    fail "objview $model $* exited with status $?"
}

# Fitted to -1..1 and seen from 1.1 bounding radii / sin 15 degrees away in a
# 30-degree view: the sphere spans tan(asin(sin 15 / 1.1)) / tan 15 = 0.904 of
# the height (271 of 300 pixels), the cube's front face, 6.36 away, 1 / (6.36
# tan 15) = 0.587 of it (176 pixels). A square fills its box, a disc pi / 4.
shoot cube "$cube"
$check silhouette "$E2E_WORK/cube.ppm" 176 1 || fail "cube"
shoot smooth "$E2E_WORK/sphere.obj"
$check silhouette "$E2E_WORK/smooth.ppm" 271 0.785 || fail "sphere"
pass "the cube and the sphere have their silhouettes"

shoot flat "$E2E_WORK/sphere.obj" --mode flat
$check shading "$E2E_WORK/flat.ppm" "$E2E_WORK/smooth.ppm" || fail "shading"
pass "flat and smooth shading differ as they should"

shoot outline "$E2E_WORK/sphere.obj" --mode outline
$check outline "$E2E_WORK/smooth.ppm" "$E2E_WORK/outline.ppm" || fail "outline"
pass "outline is lines"

shoot help "$E2E_WORK/sphere.obj" --mode help
$check overlay "$E2E_WORK/smooth.ppm" "$E2E_WORK/help.ppm" || fail "help"
pass "the help overlay appears"

# An unreadable texture: a warning, and the picture drawn untextured.
echo "not an image" >"$E2E_WORK/bad.ppm"
shoot badtexture "$E2E_WORK/sphere.obj" --mode texture --texture "$E2E_WORK/bad.ppm"
grep -q 'objview: warning: no texture' "$E2E_WORK/scene.log" || fail "no warning for the texture"
$check same "$E2E_WORK/smooth.ppm" "$E2E_WORK/badtexture.ppm" || fail "bad texture"
shoot texture "$E2E_WORK/sphere.obj" --mode texture
! $check same "$E2E_WORK/smooth.ppm" "$E2E_WORK/texture.ppm" 2>/dev/null || fail "the texture changes nothing"
pass "an unreadable texture is a warning"

# The indexed drawing gives the library's picture in every filled mode, on a
# closed model (faces turned away left out) and on an open one with materials.
cornell=$corpus/tinyobjloader/models/cornell_box.obj
for model_modes in "$E2E_WORK/sphere.obj smooth flat planar flat,spherical" \
  "$cornell color material flat,material planar,color"; do
  read -r model modes <<<"$model_modes"
  for mode in $modes; do
    shoot fast "$model" --mode "$mode"
    shoot library "$model" --mode "$mode" --library
    $check same "$E2E_WORK/fast.ppm" "$E2E_WORK/library.ppm" || fail "$(basename "$model") $mode"
  done
done
pass "the indexed drawing matches the library's in every filled mode"

# Bad input: the library's message, status 1, no picture; a usage error: 2.
status=0
DISPLAY= "$E2E_BIN" "$corpus/tinyobjloader/models/issue-140-zero-face-idx.obj" \
  --screenshot "$E2E_WORK/none.ppm" >"$E2E_WORK/err" 2>&1 || status=$?
((status == 1)) && grep -q '^glmReadOBJ() failed' "$E2E_WORK/err" && [[ ! -e "$E2E_WORK/none.ppm" ]] ||
  fail "bad input gave status $status: $(cat "$E2E_WORK/err")"
status=0
"$E2E_BIN" "$cube" --angle 200 2>/dev/null || status=$?
((status == 2)) || fail "a usage error gave status $status"
pass "bad input and usage errors"

# The window: keys reach the modes (the title shows them), q quits.
"$E2E_BIN" "$E2E_WORK/sphere.obj" >>"$E2E_WORK/scene.log" 2>&1 &
SCENE_PID=$!
title() { xprop -id "$WIN" WM_NAME 2>/dev/null; }
viewer_window() {
  WIN=$(xwininfo -root -children 2>/dev/null | awk '/"sphere.obj - / {print $1; exit}')
  [[ -n "$WIN" ]] && xwininfo -id "$WIN" 2>/dev/null | grep -q 'Map State: IsViewable'
}
poll 30 viewer_window || fail "no objview window"
title | grep -q '1200 vertices, 2304 triangles - smooth, crease 90"' || fail "title $(title)"
xdotool mousemove --window "$WIN" 100 100 key o bracketright 2>/dev/null
outlined() { title | grep -q 'smooth, outline, crease 105"'; }
poll 10 outlined || fail "o and ] did not reach the modes: $(title)"
xdotool key q 2>/dev/null
poll 10 eval '! scene_alive' || fail "q did not quit"
pass "keys change the modes shown in the title; q quits"
