// Transparent triangles, drawn back to front. Blending puts each surface
// over what the frame already holds, so the farther must come first: across
// parts, and inside one, where a pane crosses another of its material or a
// bottle's front lies over its back.
#ifndef OBJVIEW_TRANSPARENCY_H
#define OBJVIEW_TRANSPARENCY_H

#include <GL/gl.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "mesh.h"

namespace objview {

class Transparency {
 public:
  // The triangles of `level`'s parts that `transparent` picks, with the
  // corners of `corners` (the mesh `level` indexes; itself for a full mesh).
  void build(const Mesh& level, const Mesh& corners,
             const std::function<bool(const Mesh::Part&)>& transparent);
  bool empty() const { return partOf_.empty(); }

  // Orders the triangles farthest first for the model-view matrix
  // `modelview` (column-major, as GL's), when its view axis has turned since
  // the last order: depth along it is what the order follows, and a pan or
  // zoom leaves it.
  bool sort(const float modelview[16]);  // whether the order was made anew
  // The indices in drawing order, and the runs of one part each in them.
  const std::vector<unsigned>& indices() const { return sorted_; }
  struct Run {
    unsigned first, count;  // range of `indices`
    const Mesh::Part* part;
  };
  const std::vector<Run>& runs() const { return runs_; }

  // Sorts, puts a new order in the element buffer `buffer` (left bound), and
  // draws each run with `setUp` called before it for its part's state.
  void draw(const float modelview[16], GLuint buffer,
            const std::function<void(const Mesh::Part&)>& setUp);

 private:
  std::vector<Mesh::Part> parts_;  // the transparent parts
  std::vector<unsigned> corners_;  // three a triangle
  std::vector<float> centres_;     // three a triangle
  std::vector<unsigned> partOf_;   // each triangle's, in parts_
  std::vector<unsigned> sorted_;
  std::vector<std::uint64_t> items_, spare_;  // the sort's, kept for the next frame's
  std::vector<Run> runs_;
  float axis_[3] = {};     // the view axis sorted for
  bool uploaded_ = false;  // `buffer` holds `sorted_`
};

}  // namespace objview

#endif
