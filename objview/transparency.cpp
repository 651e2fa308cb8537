#define GL_GLEXT_PROTOTYPES
#include "transparency.h"

#include <GL/glext.h>

#include <array>
#include <bit>
#include <cstdint>

namespace objview {

void Transparency::build(const Mesh& level, const Mesh& corners,
                         const std::function<bool(const Mesh::Part&)>& transparent) {
  *this = Transparency{};
  for (const Mesh::Part& part : level.parts) {
    if (!transparent(part)) continue;
    const auto id = static_cast<unsigned>(parts_.size());
    parts_.push_back(part);
    for (unsigned i = part.first; i < part.first + part.count; i += 3) {
      float centre[3] = {};
      for (int j = 0; j < 3; j++) {
        const float* p = &corners.corners[Mesh::kStride * level.indices[i + j]];
        for (int k = 0; k < 3; k++) centre[k] += p[k] / 3;
      }
      corners_.insert(corners_.end(), &level.indices[i], &level.indices[i + 3]);
      centres_.insert(centres_.end(), centre, centre + 3);
      partOf_.push_back(id);
    }
  }
}

bool Transparency::sort(const float modelview[16]) {
  const float axis[3] = {modelview[2], modelview[6], modelview[10]};
  if (!sorted_.empty() && axis[0] == axis_[0] && axis[1] == axis_[1] && axis[2] == axis_[2])
    return false;
  std::copy(axis, axis + 3, axis_);
  // Each triangle's depth (larger is nearer) made an unsigned key that
  // orders as the float does, above its number; a stable radix sort on the
  // key keeps the level's order among equals.
  const std::size_t n = partOf_.size();
  std::vector<std::uint64_t>& items = items_;
  items.resize(n);
  spare_.resize(n);
  for (std::size_t t = 0; t < n; t++) {
    const float* c = &centres_[3 * t];
    std::uint32_t key =
        std::bit_cast<std::uint32_t>(axis[0] * c[0] + axis[1] * c[1] + axis[2] * c[2]);
    key ^= key & 0x80000000u ? 0xffffffffu : 0x80000000u;
    items[t] = std::uint64_t{key} << 32 | t;
  }
  constexpr int kBits = 11;
  for (int shift = 32; shift < 64; shift += kBits) {
    std::array<std::size_t, (1 << kBits) + 1> start{};
    for (std::uint64_t item : items) start[((item >> shift) & ((1 << kBits) - 1)) + 1]++;
    for (std::size_t b = 1; b < start.size(); b++) start[b] += start[b - 1];
    for (std::uint64_t item : items) spare_[start[(item >> shift) & ((1 << kBits) - 1)]++] = item;
    items.swap(spare_);
  }
  sorted_.resize(3 * n);
  runs_.clear();
  for (std::size_t i = 0; i < n; i++) {
    const auto t = static_cast<std::uint32_t>(items[i]);
    std::copy_n(&corners_[3 * t], 3, &sorted_[3 * i]);
    const Mesh::Part* part = &parts_[partOf_[t]];
    if (runs_.empty() || runs_.back().part != part)
      runs_.push_back({static_cast<unsigned>(3 * i), 0, part});
    runs_.back().count += 3;
  }
  return true;
}

void Transparency::draw(const float modelview[16], GLuint buffer,
                        const std::function<void(const Mesh::Part&)>& setUp) {
  if (empty()) return;
  const bool sorted = sort(modelview);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffer);
  if (sorted || !uploaded_)
    glBufferData(GL_ELEMENT_ARRAY_BUFFER,
                 static_cast<GLsizeiptr>(sorted_.size() * sizeof(unsigned)), sorted_.data(),
                 GL_STREAM_DRAW);
  uploaded_ = true;
  for (const Run& run : runs_) {
    setUp(*run.part);
    glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(run.count), GL_UNSIGNED_INT,
                   reinterpret_cast<const void*>(run.first * sizeof(unsigned)));
  }
}

}  // namespace objview
