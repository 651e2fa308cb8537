#!/usr/bin/env bash
# Measures the scene's idle-tick rate: how many animation ticks (one buffer
# swap each) the real program makes per second at 1000x1000 under Xvfb with
# Mesa's software rasteriser llvmpipe. The program is not changed: a small
# preloaded library, built here, counts its glXSwapBuffers calls.
#   bench/scene_fps.sh [path-to-scene-binary] [seconds to measure]
# Run from anywhere; the scene runs in the project root, where it finds data/.
set -euo pipefail
cd "$(dirname "$0")/.."
binary=$(realpath "${1:-build/scene/scene}")
seconds=${2:-10}
warmup=2

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cat >"$work/swapcount.c" <<'EOF'
// Counts glXSwapBuffers calls: after a warm-up it times a fixed number of
// seconds of swaps and writes the rate to a file, once.
#define _GNU_SOURCE
#include <GL/gl.h>
#include <GL/glx.h>
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

static double clockSeconds(clockid_t clock) {
  struct timespec ts;
  clock_gettime(clock, &ts);
  return ts.tv_sec + ts.tv_nsec * 1e-9;
}
static double now(void) { return clockSeconds(CLOCK_MONOTONIC); }

void glXSwapBuffers(Display* display, GLXDrawable drawable) {
  static void (*real)(Display*, GLXDrawable);
  static double first = -1, begin = -1, cpuBegin;
  static long swaps;
  static int reported;
  if (!real) real = (void (*)(Display*, GLXDrawable))dlsym(RTLD_NEXT, "glXSwapBuffers");
  real(display, drawable);
  if (reported) return;
  double t = now();
  if (first < 0) first = t;
  if (begin < 0) {
    if (t - first < atof(getenv("SWAPCOUNT_WARMUP"))) return;
    begin = t;
    cpuBegin = clockSeconds(CLOCK_PROCESS_CPUTIME_ID);
    swaps = 0;
    return;
  }
  swaps++;
  if (t - begin < atof(getenv("SWAPCOUNT_SECONDS"))) return;
  // CPU time of the whole process, llvmpipe's threads included; it says
  // how much the rate suffered from other work on the machine.
  double cpu = clockSeconds(CLOCK_PROCESS_CPUTIME_ID) - cpuBegin;
  FILE* out = fopen(getenv("SWAPCOUNT_OUT"), "w");
  if (!out) return;
  fprintf(out, "%ld swaps in %.3f s: %.1f ticks per second; %.3f s of CPU, %.1f ms per tick\n",
          swaps, t - begin, swaps / (t - begin), cpu, 1000 * cpu / swaps);
  fprintf(out, "renderer: %s\n", (const char*)glGetString(GL_RENDERER));
  fclose(out);
  reported = 1;
}
EOF
cc -shared -fPIC -O2 -Wall -o "$work/swapcount.so" "$work/swapcount.c" -ldl

result="$work/result"
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  env LD_PRELOAD="$1" GALLIUM_DRIVER=llvmpipe SWAPCOUNT_WARMUP="$2" SWAPCOUNT_SECONDS="$3" \
      SWAPCOUNT_OUT="$4" "$5" & pid=$!
  limit=$((SECONDS + $2 + $3 + 60))
  while [[ ! -s "$4" ]]; do
    kill -0 $pid 2>/dev/null || { echo "the scene exited early" >&2; exit 1; }
    ((SECONDS < limit)) || { echo "no result in time" >&2; kill $pid; exit 1; }
    sleep 0.2
  done
  kill $pid
  wait $pid 2>/dev/null || true
' _ "$work/swapcount.so" "$warmup" "$seconds" "$result" "$binary"
echo "scene idle ticks at 1000x1000, Xvfb + Mesa llvmpipe, $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg):"
cat "$result"
