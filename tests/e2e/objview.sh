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
# closed model (faces turned away left out), on an open one with materials,
# and on one of a closed piece (its faces turned away left out) and an open one.
cornell=$corpus/tinyobjloader/models/cornell_box.obj
{ cat "$E2E_WORK/sphere.obj"; printf 'v 1 -1 1\nv 2 -1 1\nv 2 1 -1\nf 1201 1202 1203\n'; } >"$E2E_WORK/mixed.obj"
# A quad whose left vertices are red and right ones blue.
printf 'v -1 -1 0 1 0 0\nv 1 -1 0 0 0 1\nv 1 1 0 0 0 1\nv -1 1 0 1 0 0\nf 1 2 3 4\n' >"$E2E_WORK/colours.obj"
for model_modes in "$E2E_WORK/sphere.obj smooth flat planar flat,spherical" \
  "$cornell color material flat,material planar,color" "$E2E_WORK/mixed.obj smooth flat" \
  "$E2E_WORK/colours.obj vertexcolor flat,vertexcolor"; do
  read -r model modes <<<"$model_modes"
  for mode in $modes; do
    shoot fast "$model" --mode "$mode"
    shoot library "$model" --mode "$mode" --library
    $check same "$E2E_WORK/fast.ppm" "$E2E_WORK/library.ppm" || fail "$(basename "$model") $mode"
  done
done
pass "the indexed drawing matches the library's in every filled mode"

# The records beside the triangles. Vertex colours show by default: the quad
# (93 pixels a unit) is red at its left and blue at its right.
shoot colours "$E2E_WORK/colours.obj"
$check colours "$E2E_WORK/colours.ppm" 115,150=red 285,150=blue || fail "the vertex colours"
# A line in its material's colour on a grey quad, across it; points, which
# have no material, in their vertices' colours.
printf 'newmtl green\nKd 0 1 0\n' >"$E2E_WORK/strokes.mtl"
printf 'mtllib strokes.mtl\nv -1 -1 0\nv 1 -1 0\nv 1 1 0\nv -1 1 0\nf 1 2 3 4\nusemtl green\nl 1 3\n' \
  >"$E2E_WORK/strokes.obj"
printf 'v -1 -1 0 1 0 1\nv 1 -1 0 1 0 1\nv 1 1 0 1 0 1\np 1 2 3\n' >"$E2E_WORK/points.obj"
shoot strokes "$E2E_WORK/strokes.obj"
shoot points "$E2E_WORK/points.obj"
$check count "$E2E_WORK/strokes.ppm" green 150 1000 && $check count "$E2E_WORK/points.ppm" magenta 9 60 ||
  fail "lines and points"
# Smoothing groups are the author's shading where the file gives no normals:
# a sphere whose faces all but the first are "s off" is faceted.
awk '/^f / && !done {print "s 1"; print; print "s off"; done = 1; next} {print}' \
  "$E2E_WORK/sphere.obj" >"$E2E_WORK/unsmoothed.obj"
shoot unsmoothed "$E2E_WORK/unsmoothed.obj"
$check shading "$E2E_WORK/unsmoothed.ppm" "$E2E_WORK/smooth.ppm" || fail "smoothing groups"
pass "vertex colours, lines and points, and smoothing groups as the file gives them"

# The picture is put in place by the library's rules: no fixed temporary
# name (a planted link there leads nowhere), a link is written through, a
# long name fits, a pipe on standard output gets the picture itself.
echo victim >"$E2E_WORK/victim"
ln -s "$E2E_WORK/victim" "$E2E_WORK/planted.ppm.part"
shoot planted "$E2E_WORK/sphere.obj"
[[ "$(cat "$E2E_WORK/victim")" == victim ]] || fail "the planted link's victim was overwritten"
ln -s smooth.ppm "$E2E_WORK/link.ppm"
shoot link "$E2E_WORK/sphere.obj"
[[ -L "$E2E_WORK/link.ppm" ]] && $check same "$E2E_WORK/smooth.ppm" "$E2E_WORK/link.ppm" ||
  fail "a link to the picture was not written through"
