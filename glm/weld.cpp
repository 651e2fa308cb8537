// Vertex welding.
//
// The result must be exactly that of the plain scan: vector i joins the
// lowest-numbered kept vector that is close to it (closeness is not
// transitive), or is kept itself. Instead of comparing each vector with every
// kept one, kept vectors are filed in a hash of grid cells a little over
// 2 * epsilon wide; every kept vector close to a point lies in the point's
// cell or the neighbour on the nearer side, on each axis, so 8 cells hold all
// the candidates. The candidates are then tested with glmVectorsClose itself
// and the lowest close one wins, so the grid only narrows the search and never
// decides closeness.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "glm_internal.h"

bool glmVectorsClose(const float* a, const float* b, float epsilon) {
  return glmAbsValue(a[0] - b[0]) < epsilon && glmAbsValue(a[1] - b[1]) < epsilon &&
         glmAbsValue(a[2] - b[2]) < epsilon;
}

namespace {

// Cells are 2 * epsilon plus a margin that swallows the rounding of the cell
// coordinate, so a close point (less than epsilon away) is always less than
// half a cell away.
constexpr double kCellWidthFactor = 2.0 * (1.0 + 1.0 / 4096.0);

// Beyond this many cells from the origin the rounding of the cell coordinate
// is no longer negligible; but there the spacing of floats is over 16 times
// epsilon, so two coordinates less than epsilon apart are equal. Such a
// coordinate gets a cell of its own, keyed by its bits, and needs no
// neighbour (this also keeps the cell number from overflowing).
constexpr double kLargestCell = 268435456.0;  // 2^28
constexpr std::int64_t kExactKeyBase = std::int64_t{1} << 40;

struct AxisCells {
  std::int64_t own;    // the cell the coordinate lies in
  std::int64_t first;  // the candidate cells are first .. first + count - 1
  int count;
};

AxisCells axisCells(float coordinate, double inverseWidth) {
  const double position = static_cast<double>(coordinate) * inverseWidth;
  if (!(std::fabs(position) < kLargestCell)) {
    std::uint32_t bits;
    std::memcpy(&bits, &coordinate, sizeof bits);
    const std::int64_t key = kExactKeyBase + bits;
    return {key, key, 1};
  }
  const double cell = std::floor(position);
  const auto own = static_cast<std::int64_t>(cell);
  return {own, position - cell < 0.5 ? own - 1 : own, 2};
}

std::uint64_t cellTag(std::int64_t x, std::int64_t y, std::int64_t z) {
  std::uint64_t h = static_cast<std::uint64_t>(x) * 0x9E3779B97F4A7C15ull;
  h ^= static_cast<std::uint64_t>(y) * 0xC2B2AE3D27D4EB4Full;
  h ^= static_cast<std::uint64_t>(z) * 0x165667B19E3779F9ull;
  h ^= h >> 32;
  h *= 0xD6E8FEB86659FD93ull;
  h ^= h >> 29;
  return h;
}

// Open-addressing map from a cell's tag to the newest kept vector filed in
// it; the others follow through `next`. Two cells whose tags collide share a
// chain, which only adds candidates.
class CellMap {
 public:
  explicit CellMap(std::size_t expected) {
    std::size_t capacity = 1024;
    while (capacity < 2 * expected && capacity < (std::size_t{1} << 26)) capacity *= 2;
    slots_.assign(capacity, Slot{});
  }

  unsigned find(std::uint64_t tag) const {
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = tag & mask;; i = (i + 1) & mask) {
      if (slots_[i].head == 0) return 0;
      if (slots_[i].tag == tag) return slots_[i].head;
    }
  }

  // Files kept vector `index` in the cell; returns the previous head (0 if
  // the cell was empty) for the caller's chain.
  unsigned insert(std::uint64_t tag, unsigned index) {
    if (2 * (used_ + 1) > slots_.size()) grow();
    Slot& slot = locate(tag);
    const unsigned previous = slot.head;
    if (previous == 0) {
      slot.tag = tag;
      used_++;
    }
    slot.head = index;
    return previous;
  }

 private:
  struct Slot {
    std::uint64_t tag = 0;
    unsigned head = 0;  // 0: empty
  };

  Slot& locate(std::uint64_t tag) {
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = tag & mask;; i = (i + 1) & mask)
      if (slots_[i].head == 0 || slots_[i].tag == tag) return slots_[i];
  }

  void grow() {
    std::vector<Slot> old(slots_.size() * 2);
    old.swap(slots_);
    for (const Slot& slot : old)
      if (slot.head != 0) locate(slot.tag) = slot;
  }

  std::vector<Slot> slots_;
  std::size_t used_ = 0;
};

