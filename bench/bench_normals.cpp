// Facet and vertex normal speed on a height-field grid mesh (shared
// vertices, two triangles per grid square), at 100,000 to 1,000,000
// triangles, so that the time per triangle shows whether both stay linear.
//
//   bench_normals
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "glm.h"

namespace {

ObjModel* gridModel(unsigned side) {
  auto* model = static_cast<ObjModel*>(std::calloc(1, sizeof(ObjModel)));
  model->vertexcount = side * side;
  model->vertices = static_cast<float*>(std::calloc(model->vertexcount + 1, 3 * sizeof(float)));
  for (unsigned j = 0; j < side; j++)
    for (unsigned i = 0; i < side; i++) {
      float* v = &model->vertices[3 * (1 + j * side + i)];
      v[0] = static_cast<float>(i) / static_cast<float>(side);
      v[1] = static_cast<float>(j) / static_cast<float>(side);
      v[2] = 0.2f * std::sin(6 * v[0]) * std::cos(5 * v[1]);
    }
  model->trianglecount = 2 * (side - 1) * (side - 1);
  model->triangles =
      static_cast<ObjTriangle*>(std::calloc(model->trianglecount, sizeof(ObjTriangle)));
  unsigned t = 0;
  for (unsigned j = 0; j + 1 < side; j++)
    for (unsigned i = 0; i + 1 < side; i++) {
      const unsigned a = 1 + j * side + i, b = a + 1, c = a + side + 1, d = a + side;
      model->triangles[t++] = {{a, b, c}, {}, {}, 0, 0};
      model->triangles[t++] = {{a, c, d}, {}, {}, 0, 0};
    }
  return model;
}

// Processor time of this process, so other work on the machine counts less.
double cpuNow() {
  timespec now;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

}  // namespace

int main() {
  std::printf("%10s %14s %10s %16s %10s %9s\n", "triangles", "facet ms cpu", "ns/tri",
              "vertex ms cpu", "ns/tri", "normals");
  for (unsigned side : {225u, 500u, 708u}) {
    ObjModel* model = gridModel(side);
    double facet = 1e30, vertex = 1e30;
    for (int run = 0; run < 5; run++) {
      double start = cpuNow();
      glmComputeFaceNormals(model);
      facet = std::min(facet, cpuNow() - start);
      start = cpuNow();
      glmVertexNormals(model, 90.0f);
      vertex = std::min(vertex, cpuNow() - start);
    }
    const double n = model->trianglecount;
    std::printf("%10u %14.2f %10.1f %16.2f %10.1f %9u\n", model->trianglecount, facet * 1e3,
                facet * 1e9 / n, vertex * 1e3, vertex * 1e9 / n, model->normalcount);
    glmFreeModel(model);
  }
  return 0;
}
