#!/usr/bin/env bash
# Builds the project and runs every test: unit tests on the recording GL
# stand-in, fuzz-corpus replays, and end-to-end tests of the real program
# under a virtual X display.
#   tools/run-tests.sh             normal build in build/
#   tools/run-tests.sh --sanitize  AddressSanitizer + UBSan build in build-asan/
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh --tests

build=build
flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DGLM_WERROR=ON)
if [[ "${1:-}" == "--sanitize" ]]; then
  build=build-asan
  flags+=(-DGLM_SANITIZE=ON)
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
fi

cmake -S . -B "$build" "${flags[@]}" >/dev/null
cmake --build "$build" -j2
ctest --test-dir "$build" --output-on-failure -j2
