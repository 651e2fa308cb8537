// Vector helpers, facet normals and crease-angle vertex normals.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "glm_internal.h"

void glmCrossProduct(const float* u, const float* v, float* n) {
  GLM_ASSERT(u);
  GLM_ASSERT(v);
  GLM_ASSERT(n);
  // Read everything first so n may alias u or v.
  const float ux = u[0], uy = u[1], uz = u[2];
  const float vx = v[0], vy = v[1], vz = v[2];
  n[0] = uy * vz - uz * vy;
  n[1] = uz * vx - ux * vz;
  n[2] = ux * vy - uy * vx;
}

float glmDotProduct(const float* u, const float* v) {
  GLM_ASSERT(u);
  GLM_ASSERT(v);
  return u[0] * v[0] + u[1] * v[1] + u[2] * v[2];
}

void glmNormalizeVector(float* v) {
  GLM_ASSERT(v);
  const float squared = v[0] * v[0] + v[1] * v[1] + v[2] * v[2];
  const float length = static_cast<float>(std::sqrt(static_cast<double>(squared)));
  v[0] /= length;
  v[1] /= length;
  v[2] /= length;
}

void glmComputeFaceNormals(ObjModel* model) {
  GLM_ASSERT(model);
  GLM_ASSERT(model->vertices);

  // The new array replaces the old one only once it is complete, so a
  // failed allocation leaves the model as it was.
  glm_internal::Owned<float> owner = glm_internal::allocOwned<float>(
      3 * (static_cast<std::size_t>(model->trianglecount) + 1), "glmComputeFaceNormals");
  float* facetnorms = owner.get();

  const float* vertices = model->vertices;
  for (unsigned i = 0; i < model->trianglecount; i++) {
    ObjTriangle& triangle = model->triangles[i];
    for (unsigned k = 0; k < 3; k++)
      GLM_ASSERT(triangle.vertexidx[k] >= 1 && triangle.vertexidx[k] <= model->vertexcount);
    triangle.facetnormidx = i + 1;
    const float* p0 = &vertices[3 * static_cast<std::size_t>(triangle.vertexidx[0])];
    const float* p1 = &vertices[3 * static_cast<std::size_t>(triangle.vertexidx[1])];
    const float* p2 = &vertices[3 * static_cast<std::size_t>(triangle.vertexidx[2])];
    const float u[3] = {p1[0] - p0[0], p1[1] - p0[1], p1[2] - p0[2]};
    const float v[3] = {p2[0] - p0[0], p2[1] - p0[1], p2[2] - p0[2]};
    float* normal = &facetnorms[3 * (static_cast<std::size_t>(i) + 1)];
    glmCrossProduct(u, v, normal);
    glmNormalizeVector(normal);
  }
  glm_internal::replaceArray(model->facetnorms, std::move(owner));
  model->facetnormcount = model->trianglecount;
}

