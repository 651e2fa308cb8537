// The indexed geometry: the same corners as the model, each distinct one once.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <tuple>

#include "mesh.h"

using namespace objview;

TEST(ObjviewMesh, EachTriangleKeepsItsCornersAndEachDistinctCornerIsStoredOnce) {
  // A tetrahedron in two groups (and an empty one); vertex 4 has two normals
  // and vertex 1 two texture coordinates, so some positions need two corners.
  float vertices[] = {0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1};
  float normals[18], facets[15], texcoords[] = {0, 0, .1f, .2f, .3f, .4f, .5f, .6f};
  for (int i = 0; i < 18; i++) normals[i] = static_cast<float>(i);
  for (int i = 0; i < 15; i++) facets[i] = static_cast<float>(-i);
  ObjTriangle triangles[] = {{{1, 3, 2}, {1, 3, 2}, {1, 3, 2}, 1, 0},
                             {{1, 2, 4}, {1, 2, 4}, {3, 2, 1}, 2, 0},
                             {{1, 4, 3}, {1, 5, 3}, {1, 1, 3}, 3, 1},
                             {{2, 3, 4}, {2, 3, 4}, {2, 3, 1}, 4, 1}};
  unsigned first[] = {1, 0}, second[] = {3, 2};
  ObjGroup b{nullptr, 2, first, 0, nullptr}, a{nullptr, 2, second, 1, &b}, empty{};
  empty.next = &a;
  ObjMaterial materials[2]{};
  ObjModel model{};
  model.vertexcount = 4, model.vertices = vertices, model.normalcount = 5;
  model.normals = normals, model.texcoordcount = 3, model.texcoords = texcoords;
  model.facetnormcount = 4, model.facetnorms = facets, model.trianglecount = 4;
  model.triangles = triangles, model.materialcount = 2, model.materials = materials;
  model.groups = &empty;

  for (unsigned mode : {DRAW_SMOOTH, DRAW_SMOOTH | DRAW_TEXTURE | DRAW_MATERIAL, DRAW_FLAT,
                        DRAW_FLAT | DRAW_TEXTURE | DRAW_COLOR}) {
    SCOPED_TRACE(mode);
    const bool flat = mode & DRAW_FLAT, texture = mode & DRAW_TEXTURE;
    Mesh mesh;
    ASSERT_TRUE(buildMesh(model, mode, mesh));
    ASSERT_EQ(mesh.parts.size(), 2u);
    EXPECT_EQ(mesh.parts[0].material, 1u);
    ASSERT_EQ(mesh.indices.size(), 12u);
    std::set<std::tuple<unsigned, unsigned, unsigned>> distinct;
    const unsigned drawOrder[] = {second[0], second[1], first[0], first[1]};
    for (unsigned i = 0; i < 4; i++) {
      const ObjTriangle& t = triangles[drawOrder[i]];
      const float* last = &mesh.corners[Mesh::kStride * mesh.indices[3 * i + 2]];
      const float* drawnFirst = &mesh.corners[Mesh::kStride * mesh.indices[3 * i]];
      int k = 0;  // the model's corner drawn first: a flat triangle may be turned
      while (k < 2 && !std::equal(drawnFirst, drawnFirst + 3, &vertices[3 * t.vertexidx[k]])) k++;
      for (int j = 0; j < 3; j++) {
        const int c = (k + j) % 3;
        const float* corner = &mesh.corners[Mesh::kStride * mesh.indices[3 * i + j]];
        for (int d = 0; d < 3; d++) EXPECT_EQ(corner[d], vertices[3 * t.vertexidx[c] + d]);
        for (int d = 0; d < 3 && !flat; d++)
          EXPECT_EQ(corner[3 + d], normals[3 * t.normalidx[c] + d]);
        for (int d = 0; d < 2 && texture; d++)
          EXPECT_EQ(corner[6 + d], texcoords[2 * t.texcoordidx[c] + d]);
        distinct.insert(
            {t.vertexidx[c], flat ? 0 : t.normalidx[c], texture ? t.texcoordidx[c] : 0});
      }
      for (int d = 0; d < 3 && flat; d++) EXPECT_EQ(last[3 + d], facets[3 * t.facetnormidx + d]);
    }
    // Flat: a corner per triangle for its facet normal, more only for a
    // position no triangle could claim.
    if (flat)
      EXPECT_TRUE(mesh.cornerCount() >= 4 && mesh.cornerCount() <= 4 + distinct.size());
    else
      EXPECT_EQ(mesh.cornerCount(), distinct.size());

    // Seen from below the face z = 0, only that face is turned to the eye;
    // with fronts hidden, only the other three show; where the triangles
    // sharing a corner hide different sides, all of them may show.
    const float eye[] = {0.2f, 0.2f, -10};
    std::vector<unsigned> seen;
    std::vector<Mesh::Part> parts;
    for (Hidden side : {Hidden::Back, Hidden::Front, Hidden::None}) {
      const Hidden last = side == Hidden::None ? Hidden::Front : side;
      const Hidden sides[] = {side == Hidden::None ? Hidden::Back : side, last, last, last};
      Mesh hiding;
      ASSERT_TRUE(buildMesh(model, mode, hiding, sides));
      hiding.buildPlanes();
      hiding.facing(eye, seen, parts);
      if (side == Hidden::Back) {
        ASSERT_EQ(parts.size(), 1u);
        EXPECT_EQ(parts[0].material, 0u);
        EXPECT_TRUE(std::equal(seen.begin(), seen.end(), hiding.indices.begin() + 9));
      }
      EXPECT_EQ(seen.size(), side == Hidden::Back ? 3u : side == Hidden::Front ? 9u : 12u);
    }
  }
  Mesh none;
  EXPECT_FALSE(buildMesh(model, DRAW_SMOOTH | DRAW_OUTLINE, none));
  model.texcoords = nullptr;
  EXPECT_FALSE(buildMesh(model, DRAW_SMOOTH | DRAW_TEXTURE, none));
}