long=$(printf 'l%.0s' {1..248})
shoot "$long" "$E2E_WORK/sphere.obj"
$check same "$E2E_WORK/smooth.ppm" "$E2E_WORK/$long.ppm" || fail "a 252-byte name"
"$E2E_BIN" "$E2E_WORK/sphere.obj" --screenshot /dev/stdout --size 400x300 2>>"$E2E_WORK/scene.log" |
  cat >"$E2E_WORK/piped.ppm"
$check same "$E2E_WORK/smooth.ppm" "$E2E_WORK/piped.ppm" || fail "--screenshot /dev/stdout into a pipe"
[[ -c /dev/stdout || -L /dev/stdout ]] || fail "/dev/stdout was replaced"
# Appended to a file as the shell opened it: "objview ... /dev/stdout >> log".
echo previous >"$E2E_WORK/log"
"$E2E_BIN" "$E2E_WORK/sphere.obj" --screenshot /dev/stdout --size 400x300 2>>"$E2E_WORK/scene.log" \
  >>"$E2E_WORK/log" || fail "--screenshot /dev/stdout appending"
[[ "$(head -n 1 "$E2E_WORK/log")" == previous ]] || fail "--screenshot /dev/stdout replaced the file appended to"
tail -c +10 "$E2E_WORK/log" | cmp -s - "$E2E_WORK/smooth.ppm" || fail "--screenshot /dev/stdout appended another picture"
pass "the screenshot is written as the library writes files"

# A screenshot named .png is a PNG of the same picture.
"$E2E_BIN" "$E2E_WORK/sphere.obj" --screenshot "$E2E_WORK/shot.png" --size 400x300 2>>"$E2E_WORK/scene.log" ||
  fail "--screenshot shot.png exited with status $?"
[[ "$(head -c 8 "$E2E_WORK/shot.png" | od -An -tx1 | tr -d ' ')" == 89504e470d0a1a0a ]] &&
  convert "$E2E_WORK/shot.png" -depth 8 "ppm:$E2E_WORK/frompng.ppm" &&
  $check same "$E2E_WORK/smooth.ppm" "$E2E_WORK/frompng.ppm" || fail "--screenshot shot.png is not a PNG of the picture"
pass "a .png screenshot is a PNG of the picture"

# --bench with --screenshot does both.
shoot bench "$E2E_WORK/sphere.obj" --bench 3
grep -q '3 frames' "$E2E_WORK/scene.log" && $check same "$E2E_WORK/smooth.ppm" "$E2E_WORK/bench.ppm" ||
  fail "--bench with --screenshot"
pass "--bench with --screenshot benchmarks and writes the picture"

