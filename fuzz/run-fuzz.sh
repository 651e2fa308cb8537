#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and UBSan on) and
# runs each for a number of executions, one target at a time.
#
#   fuzz/run-fuzz.sh [-n RUNS] [-t SECONDS] [-b BUILD_DIR] [TARGET...]
#
#   -n RUNS       executions per target (default 1000000)
#   -t SECONDS    stop each target after this long instead (CI's short
#                 regression run: -t 60)
#   -b BUILD_DIR  where objects, binaries, the growing corpus and crash files
#                 go (default build-fuzz/ in the repository, which git ignores)
#   TARGET        fuzz_obj, fuzz_mtl, fuzz_ppm, fuzz_calls (default: all four)
#
# Each run starts from the seed corpus fuzz/corpus/TARGET and adds the inputs
# it finds to BUILD_DIR/corpus/TARGET, which later runs reuse; the seed corpus
# in the repository is never written. A crash leaves its input in
# BUILD_DIR/artifacts/ and makes the script fail; replay it with
# BUILD_DIR/TARGET FILE or with the plain TARGET_replay program.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
runs=1000000
limit=()
build="$root/build-fuzz"
while getopts "n:t:b:" opt; do
  case "$opt" in
    n) runs="$OPTARG" ;;
    t) runs=-1; limit=(-max_total_time="$OPTARG") ;;
    b) build="$OPTARG" ;;
    *) echo "usage: $0 [-n RUNS] [-t SECONDS] [-b BUILD_DIR] [TARGET...]" >&2; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
targets=("$@")
[[ ${#targets[@]} -gt 0 ]] || targets=(fuzz_obj fuzz_mtl fuzz_ppm fuzz_calls)
# fuzz_calls writes and syncs files on every input: keep its scratch files in
# memory where the system offers it.
if [[ -z "${TMPDIR:-}" && -d /dev/shm && -w /dev/shm ]]; then export TMPDIR=/dev/shm; fi

cxx="${CXX_FUZZ:-clang++}"
flags=(-std=c++20 -g -O1 -fno-omit-frame-pointer -fsanitize=address,undefined
       -fno-sanitize-recover=all -I"$root/glm" -I"$root/fuzz" -I"$root/tests/support")
mkdir -p "$build/obj" "$build/artifacts"

# The library, instrumented for coverage but without libFuzzer's main.
objects=()
for src in "$root"/glm/*.cpp; do
  obj="$build/obj/$(basename "${src%.cpp}").o"
  if [[ ! -f "$obj" || "$src" -nt "$obj" || "$root/glm/glm.h" -nt "$obj" ||
        "$root/glm/glm_internal.h" -nt "$obj" ]]; then
    "$cxx" "${flags[@]}" -fsanitize=fuzzer-no-link -c "$src" -o "$obj"
  fi
  objects+=("$obj")
done
# An archive, so each target links only the sources it uses; the recording GL
# stand-in that fuzz_calls draws on is not itself fuzzed.
rm -f "$build/libglm.a"
ar rcs "$build/libglm.a" "${objects[@]}"
glfake="$root/tests/support/glfake.cpp"
if [[ ! -f "$build/obj/glfake.o" || "$glfake" -nt "$build/obj/glfake.o" ]]; then
  "$cxx" "${flags[@]}" -c "$glfake" -o "$build/obj/glfake.o"
fi

for target in "${targets[@]}"; do
  "$cxx" "${flags[@]}" -fsanitize=fuzzer "$root/fuzz/$target.cpp" "$build/libglm.a" \
    "$build/obj/glfake.o" -o "$build/$target"
done

for target in "${targets[@]}"; do
  corpus="$build/corpus/$target"
  mkdir -p "$corpus"
  dict=()
  [[ -f "$root/fuzz/$target.dict" ]] && dict=(-dict="$root/fuzz/$target.dict")
  echo "== $target: ${limit[*]:-$runs executions}" >&2
  # -close_fd_mask=3 silences the library's messages; libFuzzer keeps its own
  # output. Inputs up to 4 KiB (long lines and words fit); any single input taking 10 s is a hang.
  ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1 \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    "$build/$target" -runs="$runs" "${limit[@]}" -max_len=4096 -timeout=10 -rss_limit_mb=2048 \
      -close_fd_mask=3 -print_final_stats=1 -artifact_prefix="$build/artifacts/$target-" \
      "${dict[@]}" "$corpus" "$root/fuzz/corpus/$target"
done
