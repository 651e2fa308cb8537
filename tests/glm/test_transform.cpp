#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include "glm.h"
#include "model_util.h"

namespace {

using namespace testutil;

// A model with the given 1-based vertices and no triangles. Entry 0 holds
// NaN: an operation that reads it would spoil its result.
ModelPtr makeModel(const std::vector<Vec>& vertices) {
  auto* model = emptyModel();
  model->vertexcount = static_cast<unsigned>(vertices.size());
  model->vertices = static_cast<float*>(std::malloc((vertices.size() + 1) * 3 * sizeof(float)));
  model->vertices[0] = model->vertices[1] = model->vertices[2] = kNaN;
  for (std::size_t i = 0; i < vertices.size(); i++)
    std::memcpy(&model->vertices[3 * (i + 1)], &vertices[i], 3 * sizeof(float));
  return ModelPtr(model);
}

Vec vertex(const ObjModel* model, unsigned i) {
  return {model->vertices[3 * i], model->vertices[3 * i + 1], model->vertices[3 * i + 2]};
}

void expectVec(Vec expected, Vec actual) {
  EXPECT_FLOAT_EQ(expected.x, actual.x);
  EXPECT_FLOAT_EQ(expected.y, actual.y);
  EXPECT_FLOAT_EQ(expected.z, actual.z);
}

void expectEntryZeroUntouched(const ObjModel* model) {
  EXPECT_TRUE(std::isnan(model->vertices[0]) && std::isnan(model->vertices[1]) &&
              std::isnan(model->vertices[2]));
}

}  // namespace

TEST(Scalars, OnlyNegativesFlipAndTiesOrNaNKeepTheFirstOperand) {
  EXPECT_EQ(2.5f, glmAbsValue(-2.5f));
  EXPECT_EQ(2.5f, glmAbsValue(2.5f));
  EXPECT_TRUE(std::signbit(glmAbsValue(-0.0f)));  // -0 is not below 0
  EXPECT_EQ(3.0f, glmMaxOf(1.0f, 3.0f));
  EXPECT_EQ(3.0f, glmMaxOf(3.0f, 1.0f));
  EXPECT_TRUE(std::signbit(glmMaxOf(-0.0f, 0.0f)));  // equal: the first
  EXPECT_TRUE(std::isnan(glmMaxOf(kNaN, 1.0f)));     // unordered: the first
  EXPECT_EQ(1.0f, glmMaxOf(1.0f, kNaN));
}

TEST(Extents, SumOfAbsoluteBounds) {
  ModelPtr straddling = makeModel({{-1, 0, 0}, {3, 2, 1}});
  float dims[3];
  glmMeasureExtents(straddling.get(), dims);
  EXPECT_EQ(4.0f, dims[0]);
  EXPECT_EQ(2.0f, dims[1]);
  EXPECT_EQ(1.0f, dims[2]);

  // Bounds on one side of zero: |max| + |min|, not max - min.
  ModelPtr oneSided = makeModel({{2, 2, 2}, {4, 4, 4}, {3, -1, 3}});
  glmMeasureExtents(oneSided.get(), dims);
  EXPECT_EQ(6.0f, dims[0]);
  EXPECT_EQ(5.0f, dims[1]);
  EXPECT_EQ(6.0f, dims[2]);
  expectEntryZeroUntouched(oneSided.get());
}

TEST(Extents, ModelWithoutVerticesMeasuresZero) {
  ModelPtr empty = makeModel({});
  float dims[3] = {7, 7, 7};
  glmMeasureExtents(empty.get(), dims);
  EXPECT_EQ(0.0f, dims[0]);
  EXPECT_EQ(0.0f, dims[1]);
  EXPECT_EQ(0.0f, dims[2]);
}

