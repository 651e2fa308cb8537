// MTL reader and material lookup. Like the OBJ reader, it reads the library
// into memory once, counts the materials in a first pass and fills them in a
// second; every statement is one line.
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
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

// The arguments each texture-map option takes; "-o", "-s" and "-t" take one
// to three numbers.
struct MapOption {
  std::string_view name;
  int arguments;
  bool upToThree;
};
constexpr MapOption kMapOptions[] = {
    {"-blendu", 1, false}, {"-blendv", 1, false}, {"-bm", 1, false},      {"-boost", 1, false},
    {"-cc", 1, false},     {"-clamp", 1, false},  {"-imfchan", 1, false}, {"-mm", 2, false},
    {"-o", 1, true},       {"-s", 1, true},       {"-t", 1, true},        {"-texres", 1, false},
    {"-type", 1, false},
};

bool isNumber(std::string_view word) {
  float value;
  const char* p = word.data();
  return !word.empty() && scanFloat(p, value) && p == word.data() + word.size();
}

// The image a map statement names: the rest of its line after the options,
// as written (names may hold blanks), without trailing blanks. Empty when the
// line names none.
std::string_view mapImage(const char* p) {
  const char *begin, *end;
  restOfLine(p, &begin, &end);
  auto word = [&end](const char* at) {
    const char* stop = at;
    while (stop < end && !isSpace(*stop)) ++stop;
    return std::string_view(at, static_cast<std::size_t>(stop - at));
  };
  auto skip = [&end](const char* at) {
    while (at < end && isSpace(*at)) ++at;
    return at;
  };
  for (begin = skip(begin); begin < end && *begin == '-';) {
    std::string_view option = word(begin);
    const MapOption* known = nullptr;
    for (const MapOption& o : kMapOptions)
      if (o.name == option) known = &o;
    if (!known) break;
    begin = skip(begin + option.size());
    for (int taken = 0; begin < end && taken < (known->upToThree ? 3 : known->arguments); taken++) {
      std::string_view argument = word(begin);
      if (taken >= known->arguments && !isNumber(argument)) break;
      begin = skip(begin + argument.size());
    }
  }
  while (end > begin && isSpace(end[-1])) --end;
  return cString(begin, end);
}

// The map field a keyword sets, or null.
char** mapField(ObjMaterial& material, std::string_view word) {
  if (word == "map_Bump" || word == "map_bump") return &material.bumpmap;
  for (const MapField& map : kMapFields)
    if (word == map.keyword) return &(material.*map.field);
  return nullptr;
}

float* numberField(ObjMaterial& material, std::string_view word) {
  for (const NumberField& number : kNumberFields)
    if (word == number.keyword) return &(material.*number.field);
  return nullptr;
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
                     : word[1] == 'e' ? material->emissive
                                      : nullptr;
      if (color) scanFloats(p, color, 3);
    } else if (Fill && word == "Tf") {
      scanFloats(p, material->transmission, 3);
    } else if (Fill && word == "illum") {
      long long model;
      if (scanInt(p, model) && model >= 0 && model <= INT32_MAX) material->illum = static_cast<int>(model);
    } else if (float* number = Fill ? numberField(*material, word) : nullptr) {
      scanFloat(p, *number);
    } else if (Fill && (word == "d" || word == "Tr")) {
      const char* at = skipBlanks(p);
      if (std::string_view(at, 5) == "-halo") at += 5;  // a dissolve that fades at the edges
      float value;
      if (scanFloat(at, value)) material->dissolve = word == "d" ? value : 1.0f - value;
    } else if (Fill) {
      if (char** field = mapField(*material, word)) {
        std::string_view image = mapImage(p);
        char* copy = image.empty() ? nullptr : copyText(image, "glmReadMTL");
        std::free(*field);
        *field = copy;
      }
    }
    // Comments and statements without a field (sharpness, Km) are passed over.
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

void glmReadMTL(ObjModel* model, const char* name) { glmReadMaterials(model, name, nullptr); }

void glm_internal::glmReadMaterials(ObjModel* model, const char* name,
                                    const GLMreadoptions* options) {
  GLM_ASSERT(model);
  GLM_ASSERT(name);
  OwnedString directory(glmPathDirectory(model->path ? model->path : ""));
  std::string filename = std::string(directory.get()) + name;

  // A library is a companion of the model, often missing when a model
  // travels: without it the model still reads, in the default material.
  // Only a regular file is read; a FIFO or a device might never end.
  Source source;
  Text text;
  Source::Opened opened = source.open(filename.c_str(), options, true);
  int error = errno;
  if (opened == Source::Opened::done && !readAll(source, text, "glmReadMTL")) {
    opened = Source::Opened::unreadable;
    error = EIO;
  }
  if (opened != Source::Opened::done) {
    bool irregular = opened != Source::Opened::unreadable;
    glmSay(stdout, "glmReadMTL() warning: can't open material file \"%s\": %s.\n",
           filename.c_str(), irregular ? "not a regular file" : std::strerror(error ? error : ENOENT));
    return;
  }

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
    glmInitMaterial(array.materials[i]);
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
  glmSay(stdout, "glmFindMaterial():  can't find material \"%s\".\n", name);
  return 0;
}
