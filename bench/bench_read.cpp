// Read benchmark: glmReadOBJ against fast_obj and, when available,
// tinyobjloader (triangulating) on the same files. Each round reads every
// file once with every reader, in an order that rotates from round to round,
// all in this process; the figure reported is the median over the rounds of
// each round's CPU-time ratio. Small files are read several times per round
// so a round's reading takes a measurable time. Peak resident memory is
// measured separately: one read by each reader in its own forked process.
// Run by hand:
//   bench_read [--rounds N] FILE.obj...   the given files
//   bench_read [megabytes]                a generated file (default 60)
//   bench_read --set [--repeat N] FILE.obj... DIR...
//                                         every file (and every .obj under
//                                         DIR) read N times a round, each
//                                         reader in a process of its own,
//                                         against one read per process
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "fast_obj.h"
#include "glm.h"
#include "glm_internal.h"

#ifdef HAVE_TINYOBJLOADER
#include <tiny_obj_loader.h>
#endif

namespace {

namespace fs = std::filesystem;

// Generates a v/vt/vn quad mesh with groups and usemtl lines.
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

double cpuOf(const struct rusage& usage) {
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double cpuSeconds() {
  struct rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  return cpuOf(usage);
}

struct Peer {
  const char* name;
  std::function<std::size_t(const std::string&)> read;  // returns triangles
};

std::vector<Peer> peers() {
  std::vector<Peer> list;
  // First on one thread: the peers are compared with that. Then as it
  // reads by default, on two threads for large files.
  auto glm = [](const std::string& path) -> std::size_t {
    ObjModel* m = glmReadOBJFrom(path.c_str(), nullptr, nullptr);
    if (!m) return std::size_t{0};
    std::size_t triangles = m->trianglecount;
    glmFreeModel(m);
    return triangles;
  };
  list.push_back({"glmReadOBJ", [glm](const std::string& path) {
                    glm_internal::glmSetReadChunking(SIZE_MAX, 0);
                    std::size_t triangles = glm(path);
                    glm_internal::glmSetReadChunking(glm_internal::kReadTwoThreadsFrom, 0);
                    return triangles;
                  }});
  list.push_back({"glm 2 threads", glm});
  list.push_back({"fast_obj", [](const std::string& path) -> std::size_t {
                    fastObjMesh* m = fast_obj_read(path.c_str());
                    if (!m) return 0;
                    std::size_t triangles = 0;
                    for (unsigned i = 0; i < m->face_count; i++)
                      triangles += m->face_vertices[i] >= 3 ? m->face_vertices[i] - 2 : 0;
                    fast_obj_destroy(m);
                    return triangles;
                  }});
#ifdef HAVE_TINYOBJLOADER
  list.push_back({"tinyobjloader", [](const std::string& path) -> std::size_t {
                    tinyobj::attrib_t attrib;
                    std::vector<tinyobj::shape_t> shapes;
                    std::vector<tinyobj::material_t> materials;
                    std::string warn, err;
                    std::string dir = fs::path(path).parent_path().string() + "/";
                    tinyobj::LoadObj(&attrib, &shapes, &materials, &warn, &err, path.c_str(),
                                     dir.c_str(), true);
                    std::size_t triangles = 0;
                    for (const auto& s : shapes) triangles += s.mesh.num_face_vertices.size();
                    return triangles;
                  }});
#endif
  return list;
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  std::size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// What `work` used in a child process of its own.
struct rusage inChild(const std::function<void()>& work) {
  std::fflush(stdout);
  pid_t pid = fork();
  if (pid == 0) {
    work();
    _exit(0);
  }
  int status = 0;
  struct rusage usage {};
  wait4(pid, &status, 0, &usage);
  return usage;
}

// Peak resident megabytes of one read in a child process of its own.
double peakMegabytes(const Peer& peer, const std::string& path) {
  return inChild([&] { peer.read(path); }).ru_maxrss / 1024.0;
}

// Many files in one process, as an asset pipeline or a viewer reads them:
// each reader in a process of its own (so the heap is shaped by that reader
// alone, as in a program that uses it), reading every file `repeat` times a
// round; and, for comparison, one read per fresh process.
void benchmarkSet(const std::vector<std::string>& files, int rounds, int repeat) {
  std::vector<Peer> list = peers();
  list.erase(list.begin() + 1);  // files this size read on one thread anyway
  std::vector<double> many(list.size()), fresh(list.size());
  for (std::size_t k = 0; k < list.size(); k++) {
    many[k] = cpuOf(inChild([&] {
      for (int round = 0; round < rounds; round++)
        for (const std::string& path : files)
          for (int i = 0; i < repeat; i++) list[k].read(path);
    }));
    for (const std::string& path : files) fresh[k] += cpuOf(inChild([&] { list[k].read(path); }));
  }
  std::printf("%zu files, each read %d times a round, %d rounds, each reader in a process of its own\n",
              files.size(), repeat, rounds);
  for (std::size_t k = 0; k < list.size(); k++)
    std::printf("%-14s cpu ms/round %9.2f  glmReadOBJ %.2fx its speed; one read per process: cpu ms "
                "%8.2f, glmReadOBJ %.2fx\n",
                list[k].name, 1e3 * many[k] / rounds, many[k] / many[0], 1e3 * fresh[k],
                fresh[k] / fresh[0]);
}

void benchmark(const std::vector<std::string>& files, int rounds) {
  std::vector<Peer> list = peers();
  // Peaks first, forked from a process that has read nothing yet.
  std::vector<std::vector<double>> peaks;
  for (const std::string& path : files) {
    peaks.emplace_back();
    for (const Peer& peer : list) peaks.back().push_back(peakMegabytes(peer, path));
  }
  std::size_t file = 0;
  std::printf("%-28s %8s %-14s %10s %9s %12s %13s %9s\n", "file", "MB", "reader", "triangles",
              "reads", "cpu ms/read", "wall ms/read", "peak MB");
  for (const std::string& path : files) {
    const std::vector<double>& peak = peaks[file++];
    double megabytes = fs::file_size(path) / (1024.0 * 1024.0);
    // Reads per round: enough for about 0.2 s of glmReadOBJ.
    double start = cpuSeconds();
    list[0].read(path);
    double once = std::max(cpuSeconds() - start, 1e-6);
    int reads = std::clamp(static_cast<int>(0.2 / once), 1, 1000);
    std::vector<std::vector<double>> seconds(list.size()), wall(list.size());
    std::vector<std::size_t> triangles(list.size());
    for (int round = 0; round < rounds; round++) {
      for (std::size_t k = 0; k < list.size(); k++) {
        std::size_t which = (k + round) % list.size();
        double before = cpuSeconds();
        auto wallBefore = std::chrono::steady_clock::now();
        for (int i = 0; i < reads; i++) triangles[which] = list[which].read(path);
        seconds[which].push_back((cpuSeconds() - before) / reads);
        wall[which].push_back(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - wallBefore).count() /
            reads);
      }
    }
    std::string name = fs::path(path).filename().string();
    for (std::size_t k = 0; k < list.size(); k++)
      std::printf("%-28s %8.2f %-14s %10zu %9d %12.3f %13.3f %9.1f\n", name.c_str(), megabytes,
                  list[k].name, triangles[k], reads, 1e3 * median(seconds[k]),
                  1e3 * median(wall[k]), peak[k]);
    std::vector<double> faster;
    for (int round = 0; round < rounds; round++) faster.push_back(wall[0][round] / wall[1][round]);
    std::printf(
        "%-28s on two threads glmReadOBJ is %.2fx its one-thread speed (median of %d "
        "per-round wall-time ratios)\n",
        name.c_str(), median(faster), rounds);
    for (std::size_t k = 2; k < list.size(); k++) {
      std::vector<double> ratios;
      for (int round = 0; round < rounds; round++)
        ratios.push_back(seconds[k][round] / seconds[0][round]);
      std::printf("%-28s glmReadOBJ is %.2fx %s's speed (median of %d per-round CPU-time ratios)\n",
                  name.c_str(), median(ratios), list[k].name, rounds);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  int rounds = 9;
  // Warnings would be printed once per read.
  glmSetMessageHandler([](const char*, bool, void*) {}, nullptr);
  std::vector<std::string> files;
  double megabytes = 60.0;
  bool set = false;
  int repeat = 1;
  for (int i = 1; i < argc; i++) {
    if (std::strcmp(argv[i], "--rounds") == 0 && i + 1 < argc) {
      rounds = std::max(1, std::atoi(argv[++i]));
    } else if (std::strcmp(argv[i], "--set") == 0) {
      set = true;
    } else if (std::strcmp(argv[i], "--repeat") == 0 && i + 1 < argc) {
      repeat = std::max(1, std::atoi(argv[++i]));
    } else if (fs::is_directory(argv[i])) {
      for (const auto& entry : fs::recursive_directory_iterator(argv[i]))
        if (entry.is_regular_file() && entry.path().extension() == ".obj")
          files.push_back(entry.path().string());
    } else if (fs::exists(argv[i])) {
      files.push_back(argv[i]);
    } else {
      megabytes = std::atof(argv[i]);
    }
  }
  std::string dir;
  if (files.empty()) {
    char pattern[] = "/tmp/bench-read-XXXXXX";
    if (!mkdtemp(pattern)) return 1;
    dir = pattern;
    generate(dir, megabytes);
    files.push_back(dir + "/bench.obj");
  }
  if (set) {
    std::sort(files.begin(), files.end());
    benchmarkSet(files, rounds, repeat);
  } else {
    benchmark(files, rounds);
  }
  if (!dir.empty()) fs::remove_all(dir);
  return 0;
}