TEST(FitToUnitCube, CentresAndScalesTheLargestExtentToTwo) {
  ModelPtr model = makeModel({{-1, 0, 0}, {3, 2, 1}});
  EXPECT_EQ(0.5f, glmFitToUnitCube(model.get()));
  expectVec({-1, -0.5f, -0.25f}, vertex(model.get(), 1));
  expectVec({1, 0.5f, 0.25f}, vertex(model.get(), 2));
  expectEntryZeroUntouched(model.get());

  // One-sided bounds measure 6, so the model ends smaller than the cube.
  ModelPtr oneSided = makeModel({{2, 2, 2}, {4, 4, 4}});
  const float scale = glmFitToUnitCube(oneSided.get());
  EXPECT_FLOAT_EQ(1.0f / 3.0f, scale);
  expectVec({-1.0f / 3, -1.0f / 3, -1.0f / 3}, vertex(oneSided.get(), 1));
  expectVec({1.0f / 3, 1.0f / 3, 1.0f / 3}, vertex(oneSided.get(), 2));
}

TEST(FitToUnitCube, ZeroExtentIsOnlyCentred) {
  for (std::size_t count : {1u, 3u}) {
    ModelPtr model = makeModel(std::vector<Vec>(count, Vec{0, 0, 0}));
    EXPECT_EQ(1.0f, glmFitToUnitCube(model.get()));
    for (unsigned i = 1; i <= count; i++) expectVec({0, 0, 0}, vertex(model.get(), i));
  }
}

TEST(FitToUnitCube, ModelWithoutVerticesIsUnchanged) {
  ModelPtr empty = makeModel({});
  EXPECT_EQ(1.0f, glmFitToUnitCube(empty.get()));
  EXPECT_EQ(0u, empty->vertexcount);
  expectEntryZeroUntouched(empty.get());
}

TEST(FitToUnitCube, CentreOfHugeBoundsIsHalvedInDoublePrecision) {
  // max + min overflows a float; halved in double the centre is 3e38. The
  // width overflows to infinity, so the scale is 0 and every coordinate ends
  // at 0 rather than at NaN.
  ModelPtr model = makeModel({{3e38f, 0, 0}, {3e38f, 1, 1}});
  EXPECT_EQ(0.0f, glmFitToUnitCube(model.get()));
  for (unsigned i = 1; i <= 2; i++) expectVec({0, 0, 0}, vertex(model.get(), i));
}

TEST(Transforms, ScaleAndTranslateEveryVertex) {
  ModelPtr model = makeModel({{1, -2, 3}, {0.1f, 0.2f, 0.3f}});
  model->normalcount = 1;
  model->normals = static_cast<float*>(std::calloc(2, 3 * sizeof(float)));
  model->normals[3] = 1;

  const float zero[3] = {0, 0, 0};
  glmScaleVertices(model.get(), 1.0f);
  glmTranslateVertices(model.get(), zero);
  EXPECT_EQ(0.1f, vertex(model.get(), 2).x);
  EXPECT_EQ(0.2f, vertex(model.get(), 2).y);
  EXPECT_EQ(0.3f, vertex(model.get(), 2).z);

  glmScaleVertices(model.get(), 2.0f);
  expectVec({2, -4, 6}, vertex(model.get(), 1));
  EXPECT_EQ(1.0f, model->normals[3]);  // normals are not scaled
  const float offset[3] = {1, 2, -3};
  glmTranslateVertices(model.get(), offset);
  expectVec({3, -2, 3}, vertex(model.get(), 1));
  expectVec({1.2f, 2.4f, -2.4f}, vertex(model.get(), 2));
  expectEntryZeroUntouched(model.get());
}

