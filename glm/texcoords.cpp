// Planar and spherical texture-coordinate generation.
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <utility>

#include "glm_internal.h"

namespace {

// Points corner k of every grouped triangle at the pair indexOf(triangle)[k];
// triangles outside every group keep their texture indices.
template <typename IndexOf>
void pointGroupedCorners(ObjModel* model, IndexOf indexOf) {
  for (ObjGroup* group = model->groups; group; group = group->next)
    for (unsigned j = 0; j < group->trianglecount; j++) {
      ObjTriangle& triangle = model->triangles[group->triangles[j]];
      for (int k = 0; k < 3; k++) triangle.texcoordidx[k] = indexOf(triangle)[k];
    }
}

// A new zero-filled array for `count` pairs; installTexcoords puts it in
// the model once it is filled, so a failed allocation changes nothing.
glm_internal::Owned<float> newTexcoords(unsigned count, const char* operation) {
  return glm_internal::allocOwned<float>(2 * (static_cast<std::size_t>(count) + 1), operation);
}

void installTexcoords(ObjModel* model, glm_internal::Owned<float> texcoords, unsigned count) {
  glm_internal::replaceArray(model->texcoords, std::move(texcoords));
  model->texcoordcount = count;
}

}  // namespace

void glmPlanarTexCoords(ObjModel* model) {
  GLM_ASSERT(model);
  if (model->vertexcount == 0) return;

  float dimensions[3];
  glmMeasureExtents(model, dimensions);
  const float largest =
      glmAbsValue(glmMaxOf(glmMaxOf(dimensions[0], dimensions[1]), dimensions[2]));
  // A model with nothing to measure keeps its coordinates unscaled.
  const float scale =
      largest == 0.0f ? 1.0f : static_cast<float>(2.0 / static_cast<double>(largest));

  glm_internal::Owned<float> owner = newTexcoords(model->vertexcount, "glmPlanarTexCoords");
  float* texcoords = owner.get();
  const float* vertices = model->vertices;
  for (std::size_t i = 1; i <= model->vertexcount; i++) {
    const float x = vertices[3 * i + 0] * scale;
    const float z = vertices[3 * i + 2] * scale;
    texcoords[2 * i + 0] = static_cast<float>((static_cast<double>(x) + 1.0) / 2.0);
    texcoords[2 * i + 1] = static_cast<float>((static_cast<double>(z) + 1.0) / 2.0);
  }
  installTexcoords(model, std::move(owner), model->vertexcount);
  pointGroupedCorners(model, [](const ObjTriangle& t) { return t.vertexidx; });
}

void glmSphericalTexCoords(ObjModel* model) {
  GLM_ASSERT(model);
  GLM_ASSERT(model->normals);

  glm_internal::Owned<float> owner = newTexcoords(model->normalcount, "glmSphericalTexCoords");
  float* texcoords = owner.get();
  const float* normals = model->normals;
  // pi/2 in single precision, and the slightly smaller constant used when
  // the normal has no y component; the two differ in their last bits.
  const float halfPi = 1.5707964f;       // 0x3FC90FDB
  const float halfPiBelow = 1.5707961f;  // 0x3FC90FD9
  for (std::size_t i = 1; i <= model->normalcount; i++) {
    const float x = normals[3 * i + 0];
    const float y = normals[3 * i + 1];
    const float z = normals[3 * i + 2];
    const float rho = static_cast<float>(std::sqrt(static_cast<double>(z * z + y * y)));
    const float r = static_cast<float>(std::sqrt(static_cast<double>(rho * rho + x * x)));
    float theta = 0.0f;
    float phi = 0.0f;
    if (rho != 0.0f) {
      phi = x == 0.0f ? halfPi : std::acos(x / r);
      theta = y == 0.0f ? halfPiBelow
                        : static_cast<float>(static_cast<double>(std::asin(y / rho)) + 1.570796325);
    }
    texcoords[2 * i + 0] = static_cast<float>(static_cast<double>(theta) / 3.14159265);
    texcoords[2 * i + 1] = static_cast<float>(static_cast<double>(phi) / 3.14159265);
  }
  installTexcoords(model, std::move(owner), model->normalcount);
  pointGroupedCorners(model, [](const ObjTriangle& t) { return t.normalidx; });
}