# A texture larger than GL takes: a warning and the picture untextured. One of
# maxval 15 draws as the same image at maxval 255.
python3 - "$E2E_WORK" <<'PY'
import sys
d = sys.argv[1]
open(d + "/tall.ppm", "wb").write(b"P6\n1 131072\n255\n" + bytes(3 * 131072))
for name, maxval, value in (("full", 255, 255), ("low", 15, 15)):
    pixels = bytes([value, value // 3, 0] * 64)
    open(f"{d}/{name}.ppm", "wb").write(b"P6\n8 8\n%d\n" % maxval + pixels)
PY
shoot tall "$E2E_WORK/sphere.obj" --mode texture --texture "$E2E_WORK/tall.ppm"
grep -q "tall.ppm is 1 x 131072 pixels, more than the" "$E2E_WORK/scene.log" &&
  $check same "$E2E_WORK/smooth.ppm" "$E2E_WORK/tall.ppm" || fail "a texture too large for GL"
shoot fullrange "$E2E_WORK/sphere.obj" --mode texture --texture "$E2E_WORK/full.ppm"
shoot lowrange "$E2E_WORK/sphere.obj" --mode texture --texture "$E2E_WORK/low.ppm"
$check same "$E2E_WORK/fullrange.ppm" "$E2E_WORK/lowrange.ppm" || fail "a texture of maxval 15 draws dark"
pass "textures: too large is a warning, a low maxval draws at full range"

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

# The window: keys reach the modes (the title shows them), p writes a PNG
# in the working directory, q quits.
(cd "$E2E_WORK" && exec "$E2E_BIN" "$E2E_WORK/sphere.obj" >>"$E2E_WORK/scene.log" 2>&1) &
SCENE_PID=$!
title() { xprop -id "$WIN" WM_NAME 2>/dev/null; }
window_of() {  # window_of FILE: sets WIN to the shown window whose title names FILE
  WIN=$(xwininfo -root -children 2>/dev/null | awk -v name="\"$1 - " 'index($0, name) {print $1; exit}')
  [[ -n "$WIN" ]] && xwininfo -id "$WIN" 2>/dev/null | grep -q 'Map State: IsViewable'
}
poll 30 window_of sphere.obj || fail "no objview window"
title | grep -q '1200 vertices, 2304 triangles - smooth, crease 90"' || fail "title $(title)"
xdotool mousemove --window "$WIN" 100 100 key o bracketright 2>/dev/null
outlined() { title | grep -q 'smooth, outline, crease 105"'; }
poll 10 outlined || fail "o and ] did not reach the modes: $(title)"
xdotool key p 2>/dev/null
poll 10 test -s "$E2E_WORK/objview-sphere-1.png" || fail "p wrote no objview-sphere-1.png"
xdotool key q 2>/dev/null
poll 10 eval '! scene_alive' || fail "q did not quit"
pass "keys change the modes shown in the title; p writes a PNG; q quits"

# Welding works from the model in memory: the file may be gone by then.
cp "$E2E_WORK/sphere.obj" "$E2E_WORK/gone.obj"
"$E2E_BIN" "$E2E_WORK/gone.obj" >>"$E2E_WORK/scene.log" 2>&1 &
SCENE_PID=$!
WIN=
poll 30 window_of gone.obj || fail "no objview window for gone.obj"
rm "$E2E_WORK/gone.obj"
xdotool mousemove --window "$WIN" 100 100 key w 2>/dev/null
welded() { title | grep -q ', welded'; }
poll 10 welded || fail "w after the file was removed: $(title)"
scene_alive || fail "w after the file was removed ended the viewer"
xdotool key w 2>/dev/null
unwelded() { title | grep -q '1200 vertices, 2304 triangles - smooth, crease 90"'; }
poll 10 unwelded || fail "w again did not bring the model back as read: $(title)"
xdotool key q 2>/dev/null
poll 10 eval '! scene_alive' || fail "q did not quit"
pass "w welds and unwelds the model in memory"

# Several files: Page Down shows the next; the file shown is read again when
# it changes, and one that no longer reads leaves the model shown.
cp "$E2E_WORK/sphere.obj" "$E2E_WORK/first.obj"
printf 'v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n' >"$E2E_WORK/second.obj"
"$E2E_BIN" "$E2E_WORK/first.obj" "$E2E_WORK/second.obj" >>"$E2E_WORK/scene.log" 2>&1 &
SCENE_PID=$!
poll 30 window_of first.obj || fail "no objview window for first.obj"
xdotool mousemove --window "$WIN" 100 100 key Next 2>/dev/null
second() { title | grep -q '"second.obj - 3 vertices, 1 triangles'; }
poll 10 second || fail "Page Down did not show second.obj: $(title)"
printf 'v 0 0 0\nv 1 0 0\nv 0 1 0\nv 1 1 0\nf 1 2 3\nf 2 4 3\n' >"$E2E_WORK/second.obj"
grown() { title | grep -q '"second.obj - 4 vertices, 2 triangles'; }
poll 10 grown || fail "the changed file was not read again: $(title)"
printf 'v 0 0 0\nf 1 2 3\n' >"$E2E_WORK/second.obj"
poll 10 grep -q 'second.obj not read; still showing' "$E2E_WORK/scene.log" || fail "no word of the broken file"
scene_alive && grown || fail "a broken file ended the viewer or replaced the model: $(title)"
xdotool key q 2>/dev/null
poll 10 eval '! scene_alive' || fail "q did not quit"
pass "Page Down steps through files; a changed file is read again, a broken one leaves the model"

# Levels of detail, on a torus just large enough for a coarse level: --bench
# draws the coarse level while turning and ends with its line; a still
# picture after a drag that comes back to the start is the one before it.
python3 - "$E2E_WORK/torus.obj" <<'PY'
import math, sys
n, f = 360, open(sys.argv[1], "w")
for i in range(n * n):
    a, b = 2 * math.pi * (i // n) / n, 2 * math.pi * (i % n) / n
    f.write(f"v {(3 + math.cos(b)) * math.cos(a):.6f} {(3 + math.cos(b)) * math.sin(a):.6f} {math.sin(b):.6f}\n")
for i in range(n * n):
    b, d = (i + n) % (n * n) + 1, i // n * n + (i + 1) % n + 1
    f.write(f"f {i + 1} {b} {(d + n - 1) % (n * n) + 1}\nf {i + 1} {(d + n - 1) % (n * n) + 1} {d}\n")
PY
"$E2E_BIN" "$E2E_WORK/torus.obj" --size 400x300 --bench 3 >"$E2E_WORK/bench" 2>>"$E2E_WORK/scene.log" ||
  fail "--bench exited with status $?"
tail -n 1 "$E2E_WORK/bench" | grep -Eq '^bench: moving [0-9.]+ fps, still [0-9.]+ fps$' ||
  fail "bench: $(cat "$E2E_WORK/bench")"
drawn() { awk -v phase="$1:" '$1 == phase {print $(NF - 3)}' "$E2E_WORK/bench"; }
(($(drawn moving) < 150000 && $(drawn still) == 259200)) || fail "levels: $(cat "$E2E_WORK/bench")"
pass "--bench turns the coarse level and ends with its line"

"$E2E_BIN" "$E2E_WORK/torus.obj" >>"$E2E_WORK/scene.log" 2>&1 &
SCENE_PID=$!
poll 60 window_of torus.obj || fail "no objview window for the torus"
xdotool mousemove --window "$WIN" 200 200 key l 2>/dev/null
still() { title | grep -q 'full detail, [0-9]* triangles while moving"'; }
poll 60 still || fail "no coarse level: $(title)"
import -depth 8 -window "$WIN" "$E2E_WORK/before.ppm"
xdotool mousedown 1 mousemove --window "$WIN" 300 200 mousemove --window "$WIN" 400 210 \
  mousemove --window "$WIN" 200 200 mouseup 1 2>/dev/null
sleep 0.5
poll 10 still || fail "not still after the drag: $(title)"
import -depth 8 -window "$WIN" "$E2E_WORK/after.ppm"
$check same "$E2E_WORK/before.ppm" "$E2E_WORK/after.ppm" || fail "the picture after the drag differs"
pass "a still picture after a drag is the one before it"

# A model's own materials and textures: two quads in one group, the usemtl
# switching between them; the left one's map is a PNG named as a Windows
# exporter writes it (red left half, blue right), the right one's a green JPEG.
mkdir -p "$E2E_WORK/textured/maps"
convert -size 32x32 xc:red xc:blue +append "$E2E_WORK/textured/maps/checker.png"
convert -size 16x16 xc:lime "$E2E_WORK/textured/photo.jpg"
cat >"$E2E_WORK/textured/quads.mtl" <<'MTL'
newmtl painted
Kd 0.1 0.1 0.9
map_Kd -s 1 1 1 maps\Checker.PNG
newmtl photo
Kd 0.9 0.9 0.1
map_Kd photo.jpg
MTL
cat >"$E2E_WORK/textured/quads.obj" <<'OBJ'
mtllib quads.mtl
v -2 -1 0
v 0 -1 0
v 0 1 0
v -2 1 0
v 2 -1 0
v 2 1 0
vt 0 0
vt 1 0
vt 1 1
vt 0 1
usemtl painted
f 1/1 2/2 3/3
f 1/1 3/3 4/4
usemtl photo
f 2/1 5/2 6/3
f 2/1 6/3 3/4
OBJ
# Fitted to x -1..1, y -0.5..0.5 at 4.75 from the eye: 118 pixels a unit.
quads=$E2E_WORK/textured/quads.obj
shoot textured "$quads" --mode texture
$check colours "$E2E_WORK/textured.ppm" 112,150=red 170,150=blue 259,150=green || fail "textures"
shoot coloured "$quads" --mode color
$check colours "$E2E_WORK/coloured.ppm" 112,150=blue 170,150=blue 259,150=yellow || fail "colours"
pass "a model's own textures and its materials per usemtl section"

rm "$E2E_WORK/textured/photo.jpg"
: >"$E2E_WORK/scene.log"
shoot untextured "$quads" --mode texture
(($(grep -c 'warning: no texture from photo.jpg' "$E2E_WORK/scene.log") == 1)) || fail "no warning for photo.jpg"
$check colours "$E2E_WORK/untextured.ppm" 112,150=red 259,150=grey || fail "a missing image"
pass "a missing image is one warning, and its material is drawn untextured"

# One image file under eight spellings is decoded once: a 2048 x 2048 PNG
# costs about 30 MB a decode and upload. Each map that cannot be shown is one
# warning with its reason: a FIFO, a short PPM.
mkdir -p "$E2E_WORK/alias/m"
convert -size 2048x2048 xc:orange "$E2E_WORK/alias/m/a.png"
mkfifo "$E2E_WORK/alias/m/fifo.png"
printf 'P6\n4 4 255\nabc' >"$E2E_WORK/alias/m/short.ppm"
aliases() {  # aliases NAME SPELLING...: a model of one quad per spelling
  local name=$1 i=0 spelling
  shift
  : >"$E2E_WORK/alias/m/$name.mtl"
  printf 'mtllib %s.mtl\nv 0 0 0\nv 1 0 0\nv 1 1 0\nvt 0 0\nvt 1 0\nvt 1 1\n' "$name" >"$E2E_WORK/alias/m/$name.obj"
  for spelling; do
    printf 'newmtl m%d\nmap_Kd %s\n' $i "$spelling" >>"$E2E_WORK/alias/m/$name.mtl"
    printf 'usemtl m%d\nf 1/1 2/2 3/3\n' $i >>"$E2E_WORK/alias/m/$name.obj"
    i=$((i + 1))
  done
}
aliases one a.png
aliases eight a.png ./a.png .//a.png A.PNG ../m/a.png 'm\..\a.png' "$E2E_WORK/alias/m/a.png" 'C:\Tex\A.png'
aliases bad fifo.png short.ppm
for name in one eight; do
  python3 -c 'import resource, subprocess, sys
subprocess.run(sys.argv[2:], check=True, stderr=open(sys.argv[1], "w"))
print(resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss)' "$E2E_WORK/alias/$name.err" "$E2E_BIN" \
    "$E2E_WORK/alias/m/$name.obj" --mode texture --screenshot "$E2E_WORK/alias/$name.ppm" --size 64x64 \
    >"$E2E_WORK/alias/$name.kb" || fail "objview $name.obj"
  ! grep -q warning "$E2E_WORK/alias/$name.err" || fail "$name.obj: $(cat "$E2E_WORK/alias/$name.err")"
done
one=$(<"$E2E_WORK/alias/one.kb") eight=$(<"$E2E_WORK/alias/eight.kb")
((eight < one + 20000)) || fail "eight spellings of one image took $eight KB, one $one KB"
"$E2E_BIN" "$E2E_WORK/alias/m/bad.obj" --mode texture --screenshot "$E2E_WORK/alias/bad.ppm" --size 64x64 \
  >"$E2E_WORK/alias/bad.err" 2>&1 || fail "objview bad.obj"
(($(wc -l <"$E2E_WORK/alias/bad.err") == 2)) &&
  grep -q '^objview: warning: no texture from fifo.png (a FIFO); material m0' "$E2E_WORK/alias/bad.err" &&
  grep -q "^objview: warning: no texture from short.ppm (.*short.ppm: PPM pixel data is short: 3 of 48 bytes)" \
    "$E2E_WORK/alias/bad.err" || fail "the warnings for bad maps: $(cat "$E2E_WORK/alias/bad.err")"
pass "an image under eight spellings is decoded once ($eight KB against $one KB); one warning a bad map"

# A real model: a crate from Sweet Home 3D's furniture (CC0), its MTL naming a JPEG.
crate=$(dirname "$E2E_SCRIPT")/../data/models/blendswap-cc-0/crate/crate.obj
shoot crate "$crate"
$check wood "$E2E_WORK/crate.ppm" 0.6 || fail "the crate's texture"
shoot grey "$crate" --mode smooth
! $check wood "$E2E_WORK/grey.ppm" 0.05 >/dev/null 2>&1 || fail "the crate is brown untextured"
pass "a real model opens in its own texture"

# A material whose map is not found draws in its colour: no checkerboard,
# by default or in texture mode.
sed -e 's/^map_Kd photo.jpg/map_Kd lost.png/' -e 's/^Kd 0.9 0.9 0.1/Kd 0.9 0.1 0.1/' \
  "$E2E_WORK/textured/quads.mtl" | sed -n '/newmtl photo/,$p' >"$E2E_WORK/textured/lost.mtl"
sed -e 's/quads.mtl/lost.mtl/' -e 's/^usemtl painted/usemtl photo/' "$quads" >"$E2E_WORK/textured/lost.obj"
shoot lost "$E2E_WORK/textured/lost.obj"
shoot lostmodes "$E2E_WORK/textured/lost.obj" --mode texture,material
for shot in lost lostmodes; do
  $check colours "$E2E_WORK/$shot.ppm" 112,150=red 259,150=red && $check spread "$E2E_WORK/$shot.ppm" 0 2 ||
    fail "a missing map ($shot)"
done
pass "a material whose map is missing draws in its colour"

# Transparency: a blue quad of d 0.5 in front of a red one, first in the file.
cat >"$E2E_WORK/panes.mtl" <<'MTL'
newmtl glass
Kd 0 0 1
d 0.5
newmtl wall
Kd 1 0 0
MTL
cat >"$E2E_WORK/panes.obj" <<'OBJ'
mtllib panes.mtl
v -1 -1 0.5
v 1 -1 0.5
v 1 1 0.5
v -1 1 0.5
v -1 -1 0
v 1 -1 0
v 1 1 0
v -1 1 0
usemtl glass
f 1 2 3 4
usemtl wall
f 5 6 7 8
OBJ
shoot panes "$E2E_WORK/panes.obj"
$check colours "$E2E_WORK/panes.ppm" 200,150=magenta || fail "the red quad does not show through"
pass "a transparent material shows what is behind it"

# Inside one part too, the farther triangle is drawn first: of two
# overlapping triangles of one glass, the front one red and first in the
# file, the back one blue, red shows over blue where they overlap.
printf 'newmtl glass\nKd 1 1 1\nd 0.6\n' >"$E2E_WORK/crossing.mtl"
cat >"$E2E_WORK/crossing.obj" <<'OBJ'
mtllib crossing.mtl
v -1 -1 0.5 1 0 0
v 0.6 -1 0.5 1 0 0
v -0.2 0.6 0.5 1 0 0
v -0.6 -0.6 0 0 0 1
v 1 -0.6 0 0 0 1
v 0.2 1 0 0 0 1
usemtl glass
f 1 2 3
f 4 5 6
OBJ
shoot crossing "$E2E_WORK/crossing.obj"
$check colours "$E2E_WORK/crossing.ppm" 200,170=red 150,220=red 255,150=blue || fail "the overlap's order"
pass "the triangles of one transparent part are drawn farthest first"

# An alpha map (map_d) without a colour map: where it is black the
# background shows through, where white the material's red (93 pixels a unit).
mkdir -p "$E2E_WORK/alpha"
convert -size 32x32 xc:black xc:white +append "$E2E_WORK/alpha/half.png"
printf 'newmtl leaf\nKd 1 0 0\nmap_d half.png\n' >"$E2E_WORK/alpha/leaf.mtl"
printf 'mtllib leaf.mtl\nv -1 -1 0\nv 1 -1 0\nv 1 1 0\nv -1 1 0\nvt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\nusemtl leaf\nf 1/1 2/2 3/3 4/4\n' \
  >"$E2E_WORK/alpha/leaf.obj"
shoot leaf "$E2E_WORK/alpha/leaf.obj"
$check colours "$E2E_WORK/leaf.ppm" 150,150=background 250,150=red || fail "the alpha map"
pass "an alpha map shows the background where it is black, the material where white"

# The file's own normals: a quad whose normals tilt across it is lit
# unevenly; with computed ones it is flat and lit evenly.
cat >"$E2E_WORK/tilted.obj" <<'OBJ'
v -1 -1 0
v 1 -1 0
v 1 1 0
v -1 1 0
vn -0.8 0 0.6
vn 0.8 0 0.6
f 1//1 2//2 3//2 4//1
OBJ
shoot tilted "$E2E_WORK/tilted.obj"
$check spread "$E2E_WORK/tilted.ppm" 40 255 || fail "the file's normals were not used"
shoot computed "$E2E_WORK/tilted.obj" --normals compute
$check spread "$E2E_WORK/computed.ppm" 0 2 || fail "--normals compute"
pass "the file's normals are drawn; --normals compute makes them anew"

# A flat model: a rug lying down opens seen from above, and --elevation 90
# shows it face-on: 2 x 1 at 4.75 from the eye, 118 pixels a unit.
python3 - "$E2E_WORK/rug.obj" <<'PY'
import sys
with open(sys.argv[1], "w") as f:
    for x, z in ((-1, -0.5), (1, -0.5), (1, 0.5), (-1, 0.5)):
        f.write(f"v {x} 0 {z}\n")
    f.write("f 4 3 2 1\n")
PY
shoot rug "$E2E_WORK/rug.obj"
$check tall "$E2E_WORK/rug.ppm" 60 || fail "the rug opens edge-on"
shoot rugbench "$E2E_WORK/rug.obj" --bench 3
$check same "$E2E_WORK/rug.ppm" "$E2E_WORK/rugbench.ppm" || fail "--bench's picture is not the opening view"
shoot rugtop "$E2E_WORK/rug.obj" --elevation 90
$check rectangle "$E2E_WORK/rugtop.ppm" 236 118 || fail "--elevation 90"
pass "a flat model opens seen from above; --elevation 90 shows it face-on"

# The grid and axes: the green y axis stands up from the rug, the blue z one
# runs out past its edge.
shoot ruggrid "$E2E_WORK/rug.obj" --mode all,grid
$check count "$E2E_WORK/rug.ppm" green 0 0 && $check count "$E2E_WORK/ruggrid.ppm" green 20 2000 &&
  $check count "$E2E_WORK/ruggrid.ppm" blue 20 2000 || fail "no axes"
pass "g's grid and axes"

# The normals as lines: the rug's stand up from its corners.
shoot rugnormals "$E2E_WORK/rug.obj" --mode normals
$check count "$E2E_WORK/rug.ppm" cyan 0 0 && $check count "$E2E_WORK/rugnormals.ppm" cyan 20 200 ||
  fail "no normals drawn"
pass "the normals drawn as lines"

# The library's notes are counted: 2,000 vertices of no triangle are one line.
{ cat "$E2E_WORK/sphere.obj"; for i in $(seq 2000); do echo "v 0 0 $((i % 7))"; done; } >"$E2E_WORK/lonely.obj"
"$E2E_BIN" "$E2E_WORK/lonely.obj" --screenshot "$E2E_WORK/lonely.ppm" --size 400x300 >"$E2E_WORK/lonely.log" 2>&1 ||
  fail "objview lonely.obj exited with status $?"
(($(wc -l <"$E2E_WORK/lonely.log") <= 3)) && grep -q '^objview: 2,000 vertices belong to no triangle$' "$E2E_WORK/lonely.log" ||
  fail "the lonely vertices: $(head -5 "$E2E_WORK/lonely.log")"
pass "vertices of no triangle are said once, counted"
