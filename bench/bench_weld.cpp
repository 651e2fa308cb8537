// Welding speed: glmMergeVectors against the plain scan that compares each
// vector with every kept one, on triangle soups of a height field (every
// corner its own slightly jittered copy of a grid vertex, in mesh order, the
// usual input of a weld), and on the same soups shuffled.
//
//   bench_weld [max-vertices [max-scan-vertices]]   (defaults 1000000, 100000)
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <random>
#include <vector>

#include "glm.h"

namespace {

struct Soup {
  std::vector<float> vectors;  // 1-based: entry 0 unused
  unsigned count = 0;
  float epsilon = 0;
};

Soup heightFieldSoup(unsigned targetCount, bool shuffled) {
  const unsigned quads = std::max(1u, targetCount / 6);
  const unsigned side = static_cast<unsigned>(std::ceil(std::sqrt(static_cast<double>(quads))));
  const float spacing = 1.0f / static_cast<float>(side);
  Soup soup;
  soup.epsilon = spacing / 100;
  std::mt19937 random(12345);
  std::uniform_real_distribution<float> jitter(-soup.epsilon / 4, soup.epsilon / 4);
  auto corner = [&](unsigned i, unsigned j) {
    const float x = static_cast<float>(i) * spacing, y = static_cast<float>(j) * spacing;
    soup.vectors.push_back(x + jitter(random));
    soup.vectors.push_back(y + jitter(random));
    soup.vectors.push_back(0.2f * std::sin(6 * x) * std::cos(5 * y) + jitter(random));
  };
  soup.vectors.assign(3, 0.0f);
  unsigned made = 0;
  for (unsigned j = 0; j < side && made < quads; j++)
    for (unsigned i = 0; i < side && made < quads; i++, made++) {
      corner(i, j), corner(i + 1, j), corner(i + 1, j + 1);
      corner(i, j), corner(i + 1, j + 1), corner(i, j + 1);
    }
  soup.count = 6 * made;
  if (shuffled) {
    std::vector<unsigned> order(soup.count);
    for (unsigned i = 0; i < soup.count; i++) order[i] = i + 1;
    std::shuffle(order.begin(), order.end(), random);
    std::vector<float> mixed(3);
    for (unsigned i : order)
      mixed.insert(mixed.end(), &soup.vectors[3 * i], &soup.vectors[3 * i + 3]);
    soup.vectors.swap(mixed);
  }
  return soup;
}

// The plain scan, for comparison.
unsigned plainScan(float* vectors, unsigned count, float epsilon, float* kept) {
  unsigned keptcount = 0;
  for (unsigned i = 1; i <= count; i++) {
    float* v = &vectors[3 * i];
    unsigned index = 0;
    for (unsigned j = 1; j <= keptcount; j++)
      if (glmVectorsClose(v, &kept[3 * j], epsilon)) {
        index = j;
        break;
      }
    if (index == 0) {
      index = ++keptcount;
      std::memcpy(&kept[3 * index], v, 3 * sizeof(float));
    }
    v[0] = static_cast<float>(index);
  }
  return keptcount;
}

// Processor time of this process: the figures stay comparable on a machine
// shared with other work.
double cpuNow() {
  timespec now;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

// Best of `runs` timings of welding a fresh copy of the soup.
double timeWeld(const Soup& soup, int runs, unsigned* keptcount) {
  double best = 1e30;
  for (int run = 0; run < runs; run++) {
    std::vector<float> copy = soup.vectors;
    unsigned count = soup.count;
    const double start = cpuNow();
    float* kept = glmMergeVectors(copy.data(), &count, soup.epsilon);
    best = std::min(best, cpuNow() - start);
    std::free(kept);
    *keptcount = count;
  }
  return best;
}

double timeScan(const Soup& soup, unsigned* keptcount) {
  std::vector<float> copy = soup.vectors;
  std::vector<float> kept(copy.size());
  const double start = cpuNow();
  *keptcount = plainScan(copy.data(), soup.count, soup.epsilon, kept.data());
  return cpuNow() - start;
}

}  // namespace

int main(int argc, char** argv) {
  const unsigned maxCount =
      argc > 1 ? static_cast<unsigned>(std::strtoul(argv[1], nullptr, 10)) : 1000000u;
  const unsigned sizes[] = {10000, 30000, 100000, 300000, 1000000, 3000000, 10000000};
  const unsigned scanLimit =
      argc > 2 ? static_cast<unsigned>(std::strtoul(argv[2], nullptr, 10)) : 100000u;

  for (bool shuffled : {false, true}) {
    std::printf("%s soup\n", shuffled ? "shuffled" : "mesh-ordered");
    std::printf("%10s %10s %12s %12s %12s %9s\n", "vertices", "kept", "weld ms cpu", "ns/vertex",
                "scan ms cpu", "speedup");
    double perVertex100k = 0, perVertex1m = 0;
    for (unsigned size : sizes) {
      if (size > maxCount) break;
      const Soup soup = heightFieldSoup(size, shuffled);
      unsigned kept = 0, scanKept = 0;
      const double weld = timeWeld(soup, size <= 1000000 ? 5 : 2, &kept);
      const double perVertex = weld * 1e9 / soup.count;
      if (size == 100000) perVertex100k = perVertex;
      if (size == 1000000) perVertex1m = perVertex;
      if (size <= scanLimit) {
        const double scan = timeScan(soup, &scanKept);
        if (scanKept != kept) std::printf("MISMATCH: scan kept %u, weld kept %u\n", scanKept, kept);
        std::printf("%10u %10u %12.3f %12.1f %12.1f %8.0fx\n", soup.count, kept, weld * 1e3,
                    perVertex, scan * 1e3, scan / weld);
      } else {
        std::printf("%10u %10u %12.3f %12.1f %12s %9s\n", soup.count, kept, weld * 1e3, perVertex,
                    "-", "-");
      }
    }
    if (perVertex100k > 0 && perVertex1m > 0)
      std::printf("time per vertex at 1000000 relative to 100000: %.2f\n",
                  perVertex1m / perVertex100k);
    std::printf("\n");
  }
  return 0;
}
