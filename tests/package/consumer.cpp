// A program outside the tree, built against the installed package only.
#include <glmobj/glm.h>

#include <cstdio>

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  ObjModel* model = glmReadOBJ(argv[1]);
  glmComputeFaceNormals(model);
  glmVertexNormals(model, 90.0f);
  std::printf("%u vertices %u triangles %u normals\n", model->vertexcount, model->trianglecount,
              model->normalcount);
  // Linked but not called (there is no GL context): drawing must resolve
  // with nothing more than libGL.
  if (argc > 2) glmDraw(model, DRAW_SMOOTH);
  glmFreeModel(model);
  return 0;
}
