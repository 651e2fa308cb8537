#include "mesh.h"

#include <cmath>
#include <cstdint>

namespace objview {

namespace {

constexpr unsigned kNone = ~0u;

// The distinct corners made so far, chained per position so a lookup only
// walks the few corners that share one vertex.
class Corners {
 public:
  Corners(const ObjModel& model, Mesh& mesh, bool texture, bool colored)
      : model_(model),
        mesh_(mesh),
        texture_(texture),
        colored_(colored),
        head_(model.vertexcount + 1, kNone) {}

  // The corner with vertex `v`, texture coordinate `t` and normal `n` (any
  // normal when `n` is kNone), or kNone.
  unsigned find(unsigned v, unsigned t, unsigned n) const {
    for (unsigned c = head_[v]; c != kNone; c = next_[c])
      if ((!texture_ || texcoord_[c] == t) && (n == kNone || normal_[c] == n)) return c;
    return kNone;
  }

  // A new corner; `normals` holds the normal `n` (vertex or facet normals).
  unsigned add(unsigned v, unsigned t, const float* normals, unsigned n) {
    const auto c = static_cast<unsigned>(next_.size());
    next_.push_back(head_[v]);
    head_[v] = c;
    texcoord_.push_back(t);
    normal_.push_back(n);
    const float* p = &model_.vertices[3 * v];
    const float* q = &normals[3 * n];
    const float* uv = texture_ ? &model_.texcoords[2 * t] : nullptr;
    mesh_.corners.insert(mesh_.corners.end(),
                         {p[0], p[1], p[2], q[0], q[1], q[2], uv ? uv[0] : 0, uv ? uv[1] : 0});
    if (colored_) {
      const float* rgb = &model_.colors[3 * v];
      mesh_.colors.insert(mesh_.colors.end(), rgb, rgb + 3);
    }
    return c;
  }

