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
//
// The hash holds blocks of 2 x 2 x 2 cells, so the 8 cells of one search
// usually touch 1 to 4 entries rather than 8, and the searches of nearby
// points (a mesh lists its corners in nearby runs) reuse entries still in the
// cache.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
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

// Multiplicative hashing of a block's cell numbers; the map takes its slot
// from the high bits, which depend on every bit of the three numbers.
std::uint64_t blockTag(std::int64_t x, std::int64_t y, std::int64_t z) {
  return static_cast<std::uint64_t>(x) * 0x9E3779B97F4A7C15ull ^
         static_cast<std::uint64_t>(y) * 0xC2B2AE3D27D4EB4Full ^
         static_cast<std::uint64_t>(z) * 0x165667B19E3779F9ull;
}

// The chain heads of the 8 cells of a block (newest kept vector first, the
// others follow through `next`; 0 ends a chain).
struct Block {
  std::uint64_t tag;
  unsigned head[8];
};

// Which of a block's 8 cells a cell is: one bit per axis.
int cellBit(std::int64_t cell, int axis) { return static_cast<int>(cell & 1) << axis; }

// Blocks are stored densely in the order they are made, which for a mesh
// follows its surface, so one search reads blocks that lie near each other.
// They are found through open addressing with linear probing, at most 3/4
// full, over 8-byte slots small enough to stay mostly in the cache. In front
// of that, a presence filter with one bit per block, laid out so that the
// blocks of one neighbourhood share a word, answers most searches for blocks
// that were never made without touching the slots. Two blocks whose tags
// collide share one block and so their chains, which only adds candidates.
class BlockMap {
 public:
  // Sized for one block per four points, so a typical weld never grows it.
  explicit BlockMap(std::size_t points) {
    while ((std::size_t{1} << bits_) < points / 4) bits_++;
    slots_.assign(std::size_t{1} << bits_, Slot{});
    while ((std::size_t{64} << filterBits_) < 2 * points) filterBits_++;
    filter_.assign(std::size_t{1} << filterBits_, 0);
  }

  const Block* find(std::int64_t x, std::int64_t y, std::int64_t z) const {
    const std::size_t bit = filterBit(x, y, z);
    if (!(filter_[bit >> 6] >> (bit & 63) & 1)) return nullptr;
    const std::uint64_t tag = blockTag(x, y, z);
    const Slot& slot = slots_[locate(tag)];
    return slot.block == 0 ? nullptr : &blocks_[slot.block - 1];
  }

  Block& findOrAdd(std::int64_t x, std::int64_t y, std::int64_t z) {
    const std::size_t bit = filterBit(x, y, z);
    filter_[bit >> 6] |= std::uint64_t{1} << (bit & 63);
    const std::uint64_t tag = blockTag(x, y, z);
    std::size_t i = locate(tag);
    if (slots_[i].block == 0) {
      if (4 * (blocks_.size() + 1) > 3 * slots_.size()) {
        grow();
        i = locate(tag);
      }
      blocks_.push_back(Block{tag, {}});
      slots_[i] = {checkOf(tag), static_cast<std::uint32_t>(blocks_.size())};
    }
    return blocks_[slots_[i].block - 1];
  }

 private:
  struct Slot {
    std::uint32_t check = 0;  // high half of the tag
    std::uint32_t block = 0;  // block number + 1; 0: empty
  };

  static std::uint32_t checkOf(std::uint64_t tag) { return static_cast<std::uint32_t>(tag >> 32); }
  std::size_t home(std::uint64_t tag) const { return static_cast<std::size_t>(tag >> (64 - bits_)); }

  // The slot holding `tag`, or the empty slot where it belongs.
  std::size_t locate(std::uint64_t tag) const {
    const std::size_t mask = slots_.size() - 1;
    const std::uint32_t check = checkOf(tag);
    std::size_t i = home(tag);
    while (slots_[i].block != 0 && !(slots_[i].check == check && blocks_[slots_[i].block - 1].tag == tag))
      i = (i + 1) & mask;
    return i;
  }

  void grow() {
    bits_++;
    slots_.assign(std::size_t{1} << bits_, Slot{});
    for (std::size_t b = 0; b < blocks_.size(); b++)
      slots_[locate(blocks_[b].tag)] = {checkOf(blocks_[b].tag), static_cast<std::uint32_t>(b + 1)};
  }

