// MTL reader and material lookup. Like the OBJ reader, it reads the library
// into memory once, counts the materials in a first pass and fills them in a
// second; every statement is one line.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>

#include "glm_internal.h"
#include "scan.h"

using namespace glm_internal;
using namespace glm_scan;

namespace {

// A material array under construction. Entries from `owned` on are its own
// (released with their names unless the array is handed to the model); the
// ones before are the model's, copied in.
struct MaterialArray {
  ObjMaterial* materials = nullptr;
  unsigned count = 0;
  unsigned owned = 0;

  ~MaterialArray() { glmFreeMaterials(materials, count, owned); }
};

void setColor(float* color, float r, float g, float b) {
  color[0] = r;
  color[1] = g;
  color[2] = b;
  color[3] = 1.0f;
}

// Counts (Fill false) the library's materials or fills them from entry
// `first` on. Properties before the first "newmtl" apply to "default",
// entry 0. A number missing from its line leaves its component unchanged.
template <bool Fill>
unsigned readLibrary(const Text& text, MaterialArray& array, unsigned first) {
  unsigned defined = 0;
  ObjMaterial* material = Fill ? &array.materials[0] : nullptr;
  const char* p = text.begin;
  for (;;) {
    p = skipSpace(p);
    if (p >= text.end) break;
    const char* keyword = p;
    p = wordEnd(p);
    std::string_view word = cString(keyword, p);
    if (word == "newmtl") {
      defined++;
      if constexpr (Fill) {
        if (first + defined - 1 >= array.count)
          glmFailf(stderr, "glmReadMTL() failed: the reading passes disagree.\n");
        material = &array.materials[first + defined - 1];
        material->name = copyText(firstWord(p, nextLine(p)), "glmReadMTL");
      }
    } else if (Fill && word == "Ns") {  // Ns 0..1000 onto GL_SHININESS's 0..128
      float shininess;
      if (scanFloat(p, shininess)) {
        shininess = static_cast<float>(shininess / 1000.0);
        material->shininess = static_cast<float>(shininess * 128.0);
      }
    } else if (Fill && word.size() == 2 && word[0] == 'K') {
      float* color = word[1] == 'a'   ? material->ambient
                     : word[1] == 'd' ? material->diffuse
                     : word[1] == 's' ? material->specular
                                      : nullptr;
      if (color) scanFloats(p, color, 3);
    }
    // Comments, Ni, Ke, d, Tr, illum, map_Kd and the like have no meaning here.
    p = nextLine(p);
  }
  return defined;
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
  glm_internal::OwnedString directory(glmPathDirectory(model->path ? model->path : ""));
  std::size_t dirLength = std::strlen(directory.get()), nameLength = std::strlen(name);
  glm_internal::OwnedString filename(
      static_cast<char*>(glmAlloc(dirLength + nameLength + 1, 1, "glmReadMTL")));
  std::memcpy(filename.get(), directory.get(), dirLength);
  std::memcpy(filename.get() + dirLength, name, nameLength + 1);
  directory.reset();

  Text text;
  switch (loadText(filename.get(), text, "glmReadMTL")) {
    case Load::done:
      break;
    case Load::unreadable:
      glmFailf(stderr, "glmReadMTL() failed: can't open material file \"%s\".\n", filename.get());
    case Load::device:
      glmFailf(stderr, "glmReadMTL() failed: \"%s\" is a device, not a file.\n", filename.get());
  }
  filename.reset();

  // The library's materials are appended to those the model has, so every
  // material index a group holds stays valid and names the same material.
  MaterialArray array;
  unsigned have = model->materials ? model->materialcount : 0;
  unsigned first = have ? have : 1;
  std::uint64_t count = first + std::uint64_t{readLibrary<false>(text, array, first)};
  if (count > UINT32_MAX) glmFailf(stderr, "glmReadMTL() failed: too many materials.\n");
  array.materials = static_cast<ObjMaterial*>(glmAlloc(count, sizeof(ObjMaterial), "glmReadMTL"));
  array.count = static_cast<unsigned>(count);
  array.owned = have;
  for (unsigned i = array.owned; i < array.count; i++) {
    ObjMaterial& material = array.materials[i];
    setColor(material.diffuse, 0.8f, 0.8f, 0.8f);
    setColor(material.ambient, 0.2f, 0.2f, 0.2f);
    setColor(material.specular, 0.0f, 0.0f, 0.0f);
    material.shininess = 65.0f;
  }
  if (have)
    std::memcpy(array.materials, model->materials, have * sizeof(ObjMaterial));
  else
    array.materials[0].name = glmStrdup("default", "glmReadMTL");
  readLibrary<true>(text, array, first);

  std::free(model->materials);  // its names now belong to the new array
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
