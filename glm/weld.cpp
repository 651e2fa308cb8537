// Vertex welding.
//
// The result must be exactly that of the plain scan: vector i joins the
// lowest-numbered kept vector that is close to it (closeness is not
// transitive), or is kept itself. Instead of comparing each vector with every
// kept one, kept vectors are filed in a hash of grid cells a little over
// 2 * epsilon wide; every kept vector close to a point lies in the point's
// cell or the neighbour on the nearer side, on each axis, so 8 cells hold all
// the candidates. The candidates are then tested exactly as glmVectorsClose
// tests, and the lowest close one wins, so the grid only narrows the search
// and never decides closeness.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>
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

// A cell's key: its block of 2 x 2 x 2 cells hashed multiplicatively into
// the high bits, its place in the block in the low 3. The key combines one
// term per axis, so a search works out each axis's two terms once.
std::uint64_t axisTerm(std::int64_t cell, int axis) {
  constexpr std::uint64_t kFactors[3] = {0x9E3779B97F4A7C15ull, 0xC2B2AE3D27D4EB4Full,
                                         0x165667B19E3779F9ull};
  return (static_cast<std::uint64_t>(cell >> 1) * kFactors[axis] & ~std::uint64_t{7}) ^
         static_cast<std::uint64_t>(cell & 1) << axis;
}

std::uint64_t cellKey(std::int64_t x, std::int64_t y, std::int64_t z) {
  return axisTerm(x, 0) ^ axisTerm(y, 1) ^ axisTerm(z, 2);
}

// A filed cell: the newest kept vector in it heads the chain through `next`.
// Only the key's low half is kept; cells whose keys agree there share one
// chain, which only adds candidates.
struct Cell {
  std::uint32_t check = 0;
  std::uint32_t head = 0;  // 0: an empty slot
  bool operator==(const Cell& other) const { return check == other.check && head == other.head; }
};

// The slot of a cell takes the block's hash from the key's high bits and
// keeps the place in the block, so the 8 cells of a block share one cache
// line and a search reads few.
struct CellHasher {
  int shift;
  std::size_t hash(std::uint64_t key) const {
    return static_cast<std::size_t>(key >> shift) << 3 | static_cast<std::size_t>(key & 7);
  }
  bool equal(const Cell& cell, std::uint64_t key) const {
    return cell.check == static_cast<std::uint32_t>(key);
  }
};

// The filed cells, in a table kept at most half full: most searches are for
// cells that were never filed, and those end only at an empty slot. The
// table keeps too little of each key to move cells to a larger one, so
// growing empties it and the caller files every kept vector again.
class Grid {
 public:
  explicit Grid(std::size_t cells) { setSize(2 * cells); }

  const Cell* find(std::uint64_t key) {
    const Cell* cell = lookup(key);
    return cell->head ? cell : nullptr;
  }

  bool full() const { return 2 * (used_ + 1) > cells_.size(); }
  void grow() { setSize(2 * cells_.size()); }

  // Files kept vector `index` in the cell `key`; next[index] gets the cell's
  // previous head.
  void file(std::uint64_t key, unsigned index, std::vector<unsigned>& next) {
    Cell* cell = lookup(key);
    if (cell->head == 0) used_++;
    next[index] = cell->head;
    *cell = {static_cast<std::uint32_t>(key), index};
  }

 private:
  Cell* lookup(std::uint64_t key) {
    return glm_internal::hashLookup(cells_.data(), cells_.size(), hasher_, key, Cell{});
  }

  void setSize(std::size_t atLeast) {
    int bits = 4;  // the least with a bit of block hash in the slot
    while ((std::size_t{1} << bits) < atLeast) bits++;
    cells_.assign(std::size_t{1} << bits, Cell{});
    hasher_.shift = 64 - (bits - 3);
    used_ = 0;
  }

  std::vector<Cell> cells_;
  CellHasher hasher_{};
  std::size_t used_ = 0;
};

// glmVectorsClose, spelled out so the search loop can inline it.
inline bool close(const float* a, const float* b, float epsilon) {
  auto absValue = [](float f) { return f < 0 ? -f : f; };
  return absValue(a[0] - b[0]) < epsilon && absValue(a[1] - b[1]) < epsilon &&
         absValue(a[2] - b[2]) < epsilon;
}

bool finite(const float* v) {
  return std::isfinite(v[0]) && std::isfinite(v[1]) && std::isfinite(v[2]);
}

