// MTL reader and material lookup. Like the OBJ reader, it reads the library
// into memory once, counts the materials in a first pass and fills them in a
// second; both passes consume the text identically.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "glm_internal.h"
#include "scan.h"

namespace {

// A material array under construction; released with its names unless it
// is handed to the model.
struct MaterialArray {
  ObjMaterial* materials = nullptr;
  unsigned count = 0;

  ~MaterialArray() { release(materials, count); }

  static void release(ObjMaterial* materials, unsigned count) {
    if (!materials) return;
    for (unsigned i = 0; i < count; i++) std::free(materials[i].name);
    std::free(materials);
  }
};

void setColor(float* color, float r, float g, float b) {
  color[0] = r;
  color[1] = g;
  color[2] = b;
  color[3] = 1.0f;
}

// Counts (Fill false) or fills the materials. Properties before the first
// "newmtl" apply to "default", entry 0.
template <bool Fill>
unsigned readLibrary(const Text& text, MaterialArray& array) {
  char name[kNameMax + 1];
  unsigned current = 0;
  const char* p = text.begin;
  for (;;) {
    p = skipSpace(p);
    if (p >= text.end) break;
    const char* keyword = p;
    p = wordEnd(p);
    char second = p - keyword > 1 ? keyword[1] : '\0';
    ObjMaterial* material = Fill ? &array.materials[current] : nullptr;
    switch (keyword[0]) {
      case 'n': {  // newmtl: the first word of the line names the next material
        const char *begin, *end;
        p = restOfLine(p, text, &begin, &end);
        current++;
        if constexpr (Fill) {
          if (current >= array.count) {
            glmFailf(stderr, "glmReadMTL() failed: the reading passes disagree.\n");
          }
          firstWord(begin, end, name);
          array.materials[current].name = glmStrdup(name, "glmReadMTL");
        }
        break;
      }
      case 'N':
        if (second == 's') {  // Ns 0..1000 onto GL_SHININESS's 0..128
          if constexpr (Fill) {
            float shininess;
            if (scanFloat(p, shininess)) {
              shininess = static_cast<float>(shininess / 1000.0);
              material->shininess = static_cast<float>(shininess * 128.0);
            }
          } else {
            scanFloats(p, nullptr, 1);
          }
        } else {  // Ni and others: no meaning here
          p = skipLine(p, text);
        }
        break;
      case 'K': {
        float* color = nullptr;
        if (second == 'a') color = Fill ? material->ambient : nullptr;
        else if (second == 'd') color = Fill ? material->diffuse : nullptr;
        else if (second == 's') color = Fill ? material->specular : nullptr;
        else {
          p = skipLine(p, text);
          break;
        }
        scanFloats(p, color, 3);
        break;
      }
      default:  // comments, d, Tr, illum, map_Kd and the like
        p = skipLine(p, text);
        break;
    }
  }
  return current + 1;
}

}  // namespace

char* glmPathDirectory(const char* path) {
  GLM_ASSERT(path);
  const char* slash = std::strrchr(path, '/');
  std::size_t length = slash ? static_cast<std::size_t>(slash - path) + 1 : 0;
  char* directory = static_cast<char*>(glmAlloc(length + 1, 1, "glmPathDirectory"));
  std::memcpy(directory, path, length);
  directory[length] = '\0';
  return directory;
}

void glmReadMTL(ObjModel* model, const char* name) {
  GLM_ASSERT(model);
  GLM_ASSERT(name);
  std::unique_ptr<char, FreeDeleter> directory(glmPathDirectory(model->path ? model->path : ""));
  std::size_t dirLength = std::strlen(directory.get()), nameLength = std::strlen(name);
  std::unique_ptr<char, FreeDeleter> filename(
      static_cast<char*>(glmAlloc(dirLength + nameLength + 1, 1, "glmReadMTL")));
  std::memcpy(filename.get(), directory.get(), dirLength);
  std::memcpy(filename.get() + dirLength, name, nameLength + 1);
  directory.reset();

  Text text;
  if (!loadText(filename.get(), text, "glmReadMTL"))
    glmFailf(stderr, "glmReadMTL() failed: can't open material file \"%s\".\n", filename.get());
  filename.reset();

  MaterialArray array;
  array.count = readLibrary<false>(text, array);
  array.materials =
      static_cast<ObjMaterial*>(glmAlloc(array.count, sizeof(ObjMaterial), "glmReadMTL"));
  for (unsigned i = 0; i < array.count; i++) {
    ObjMaterial& material = array.materials[i];
    setColor(material.diffuse, 0.8f, 0.8f, 0.8f);
    setColor(material.ambient, 0.2f, 0.2f, 0.2f);
    setColor(material.specular, 0.0f, 0.0f, 0.0f);
    material.shininess = 65.0f;
  }
  array.materials[0].name = glmStrdup("default", "glmReadMTL");
  readLibrary<true>(text, array);

  // A later library replaces an earlier one.
  MaterialArray::release(model->materials, model->materialcount);
  model->materials = array.materials;
  model->materialcount = array.count;
  array.materials = nullptr;
}

unsigned glmFindMaterial(ObjModel* model, const char* name) {
  GLM_ASSERT(model);
  GLM_ASSERT(name);
  for (unsigned i = 0; i < model->materialcount; i++)
    if (model->materials[i].name && std::strcmp(model->materials[i].name, name) == 0) return i;
  std::printf("glmFindMaterial():  can't find material \"%s\".\n", name);
  return 0;
}
