// Indexed geometry for the filled draw modes. The library's drawing sends
// three corners per triangle, and a software rasteriser shades every one of
// them; here each distinct corner is stored once and the triangles index it,
// so a vertex cache shades a shared corner about once.
#ifndef OBJVIEW_MESH_H
#define OBJVIEW_MESH_H

#include <vector>

#include "glm.h"

namespace objview {

// The side of a triangle that can never be seen (see hiddenSides).
enum class Hidden : unsigned char { None, Back, Front };

struct Mesh {
  static constexpr int kStride = 8;  // floats per corner: position 3, normal 3, texcoord 2
  std::vector<float> corners;        // distinct corners, kStride floats each
  std::vector<unsigned> indices;     // three corners per triangle
  // A run of a group's triangles drawn alike, in the library's drawing order:
  // with colours, materials or texture, a run of one material, and of
  // triangles with texture coordinates or without.
  struct Part {
    unsigned first, count;  // range of `indices`
    unsigned material;
    bool textured = true;  // false: the triangles have no texture coordinates
    float center[3] = {};  // the mean of its corners' positions, to sort by depth
  };
  std::vector<Part> parts;
  // Flat shading: a corner's normal is only that of the one triangle whose
  // last corner it is (the facet normal), so positions are still shared and
  // the picture needs GL_FLAT shading, which takes the last corner's colour.
  bool flat = false;
  unsigned cornerCount() const { return static_cast<unsigned>(corners.size() / kStride); }

  // Each corner's hidden side: that of the triangles using it, None where
  // they differ; empty when no triangle hides a side.
  std::vector<Hidden> cornerSides;

  // Each triangle's plane, turned to face the side that can be seen (unit
  // normal, distance from the origin), or (0, 0, 0, -1) for a triangle seen
  // from both sides, for `facing`; filled by `buildPlanes`. A triangle's
  // hidden side is its corners' when all three agree.
  std::vector<float> planes;
  void buildPlanes() { buildPlanes(*this); }
  void buildPlanes(const Mesh& from);  // `from`: the mesh whose corners are indexed
  // The triangles that may show a side the eye at `eye` (model coordinates)
  // can see, in drawing order, as indices and parts. Culling would reject
  // the others, but only after they have been sent, shaded and set up; a
  // triangle seen nearly edge-on is kept for GL to decide.
  void facing(const float eye[3], std::vector<unsigned>& seen, std::vector<Part>& seenParts) const;
};

// Builds `mesh` for the DRAW_* `mode`, with each triangle's hidden side from
// `sides` (null: none hidden); false (mesh left empty) for an outline, or a
// mode the model lacks the data for, which the library's drawing handles.
bool buildMesh(const ObjModel& model, unsigned mode, Mesh& mesh, const Hidden* sides = nullptr);

}  // namespace objview

#endif