TEST(ObjviewMesh, PartsFollowEachTrianglesMaterialAndTextureCoordinatesInDrawingOrder) {
  // One group of four triangles: materials 0, 1, 1, 0; the third without
  // texture coordinates.
  float vertices[] = {0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1};
  float normals[] = {0, 0, 0, 0, 0, 1}, texcoords[] = {0, 0, 1, 1};
  ObjTriangle triangles[] = {{{1, 2, 3}, {1, 1, 1}, {1, 1, 1}, 0, 0},
                             {{1, 2, 4}, {1, 1, 1}, {1, 1, 1}, 0, 1},
                             {{1, 3, 4}, {1, 1, 1}, {0, 0, 0}, 0, 1},
                             {{2, 3, 4}, {1, 1, 1}, {1, 1, 1}, 0, 0}};
  unsigned order[] = {0, 1, 2, 3};
  ObjGroup group{nullptr, 4, order, 0, nullptr};
  ObjMaterial materials[2]{};
  ObjModel model{};
  model.vertexcount = 4, model.vertices = vertices, model.normalcount = 1;
  model.normals = normals, model.texcoordcount = 1, model.texcoords = texcoords;
  model.trianglecount = 4, model.triangles = triangles, model.materialcount = 2;
  model.materials = materials, model.groups = &group;
  const auto parts = [&](unsigned mode) {
    Mesh mesh;
    EXPECT_TRUE(buildMesh(model, mode, mesh));
    std::vector<std::tuple<unsigned, unsigned, unsigned, bool>> out;
    for (const Mesh::Part& p : mesh.parts)
      out.push_back({p.first, p.count, p.material, p.textured});
    return out;
  };
  using P = std::vector<std::tuple<unsigned, unsigned, unsigned, bool>>;
  EXPECT_EQ(parts(DRAW_SMOOTH), (P{{0, 12, 0, true}}));
  EXPECT_EQ(parts(DRAW_SMOOTH | DRAW_COLOR),
            (P{{0, 3, 0, true}, {3, 6, 1, true}, {9, 3, 0, true}}));
  EXPECT_EQ(parts(DRAW_SMOOTH | DRAW_TEXTURE),
            (P{{0, 3, 0, true}, {3, 3, 1, true}, {6, 3, 1, false}, {9, 3, 0, true}}));
}

