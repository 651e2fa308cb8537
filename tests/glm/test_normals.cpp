#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <set>
#include <span>
#include <vector>

#include "glm.h"
#include "glm_internal.h"
#include "model_util.h"

namespace {

using namespace testutil;

struct Tri {
  unsigned a, b, c;
};

// A model built by hand: 1-based vertices, 0-based triangles, all of them in
// one group "default".
ModelPtr makeModel(const std::vector<Vec>& vertices, const std::vector<Tri>& triangles) {
  auto* model = emptyModel();
  model->vertexcount = static_cast<unsigned>(vertices.size());
  model->vertices = static_cast<float*>(std::calloc(vertices.size() + 1, 3 * sizeof(float)));
  for (std::size_t i = 0; i < vertices.size(); i++)
    std::memcpy(&model->vertices[3 * (i + 1)], &vertices[i], 3 * sizeof(float));
  model->trianglecount = static_cast<unsigned>(triangles.size());
  model->triangles =
      static_cast<ObjTriangle*>(std::calloc(triangles.size() + 1, sizeof(ObjTriangle)));
  ObjGroup* group = glmEnsureGroup(model, "default");
  group->trianglecount = model->trianglecount;
  group->triangles = static_cast<unsigned*>(std::calloc(triangles.size() + 1, sizeof(unsigned)));
  for (std::size_t i = 0; i < triangles.size(); i++) {
    model->triangles[i].vertexidx[0] = triangles[i].a;
    model->triangles[i].vertexidx[1] = triangles[i].b;
    model->triangles[i].vertexidx[2] = triangles[i].c;
    group->triangles[i] = static_cast<unsigned>(i);
  }
  return ModelPtr(model);
}

// Replaces the facet normals with the given ones (triangle i gets entry i + 1).
void setFacetNormals(ObjModel* model, const std::vector<Vec>& normals) {
  std::free(model->facetnorms);
  model->facetnormcount = static_cast<unsigned>(normals.size());
  model->facetnorms = static_cast<float*>(std::calloc(normals.size() + 1, 3 * sizeof(float)));
  for (std::size_t i = 0; i < normals.size(); i++) {
    std::memcpy(&model->facetnorms[3 * (i + 1)], &normals[i], 3 * sizeof(float));
    model->triangles[i].facetnormidx = static_cast<unsigned>(i + 1);
  }
}

Vec normalAt(const ObjModel* model, unsigned index) {
  return {model->normals[3 * index], model->normals[3 * index + 1], model->normals[3 * index + 2]};
}

Vec cornerNormal(const ObjModel* model, unsigned triangle, int corner) {
  return normalAt(model, model->triangles[triangle].normalidx[corner]);
}

void expectVec(Vec expected, Vec actual, float tolerance = 1e-6f) {
  EXPECT_NEAR(expected.x, actual.x, tolerance);
  EXPECT_NEAR(expected.y, actual.y, tolerance);
  EXPECT_NEAR(expected.z, actual.z, tolerance);
}

// Every corner must point inside the normal array.
void expectAllCornersValid(const ObjModel* model) {
  for (unsigned i = 0; i < model->trianglecount; i++)
    for (int k = 0; k < 3; k++) {
      EXPECT_GE(model->triangles[i].normalidx[k], 1u) << "triangle " << i << " corner " << k;
      EXPECT_LE(model->triangles[i].normalidx[k], model->normalcount)
          << "triangle " << i << " corner " << k;
    }
}

// The unit square in z = 0, two counter-clockwise triangles sharing 1 and 3.
ModelPtr flatSquare() {
  return makeModel({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, {{1, 2, 3}, {1, 3, 4}});
}

// An axis-aligned cube, every face wound counter-clockwise seen from outside.
ModelPtr cube() {
  std::vector<Vec> v;
  for (int i = 0; i < 8; i++) v.push_back({float(i & 1), float((i >> 1) & 1), float((i >> 2) & 1)});
  // Vertex n (1-based) is corner n - 1 = x + 2y + 4z.
  std::vector<Tri> t = {
      {1, 3, 4}, {1, 4, 2},  // z = 0, normal -z
      {5, 6, 8}, {5, 8, 7},  // z = 1, normal +z
      {1, 2, 6}, {1, 6, 5},  // y = 0, normal -y
      {3, 7, 8}, {3, 8, 4},  // y = 1, normal +y
      {1, 5, 7}, {1, 7, 3},  // x = 0, normal -x
      {2, 4, 8}, {2, 8, 6},  // x = 1, normal +x
  };
  return makeModel(v, t);
}

}  // namespace

TEST(Vectors, CrossIsRightHandedAndNormalizingZeroIsNotFinite) {
  const float x[3] = {1, 0, 0}, y[3] = {0, 1, 0};
  float n[3];
  glmCrossProduct(x, y, n);
  EXPECT_EQ(0.0f, n[0]);
  EXPECT_EQ(0.0f, n[1]);
  EXPECT_EQ(1.0f, n[2]);
  const float u[3] = {1, 2, 3}, v[3] = {4, -5, 6};
  glmCrossProduct(u, v, n);
  EXPECT_EQ(27.0f, n[0]);
  EXPECT_EQ(6.0f, n[1]);
  EXPECT_EQ(-13.0f, n[2]);
  EXPECT_EQ(12.0f, glmDotProduct(u, v));

  float w[3] = {3, 0, -4};
  glmNormalizeVector(w);
  EXPECT_FLOAT_EQ(0.6f, w[0]);
  EXPECT_EQ(0.0f, w[1]);
  EXPECT_FLOAT_EQ(-0.8f, w[2]);

  float zero[3] = {0, 0, 0};
  glmNormalizeVector(zero);
  EXPECT_FALSE(std::isfinite(zero[0]));
}

TEST(FaceNormals, CounterClockwiseFacesTheViewerAndDegenerateIsNotFinite) {
  ModelPtr model = flatSquare();
  // A stale array is replaced, not reused.
  model->facetnormcount = 7;
  model->facetnorms = static_cast<float*>(std::calloc(8, 3 * sizeof(float)));
  glmComputeFaceNormals(model.get());
  ASSERT_EQ(2u, model->facetnormcount);
  for (unsigned i = 0; i < 2; i++) {
    EXPECT_EQ(i + 1, model->triangles[i].facetnormidx);
    const float* n = &model->facetnorms[3 * (i + 1)];
    EXPECT_EQ(0.0f, n[0]);
    EXPECT_EQ(0.0f, n[1]);
    EXPECT_EQ(1.0f, n[2]);
  }

  // Wound the other way, the normal points away; not unit-length input
  // still gives a unit normal.
  ModelPtr tilted = makeModel({{0, 0, 0}, {0, 3, 3}, {3, 0, 0}}, {{1, 2, 3}});
  glmComputeFaceNormals(tilted.get());
  const float* n = &tilted->facetnorms[3];
  EXPECT_EQ(0.0f, n[0]);
  EXPECT_FLOAT_EQ(std::sqrt(0.5f), n[1]);
  EXPECT_FLOAT_EQ(-std::sqrt(0.5f), n[2]);

  // Two equal corners: the normal is not finite (there is no guard).
  ModelPtr degenerate = makeModel({{1, 1, 1}, {1, 1, 1}, {2, 0, 0}}, {{1, 2, 3}});
  glmComputeFaceNormals(degenerate.get());
  EXPECT_FALSE(std::isfinite(degenerate->facetnorms[3]));
}

TEST(VertexNormals, FlatSquareSharesOneNormalPerVertex) {
  for (float angle : {1.0f, 45.0f, 90.0f, 179.0f}) {
    SCOPED_TRACE(angle);
    ModelPtr model = flatSquare();
    glmComputeFaceNormals(model.get());
    glmVertexNormals(model.get(), angle);
    EXPECT_EQ(4u, model->normalcount);
    EXPECT_EQ(model->triangles[0].normalidx[0], model->triangles[1].normalidx[0]);  // vertex 1
    EXPECT_EQ(model->triangles[0].normalidx[2], model->triangles[1].normalidx[1]);  // vertex 3
    std::set<unsigned> distinct;
    for (unsigned i = 0; i < 2; i++)
      for (int k = 0; k < 3; k++) {
        distinct.insert(model->triangles[i].normalidx[k]);
        expectVec({0, 0, 1}, cornerNormal(model.get(), i, k));
      }
    EXPECT_EQ(4u, distinct.size());
  }
}

TEST(VertexNormals, AngleZeroGivesEveryCornerItsOwnNormal) {
  // cos 0 = 1 and the facet normals are exactly (0, 0, 1): a dot product of
  // exactly the cosine is not smoothed, not even the head with itself.
  ModelPtr model = flatSquare();
  // Normals read from a file are discarded.
  model->normalcount = 2;
  model->normals = static_cast<float*>(std::calloc(3, 3 * sizeof(float)));
  glmComputeFaceNormals(model.get());
  glmVertexNormals(model.get(), 0.0f);
  EXPECT_EQ(6u, model->normalcount);
  std::set<unsigned> distinct;
  for (unsigned i = 0; i < 2; i++)
    for (int k = 0; k < 3; k++) {
      distinct.insert(model->triangles[i].normalidx[k]);
      expectVec({0, 0, 1}, cornerNormal(model.get(), i, k), 0.0f);
    }
  EXPECT_EQ(6u, distinct.size());
  expectAllCornersValid(model.get());
}

TEST(VertexNormals, CubeSmoothsTheHeadsFaceAt45AndAllFacesAt90) {
  ModelPtr model = cube();
  glmComputeFaceNormals(model.get());
  glmVertexNormals(model.get(), 45.0f);
  expectAllCornersValid(model.get());

  // Each corner keeps its own face's normal, and two corners share a normal
  // only when they are at one vertex in the face of the highest-numbered
  // triangle that uses the vertex (triangles 2f and 2f + 1 form face f).
  unsigned expectedCount = 0;
  for (unsigned v = 1; v <= 8; v++) {
    unsigned head = 0;
    for (unsigned i = 0; i < 12; i++)
      for (int k = 0; k < 3; k++)
        if (model->triangles[i].vertexidx[k] == v) head = i;
    std::set<unsigned> shared, own;
    for (unsigned i = 0; i < 12; i++)
      for (int k = 0; k < 3; k++) {
        if (model->triangles[i].vertexidx[k] != v) continue;
        const float* facet = &model->facetnorms[3 * (i + 1)];
        expectVec({facet[0], facet[1], facet[2]}, cornerNormal(model.get(), i, k));
        const unsigned index = model->triangles[i].normalidx[k];
        if (i / 2 == head / 2) {
          shared.insert(index);
        } else {
          EXPECT_TRUE(own.insert(index).second) << "vertex " << v << " triangle " << i;
        }
      }
    EXPECT_EQ(1u, shared.size()) << "vertex " << v;
    expectedCount += 1 + static_cast<unsigned>(own.size());
  }
  EXPECT_EQ(expectedCount, model->normalcount);

  // At 90 degrees each vertex smooths its three faces together, and the
  // array shrinks to those 8 normals (reading them all is clean under
  // AddressSanitizer).
  glmVertexNormals(model.get(), 90.0f);
  ASSERT_EQ(8u, model->normalcount);
  const float third = 1.0f / std::sqrt(3.0f);
  expectVec({-third, -third, -third}, cornerNormal(model.get(), 0, 0));
  for (unsigned i = 1; i <= model->normalcount; i++) {
    const Vec n = normalAt(model.get(), i);
    EXPECT_NEAR(1.0f, std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z), 1e-6f);
  }
}