 private:
  const ObjModel& model_;
  Mesh& mesh_;
  bool texture_, colored_;
  std::vector<unsigned> head_, next_, texcoord_, normal_;
};

}  // namespace

bool buildMesh(const ObjModel& model, unsigned mode, Mesh& mesh, const Hidden* sides) {
  mesh = Mesh{};
  const bool flat = mode & DRAW_FLAT, smooth = mode & DRAW_SMOOTH, texture = mode & DRAW_TEXTURE,
             colored = mode & DRAW_VERTEXCOLOR;
  if ((mode & DRAW_OUTLINE) || flat == smooth || (flat && !model.facetnorms) ||
      (smooth && !model.normals) || (texture && !model.texcoords) ||
      ((mode & (DRAW_COLOR | DRAW_MATERIAL)) && !model.materials) || (colored && !model.colors))
    return false;
  // GL_FLAT would paint a triangle in its last corner's colour.
  const bool lastCorner = flat && !colored;
  mesh.flat = lastCorner;
  Corners corners(model, mesh, texture, colored);
  std::vector<std::uint8_t> last;  // flat: which corner carries the facet normal
  if (lastCorner) {
    // First give each triangle a corner of its own, preferring a position
    // no triangle has claimed yet so the other corners find one to share.
    last.resize(model.trianglecount);
    for (const ObjGroup* group = model.groups; group; group = group->next)
      for (unsigned i = 0; i < group->trianglecount; i++) {
        const ObjTriangle& t = model.triangles[group->triangles[i]];
        int k = 2;
        for (int j = 0; j < 3; j++)
          if (corners.find(t.vertexidx[j], t.texcoordidx[j], kNone) == kNone) {
            k = j;
            break;
          }
        last[group->triangles[i]] = static_cast<std::uint8_t>(k);
        corners.add(t.vertexidx[k], t.texcoordidx[k], model.facetnorms, t.facetnormidx);
      }
  }
  const bool split = mode & (DRAW_COLOR | DRAW_MATERIAL | DRAW_TEXTURE);
  for (const ObjGroup* group = model.groups; group; group = group->next) {
    for (unsigned i = 0; i < group->trianglecount; i++) {
      const ObjTriangle& t = model.triangles[group->triangles[i]];
      // A material index past the array (set by hand) draws with material 0,
      // as the library's drawing does.
      const unsigned material = t.material < model.materialcount ? t.material : 0;
      const bool textured = !texture || (t.texcoordidx[0] && t.texcoordidx[1] && t.texcoordidx[2]);
      if (i == 0 || (split && (material != mesh.parts.back().material ||
                               textured != mesh.parts.back().textured)))
        mesh.parts.push_back({static_cast<unsigned>(mesh.indices.size()), 0, material, textured});
      mesh.parts.back().count += 3;
      const int k = lastCorner ? last[group->triangles[i]] : 2;
      // Turning the corners keeps the winding and puts corner k last.
      for (int step = 1; step <= 3; step++) {
        const int j = (k + step) % 3;
        const unsigned v = t.vertexidx[j], uv = t.texcoordidx[j];
        const unsigned n = !flat ? t.normalidx[j] : lastCorner && j != k ? kNone : t.facetnormidx;
        unsigned c = corners.find(v, uv, n);
        if (c == kNone)
          c = flat ? corners.add(v, uv, model.facetnorms, t.facetnormidx)
                   : corners.add(v, uv, model.normals, n);
        mesh.indices.push_back(c);
        if (sides != nullptr) {
          const Hidden side = sides[group->triangles[i]];
          if (c >= mesh.cornerSides.size())
            mesh.cornerSides.resize(c + 1, side);
          else if (mesh.cornerSides[c] != side)
            mesh.cornerSides[c] = Hidden::None;
        }
      }
    }
  }
  return true;
}

Strokes buildStrokes(const ObjModel& model, unsigned mode) {
  Strokes strokes;
  const bool colored = (mode & DRAW_VERTEXCOLOR) && model.colors;
  const bool painted = (mode & (DRAW_COLOR | DRAW_MATERIAL)) && model.materials;
  const auto add = [&](unsigned v) {
    const float* p = &model.vertices[3 * v];
    strokes.positions.insert(strokes.positions.end(), p, p + 3);
    if (colored)
      strokes.colors.insert(strokes.colors.end(), &model.colors[3 * v], &model.colors[3 * v + 3]);
  };
  for (unsigned i = 0; i < model.linecount; i++) {
    const ObjLine& line = model.lines[i];
    // As for a triangle, a material index past the array draws with material 0.
    const unsigned material = painted && line.material < model.materialcount ? line.material : 0;
    if (strokes.lines.empty() || strokes.lines.back().material != material)
      strokes.lines.push_back({2 * i, 0, material});
    strokes.lines.back().count += 2;
    add(line.vertexidx[0]);
    add(line.vertexidx[1]);
  }
  strokes.firstPoint = 2 * model.linecount;
  strokes.pointCount = model.pointcount;
  for (unsigned i = 0; i < model.pointcount; i++) add(model.points[i]);
  return strokes;
}

void Mesh::buildPlanes(const Mesh& from) {
  const std::vector<Hidden>& sides = from.cornerSides;
  planes.resize(indices.size() / 3 * 4);
  for (std::size_t t = 0; t < indices.size() / 3; t++) {
    const unsigned* corner = &indices[3 * t];
    float* plane = &planes[4 * t];
    const Hidden side = sides.empty() || sides[corner[0]] != sides[corner[1]] ||
                                sides[corner[0]] != sides[corner[2]]
                            ? Hidden::None
                            : sides[corner[0]];
    if (side == Hidden::None) {
      plane[0] = plane[1] = plane[2] = 0;
      plane[3] = -1;
      continue;
    }
    const float* a = &from.corners[kStride * corner[0]];
    const float* b = &from.corners[kStride * corner[1]];
    const float* c = &from.corners[kStride * corner[2]];
    const float u[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
    const float v[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
    const float n[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2],
                        u[0] * v[1] - u[1] * v[0]};
    const float length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    const float sign = side == Hidden::Back ? 1.0f : -1.0f;
    for (int k = 0; k < 3; k++)
      plane[k] = length > 0 ? sign * n[k] / length : 0;  // degenerate: kept
    plane[3] = plane[0] * a[0] + plane[1] * a[1] + plane[2] * a[2];
    if (length == 0) plane[3] = -1;
  }
}

void Mesh::facing(const float eye[3], std::vector<unsigned>& seen,
                  std::vector<Part>& seenParts) const {
  seen.resize(indices.size());
  seenParts.clear();
  // Rounding in the transform can turn a triangle a little towards the eye.
  const float margin = 1e-3f * (1 + std::sqrt(eye[0] * eye[0] + eye[1] * eye[1] + eye[2] * eye[2]));
  unsigned* out = seen.data();
  for (const Part& part : parts) {
    const unsigned first = static_cast<unsigned>(out - seen.data());
    for (unsigned i = part.first; i < part.first + part.count; i += 3) {
      const float* p = &planes[i / 3 * 4];
      if (p[0] * eye[0] + p[1] * eye[1] + p[2] * eye[2] - p[3] > -margin) {
        out[0] = indices[i];
        out[1] = indices[i + 1];
        out[2] = indices[i + 2];
        out += 3;
      }
    }
    const unsigned count = static_cast<unsigned>(out - seen.data()) - first;
    if (count > 0) {
      seenParts.push_back(part);
      seenParts.back().first = first;
      seenParts.back().count = count;
    }
  }
  seen.resize(static_cast<std::size_t>(out - seen.data()));
}

}  // namespace objview