TEST(ObjviewMesh, VertexColoursFollowEachCornersVertexAndFlatShadingThenBlendsThem) {
  // Two triangles sharing an edge, each vertex its own colour.
  float vertices[] = {0, 0, 0, 0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0};
  float colors[] = {0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 1, 1, 0};
  float normals[] = {0, 0, 0, 0, 0, 1}, facets[] = {0, 0, 0, 0, 0, 1, 0, 0, 1};
  ObjTriangle triangles[] = {{{1, 2, 3}, {1, 1, 1}, {}, 1, 0}, {{1, 3, 4}, {1, 1, 1}, {}, 2, 0}};
  unsigned order[] = {0, 1};
  ObjGroup group{nullptr, 2, order, 0, nullptr};
  ObjModel model{};
  model.vertexcount = 4, model.vertices = vertices, model.colors = colors;
  model.normalcount = 1, model.normals = normals, model.facetnormcount = 2;
  model.facetnorms = facets, model.trianglecount = 2, model.triangles = triangles;
  model.groups = &group;
  for (unsigned shading : {DRAW_SMOOTH, DRAW_FLAT}) {
    SCOPED_TRACE(shading);
    Mesh mesh;
    ASSERT_TRUE(buildMesh(model, shading | DRAW_VERTEXCOLOR, mesh));
    ASSERT_EQ(mesh.colors.size(), 3 * mesh.cornerCount());
    for (unsigned i = 0; i < 6; i++) {
      const unsigned v = triangles[i / 3].vertexidx[i % 3], c = mesh.indices[i];
      EXPECT_TRUE(std::equal(&colors[3 * v], &colors[3 * v + 3], &mesh.colors[3 * c]));
      // Flat: the facet normal at every corner, so no GL_FLAT paints one colour.
      EXPECT_EQ(mesh.corners[Mesh::kStride * c + 5], 1);
    }
    EXPECT_FALSE(mesh.flat);
  }
  Mesh plain;
  ASSERT_TRUE(buildMesh(model, DRAW_FLAT, plain));
  EXPECT_TRUE(plain.flat && plain.colors.empty());
  model.colors = nullptr;
  EXPECT_FALSE(buildMesh(model, DRAW_SMOOTH | DRAW_VERTEXCOLOR, plain));
}

TEST(ObjviewMesh, StrokesAreTheLinesInRunsOfOneMaterialThenThePoints) {
  float vertices[] = {0, 0, 0, 1, 0, 0, 2, 0, 0, 3, 0, 0};  // entry 0 unused
  float colors[] = {0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1};
  ObjLine lines[] = {{{1, 2}, {}, 1}, {{2, 3}, {}, 1}, {{3, 1}, {}, 7}};
  unsigned points[] = {3};
  ObjMaterial materials[2]{};
  ObjModel model{};
  model.vertexcount = 3, model.vertices = vertices, model.colors = colors;
  model.materialcount = 2, model.materials = materials, model.linecount = 3;
  model.lines = lines, model.pointcount = 1, model.points = points;
  const auto runs = [](const Strokes& s) {
    std::vector<std::tuple<unsigned, unsigned, unsigned>> out;
    for (const Strokes::Run& r : s.lines) out.push_back({r.first, r.count, r.material});
    return out;
  };
  using R = std::vector<std::tuple<unsigned, unsigned, unsigned>>;
  // A material past the array draws in material 0.
  const Strokes painted = buildStrokes(model, DRAW_SMOOTH | DRAW_MATERIAL);
  EXPECT_EQ(runs(painted), (R{{0, 4, 1}, {4, 2, 0}}));
  EXPECT_EQ(painted.positions,
            (std::vector<float>{1, 0, 0, 2, 0, 0, 2, 0, 0, 3, 0, 0, 3, 0, 0, 1, 0, 0, 3, 0, 0}));
  EXPECT_EQ(painted.firstPoint * 10 + painted.pointCount, 61u);
  EXPECT_TRUE(painted.colors.empty());
  const Strokes coloured = buildStrokes(model, DRAW_SMOOTH | DRAW_VERTEXCOLOR);
  EXPECT_EQ(runs(coloured), (R{{0, 6, 0}}));
  EXPECT_EQ(std::vector<float>(coloured.colors.end() - 3, coloured.colors.end()),
            (std::vector<float>{0, 0, 1}));
  EXPECT_EQ(coloured.colors.size(), coloured.positions.size());
}
