/* The C++ consumer's twin in C: the same calls, the same report, so the two
 * languages are seen to reach the same library. */
#include <glmobj/glm.h>

#include <stdio.h>

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  ObjModel* model = glmReadOBJ(argv[1]);
  glmComputeFaceNormals(model);
  glmVertexNormals(model, 90.0f);
  printf("%u vertices %u triangles %u normals\n", model->vertexcount, model->trianglecount,
         model->normalcount);
  /* bool crosses the boundary as C's _Bool. */
  const float a[3] = {0, 0, 0}, b[3] = {0.5f, 0, 0};
  if (glmVectorsClose(a, b, 0.25f) || !glmVectorsClose(a, b, 1.0f)) return 3;
  /* A failure comes back instead of ending the program. */
  GLMerror error;
  if (glmWriteOBJTo(model, "/nonexistent/m.obj", DRAW_NONE, &error) || error.message[0] == '\0')
    return 4;
  if (argc > 2) glmDraw(model, DRAW_SMOOTH);
  glmFreeModel(model);
  return 0;
}