bool finite(const float* v) {
  return std::isfinite(v[0]) && std::isfinite(v[1]) && std::isfinite(v[2]);
}

// Welds vectors 1..*count into `kept` (room for *count + 1 vectors), writes
// each input vector's new index into its x and, when `remap` is given, into
// remap[i] as an exact integer. Returns the number of kept vectors.
unsigned weld(float* vectors, unsigned count, float epsilon, float* kept, unsigned* remap) {
  auto keep = [&](unsigned& keptcount, const float* v) {
    keptcount++;
    std::memcpy(&kept[3 * static_cast<std::size_t>(keptcount)], v, 3 * sizeof(float));
    return keptcount;
  };
  auto assign = [&](unsigned i, unsigned index) {
    vectors[3 * static_cast<std::size_t>(i)] = static_cast<float>(index);
    if (remap) remap[i] = index;
  };

  unsigned keptcount = 0;
  // Nothing is strictly closer than a non-positive (or NaN) epsilon.
  if (!(epsilon > 0.0f)) {
    for (unsigned i = 1; i <= count; i++)
      assign(i, keep(keptcount, &vectors[3 * static_cast<std::size_t>(i)]));
    return keptcount;
  }

  const double inverseWidth = 1.0 / (static_cast<double>(epsilon) * kCellWidthFactor);
  CellMap cells(count / 4);
  std::vector<unsigned> next(static_cast<std::size_t>(count) + 1, 0);

  for (unsigned i = 1; i <= count; i++) {
    const float* v = &vectors[3 * static_cast<std::size_t>(i)];
    // A vector with a NaN or infinite coordinate is close to nothing: it is
    // kept, and never filed, since nothing can join it either.
    if (!finite(v)) {
      assign(i, keep(keptcount, v));
      continue;
    }
    const AxisCells x = axisCells(v[0], inverseWidth);
    const AxisCells y = axisCells(v[1], inverseWidth);
    const AxisCells z = axisCells(v[2], inverseWidth);

    unsigned best = 0;
    for (int dx = 0; dx < x.count; dx++)
      for (int dy = 0; dy < y.count; dy++)
        for (int dz = 0; dz < z.count; dz++) {
          const std::uint64_t tag = cellTag(x.first + dx, y.first + dy, z.first + dz);
          for (unsigned j = cells.find(tag); j != 0; j = next[j])
            if ((best == 0 || j < best) &&
                glmVectorsClose(v, &kept[3 * static_cast<std::size_t>(j)], epsilon))
              best = j;
        }

    if (best == 0) {
      best = keep(keptcount, v);
      next[best] = cells.insert(cellTag(x.own, y.own, z.own), best);
    }
    assign(i, best);
  }
  return keptcount;
}

}  // namespace

float* glmMergeVectors(float* vectors, unsigned* count, float epsilon) {
  float* kept = static_cast<float*>(
      glmAlloc(static_cast<std::size_t>(*count) + 1, 3 * sizeof(float), "glmMergeVectors"));
  *count = weld(vectors, *count, epsilon, kept, nullptr);
  return kept;
}

void glmMergeVertices(ObjModel* model, float epsilon) {
  const unsigned vertexcount = model->vertexcount;
  for (unsigned i = 0; i < model->trianglecount; i++)
    for (unsigned k = 0; k < 3; k++)
      GLM_ASSERT(model->triangles[i].vertexidx[k] >= 1 &&
                 model->triangles[i].vertexidx[k] <= model->vertexcount);

  // The new indices are taken from an exact integer table rather than from
  // the float x components, which lose integers beyond 2^24.
  std::vector<unsigned> remap(static_cast<std::size_t>(vertexcount) + 1, 0);
  float* distinct = static_cast<float*>(
      glmAlloc(static_cast<std::size_t>(vertexcount) + 1, 3 * sizeof(float), "glmMergeVertices"));
  const unsigned keptcount =
      vertexcount == 0 ? 0 : weld(model->vertices, vertexcount, epsilon, distinct, remap.data());

  for (unsigned i = 0; i < model->trianglecount; i++)
    for (unsigned k = 0; k < 3; k++) {
      unsigned& index = model->triangles[i].vertexidx[k];
      index = remap[index];
    }

  std::free(model->vertices);
  model->vertexcount = keptcount;
  model->vertices = static_cast<float*>(
      glmAlloc(static_cast<std::size_t>(keptcount) + 1, 3 * sizeof(float), "glmMergeVertices"));
  std::memcpy(model->vertices + 3, distinct + 3, 3 * sizeof(float) * keptcount);
  std::free(distinct);
}
