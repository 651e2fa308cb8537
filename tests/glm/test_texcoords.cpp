#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "glm.h"
#include "model_util.h"

namespace {

using namespace testutil;

// One triangle per entry of `grouped`: those marked true are in group "g".
// Every corner k of triangle i uses vertex and normal 3i + k + 1 (wrapped
// into the arrays), and texture index 99.
ModelPtr makeModel(const std::vector<Vec>& vertices, const std::vector<Vec>& normals,
                   const std::vector<bool>& grouped) {
  auto* model = emptyModel();
  model->vertexcount = static_cast<unsigned>(vertices.size());
  model->vertices = vectorArray(vertices);
  if (!normals.empty()) {
    model->normalcount = static_cast<unsigned>(normals.size());
    model->normals = vectorArray(normals);
  }
  // Texture coordinates from the file, to be replaced.
  model->texcoordcount = 2;
  model->texcoords = static_cast<float*>(std::calloc(3, 2 * sizeof(float)));
  model->trianglecount = static_cast<unsigned>(grouped.size());
  model->triangles =
      static_cast<ObjTriangle*>(std::calloc(grouped.size() + 1, sizeof(ObjTriangle)));
  ObjGroup* group = glmEnsureGroup(model, "g");
  group->triangles = static_cast<unsigned*>(std::calloc(grouped.size() + 1, sizeof(unsigned)));
  for (unsigned i = 0; i < grouped.size(); i++) {
    for (unsigned k = 0; k < 3; k++) {
      model->triangles[i].vertexidx[k] = vertices.empty() ? 0 : (3 * i + k) % vertices.size() + 1;
      model->triangles[i].normalidx[k] = normals.empty() ? 0 : (3 * i + k) % normals.size() + 1;
      model->triangles[i].texcoordidx[k] = 99;
    }
    if (grouped[i]) group->triangles[group->trianglecount++] = i;
  }
  return ModelPtr(model);
}

float s(const ObjModel* model, unsigned i) { return model->texcoords[2 * i]; }
float t(const ObjModel* model, unsigned i) { return model->texcoords[2 * i + 1]; }

}  // namespace

TEST(PlanarTexCoords, ProjectsXAndZScaledByTheLargestExtent) {
  ModelPtr model = makeModel({{-1, 0, -1}, {1, 0, 1}, {0, 5, 0}}, {}, {true, false});
  // y does not take part in the mapping but does in the extents: dims are
  // (2, 5, 2), so the scale is 2/5.
  glmPlanarTexCoords(model.get());
  ASSERT_EQ(3u, model->texcoordcount);
  EXPECT_FLOAT_EQ(0.3f, s(model.get(), 1));
  EXPECT_FLOAT_EQ(0.3f, t(model.get(), 1));
  EXPECT_FLOAT_EQ(0.7f, s(model.get(), 2));
  EXPECT_FLOAT_EQ(0.7f, t(model.get(), 2));
  EXPECT_EQ(0.5f, s(model.get(), 3));  // x = 0, z = 0 always maps to the centre
  EXPECT_EQ(0.5f, t(model.get(), 3));
  // Grouped corners point at their vertex's pair; others keep their index.
  for (int k = 0; k < 3; k++) {
    EXPECT_EQ(model->triangles[0].vertexidx[k], model->triangles[0].texcoordidx[k]);
    EXPECT_EQ(99u, model->triangles[1].texcoordidx[k]);
  }

  ModelPtr flat = makeModel({{-1, 0, -1}, {1, 0, 1}}, {}, {true});
  glmPlanarTexCoords(flat.get());
  EXPECT_EQ(0.0f, s(flat.get(), 1));
  EXPECT_EQ(0.0f, t(flat.get(), 1));
  EXPECT_EQ(1.0f, s(flat.get(), 2));
  EXPECT_EQ(1.0f, t(flat.get(), 2));
}

