// Fuzz target for the OBJ reader, with the MTL reader behind it, reading
// from memory only.
//
// The input is OBJ text, optionally followed by the marker line below and MTL
// text, served through the reader's callbacks as every library the OBJ text
// names (empty without a marker), so an input controls both files of a pair
// and no file is touched. Every input is read four ways (see below), which
// must all give the same model and the same messages.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "fuzz_common.h"
#include "glm_internal.h"

namespace {

constexpr std::string_view kMarker = "\n#---mtl---\n";

// The two texts, and how many bytes a callback read gives at most.
struct Files {
  std::string_view obj, mtl;
  std::size_t piece;
};
struct Open {
  std::string_view text;
  std::size_t at = 0;
  const Files* files;
};

GLMreadoptions callbacks(Files& files) {
  GLMreadoptions options{};
  options.open = [](const char* path, void* user) -> void* {
    Files* f = static_cast<Files*>(user);
    return new Open{std::strcmp(path, "model.obj") == 0 ? f->obj : f->mtl, 0, f};
  };
  options.read = [](void* file, void* buffer, unsigned long long size, void*) {
    Open* o = static_cast<Open*>(file);
    std::size_t got = std::min({static_cast<std::size_t>(size), o->files->piece, o->text.size() - o->at});
    if (got) std::memcpy(buffer, o->text.data() + o->at, got);
    o->at += got;
    return static_cast<long long>(got);
  };
  options.close = [](void* file, void*) { delete static_cast<Open*>(file); };
  options.user = &files;
  options.threads = 1;
  return options;
}

// What the reader promises about every model it returns.
void checkModel(const ObjModel* model) {
  FUZZ_CHECK(model->vertices);
  FUZZ_CHECK((model->normalcount == 0) == (model->normals == nullptr));
  FUZZ_CHECK((model->texcoordcount == 0) == (model->texcoords == nullptr));
  FUZZ_CHECK(model->groups && model->groupcount >= 1);
  unsigned groups = 0, grouped = 0;
  const ObjGroup* last = nullptr;
  for (const ObjGroup* group = model->groups; group; group = group->next) {
    groups++;
    last = group;
    FUZZ_CHECK(group->name);
    FUZZ_CHECK(model->materialcount == 0 ? group->material == 0
                                         : group->material < model->materialcount);
    for (unsigned i = 0; i < group->trianglecount; i++)
      FUZZ_CHECK(group->triangles[i] < model->trianglecount);
    grouped += group->trianglecount;
  }
  FUZZ_CHECK(groups == model->groupcount);
  FUZZ_CHECK(grouped == model->trianglecount);
  FUZZ_CHECK(std::strcmp(last->name, "default") == 0);
  fuzz::checkTriangles(model);
  for (unsigned i = 0; i < model->materialcount; i++) FUZZ_CHECK(model->materials[i].name);
  // Objects are runs in triangle order; lines and points name read vertices.
  unsigned next = 0;
  for (unsigned i = 0; i < model->objectcount; i++) {
    const ObjObject& o = model->objects[i];
    FUZZ_CHECK(o.name && o.firsttriangle >= next && o.firsttriangle <= model->trianglecount);
    FUZZ_CHECK(o.trianglecount <= model->trianglecount - o.firsttriangle);
    next = o.firsttriangle + o.trianglecount;
  }
  FUZZ_CHECK((model->objectcount == 0) == (model->objects == nullptr));
  for (unsigned i = 0; i < model->linecount; i++)
    for (int k = 0; k < 2; k++) {
      const ObjLine& l = model->lines[i];
      FUZZ_CHECK(l.vertexidx[k] >= 1 && l.vertexidx[k] <= model->vertexcount);
      FUZZ_CHECK(l.texcoordidx[k] <= model->texcoordcount);
      FUZZ_CHECK(l.material == 0 || l.material < model->materialcount);
    }
  for (unsigned i = 0; i < model->pointcount; i++)
    FUZZ_CHECK(model->points[i] >= 1 && model->points[i] <= model->vertexcount);
}

// Everything a read gives, as text: the messages, then the model's counts,
// arrays, groups and materials. `split` reads it in two halves meeting
// there, `window` in pieces of that many bytes, `piece` through callbacks
// giving that many at a time.
std::string readAndDescribe(Files files, std::size_t split, std::size_t window, std::size_t piece) {
  glm_internal::glmSetReadChunking(split ? 0 : glm_internal::kReadTwoThreadsFrom, split);
  glm_internal::glmSetReadWindow(window);
  files.piece = piece ? piece : SIZE_MAX;
  GLMreadoptions options = callbacks(files);
  options.threads = split ? 2 : 1;
  std::string text;
  glmSetMessageHandler(
      [](const char* message, bool, void* user) {
        *static_cast<std::string*>(user) += std::string(message) + "\n";
      },
      &text);
  GLMerror error;
  ObjModel* m = piece ? glmReadOBJFrom("model.obj", &options, &error)
                      : glmReadOBJMemory(files.obj.data(), files.obj.size(), "model.obj", &options,
                                         &error);
  glmSetMessageHandler(nullptr, nullptr);
  glm_internal::glmSetReadWindow(0);
  std::string model;
  if (m) {
    FUZZ_CHECK(error.line == 0 && error.message[0] == '\0');
    checkModel(m);
    auto bytes = [&model](const void* data, std::size_t size) {
      if (data) model.append(static_cast<const char*>(data), size);
      model += '|';
    };
    unsigned counts[] = {m->vertexcount,   m->normalcount, m->texcoordcount,
                         m->trianglecount, m->groupcount,  m->materialcount};
    bytes(counts, sizeof counts);
    bytes(m->vertices, 3 * sizeof(float) * (m->vertexcount + 1));
    bytes(m->normals, m->normals ? 3 * sizeof(float) * (m->normalcount + 1) : 0);
    bytes(m->texcoords, m->texcoords ? 2 * sizeof(float) * (m->texcoordcount + 1) : 0);
    bytes(m->triangles, sizeof(ObjTriangle) * m->trianglecount);
    for (const ObjGroup* g = m->groups; g; g = g->next) {
      model += g->name;
      bytes(&g->material, sizeof g->material);
      bytes(g->triangles, sizeof(unsigned) * g->trianglecount);
    }
    for (unsigned i = 0; i < m->materialcount; i++) {
      model += m->materials[i].name;
      bytes(m->materials[i].diffuse, sizeof m->materials[i].diffuse);
    }
    bytes(m->colors, m->colors ? 3 * sizeof(float) * (m->vertexcount + 1) : 0);
    for (unsigned i = 0; i < m->objectcount; i++) {
      model += m->objects[i].name;
      const unsigned run[] = {m->objects[i].firsttriangle, m->objects[i].trianglecount};
      bytes(run, sizeof run);
    }
    bytes(m->smoothing, m->smoothing ? sizeof(unsigned) * m->trianglecount : 0);
    bytes(m->lines, sizeof(ObjLine) * m->linecount);
    bytes(m->points, sizeof(unsigned) * m->pointcount);
    glmFreeModel(m);
  } else {
    text += std::string(error.message) + "\n";
  }
  fuzz::checkMessages(text, !m);
  return text + (m ? model : "rejected at line " + std::to_string(error.line));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  std::size_t split = input.find(kMarker);
  Files files{input.substr(0, split),
              split == std::string_view::npos ? "" : input.substr(split + kMarker.size()), 0};
  std::string whole = readAndDescribe(files, 0, 0, 0);
  // In two halves (as large files are read), meeting 1 to 64 bytes in.
  FUZZ_CHECK(whole == readAndDescribe(files, 1 + size % 64, 0, 0));
  // In pieces of 1 to 16 bytes, and through callbacks giving 1 to 7.
  FUZZ_CHECK(whole == readAndDescribe(files, 0, 1 + size % 16, 0));
  FUZZ_CHECK(whole == readAndDescribe(files, 0, 0, 1 + size % 7));
  return 0;
}
