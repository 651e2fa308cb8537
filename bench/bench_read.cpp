// Read benchmark: generates a large OBJ (v, vt, vn, four-corner v/t/n faces,
// groups, an MTL with usemtl lines) in a temp directory and reads it with
// glmReadOBJ and, when available, with tinyobjloader (triangulating). Each
// reader runs in its own forked process, so its peak resident memory is its
// own. Run by hand:
//   bench_read [megabytes]      (default 60)
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "glm.h"

#ifdef HAVE_TINYOBJLOADER
#include <tiny_obj_loader.h>
#endif

namespace {

namespace fs = std::filesystem;

void generate(const std::string& dir, double megabytes) {
  FILE* mtl = std::fopen((dir + "/bench.mtl").c_str(), "w");
  const char* names[] = {"red", "green", "blue", "wood", "steel", "glass"};
  for (int i = 0; i < 6; i++)
    std::fprintf(mtl, "newmtl %s\nKa 0.1 0.1 0.1\nKd 0.%d 0.5 0.5\nKs 0 0 0\nNs 96\n\n", names[i],
                 i + 2);
  std::fclose(mtl);

  FILE* obj = std::fopen((dir + "/bench.obj").c_str(), "w");
  std::fprintf(obj, "# generated\nmtllib bench.mtl\n");
  const int grid = 100;  // vertices per patch side
  long target = static_cast<long>(megabytes * 1024 * 1024);
  unsigned base = 0;
  for (int patch = 0; std::ftell(obj) < target; patch++) {
    for (int y = 0; y < grid; y++)
      for (int x = 0; x < grid; x++) {
        float fx = x * 0.0137f + patch, fy = y * 0.0241f, fz = (x * y % 97) * 0.00313f;
        std::fprintf(obj, "v %.6f %.6f %.6f\n", fx, fy, fz);
        std::fprintf(obj, "vt %.6f %.6f\n", x / float(grid), y / float(grid));
        std::fprintf(obj, "vn %.6f %.6f %.6f\n", 0.267261f, 0.534522f, 0.801784f);
      }
    std::fprintf(obj, "g patch%d\nusemtl %s\n", patch % 40, names[patch % 6]);
    for (int y = 0; y + 1 < grid; y++) {
      if (y == grid / 2) std::fprintf(obj, "usemtl %s\n", names[(patch + 1) % 6]);
      for (int x = 0; x + 1 < grid; x++) {
        unsigned a = base + y * grid + x + 1, b = a + 1, c = a + grid + 1, d = a + grid;
        std::fprintf(obj, "f %u/%u/%u %u/%u/%u %u/%u/%u %u/%u/%u\n", a, a, a, b, b, b, c, c, c, d,
                     d, d);
      }
    }
    base += grid * grid;
  }
  std::fclose(obj);
}

double cpuSeconds() {
  struct rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double systemSeconds() {
  struct rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_stime.tv_sec + usage.ru_stime.tv_usec / 1e6;
}

double peakMegabytes() {
  struct rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024.0;  // kilobytes on Linux
}

double modelArrayMegabytes(const ObjModel* m) {
  double bytes = (m->vertexcount + 1.0) * 12 + (m->normalcount + 1.0) * 12 +
                 (m->texcoordcount + 1.0) * 8 + m->trianglecount * double(sizeof(ObjTriangle)) +
                 m->materialcount * double(sizeof(ObjMaterial));
  for (const ObjGroup* g = m->groups; g; g = g->next) bytes += g->trianglecount * 4.0;
  return bytes / (1024 * 1024);
}

// Runs `body` in a child process and relays its one line of output.
template <typename Body>
void inChild(Body body) {
  std::fflush(stdout);
  pid_t pid = fork();
  if (pid == 0) {
    body();
    std::fflush(stdout);
    _exit(0);
  }
  int status = 0;
  waitpid(pid, &status, 0);
}

}  // namespace

int main(int argc, char** argv) {
  double megabytes = argc > 1 ? std::atof(argv[1]) : 60.0;
  char pattern[] = "/tmp/bench-read-XXXXXX";
  if (!mkdtemp(pattern)) return 1;
  std::string dir = pattern, path = dir + "/bench.obj";
  generate(dir, megabytes);
  double fileMb = fs::file_size(path) / (1024.0 * 1024.0);
  std::printf("file: %s, %.1f MB\n", path.c_str(), fileMb);
  double baseline = peakMegabytes();
  std::printf("process baseline before reading: %.1f MB resident\n", baseline);

  // Warm the page cache so both readers see the same conditions.
  {
    FILE* f = std::fopen(path.c_str(), "rb");
    static char chunk[1 << 16];
    while (std::fread(chunk, 1, sizeof chunk, f) > 0) {
    }
    std::fclose(f);
  }

  // Each child's CPU seconds, for the ratio the parent prints.
  auto* cpuTimes = static_cast<double*>(
      mmap(nullptr, 2 * sizeof(double), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0));
  if (cpuTimes == MAP_FAILED) return 1;
  cpuTimes[0] = cpuTimes[1] = 0.0;

  inChild([&] {
    auto start = std::chrono::steady_clock::now();
    double cpuStart = cpuSeconds(), systemStart = systemSeconds();
    ObjModel* m = glmReadOBJ(path.c_str());
    double cpu = cpuSeconds() - cpuStart, system = systemSeconds() - systemStart;
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    double arrays = modelArrayMegabytes(m);
    double peak = peakMegabytes();
    std::printf(
        "glmReadOBJ:     wall %.3f s (%6.1f MB/s), cpu %.3f s (%6.1f MB/s; system %.3f s), "
        "%u triangles, %u groups; peak RSS %.1f MB (file %.1f + arrays %.1f = %.1f; over by "
        "%.1f%%)\n",
        seconds, fileMb / seconds, cpu, fileMb / cpu, system, m->trianglecount, m->groupcount,
        peak, fileMb, arrays, fileMb + arrays, 100.0 * (peak - fileMb - arrays) / (fileMb + arrays));
    cpuTimes[0] = cpu;
    glmFreeModel(m);
  });

#ifdef HAVE_TINYOBJLOADER
  inChild([&] {
    tinyobj::attrib_t attrib;
    std::vector<tinyobj::shape_t> shapes;
    std::vector<tinyobj::material_t> materials;
    std::string warn, err;
    auto start = std::chrono::steady_clock::now();
    double cpuStart = cpuSeconds();
    bool ok = tinyobj::LoadObj(&attrib, &shapes, &materials, &warn, &err, path.c_str(),
                               (dir + "/").c_str(), true);
    double cpu = cpuSeconds() - cpuStart;
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    cpuTimes[1] = cpu;
    size_t triangles = 0;
    for (const auto& s : shapes) triangles += s.mesh.num_face_vertices.size();
    std::printf(
        "tinyobjloader:  wall %.3f s (%6.1f MB/s), cpu %.3f s (%6.1f MB/s), %zu triangles, "
        "%zu shapes%s; peak RSS %.1f MB\n",
        seconds, fileMb / seconds, cpu, fileMb / cpu, triangles, shapes.size(),
        ok ? "" : " (failed)", peakMegabytes());
  });
#else
  std::printf("tinyobjloader: not available\n");
#endif

  if (cpuTimes[0] > 0 && cpuTimes[1] > 0)
    std::printf("glmReadOBJ reads %.2f times as fast as tinyobjloader in CPU time\n",
                cpuTimes[1] / cpuTimes[0]);
  fs::remove_all(dir);
  return 0;
}