TEST(PlanarTexCoords, OffCentreModelFallsOutsideTheUnitSquare) {
  ModelPtr model = makeModel({{2, 0, 0}, {4, 0.5f, 0.5f}}, {}, {true});
  glmPlanarTexCoords(model.get());  // dims[0] = |4| + |2| = 6, scale 1/3
  EXPECT_FLOAT_EQ((2.0f / 3 + 1) / 2, s(model.get(), 1));
  EXPECT_FLOAT_EQ((4.0f / 3 + 1) / 2, s(model.get(), 2));
  EXPECT_GT(s(model.get(), 2), 1.0f);
  EXPECT_EQ(0.5f, t(model.get(), 1));
  EXPECT_FLOAT_EQ((0.5f / 3 + 1) / 2, t(model.get(), 2));
}

TEST(PlanarTexCoords, ZeroExtentUsesScaleOne) {
  ModelPtr model = makeModel({{0, 0, 0}}, {}, {true});
  glmPlanarTexCoords(model.get());
  ASSERT_EQ(1u, model->texcoordcount);
  EXPECT_EQ(0.5f, s(model.get(), 1));
  EXPECT_EQ(0.5f, t(model.get(), 1));
}

TEST(PlanarTexCoords, ModelWithoutVerticesIsUnchanged) {
  ModelPtr model = makeModel({}, {}, {});
  const float* before = model->texcoords;
  glmPlanarTexCoords(model.get());
  EXPECT_EQ(before, model->texcoords);
  EXPECT_EQ(2u, model->texcoordcount);
}

TEST(SphericalTexCoords, MapsNormalsWithTheSingleAndDoubleConstants) {
  ModelPtr model = makeModel(
      {{0, 0, 0}}, {{0, 1, 0}, {0, 0, 1}, {1, 0, 0}, {-1, 0, 0}, {0.6f, 0, 0.8f}, {0, 0.6f, 0.8f}},
      {true, false});
  glmSphericalTexCoords(model.get());
  ASSERT_EQ(6u, model->texcoordcount);
  // +y: theta = asin(1) + 1.570796325 rounds to s = 1 exactly; phi = pi/2.
  EXPECT_EQ(1.0f, s(model.get(), 1));
  EXPECT_EQ(0.5f, t(model.get(), 1));
  // +z: y = 0 takes the constant two units in the last place below pi/2.
  EXPECT_EQ(0.49999994f, s(model.get(), 2));
  EXPECT_EQ(0.5f, t(model.get(), 2));
  // Along the x axis rho is 0: (0, 0), also for -x.
  EXPECT_EQ(0.0f, s(model.get(), 3));
  EXPECT_EQ(0.0f, t(model.get(), 3));
  EXPECT_EQ(0.0f, s(model.get(), 4));
  EXPECT_EQ(0.0f, t(model.get(), 4));
  EXPECT_EQ(0.49999994f, s(model.get(), 5));
  EXPECT_NEAR(std::acos(0.6) / M_PI, t(model.get(), 5), 1e-7);
  EXPECT_NEAR((std::asin(0.6) + M_PI / 2) / M_PI, s(model.get(), 6), 1e-7);
  EXPECT_EQ(0.5f, t(model.get(), 6));

  for (int k = 0; k < 3; k++) {
    EXPECT_EQ(model->triangles[0].normalidx[k], model->triangles[0].texcoordidx[k]);
    EXPECT_EQ(99u, model->triangles[1].texcoordidx[k]);
  }
}

TEST(TexCoordsDeathTest, PreconditionsAreAsserted) {
  EXPECT_DEATH(glmPlanarTexCoords(nullptr), "Assertion `model' failed");
  EXPECT_DEATH(glmSphericalTexCoords(nullptr), "Assertion `model' failed");
  ModelPtr model = makeModel({{0, 0, 0}}, {}, {true});
  EXPECT_DEATH(glmSphericalTexCoords(model.get()), "model->normals");
}
