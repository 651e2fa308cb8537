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
