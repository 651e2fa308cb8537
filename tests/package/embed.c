/* A program that embeds the library: a failure comes back with its message
 * and line, the library's messages are taken instead of printed, and a model
 * reads from memory with its material library served from memory too. */
#include <glmobj/glm.h>

#include <stdio.h>
#include <string.h>

static void take(const char* message, bool failure, void* user) {
  printf("taken%s: %s\n", failure ? " failure" : "", message);
  ++*(int*)user;
}

/* A one-file asset pack, read back at most 3 bytes a call. */
struct Entry {
  const char* text;
  size_t at;
};
static struct Entry library = {"newmtl red\nKd 1 0 0\n", 0};

static void* openPacked(const char* path, void* user) {
  (void)user;
  if (strcmp(path, "pack/red.mtl") != 0) return NULL;
  library.at = 0;
  return &library;
}

static long long readPacked(void* file, void* buffer, unsigned long long size, void* user) {
  struct Entry* entry = file;
  size_t left = strlen(entry->text) - entry->at, got = left < 3 ? left : 3;
  (void)user;
  if (got > size) got = (size_t)size;
  memcpy(buffer, entry->text + entry->at, got);
  entry->at += got;
  return (long long)got;
}

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  GLMerror error;
  if (glmReadOBJFrom(argv[1], NULL, &error)) return 3;
  printf("failed at line %llu: %s\n", error.line, error.message);

  int taken = 0;
  glmSetMessageHandler(take, &taken);
  static const char model[] =
      "mtllib red.mtl\nv 0 0 0\nv 1 0 0\nv 0 1 0\nusemtl red\nf 1 2 3\nusemtl blue\nf 1 2 -1\n";
  GLMreadoptions options = {openPacked, readPacked, NULL, NULL, 1};
  ObjModel* m = glmReadOBJMemory(model, sizeof model - 1, "pack/model.obj", &options, &error);
  if (!m) return 4;
  printf("%u triangles in %s and %s, %d message taken, error \"%s\"\n", m->trianglecount,
         m->materials[m->triangles[0].material].name, m->materials[m->triangles[1].material].name,
         taken, error.message);
  glmFreeModel(m);
  return 0;
}