TEST(VertexNormals, RightAngleIsSmoothedBecausePiIsSinglePrecision) {
  // Two triangles meeting at vertex 1, triangle 1 (the reference) facing +x.
  ModelPtr model =
      makeModel({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0, 1, 1}}, {{1, 2, 3}, {1, 4, 5}});

  // Dot product exactly 0 > cos(90 degrees) = -4.371139e-08: smoothed.
  setFacetNormals(model.get(), {{0, 1, 0}, {1, 0, 0}});
  glmVertexNormals(model.get(), 90.0f);
  EXPECT_EQ(model->triangles[0].normalidx[0], model->triangles[1].normalidx[0]);
  expectVec({std::sqrt(0.5f), std::sqrt(0.5f), 0}, cornerNormal(model.get(), 0, 0));
  EXPECT_EQ(5u, model->normalcount);

  // Dot product exactly equal to the cosine: not smoothed.
  setFacetNormals(model.get(), {{-4.371139e-08f, 1, 0}, {1, 0, 0}});
  glmVertexNormals(model.get(), 90.0f);
  EXPECT_NE(model->triangles[0].normalidx[0], model->triangles[1].normalidx[0]);
  expectVec({1, 0, 0}, cornerNormal(model.get(), 1, 0), 0.0f);
  expectVec({-4.371139e-08f, 1, 0}, cornerNormal(model.get(), 0, 0), 0.0f);
  EXPECT_EQ(6u, model->normalcount);

  // One step above the cosine: smoothed again.
  setFacetNormals(model.get(), {{std::nextafter(-4.371139e-08f, 1.0f), 1, 0}, {1, 0, 0}});
  glmVertexNormals(model.get(), 90.0f);
  EXPECT_EQ(model->triangles[0].normalidx[0], model->triangles[1].normalidx[0]);
}