TEST(FlipWinding, SwapsCornersAndNegatesNormalsAndTwiceRestores) {
  ModelPtr model = makeModel({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
  model->trianglecount = 1;
  model->triangles = static_cast<ObjTriangle*>(std::calloc(1, sizeof(ObjTriangle)));
  model->triangles[0] = {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}, 1, 0};
  model->normalcount = 2;
  model->normals = static_cast<float*>(std::calloc(3, 3 * sizeof(float)));
  const float normals[6] = {0, 0, 1, 0.5f, -0.0f, -2};
  std::memcpy(model->normals + 3, normals, sizeof normals);
  model->facetnormcount = 1;
  model->facetnorms = static_cast<float*>(std::calloc(2, 3 * sizeof(float)));
  model->facetnorms[5] = 1;
  model->texcoordcount = 1;
  model->texcoords = static_cast<float*>(std::calloc(2, 2 * sizeof(float)));

  glmFlipWinding(model.get());
  const ObjTriangle& t = model->triangles[0];
  EXPECT_EQ((std::vector<unsigned>{3, 2, 1}), std::vector<unsigned>(t.vertexidx, t.vertexidx + 3));
  EXPECT_EQ((std::vector<unsigned>{6, 5, 4}), std::vector<unsigned>(t.normalidx, t.normalidx + 3));
  EXPECT_EQ((std::vector<unsigned>{9, 8, 7}),
            std::vector<unsigned>(t.texcoordidx, t.texcoordidx + 3));
  EXPECT_EQ(1u, t.facetnormidx);
  EXPECT_EQ(-1.0f, model->facetnorms[5]);
  EXPECT_EQ(-1.0f, model->normals[5]);
  EXPECT_EQ(-0.5f, model->normals[6]);
  EXPECT_FALSE(std::signbit(model->normals[7]));
  EXPECT_EQ(2.0f, model->normals[8]);

  glmFlipWinding(model.get());
  EXPECT_EQ((std::vector<unsigned>{1, 2, 3}), std::vector<unsigned>(t.vertexidx, t.vertexidx + 3));
  EXPECT_EQ(0, std::memcmp(model->normals + 3, normals, sizeof normals));
  EXPECT_EQ(1.0f, model->facetnorms[5]);
}

TEST(FlipWinding, WithoutNormalsOrTexcoordsOnlyVertexIndicesSwap) {
  ModelPtr model = makeModel({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
  model->trianglecount = 1;
  model->triangles = static_cast<ObjTriangle*>(std::calloc(1, sizeof(ObjTriangle)));
  model->triangles[0] = {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}, 0, 0};
  glmFlipWinding(model.get());
  const ObjTriangle& t = model->triangles[0];
  EXPECT_EQ((std::vector<unsigned>{3, 2, 1}), std::vector<unsigned>(t.vertexidx, t.vertexidx + 3));
  EXPECT_EQ((std::vector<unsigned>{4, 5, 6}), std::vector<unsigned>(t.normalidx, t.normalidx + 3));
  EXPECT_EQ((std::vector<unsigned>{7, 8, 9}),
            std::vector<unsigned>(t.texcoordidx, t.texcoordidx + 3));
}

TEST(TransformsDeathTest, PreconditionsAreAsserted) {
  float dims[3];
  EXPECT_DEATH(glmMeasureExtents(nullptr, dims), "Assertion `model' failed");
  EXPECT_DEATH(glmFitToUnitCube(nullptr), "Assertion `model' failed");
  EXPECT_DEATH(glmFlipWinding(nullptr), "Assertion `model' failed");
  const float offset[3] = {1, 2, 3};
  EXPECT_DEATH(glmScaleVertices(nullptr, 2.0f), "Assertion `model' failed");
  EXPECT_DEATH(glmTranslateVertices(nullptr, offset), "Assertion `model' failed");
  ModelPtr model = makeModel({{1, 2, 3}});
  EXPECT_DEATH(glmMeasureExtents(model.get(), nullptr), "Assertion `dimensions' failed");
  std::free(model->vertices);
  model->vertices = nullptr;
  EXPECT_DEATH(glmMeasureExtents(model.get(), dims), "model->vertices");
  EXPECT_DEATH(glmFitToUnitCube(model.get()), "model->vertices");
}
