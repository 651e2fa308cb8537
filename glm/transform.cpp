// Extents, fitting into the unit cube, scaling, translating and flipping.
#include <cstddef>
#include <utility>

#include "glm_internal.h"

float glmAbsValue(float f) { return f < 0 ? -f : f; }

float glmMaxOf(float a, float b) { return a < b ? b : a; }

namespace {

struct Bounds {
  float max[3];
  float min[3];
};

// Smallest and largest coordinate of each axis; the caller guarantees at
// least one vertex.
Bounds measureBounds(const ObjModel* model) {
  const float* vertices = model->vertices;
  Bounds bounds;
  for (int axis = 0; axis < 3; axis++) bounds.max[axis] = bounds.min[axis] = vertices[3 + axis];
  for (std::size_t i = 1; i <= model->vertexcount; i++) {
    for (int axis = 0; axis < 3; axis++) {
      const float value = vertices[3 * i + axis];
      if (value > bounds.max[axis]) bounds.max[axis] = value;
      if (value < bounds.min[axis]) bounds.min[axis] = value;
    }
  }
  return bounds;
}

// Each extent is |max| + |min| (not max - min), summed in double precision.
void extentsOf(const Bounds& bounds, float* dimensions) {
  for (int axis = 0; axis < 3; axis++)
    dimensions[axis] = static_cast<float>(static_cast<double>(glmAbsValue(bounds.max[axis])) +
                                          static_cast<double>(glmAbsValue(bounds.min[axis])));
}

}  // namespace

void glmMeasureExtents(ObjModel* model, float* dimensions) {
  GLM_ASSERT(model);
  GLM_ASSERT(model->vertices);
  GLM_ASSERT(dimensions);
  if (model->vertexcount == 0) {
    dimensions[0] = dimensions[1] = dimensions[2] = 0.0f;
    return;
  }
  extentsOf(measureBounds(model), dimensions);
}

float glmFitToUnitCube(ObjModel* model) {
  GLM_ASSERT(model);
  GLM_ASSERT(model->vertices);
  if (model->vertexcount == 0) return 1.0f;

  const Bounds bounds = measureBounds(model);
  float dimensions[3];
  extentsOf(bounds, dimensions);
  float centre[3];
  for (int axis = 0; axis < 3; axis++)
    centre[axis] = static_cast<float>(
        (static_cast<double>(bounds.max[axis]) + static_cast<double>(bounds.min[axis])) / 2.0);

  // A model with nothing to measure (all of it at the origin) is only centred.
  const float largest = glmMaxOf(glmMaxOf(dimensions[0], dimensions[1]), dimensions[2]);
  const float scale =
      largest == 0.0f ? 1.0f : static_cast<float>(2.0 / static_cast<double>(largest));

  float* vertices = model->vertices;
  for (std::size_t i = 1; i <= model->vertexcount; i++) {
    for (int axis = 0; axis < 3; axis++) {
      float& value = vertices[3 * i + axis];
      value -= centre[axis];
      value *= scale;
    }
  }
  return scale;
}

void glmScaleVertices(ObjModel* model, float factor) {
  GLM_ASSERT(model);
  float* vertices = model->vertices;
  for (std::size_t i = 1; i <= model->vertexcount; i++) {
    vertices[3 * i + 0] *= factor;
    vertices[3 * i + 1] *= factor;
    vertices[3 * i + 2] *= factor;
  }
}

void glmTranslateVertices(ObjModel* model, const float* offset) {
  GLM_ASSERT(model);
  float* vertices = model->vertices;
  for (std::size_t i = 1; i <= model->vertexcount; i++) {
    vertices[3 * i + 0] += offset[0];
    vertices[3 * i + 1] += offset[1];
    vertices[3 * i + 2] += offset[2];
  }
}

void glmFlipWinding(ObjModel* model) {
  GLM_ASSERT(model);
  for (unsigned i = 0; i < model->trianglecount; i++) {
    ObjTriangle& triangle = model->triangles[i];
    std::swap(triangle.vertexidx[0], triangle.vertexidx[2]);
    if (model->normalcount != 0) std::swap(triangle.normalidx[0], triangle.normalidx[2]);
    if (model->texcoordcount != 0) std::swap(triangle.texcoordidx[0], triangle.texcoordidx[2]);
  }
  for (std::size_t i = 3; i < 3 * (static_cast<std::size_t>(model->facetnormcount) + 1); i++)
    model->facetnorms[i] = -model->facetnorms[i];
  for (std::size_t i = 3; i < 3 * (static_cast<std::size_t>(model->normalcount) + 1); i++)
    model->normals[i] = -model->normals[i];
}