TEST(VertexNormals, ReferenceIsTheHighestNumberedTriangle) {
  // Three triangles share vertex 1 only. A and C, and B and C, are within 60
  // degrees of each other; A and B are not.
  const float c50 = std::cos(50.0f * 3.14159265f / 180.0f),
              s50 = std::sin(50.0f * 3.14159265f / 180.0f);
  const float c100 = std::cos(100.0f * 3.14159265f / 180.0f),
              s100 = std::sin(100.0f * 3.14159265f / 180.0f);
  const Vec a{1, 0, 0}, b{c100, s100, 0}, c{c50, s50, 0};
  std::vector<Vec> positions(7, Vec{0, 0, 0});
  const std::vector<Tri> triangles = {{1, 2, 3}, {1, 4, 5}, {1, 6, 7}};

  // C is last, so it is the reference: all three are smoothed together.
  ModelPtr model = makeModel(positions, triangles);
  setFacetNormals(model.get(), {a, b, c});
  glmVertexNormals(model.get(), 60.0f);
  EXPECT_EQ(model->triangles[0].normalidx[0], model->triangles[2].normalidx[0]);
  EXPECT_EQ(model->triangles[1].normalidx[0], model->triangles[2].normalidx[0]);
  Vec sum{a.x + b.x + c.x, a.y + b.y + c.y, 0};
  const float length = std::sqrt(sum.x * sum.x + sum.y * sum.y);
  expectVec({sum.x / length, sum.y / length, 0}, cornerNormal(model.get(), 0, 0));
  EXPECT_EQ(1u + 6u, model->normalcount);

  // B last: A is compared with B, not with its neighbour C, and stays apart.
  ModelPtr reordered = makeModel(positions, triangles);
  setFacetNormals(reordered.get(), {a, c, b});
  glmVertexNormals(reordered.get(), 60.0f);
  EXPECT_EQ(reordered->triangles[1].normalidx[0], reordered->triangles[2].normalidx[0]);
  EXPECT_NE(reordered->triangles[0].normalidx[0], reordered->triangles[2].normalidx[0]);
  expectVec(a, cornerNormal(reordered.get(), 0, 0), 0.0f);
  EXPECT_EQ(2u + 6u, reordered->normalcount);
}

