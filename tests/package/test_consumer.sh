# Installs the build into a temporary prefix, then builds and runs a program
# outside the tree against it, in C++ and in C: with find_package (shared and
# static library) and with pkg-config.
#   bash tests/package/test_consumer.sh BUILD_DIR
set -euo pipefail
build=$(realpath "${1:?usage: $0 BUILD_DIR}")
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake --install "$build" --prefix "$work/prefix" >/dev/null
model=$here/../data/corpus/assimp/test/models/OBJ/box_without_lineending.obj
expect="8 vertices 12 triangles"

check() {  # check WHAT PROGRAM
  local out
  out=$("$2" "$model") || { echo "FAIL: $1 exited $?" >&2; exit 1; }
  grep -q "^$expect" <<<"$out" || { echo "FAIL: $1 printed: $out" >&2; exit 1; }
  echo "ok: $1"
}

# The shared library exports exactly the functions glm.h declares.
declared=$(g++ -E -P -x c++ "$work/prefix/include/glmobj/glm.h" | grep -o '\bglm[A-Za-z0-9_]*\s*(' |
  tr -d ' (' | sort -u)
exported=$(nm -D --defined-only -C "$work/prefix/lib/libglmobj.so" | awk '{print $3}' |
  sed 's/(.*//' | sort -u)
[[ -n "$declared" && "$declared" == "$exported" ]] ||
  { echo "FAIL: exports differ from glm.h:" >&2; diff <(echo "$declared") <(echo "$exported") >&2; exit 1; }
echo "ok: the shared library exports glm.h's $(wc -l <<<"$declared") functions only"

cmake -S "$here" -B "$work/cmake" -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
cmake --build "$work/cmake" >/dev/null
for consumer in consumer consumer_c; do
  check "find_package, $consumer, shared library" "$work/cmake/${consumer}_shared"
  check "find_package, $consumer, static library" "$work/cmake/${consumer}_static"
  ! ldd "$work/cmake/${consumer}_static" | grep -q glmobj ||
    { echo "FAIL: the static build needs libglmobj.so" >&2; exit 1; }
done

# A C program that embeds the library: the failure comes back, the
# messages are taken (nothing printed by the library), memory and callbacks
# serve the model and its library.
printf 'v 0 0 0\nf 1 1 5\n' >"$work/bad.obj"
out=$("$work/cmake/embed" "$work/bad.obj" 2>"$work/embed.err") || { echo "FAIL: embed exited $?" >&2; exit 1; }
want="failed at line 2: glmReadOBJ() failed: \"$work/bad.obj\" line 2: vertex index 5 is out of range.
taken: glmFindMaterial():  can't find material \"blue\".
1 triangles in red and default, 1 message taken, error \"\""
want=${want/1 triangles/2 triangles}
[[ "$out" == "$want" && ! -s "$work/embed.err" ]] ||
  { echo "FAIL: embed printed:"$'\n'"$out"$'\n'"and on stderr: $(cat "$work/embed.err")" >&2; exit 1; }
echo "ok: a C program gets the failure back, takes the messages, reads from memory"

# The README's pkg-config lines, word for word: a program run through
# LD_LIBRARY_PATH, or built with the rpath flag and run as it is.
export PKG_CONFIG_PATH=$work/prefix/lib/pkgconfig
cd "$work"
cp "$here/consumer.cpp" app.cpp
cp "$here/consumer.c" app.c
g++ -std=c++20 app.cpp -o app $(pkg-config --cflags --libs glmobj)
! ./app "$model" >/dev/null 2>&1 || { echo "FAIL: found the library without being told" >&2; exit 1; }
LD_LIBRARY_PATH=$work/prefix/lib check "pkg-config, C++, LD_LIBRARY_PATH" ./app
gcc app.c -o app $(pkg-config --cflags --libs glmobj) -Wl,-rpath,$(pkg-config --variable=libdir glmobj)
check "pkg-config, C, rpath" ./app

# The installed programs say the package's version and have manual pages
# made for that version.
version=$(pkg-config --modversion glmobj)
for program in objtool objview recreation-ground; do
  said=$("$work/prefix/bin/$program" --version) || { echo "FAIL: $program --version" >&2; exit 1; }
  [[ "$said" == "$program $version" ]] || { echo "FAIL: $program --version said '$said'" >&2; exit 1; }
  grep -Eq "^\.TH \"?${program^^}\"? \"?1\"? .*$version" "$work/prefix/share/man/man1/$program.1" ||
    { echo "FAIL: no manual page for $program $version" >&2; exit 1; }
done
echo "ok: the three programs say version $version and have manual pages"

# The installed tool finds the installed shared library.
"$work/prefix/bin/objtool" info "$model" 2>/dev/null | grep -q '^triangles  *12$' ||
  { echo "FAIL: the installed objtool" >&2; exit 1; }
echo "ok: installed objtool"

# Everything lands under the prefix, and the installed scene finds its models
# there from any working directory.
[[ -f "$work/prefix/share/recreation-ground/data/boat.obj" && -x "$work/prefix/bin/recreation-ground" ]] ||
  { echo "FAIL: the scene or its data/ is not under the prefix" >&2; exit 1; }
status=0
(cd "$work" && DISPLAY= timeout 20 "$work/prefix/bin/recreation-ground" >/dev/null 2>"$work/err") || status=$?
! grep -q "no data directory\|can't open data file" "$work/err" ||
  { echo "FAIL: the installed scene: $(cat "$work/err")" >&2; exit 1; }
echo "ok: installed scene finds its data/ (then exits $status without a display)"
