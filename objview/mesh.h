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
  };
  std::vector<Part> parts;
  // Flat shading: a corner's normal is only that of the one triangle whose
  // last corner it is (the facet normal), so positions are still shared and
  // the picture needs GL_FLAT shading, which takes the last corner's colour.
  bool flat = false;
  // Each corner's vertex colour, 3 floats, with DRAW_VERTEXCOLOR; else
  // empty. The corners of one vertex share its colour, so colours split no
  // corner, and a coarse level, which indexes these corners, draws each of
  // its own in its colour.
  std::vector<float> colors;
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
// Flat shading with vertex colours gives every corner its facet normal and
// no GL_FLAT, so that the colours blend across a triangle as the library
// draws them.
bool buildMesh(const ObjModel& model, unsigned mode, Mesh& mesh, const Hidden* sides = nullptr);

// A model's lines and points as vertex arrays: unlit, with no normals, and
// not simplified (a coarse level keeps them all). The lines' vertices come
// two a segment, then the points'.
struct Strokes {
  std::vector<float> positions;  // 3 floats a vertex
  std::vector<float> colors;     // 3 floats a vertex, with DRAW_VERTEXCOLOR; else empty
  // Runs of the lines' vertices in one material (one run unless the mode
  // paints with materials), in file order.
  struct Run {
    unsigned first, count, material;
  };
  std::vector<Run> lines;
  unsigned firstPoint = 0, pointCount = 0;
  bool empty() const { return positions.empty(); }
};

// The strokes of `model` for the DRAW_* `mode`.
Strokes buildStrokes(const ObjModel& model, unsigned mode);

}  // namespace objview

#endif