TEST(VertexNormals, UnusedVertexIsReportedAndSkipped) {
  ModelPtr model = makeModel({{0, 0, 0}, {1, 0, 0}, {9, 9, 9}, {0, 1, 0}}, {{1, 2, 4}});
  glmComputeFaceNormals(model.get());
  testing::internal::CaptureStderr();
  glmVertexNormals(model.get(), 30.0f);
  EXPECT_EQ("glmVertexNormals(): vertex w/o a triangle\n", testing::internal::GetCapturedStderr());
  EXPECT_EQ(3u, model->normalcount);
  expectAllCornersValid(model.get());
  for (int k = 0; k < 3; k++) expectVec({0, 0, 1}, cornerNormal(model.get(), 0, k), 0.0f);
}

TEST(VertexNormals, EveryCornerOfATriangleNamingAVertexTwiceGetsANormal) {
  // Vertex 1 at corners 0 and 1 of triangle 0; stale indices far outside
  // the array must all be overwritten.
  const std::vector<Vec> positions = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
  const std::vector<Tri> triangles = {{1, 1, 2}, {1, 2, 3}};
  for (float angle : {0.0f, 30.0f}) {
    SCOPED_TRACE(angle);
    // Hand-set facet normals: a finite normal for the degenerate triangle.
    ModelPtr model = makeModel(positions, triangles);
    for (auto& triangle : std::span(model->triangles, 2))
      for (unsigned& index : triangle.normalidx) index = 0xDEADBEEF;
    setFacetNormals(model.get(), {{0, 0, 1}, {0, 0, 1}});
    glmVertexNormals(model.get(), angle);
    expectAllCornersValid(model.get());
    for (unsigned i = 0; i < 2; i++)
      for (int k = 0; k < 3; k++) expectVec({0, 0, 1}, cornerNormal(model.get(), i, k));
    if (angle > 0) {
      EXPECT_EQ(model->triangles[0].normalidx[0], model->triangles[0].normalidx[1]);
    }

    // Computed facet normals: the degenerate triangle's is not finite and is
    // smoothed with nothing, but its corners are still all assigned.
    ModelPtr computed = makeModel(positions, triangles);
    for (auto& triangle : std::span(computed->triangles, 2))
      for (unsigned& index : triangle.normalidx) index = 0xDEADBEEF;
    glmComputeFaceNormals(computed.get());
    glmVertexNormals(computed.get(), angle);
    expectAllCornersValid(computed.get());
    EXPECT_NE(computed->triangles[0].normalidx[0], computed->triangles[0].normalidx[1]);
    EXPECT_FALSE(std::isfinite(cornerNormal(computed.get(), 0, 1).z));
  }
}