  // 4 x 4 x 4 neighbouring blocks share a word of the filter.
  std::size_t filterBit(std::int64_t x, std::int64_t y, std::int64_t z) const {
    const std::uint64_t group = blockTag(x >> 2, y >> 2, z >> 2);
    const auto within = static_cast<std::size_t>((x & 3) | (y & 3) << 2 | (z & 3) << 4);
    return static_cast<std::size_t>(group >> (64 - filterBits_)) << 6 | within;
  }

  std::vector<Slot> slots_;
  std::vector<Block> blocks_;
  std::vector<std::uint64_t> filter_;
  int bits_ = 10;
  int filterBits_ = 4;
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
  BlockMap blocks(count);
  std::vector<unsigned> next(1, 0);  // per kept vector: the next one in its cell

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
    const std::int64_t xLast = x.first + x.count - 1;
    const std::int64_t yLast = y.first + y.count - 1;
    const std::int64_t zLast = z.first + z.count - 1;

    unsigned best = 0;
    // Each block that holds candidate cells, then its candidate cells.
    for (std::int64_t bx = x.first >> 1; bx <= xLast >> 1; bx++)
      for (std::int64_t by = y.first >> 1; by <= yLast >> 1; by++)
        for (std::int64_t bz = z.first >> 1; bz <= zLast >> 1; bz++) {
          const Block* block = blocks.find(bx, by, bz);
          if (!block) continue;
          for (std::int64_t cx = std::max(x.first, 2 * bx); cx <= std::min(xLast, 2 * bx + 1); cx++)
            for (std::int64_t cy = std::max(y.first, 2 * by); cy <= std::min(yLast, 2 * by + 1); cy++)
              for (std::int64_t cz = std::max(z.first, 2 * bz); cz <= std::min(zLast, 2 * bz + 1); cz++) {
                const int cell = cellBit(cx, 0) | cellBit(cy, 1) | cellBit(cz, 2);
                for (unsigned j = block->head[cell]; j != 0; j = next[j])
                  if ((best == 0 || j < best) && close(v, &kept[3 * static_cast<std::size_t>(j)], epsilon))
                    best = j;
              }
        }

    if (best == 0) {
      best = keep(keptcount, v);
      Block& block = blocks.findOrAdd(x.own >> 1, y.own >> 1, z.own >> 1);
      unsigned& head = block.head[cellBit(x.own, 0) | cellBit(y.own, 1) | cellBit(z.own, 2)];
      next.resize(static_cast<std::size_t>(best) + 1);
      next[best] = head;
      head = best;
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
  GLM_ASSERT(model);
  const unsigned vertexcount = model->vertexcount;
  for (unsigned i = 0; i < model->trianglecount; i++)
    for (unsigned k = 0; k < 3; k++)
      GLM_ASSERT(model->triangles[i].vertexidx[k] >= 1 &&
                 model->triangles[i].vertexidx[k] <= model->vertexcount);

  // Everything that can fail (allocations, with a failure handler that
  // throws) happens before the model changes, so a failure leaves it whole.
  // The new indices come from an exact integer table rather than from float
  // x components, which lose integers beyond 2^24.
  std::vector<unsigned> remap(static_cast<std::size_t>(vertexcount) + 1, 0);
  std::unique_ptr<float, decltype(&std::free)> distinct(
      static_cast<float*>(glmAlloc(static_cast<std::size_t>(vertexcount) + 1, 3 * sizeof(float),
                                   "glmMergeVertices")),
      &std::free);
  const unsigned keptcount =
      vertexcount == 0 ? 0 : weld(model->vertices, vertexcount, epsilon, distinct.get(), remap.data());
  auto* vertices = static_cast<float*>(
      glmAlloc(static_cast<std::size_t>(keptcount) + 1, 3 * sizeof(float), "glmMergeVertices"));
  std::memcpy(vertices + 3, distinct.get() + 3, 3 * sizeof(float) * keptcount);

  for (unsigned i = 0; i < model->trianglecount; i++)
    for (unsigned k = 0; k < 3; k++) {
      unsigned& index = model->triangles[i].vertexidx[k];
      index = remap[index];
    }
  std::free(model->vertices);
  model->vertices = vertices;
  model->vertexcount = keptcount;
}
