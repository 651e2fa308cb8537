#include "lod.h"

#include <meshoptimizer.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

namespace objview {

namespace {

constexpr unsigned kNone = ~0u;

// One part's indices renumbered from 0 in order of first use, so that
// meshoptimizer's per-vertex tables are the part's size and not the mesh's.
class LocalPart {
 public:
  explicit LocalPart(const Mesh& mesh) : mesh_(mesh), local_(mesh.cornerCount(), kNone) {}
  ~LocalPart() { clear(); }

  void take(const Mesh::Part& part) {
    clear();
    for (unsigned i = part.first; i < part.first + part.count; i++) {
      const unsigned c = mesh_.indices[i];
      if (local_[c] == kNone) {
        local_[c] = static_cast<unsigned>(global.size());
        global.push_back(c);
      }
      indices.push_back(local_[c]);
    }
  }
  // The positions of the part's corners, three floats each.
  std::vector<float> positions() const {
    std::vector<float> p;
    p.reserve(3 * global.size());
    for (unsigned c : global) {
      const float* corner = &mesh_.corners[Mesh::kStride * c];
      p.insert(p.end(), corner, corner + 3);
    }
    return p;
  }

  std::vector<unsigned> indices, global;

 private:
  void clear() {
    for (unsigned c : global) local_[c] = kNone;
    global.clear();
    indices.clear();
  }
  const Mesh& mesh_;
  std::vector<unsigned> local_;
};

// Whether most of a part's triangles share a corner with the one before, as
// exporters and scanners mostly write them. Mesa's llvmpipe draws such an
// order about 10 % faster than the cache-optimised one, and one with no
// such order (a shuffled file) 2.5 times slower.
bool coherent(const unsigned* indices, std::size_t count) {
  std::size_t sharing = 0;
  for (std::size_t i = 3; i < count; i += 3)
    for (int k = 0; k < 3; k++)
      if (std::find(indices + i - 3, indices + i, indices[i + k]) != indices + i) {
        sharing++;
        break;
      }
  return 2 * sharing >= count / 3;
}

double now() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

std::vector<unsigned> cacheOrder(const Mesh& mesh) {
  std::vector<unsigned> all(mesh.indices), ordered;
  LocalPart local(mesh);
  for (const Mesh::Part& part : mesh.parts) {
    if (coherent(&mesh.indices[part.first], part.count)) continue;
    local.take(part);
    ordered.resize(local.indices.size());
    meshopt_optimizeVertexCache(ordered.data(), local.indices.data(), local.indices.size(),
                                local.global.size());
    std::transform(ordered.begin(), ordered.end(), all.begin() + part.first,
                   [&](unsigned c) { return local.global[c]; });
  }
  return all;
}

Mesh simplifyMesh(const Mesh& mesh, std::size_t target, bool planes,
                  const std::atomic<bool>& cancel) {
  Mesh coarse;
  coarse.flat = mesh.flat;
  const double share = static_cast<double>(target) / static_cast<double>(mesh.indices.size() / 3);
  LocalPart local(mesh);
  std::vector<unsigned> out;
  for (const Mesh::Part& part : mesh.parts) {
    if (cancel) return Mesh{};
    local.take(part);
    const std::vector<float> positions = local.positions();
    const std::size_t want = std::clamp<std::size_t>(
        static_cast<std::size_t>(std::lround(part.count / 3 * share)) * 3, 3, part.count);
    out.resize(local.indices.size());
    // The edge-collapsing simplifier keeps the surface and its seams (a
    // position with corners of several normals or texture coordinates), up
    // to an error of 1 % of the part's size. Where seams or the error bound
    // stop it far above the aim (flat shading makes every edge a seam), the
    // grid-clustering one reaches the aim, a little cruder, in a moving frame.
    std::size_t n =
        meshopt_simplify(out.data(), local.indices.data(), local.indices.size(), positions.data(),
                         local.global.size(), 3 * sizeof(float), want, 1e-2f, 0, nullptr);
    if (n > want + want / 2) {
      std::vector<unsigned> sloppy(local.indices.size());
      const std::size_t m = meshopt_simplifySloppy(
          sloppy.data(), local.indices.data(), local.indices.size(), positions.data(),
          local.global.size(), 3 * sizeof(float), want, 1.0f, nullptr);
      if (m > 0) {
        out.swap(sloppy);
        n = m;
      }
    }
    if (n == 0) continue;
    std::vector<unsigned> ordered(n);
    meshopt_optimizeVertexCache(ordered.data(), out.data(), n, local.global.size());
    const auto first = static_cast<unsigned>(coarse.indices.size());
    for (unsigned c : ordered) coarse.indices.push_back(local.global[c]);
    coarse.parts.push_back(part);
    coarse.parts.back().first = first;
    coarse.parts.back().count = static_cast<unsigned>(n);
  }
  if (planes) coarse.buildPlanes(mesh);
  return coarse;
}

std::size_t levelBytes(const Mesh& level) {
  return level.indices.capacity() * sizeof(unsigned) + level.planes.capacity() * sizeof(float) +
         level.parts.capacity() * sizeof(Mesh::Part);
}

std::size_t coarseTarget(std::size_t triangles, std::size_t hideable) {
  const std::size_t sent = triangles - hideable / 2;
  return sent > kLevelsFrom ? kMovingSent * triangles / sent : 0;
}

void LevelBuilder::start(const Mesh& full, bool planes, std::size_t coarse) {
  stop();
  cancel_ = false;
  done_ = reported_ = false;
  thread_ = std::thread([this, &full, planes, coarse] {
    const double start = now();
    ordered.flat = full.flat;
    ordered.parts = full.parts;
    ordered.indices = cacheOrder(full);
    if (planes) ordered.buildPlanes(full);
    if (coarse > 0) level = simplifyMesh(full, coarse, planes, cancel_);
    seconds = now() - start;
    done_ = true;
  });
}

bool LevelBuilder::ready() {
  if (!done_ || reported_) return false;
  wait();
  reported_ = true;
  return true;
}

void LevelBuilder::wait() {
  if (thread_.joinable()) thread_.join();
}

void LevelBuilder::stop() {
  cancel_ = true;
  wait();
  ordered = level = Mesh{};
  done_ = false;
}

std::string levelNote(const Detail& detail, Level drawn, std::size_t coarse, std::size_t full,
                      bool building) {
  char text[128];
  if (drawn == Level::Coarse)
    std::snprintf(text, sizeof text, " - moving: %zu of %zu triangles", coarse, full);
  else if (!detail.enabled)
    std::snprintf(text, sizeof text, " - full detail, levels off");
  else if (building)
    std::snprintf(text, sizeof text, " - full detail, levels being built");
  else if (!detail.built)
    std::snprintf(text, sizeof text, " - full detail, no coarser level needed");
  else
    std::snprintf(text, sizeof text, " - full detail, %zu triangles while moving", coarse);
  return text;
}

}  // namespace objview