namespace {

// One triangle corner in the list of the vertex it uses. The corner is kept
// alongside the triangle so that a triangle naming one vertex at two corners
// gets a normal index at both.
struct ObjCornerNode {
  unsigned triangleidx;
  std::uint8_t corner;
  bool smoothed;
};

// The corner lists of all vertices in one block, bucketed by vertex (a
// counting sort): vertex v's corners are nodes[start[v] .. start[v + 1]).
// Each bucket lists its corners in the order a list built by pushing every
// corner at its head would have: highest triangle first, and within a
// triangle the later corner first.
struct CornerLists {
  std::vector<std::size_t> start;
  std::vector<ObjCornerNode> nodes;
};

CornerLists cornerLists(const ObjModel* model) {
  const ObjTriangle* triangles = model->triangles;
  CornerLists lists;
  lists.start.assign(static_cast<std::size_t>(model->vertexcount) + 2, 0);
  for (unsigned i = 0; i < model->trianglecount; i++) {
    const ObjTriangle& triangle = triangles[i];
    GLM_ASSERT(triangle.facetnormidx >= 1 && triangle.facetnormidx <= model->facetnormcount);
    for (unsigned k = 0; k < 3; k++) {
      GLM_ASSERT(triangle.vertexidx[k] >= 1 && triangle.vertexidx[k] <= model->vertexcount);
      lists.start[triangle.vertexidx[k] + 1]++;
    }
  }
  for (std::size_t v = 1; v < lists.start.size(); v++) lists.start[v] += lists.start[v - 1];
  lists.nodes.resize(3 * static_cast<std::size_t>(model->trianglecount));
  std::vector<std::size_t> fill(lists.start.begin(), lists.start.end() - 1);
  for (unsigned i = model->trianglecount; i-- > 0;)
    for (unsigned k = 3; k-- > 0;)
      lists.nodes[fill[triangles[i].vertexidx[k]]++] = {i, static_cast<std::uint8_t>(k), false};
  return lists;
}

// Gives the corners first .. last of one vertex their normals, appended to
// `normals` at `numnormals`: the corners whose facet normal lies within the
// crease angle of the first corner's share their normalized sum, each other
// corner gets a copy of its facet normal.
void normalsOfVertex(ObjModel* model, ObjCornerNode* first, ObjCornerNode* last, float cosAngle,
                     float* normals, unsigned& numnormals) {
  auto facetNormal = [&](unsigned triangleidx) {
    return &model->facetnorms[3 *
                              static_cast<std::size_t>(model->triangles[triangleidx].facetnormidx)];
  };

  // Every corner is compared with the head's facet normal, not with its
  // neighbour in the list.
  const float* reference = facetNormal(first->triangleidx);
  float sum[3] = {0.0f, 0.0f, 0.0f};
  bool anySmoothed = false;
  for (ObjCornerNode* node = first; node != last; node++) {
    const float* normal = facetNormal(node->triangleidx);
    const float dot = glmDotProduct(normal, reference);
    node->smoothed = dot > cosAngle;  // strict; NaN is never smoothed
    if (node->smoothed) {
      anySmoothed = true;
      sum[0] += normal[0];
      sum[1] += normal[1];
      sum[2] += normal[2];
    }
  }

  unsigned average = 0;
  if (anySmoothed) {
    glmNormalizeVector(sum);
    std::memcpy(&normals[3 * static_cast<std::size_t>(numnormals)], sum, sizeof sum);
    average = numnormals++;
  }

  for (ObjCornerNode* node = first; node != last; node++) {
    ObjTriangle& triangle = model->triangles[node->triangleidx];
    if (node->smoothed) {
      triangle.normalidx[node->corner] = average;
    } else {
      std::memcpy(&normals[3 * static_cast<std::size_t>(numnormals)],
                  facetNormal(node->triangleidx), 3 * sizeof(float));
      triangle.normalidx[node->corner] = numnormals++;
    }
  }
}

}  // namespace

namespace {
std::size_t normalsBound = glm_internal::kMostNormals;

// Each corner may get a normal of its own, and every index of one must fit
// an unsigned: past that the count would wrap round to reused indices.
void checkNormalsBound(const ObjModel* model, const char* operation) {
  if (3 * static_cast<std::size_t>(model->trianglecount) > normalsBound)
    glm_internal::glmFailf(stderr, "%s() failed: a model of %u triangles is too large.\n", operation,
                           model->trianglecount);
}
}  // namespace

void glm_internal::glmSetNormalsBound(std::size_t most) { normalsBound = most; }

void glmVertexNormals(ObjModel* model, float angle) {
  GLM_ASSERT(model);
  GLM_ASSERT(model->facetnorms);
  checkNormalsBound(model, "glmVertexNormals");

  // Pi enters in single precision: at 90 degrees the cosine is -4.371139e-08,
  // so faces at an exact right angle are still smoothed together.
  const double pi = static_cast<double>(3.1415927f);
  const float cosAngle = static_cast<float>(std::cos(static_cast<double>(angle) * pi / 180.0));

  // Everything that can fail is allocated before any triangle changes; the
  // new array replaces the old one at the end.
  const std::size_t corners = 3 * static_cast<std::size_t>(model->trianglecount);
  glm_internal::Owned<float> owner =
      glm_internal::allocOwned<float>(3 * (corners + 1), "glmVertexNormals");
  CornerLists lists = cornerLists(model);

  unsigned numnormals = 1;
  for (unsigned v = 1; v <= model->vertexcount; v++) {
    ObjCornerNode* first = lists.nodes.data() + lists.start[v];
    ObjCornerNode* last = lists.nodes.data() + lists.start[v + 1];
    if (first == last)
      glm_internal::glmSay(stderr, "glmVertexNormals(): vertex w/o a triangle\n");
    else
      normalsOfVertex(model, first, last, cosAngle, owner.get(), numnormals);
  }
  // Give back the room reserved for one normal per corner.
  glm_internal::replaceArray(model->normals,
                             glm_internal::shrinkVectors(std::move(owner), numnormals - 1));
  model->normalcount = numnormals - 1;
}

