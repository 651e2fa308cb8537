# objtool end to end over the corpus: info's text and JSON against the files
# themselves, convert then info, bad input and usage errors.
#   bash tests/e2e/objtool.sh <path-to-objtool>
set -euo pipefail
tool=$(realpath "${1:?usage: $0 <path-to-objtool>}")
corpus=$(cd "$(dirname "$0")/../data/corpus" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# info, as JSON and as text, agrees with counts and bounds taken from the file.
for f in assimp/test/models/OBJ/box_longline.obj assimp/test/models/OBJ/mtl_different_folder.obj \
         tinyobjloader/models/cornell_box.obj tinyobjloader/models/issue-162-smoothing-group.obj; do
  "$tool" info "$corpus/$f" --json >"$work/info.json" 2>/dev/null || fail "info --json $f"
  "$tool" info "$corpus/$f" >"$work/info.txt" 2>/dev/null || fail "info $f"
  python3 - "$corpus/$f" "$work/info.json" "$work/info.txt" <<'PY' || fail "info of $f"
import json, os, sys
obj, info, text = sys.argv[1], json.load(open(sys.argv[2])), open(sys.argv[3]).read().split("\n")
v, triangles, newmtl = [], 0, 0
for line in open(obj, errors="replace"):
    w = line.split()
    if w and w[0] == "v": v.append([float(x) for x in w[1:4]])
    if w and w[0] == "f": triangles += len(w) - 3
    if w and w[0] == "mtllib":
        lib = os.path.join(os.path.dirname(obj), w[1])
        newmtl += sum(l.split()[:1] == ["newmtl"] for l in open(lib, errors="replace"))
c = info["counts"]
assert c["vertices"] == len(v) and c["triangles"] == triangles, c
# The library's own "default" comes first, and the text says it is counted.
assert c["materials"] == (newmtl + 1 if newmtl else 0), (c, newmtl)
assert len(info["groups"]) == c["groups"] and sum(g["triangles"] for g in info["groups"]) == triangles
assert len(info["materials"]) == c["materials"]
assert not info["materials"] or sum(m["triangles"] for m in info["materials"]) == triangles
b = info["bounds"]
for axis in range(3):
    lo, hi = min(p[axis] for p in v), max(p[axis] for p in v)
    assert abs(b["min"][axis] - lo) < 1e-4 and abs(b["max"][axis] - hi) < 1e-4, b
    assert abs(b["centre"][axis] - (lo + hi) / 2) < 1e-4
for key, value in c.items():
    said = ' ("default" included)' if key == "materials" and value else ""
    assert f"{key:<10} {value}{said}" in text, (key, text)
PY
done
echo "ok: info text and JSON agree with the files"

# convert then info: fitted to the cube, normals and planar coordinates written.
cp "$corpus/tinyobjloader/models/cornell_box."* "$work/"
"$tool" convert "$work/cornell_box.obj" "$work/out.obj" --fit --scale 0.5 --normals 30 \
  --texcoords planar --write smooth,texture 2>/dev/null || fail "convert"
"$tool" info "$work/out.obj" --json >"$work/out.json" || fail "info of the converted file"
python3 - "$work/out.json" <<'PY' || fail "the converted model"
import json, sys
info = json.load(open(sys.argv[1]))
c, b = info["counts"], info["bounds"]
assert c["triangles"] == 36 and c["normals"] > 0 and c["texcoords"] == c["vertices"] == 76, c
assert c["materials"] == 0, "materials written without being asked for"
assert abs(max(b["size"]) - 1) < 1e-5 and all(abs(x) < 1e-5 for x in b["centre"]), b
PY
echo "ok: convert --fit --scale --normals --texcoords, then info"

# Materials counted per triangle, their maps found or not; a missing library
# is a warning and the model still reads and converts.
printf 'mtllib m.mtl\nv 0 0 0\nv 1 0 0\nv 0 1 0\ng a\nusemtl red\nf 1 2 3\nusemtl blue\nf 1 2 3\nf 1 3 2\n' \
  >"$work/two.obj"
printf 'newmtl red\nmap_Kd -s 2 2 my red.png\nnewmtl blue\nmap_Kd gone.png\n' >"$work/m.mtl"
# Found as the viewer finds it: another letter case, a Windows path; never a
# FIFO, a directory or a device.
printf 'newmtl upper\nmap_Kd GOOD.PNG\nnewmtl windows\nmap_Kd C:\\Tex\\Good.png\n' >>"$work/m.mtl"
printf 'newmtl fifo\nmap_Kd fifo.png\nnewmtl dir\nmap_Kd dir.png\nnewmtl zero\nmap_Kd zero.png\n' >>"$work/m.mtl"
: >"$work/my red.png"
: >"$work/good.png"
mkfifo "$work/fifo.png"
mkdir "$work/dir.png"
ln -s /dev/zero "$work/zero.png"
"$tool" info "$work/two.obj" --json >"$work/two.json" || fail "info of two materials"
python3 - "$work/two.json" <<'PY' || fail "materials of two.obj: $(cat "$work/two.json")"
import json, sys
m = {x["name"]: x for x in json.load(open(sys.argv[1]))["materials"]}
assert [m[n]["triangles"] for n in ("default", "red", "blue")] == [0, 1, 2]
assert m["red"]["maps"] == {"map_Kd": {"file": "my red.png", "found": True}}
assert m["blue"]["maps"]["map_Kd"]["found"] is False
found = {n: m[n]["maps"]["map_Kd"]["found"] for n in ("upper", "windows", "fifo", "dir", "zero")}
assert found == {"upper": True, "windows": True, "fifo": False, "dir": False, "zero": False}, found
PY
rm "$work/m.mtl"
"$tool" convert "$work/two.obj" "$work/two-out.obj" 2>"$work/err" || fail "a missing library ended convert"
grep -q "^glmReadMTL() warning: can't open material file \"$work/m.mtl\"" "$work/err" ||
  fail "no warning for the missing library: $(cat "$work/err")"
echo "ok: materials per triangle, their maps, and a missing library"

# Objects, smoothing groups, lines, points, vertex colours and the physically
# based material parameters: the text says those the file sets, the JSON all;
# a long object list is cut in the text only. A model without them (two.obj)
# gets none of their rows.
cat >"$work/records.mtl" <<'MTL'
newmtl plain
Kd 0.5 0.5 0.5
newmtl metal
Ke 0.1 0.2 0.3
Ni 1.45
illum 2
Pr 0.25
Pm 1
map_Pr rough.png
norm normal.png
MTL
: >"$work/rough.png"
{
  printf 'mtllib records.mtl\nv 0 0 0 1 0 0\nv 1 0 0 0 0 1\nv 1 1 0 1 0 0\nv 0 0 1\n'
  printf 'usemtl metal\no floor\ns 1\nf 1 2 3\nf 1 3 2\no post\ns off\nf 1 2 4\ns 2\nf 2 3 4\nl 1 2 3\np 4 1\ns off\n'
  for i in $(seq 22); do printf 'o part%d\nf 1 2 4\n' "$i"; done
} >"$work/records.obj"
"$tool" info "$work/records.obj" >"$work/records.txt" && "$tool" info "$work/records.obj" --json >"$work/records.json" ||
  fail "info of records.obj"
"$tool" info "$work/two.obj" >"$work/plain.txt" 2>/dev/null || fail "info of two.obj"
python3 - "$work/records.txt" "$work/records.json" "$work/plain.txt" <<'PY' || fail "the records of records.obj: $(cat "$work/records.txt")"
import json, sys
text, info, plain = open(sys.argv[1]).read(), json.load(open(sys.argv[2])), open(sys.argv[3]).read()
rows = ["objects    24", "smoothing  2 groups, 3 of 26 triangles smoothed", "lines      2 segments",
        "points     2", "colours    per vertex", "  floor                       2 triangles",
        "  part18                      1 triangles", "  ... and 4 more objects (--json lists them all)",
        "  s 1                         2 triangles", "  s 2                         1 triangles",
        "    Ke       0.1 0.2 0.3", "    Ni       1.45", "    illum    2", "    Pr       0.25", "    Pm       1",
        "    map_Pr   rough.png (found)", "    norm     normal.png (missing)"]
lines = text.split("\n")
assert all(row in lines for row in rows), [row for row in rows if row not in lines]
assert "  part19                      1 triangles" not in lines and "    Tf" not in text and "    Pc" not in text
assert not any(l.split()[:1] in (["objects"], ["smoothing"], ["lines"], ["points"], ["colours"]) for l in plain.split("\n"))
assert [o["name"] for o in info["objects"][:3]] == ["floor", "post", "part1"] and len(info["objects"]) == 24
assert info["objects"][1] == {"name": "post", "first": 2, "triangles": 2}
assert info["smoothing"] == {"groups": [{"group": 1, "triangles": 2}, {"group": 2, "triangles": 1}],
                             "smoothed": 3, "unsmoothed": 23}
assert (info["lines"], info["points"], info["vertexcolors"]) == (2, 2, True)
m = {x["name"]: x for x in info["materials"]}
assert (m["metal"]["Ke"], m["metal"]["Ni"], m["metal"]["illum"], m["metal"]["Pm"]) == ([0.1, 0.2, 0.3], 1.45, 2, 1)
assert (m["plain"]["illum"], m["plain"]["Tf"], m["plain"]["Ni"], m["plain"]["aniso"]) == (None, [1, 1, 1], 1, 0)
assert m["metal"]["maps"]["map_Pr"] == {"file": "rough.png", "found": True}
PY
echo "ok: objects, smoothing groups, lines, points, colours and material parameters"

# Bad input: the library's message, status 1, the output left as it was.
echo keep >"$work/kept.obj"
status=0
"$tool" convert "$corpus/tinyobjloader/models/issue-140-zero-face-idx.obj" "$work/kept.obj" 2>"$work/err" || status=$?
((status == 1)) || fail "bad input gave status $status"
grep -q '^glmReadOBJ() failed' "$work/err" || fail "no library message: $(cat "$work/err")"
[[ "$(cat "$work/kept.obj")" == keep ]] || fail "the output file was changed"
status=0
"$tool" convert "$work/out.obj" "$work/missing/out.obj" 2>/dev/null || status=$?
((status == 1)) && [[ ! -e "$work/missing" ]] || fail "an unwritable output gave status $status"
echo "ok: bad input and unwritable output"

# Usage errors: status 2, one line on standard error, nothing on standard output.
usage_error() {
  local status=0
  "$tool" "$@" >"$work/out" 2>"$work/err" || status=$?
  ((status == 2)) && [[ ! -s "$work/out" ]] && (($(wc -l <"$work/err") == 1)) ||
    fail "objtool $* gave status $status: $(cat "$work/err")"
}
usage_error
usage_error frob
usage_error info
usage_error info a.obj --xml
usage_error convert a.obj
usage_error convert a.obj b.obj --normals 200
usage_error convert a.obj b.obj --write smooth,shiny
usage_error convert a.obj b.obj --texcoords cubic
# Whole, not through a pipe that grep -q closes early (pipefail would see SIGPIPE).
"$tool" --help >"$work/help" && grep -q '^EXIT STATUS' "$work/help" || fail "--help"
echo "ok: usage errors"

# Names that are not UTF-8 (overlong forms, a surrogate, above U+10FFFF, a
# stray byte) among well-formed ones: the JSON is valid and its escapes give
# back the exact bytes.
name=$'a\xc0\xafb\xe0\x80\xaf\xed\xa0\x80\xf4\x90\x80\x80\x80\xc3\xa9\xc3\xbf\xf0\x9f\x98\x80"\\\x01z'
printf 'v 0 0 0\nv 1 0 0\nv 0 1 0\ng %s\nf 1 2 3\n' "$name" >"$work/names.obj"
"$tool" info "$work/names.obj" --json >"$work/names.json" || fail "info --json of odd names"
python3 - "$work/names.json" "$work/names.obj" <<'PY' || fail "odd names in JSON"
import json, re, sys
raw = open(sys.argv[1], "rb").read().decode("utf-8")  # raises on bytes that are not UTF-8
json.loads(raw)
literal = re.search(r'"name": "((?:[^"\\]|\\.)*)", "triangles": 1', raw).group(1)
got, i = bytearray(), 0
while i < len(literal):
    if literal.startswith("\\u", i):
        cp = int(literal[i + 2:i + 6], 16)
        got += bytes([cp]) if cp >= 0x80 else chr(cp).encode()
        i += 6
    elif literal[i] == "\\":
        got += literal[i + 1].encode()
        i += 2
    else:
        got += literal[i].encode()
        i += 1
want = [l for l in open(sys.argv[2], "rb").read().split(b"\n") if l.startswith(b"g ")][0][1:]
assert bytes(got) == want, (bytes(got), want)
PY
echo "ok: names that are not UTF-8 come out as valid, reversible JSON"

# Standard output: a model converted to /dev/stdout reaches it (a file or a
# pipe); --help and --version report a failed write; convert needs no
# standard output of its own.
"$tool" convert "$work/cornell_box.obj" /dev/stdout >"$work/stdout.obj" 2>/dev/null ||
  fail "convert to /dev/stdout"
"$tool" info "$work/stdout.obj" | grep -q '^triangles  36$' || fail "the model sent to /dev/stdout"
echo "# kept" >"$work/appended.obj"
"$tool" convert "$work/cornell_box.obj" /dev/stdout >>"$work/appended.obj" 2>/dev/null &&
  [[ "$(head -1 "$work/appended.obj")" == "# kept" ]] && cmp -s <(tail -n +2 "$work/appended.obj") "$work/stdout.obj" ||
  fail "convert to /dev/stdout appended with >>"
(($("$tool" convert "$work/cornell_box.obj" /dev/stdout 2>/dev/null | wc -c) > 1000)) ||
  fail "convert to /dev/stdout as a pipe"
for option in --help --version; do
  status=0
  "$tool" $option >/dev/full 2>/dev/null || status=$?
  ((status == 1)) || fail "$option into a full device gave status $status"
done
rm -f "$work/closed.obj"
"$tool" convert "$work/cornell_box.obj" "$work/closed.obj" >&- 2>/dev/null ||
  fail "convert with standard output closed"
[[ -s "$work/closed.obj" ]] || fail "convert with standard output closed wrote nothing"
echo "ok: standard output"

# The model is never written over its own material library.
cp "$work/cornell_box.mtl" "$work/library.before"
status=0
"$tool" convert "$work/cornell_box.obj" "$work/cornell_box.mtl" 2>"$work/err" || status=$?
((status == 1)) && cmp -s "$work/cornell_box.mtl" "$work/library.before" ||
  fail "convert over the model's own library gave status $status: $(cat "$work/err")"
echo "ok: the own library is refused"

# Past a file size limit: the library's message and status 1, not the signal;
# the old file whole and no temporary left behind.
mkdir "$work/limited" && echo keep >"$work/limited/out.obj"
status=0
(ulimit -f 1 && "$tool" convert "$work/cornell_box.obj" "$work/limited/out.obj" --write none) \
  2>"$work/err" || status=$?
((status == 1)) && grep -q "can't write file" "$work/err" && [[ "$(cat "$work/limited/out.obj")" == keep ]] &&
  [[ "$(ls -A "$work/limited")" == out.obj ]] || fail "a file size limit gave status $status: $(cat "$work/err")"
echo "ok: a file size limit leaves the old file"
