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
# Into a file: grep -q through a pipe may leave before the last buffer is
# written, and the tool would die of SIGPIPE.
"$tool" --help >"$work/help" && grep -q '^EXIT STATUS' "$work/help" || fail "--help"
echo "ok: usage errors"