void glmSmoothingGroupNormals(ObjModel* model) {
  GLM_ASSERT(model);
  GLM_ASSERT(model->vertices);
  checkNormalsBound(model, "glmSmoothingGroupNormals");
  if (!model->facetnorms) glmComputeFaceNormals(model);

  const std::size_t corners = 3 * static_cast<std::size_t>(model->trianglecount);
  glm_internal::Owned<float> owner =
      glm_internal::allocOwned<float>(3 * (corners + 1), "glmSmoothingGroupNormals");
  float* normals = owner.get();
  CornerLists lists = cornerLists(model);
  std::vector<unsigned> flat(model->trianglecount, 0);  // a group-0 triangle's one normal
  std::vector<ObjCornerNode> run;
  const unsigned* smoothing = model->smoothing;
  auto groupOf = [smoothing](const ObjCornerNode& node) {
    return smoothing ? smoothing[node.triangleidx] : 0u;
  };
  auto facetNormal = [model](unsigned triangleidx) {
    return &model->facetnorms[3 * static_cast<std::size_t>(model->triangles[triangleidx].facetnormidx)];
  };

  // Normals are computed in full before any triangle points at them.
  std::vector<unsigned> given(corners, 0);
  unsigned numnormals = 1;
  for (unsigned v = 1; v <= model->vertexcount; v++) {
    run.assign(lists.nodes.begin() + static_cast<std::ptrdiff_t>(lists.start[v]),
               lists.nodes.begin() + static_cast<std::ptrdiff_t>(lists.start[v + 1]));
    std::stable_sort(run.begin(), run.end(), [&](const ObjCornerNode& a, const ObjCornerNode& b) {
      return groupOf(a) < groupOf(b);
    });
    for (std::size_t from = 0; from < run.size();) {
      const unsigned group = groupOf(run[from]);
      std::size_t to = from;
      while (to < run.size() && groupOf(run[to]) == group) to++;
      if (group == 0) {  // no smoothing: each triangle its facet normal
        for (std::size_t i = from; i < to; i++) {
          unsigned& own = flat[run[i].triangleidx];
          if (!own) {
            std::memcpy(&normals[3 * static_cast<std::size_t>(numnormals)],
                        facetNormal(run[i].triangleidx), 3 * sizeof(float));
            own = numnormals++;
          }
          given[3 * static_cast<std::size_t>(run[i].triangleidx) + run[i].corner] = own;
        }
      } else {  // one averaged normal for the group's corners here
        float sum[3] = {0.0f, 0.0f, 0.0f};
        for (std::size_t i = from; i < to; i++) {
          const float* n = facetNormal(run[i].triangleidx);
          if (!std::isfinite(n[0]) || !std::isfinite(n[1]) || !std::isfinite(n[2])) continue;
          for (int k = 0; k < 3; k++) sum[k] += n[k];
        }
        glmNormalizeVector(sum);
        std::memcpy(&normals[3 * static_cast<std::size_t>(numnormals)], sum, sizeof sum);
        for (std::size_t i = from; i < to; i++)
          given[3 * static_cast<std::size_t>(run[i].triangleidx) + run[i].corner] = numnormals;
        numnormals++;
      }
      from = to;
    }
  }
  for (unsigned i = 0; i < model->trianglecount; i++)
    for (int k = 0; k < 3; k++) model->triangles[i].normalidx[k] = given[3 * static_cast<std::size_t>(i) + k];
  glm_internal::replaceArray(model->normals,
                             glm_internal::shrinkVectors(std::move(owner), numnormals - 1));
  model->normalcount = numnormals - 1;
}