// Welds vectors 1..*count into `kept` (room for *count + 1 vectors). Each
// input vector's new index goes into remap[i] when `remap` is given (as an
// exact integer; the input is then only read), else into its x. Returns the
// number of kept vectors.
unsigned weld(float* vectors, unsigned count, float epsilon, float* kept, unsigned* remap) {
  auto keep = [&](unsigned& keptcount, const float* v) {
    keptcount++;
    std::memcpy(&kept[3 * static_cast<std::size_t>(keptcount)], v, 3 * sizeof(float));
    return keptcount;
  };
  auto assign = [&](unsigned i, unsigned index) {
    if (remap)
      remap[i] = index;
    else
      vectors[3 * static_cast<std::size_t>(i)] = static_cast<float>(index);
  };

  unsigned keptcount = 0;
  // Nothing is strictly closer than a non-positive (or NaN) epsilon.
  if (!(epsilon > 0.0f)) {
    for (unsigned i = 1; i <= count; i++)
      assign(i, keep(keptcount, &vectors[3 * static_cast<std::size_t>(i)]));
    return keptcount;
  }

  const double inverseWidth = 1.0 / (static_cast<double>(epsilon) * kCellWidthFactor);
  auto ownKey = [&](const float* v) {
    return cellKey(axisCells(v[0], inverseWidth).own, axisCells(v[1], inverseWidth).own,
                   axisCells(v[2], inverseWidth).own);
  };
  // Sized for a cell per six points, as a closed mesh of triangles keeps about
  // one vector in six.
  Grid grid(count / 6);
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

    std::uint64_t terms[3][2];
    const AxisCells* axes[3] = {&x, &y, &z};
    for (int axis = 0; axis < 3; axis++)
      for (int n = 0; n < axes[axis]->count; n++)
        terms[axis][n] = axisTerm(axes[axis]->first + n, axis);

    unsigned best = 0;
    for (int a = 0; a < x.count; a++)
      for (int b = 0; b < y.count; b++)
        for (int c = 0; c < z.count; c++)
          if (const Cell* cell = grid.find(terms[0][a] ^ terms[1][b] ^ terms[2][c]))
            for (unsigned j = cell->head; j != 0; j = next[j])
              if ((best == 0 || j < best) &&
                  close(v, &kept[3 * static_cast<std::size_t>(j)], epsilon))
                best = j;

    if (best == 0) {
      best = keep(keptcount, v);
      if (grid.full()) {
        grid.grow();
        for (unsigned j = 1; j < best; j++) {
          const float* w = &kept[3 * static_cast<std::size_t>(j)];
          if (finite(w)) grid.file(ownKey(w), j, next);
        }
      }
      grid.file(cellKey(x.own, y.own, z.own), best, next);
    }
    assign(i, best);
  }
  return keptcount;
}

}  // namespace

float* glmMergeVectors(float* vectors, unsigned* count, float epsilon) {
  glm_internal::Owned<float> kept = glm_internal::allocOwned<float>(
      3 * (static_cast<std::size_t>(*count) + 1), "glmMergeVectors");
  *count = weld(vectors, *count, epsilon, kept.get(), nullptr);
  return kept.release();
}

void glmMergeVertices(ObjModel* model, float epsilon) {
  GLM_ASSERT(model);
  const unsigned vertexcount = model->vertexcount;
  for (unsigned i = 0; i < model->trianglecount; i++)
    for (unsigned k = 0; k < 3; k++)
      GLM_ASSERT(model->triangles[i].vertexidx[k] >= 1 &&
                 model->triangles[i].vertexidx[k] <= model->vertexcount);
  for (unsigned i = 0; i < model->linecount; i++)
    for (unsigned k = 0; k < 2; k++)
      GLM_ASSERT(model->lines[i].vertexidx[k] >= 1 && model->lines[i].vertexidx[k] <= model->vertexcount);
  for (unsigned i = 0; i < model->pointcount; i++)
    GLM_ASSERT(model->points[i] >= 1 && model->points[i] <= model->vertexcount);

  // Everything that can fail (allocations, with a failure handler that
  // throws) happens before the model changes, so a failure leaves it whole.
  // The new indices come from an exact integer table rather than from float
  // x components, which lose integers beyond 2^24.
  std::vector<unsigned> remap(static_cast<std::size_t>(vertexcount) + 1, 0);
  glm_internal::Owned<float> distinct = glm_internal::allocOwned<float>(
      3 * (static_cast<std::size_t>(vertexcount) + 1), "glmMergeVertices");
  const unsigned keptcount =
      vertexcount == 0 ? 0
                       : weld(model->vertices, vertexcount, epsilon, distinct.get(), remap.data());

  // A kept vertex keeps its colour.
  glm_internal::Owned<float> colors;
  if (model->colors) {
    colors = glm_internal::allocOwned<float>(3 * (static_cast<std::size_t>(keptcount) + 1),
                                             "glmMergeVertices");
    for (unsigned i = vertexcount; i >= 1; i--)
      std::memcpy(&colors.get()[3 * static_cast<std::size_t>(remap[i])],
                  &model->colors[3 * static_cast<std::size_t>(i)], 3 * sizeof(float));
  }

  for (unsigned i = 0; i < model->trianglecount; i++)
    for (unsigned k = 0; k < 3; k++) {
      unsigned& index = model->triangles[i].vertexidx[k];
      index = remap[index];
    }
  for (unsigned i = 0; i < model->linecount; i++)
    for (unsigned& index : model->lines[i].vertexidx) index = remap[index];
  for (unsigned i = 0; i < model->pointcount; i++) model->points[i] = remap[model->points[i]];
  glm_internal::replaceArray(model->vertices,
                             glm_internal::shrinkVectors(std::move(distinct), keptcount));
  if (colors) glm_internal::replaceArray(model->colors, std::move(colors));
  model->vertexcount = keptcount;
}