// One normal per corner at most: a model whose corners outnumber what an
// index holds (the bound lowered to 5 here for two triangles) is too large,
// and is refused before any triangle changes.
TEST(VertexNormals, ModelWithMoreCornersThanAnIndexHoldsIsTooLarge) {
  ModelPtr model = flatSquare();
  glmComputeFaceNormals(model.get());
  glm_internal::glmSetNormalsBound(5);
  glmSetFailureHandler(throwFailure);
  ::testing::internal::CaptureStderr();
  EXPECT_THROW(glmVertexNormals(model.get(), 90.0f), Failure);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "glmVertexNormals() failed: a model of 2 triangles is too large.\n");
  EXPECT_EQ(model->normals, nullptr);
  EXPECT_EQ(model->triangles[0].normalidx[0], 0u);
  glm_internal::glmSetNormalsBound(6);
  glmVertexNormals(model.get(), 90.0f);
  EXPECT_EQ(model->normalcount, 4u);
  glm_internal::glmSetNormalsBound(glm_internal::kMostNormals);
  glmSetFailureHandler(nullptr);
}

TEST(NormalsDeathTest, PreconditionsAreAsserted) {
  const float v[3] = {0, 0, 0};
  float n[3];
  EXPECT_DEATH(glmCrossProduct(nullptr, v, n), "Assertion `u' failed");
  EXPECT_DEATH(glmCrossProduct(v, nullptr, n), "Assertion `v' failed");
  EXPECT_DEATH(glmCrossProduct(v, v, nullptr), "Assertion `n' failed");
  EXPECT_DEATH(glmDotProduct(v, nullptr), "Assertion `v' failed");
  EXPECT_DEATH(glmNormalizeVector(nullptr), "Assertion `v' failed");
  EXPECT_DEATH(glmComputeFaceNormals(nullptr), "Assertion `model' failed");
  EXPECT_DEATH(glmVertexNormals(nullptr, 90.0f), "Assertion `model' failed");

  ModelPtr model = flatSquare();
  EXPECT_DEATH(glmVertexNormals(model.get(), 90.0f), "model->facetnorms");
  std::free(model->vertices);
  model->vertices = nullptr;
  EXPECT_DEATH(glmComputeFaceNormals(model.get()), "model->vertices");
}

TEST(NormalsDeathTest, VertexIndexOutsideTheModelIsAsserted) {
  ModelPtr model = flatSquare();
  glmComputeFaceNormals(model.get());
  model->triangles[1].vertexidx[2] = 5;
  EXPECT_DEATH(glmVertexNormals(model.get(), 90.0f), "vertexidx");
  EXPECT_DEATH(glmComputeFaceNormals(model.get()), "vertexidx");
}
