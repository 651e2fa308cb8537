# The scene reads its nine models before its window opens, from the data/ of the working
# directory when it has one. Run from a directory whose data/ lacks one model file (each in
# turn, then two at once), it must stop with the library's open-failure
# message for the lowest missing slot and exit status 1, before any window
# opens. With every file present the same copy starts normally.
source "$(dirname "$0")/lib.sh"

PROJECT=$(pwd)
MODELS=("data/boat.obj" "data/나무1.obj" "data/나무2.obj" "data/가로등.obj" "data/버스.obj"
        "data/기둥축.obj" "data/웨곤.obj" "data/차.obj" "data/픽업트럭.obj")

for f in "${MODELS[@]}"; do
  [[ -f "$PROJECT/$f" ]] || fail "the project's $f is missing; run from the project root"
done

# run_without SLOT...: runs the scene in a fresh copy of data/ without the
# given slots' files and checks it stops on the lowest one.
run_without() {
  local dir="$E2E_WORK/run" slot lowest=9 status
  rm -rf "$dir" && mkdir -p "$dir" && cp -r "$PROJECT/data" "$dir/"
  for slot in "$@"; do
    rm "$dir/${MODELS[$slot]}"
    ((slot < lowest)) && lowest=$slot
  done
  local expected="glmReadOBJ() failed: can't open data file \"${MODELS[$lowest]}\"."
  status=0
  (cd "$dir" && timeout 20 "$E2E_BIN" >"$E2E_WORK/out.txt" 2>"$E2E_WORK/err.txt") || status=$?
  ((status != 124)) || fail "without slot(s) $*: the scene kept running (a window opened)"
  ((status == 1)) || fail "without slot(s) $*: exit status $status, want 1"
  [[ "$(cat "$E2E_WORK/err.txt")" == "$expected" ]] ||
    fail "without slot(s) $*: standard error was '$(cat "$E2E_WORK/err.txt")', want '$expected'"
  ! grep -q . "$E2E_WORK/out.txt" || fail "without slot(s) $*: unexpected output '$(cat "$E2E_WORK/out.txt")'"
  # The process is gone: it never reached the window.
  ! xwininfo -root -children 2>/dev/null | grep -q '"Tavo---' || fail "without slot(s) $*: a window is open"
  pass "without slot(s) $*: '$expected', status 1"
}

for slot in 0 1 2 3 4 5 6 7 8; do
  run_without "$slot"
done
run_without 3 7
run_without 8 2

# With no data/ in the working directory, beside the executable or in the
# installed place, the scene stops and names every place it looked in.
mkdir -p "$E2E_WORK/nowhere/bin" && cp "$E2E_BIN" "$E2E_WORK/nowhere/bin/scene"
status=0
(cd "$E2E_WORK/nowhere" && timeout 20 ./bin/scene >/dev/null 2>"$E2E_WORK/err.txt") || status=$?
((status == 1)) || fail "with no data/ anywhere: exit status $status, want 1"
grep -q "^scene: no data directory found; looked in $E2E_WORK/nowhere/data, $E2E_WORK/nowhere/bin/data, /.*/data\$" \
  "$E2E_WORK/err.txt" || fail "with no data/ anywhere: standard error was '$(cat "$E2E_WORK/err.txt")'"
pass "with no data/ anywhere: '$(cat "$E2E_WORK/err.txt")', status 1"

# From a directory without data/, the build tree's program finds the
# project's models beside itself.
cd "$E2E_WORK/nowhere"
start_scene
pass "started outside the project, the scene finds its models and opens its window"
stop_scene

# The copy itself is sound: with nothing removed the scene opens its window.
rm -rf "$E2E_WORK/run" && mkdir -p "$E2E_WORK/run" && cp -r "$PROJECT/data" "$E2E_WORK/run/"
cd "$E2E_WORK/run"
start_scene
pass "with every model present the scene opens its window from the same copy"
