// Fuzz target for the OBJ reader, with the MTL reader behind it.
//
// The input is OBJ text, optionally followed by the marker line below and MTL
// text. The OBJ part becomes model.obj in a scratch directory; the MTL part
// (empty without a marker) is written beside it under the name the first
// "mtllib" line gives (when that is a plain file name, else lib.mtl), so an
// input controls both files of a pair. Every input is read four ways (see
// below), which must all give the same model and the same messages.
#include <cctype>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "fuzz_common.h"
#include "glm_internal.h"

namespace {

constexpr std::string_view kMarker = "\n#---mtl---\n";

// The first word after a line's leading "mtllib", when it is a plain file name.
std::string libraryName(std::string_view obj) {
  std::size_t at = 0;
  while (at < obj.size()) {
    std::size_t end = obj.find('\n', at);
    std::string_view line = obj.substr(at, end == std::string_view::npos ? obj.npos : end - at);
    std::size_t start = line.find_first_not_of(" \t\r\v\f");
    if (start != line.npos && line.substr(start, 6) == "mtllib") {
      std::size_t word = line.find_first_not_of(" \t\r\v\f", start + 6);
      if (word == line.npos) break;
      std::size_t stop = line.find_first_of(" \t\r\v\f", word);
      std::string name(line.substr(word, stop == line.npos ? line.npos : stop - word));
      if (name.find('/') != name.npos || name.find('\0') != name.npos || name == "." ||
          name == "model.obj" || name.size() > 100)
        break;
      return name;
    }
    if (end == std::string_view::npos) break;
    at = end + 1;
  }
  return "lib.mtl";
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
}

// Everything a read gives, as text: the messages, then the model's counts,
// arrays, groups and materials.
std::string readAndDescribe(const std::string& path, std::size_t split) {
  glm_internal::glmSetReadChunking(split ? 0 : glm_internal::kReadTwoThreadsFrom, split);
  bool rejected = false;
  std::string model;
  fuzz::Messages messages;
  try {
    ObjModel* m = glmReadOBJ(path.c_str());
    messages.restore();
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
    glmFreeModel(m);
  } catch (const fuzz::Rejected&) {
    rejected = true;  // a fatal failure, reported and released by the reader
  }
  std::string text = messages.text();
  fuzz::checkMessages(text, rejected);
  return text + (rejected ? "rejected" : model);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  if (!fuzz::staysInScratch(input)) return 0;
  std::size_t split = input.find(kMarker);
  std::string_view obj = input.substr(0, split);

  std::string objPath = fuzz::writeScratch("model.obj", data, obj.size());
  // Without a marker the library is empty, so a model file alone still gets
  // past its "mtllib" line.
  std::size_t from = split == std::string_view::npos ? size : split + kMarker.size();
  std::string mtlPath = fuzz::writeScratch(libraryName(obj).c_str(), data + from, size - from);
  std::string whole = readAndDescribe(objPath, 0);
  // In two halves (as large files are read), meeting 1 to 64 bytes in.
  std::string halves = readAndDescribe(objPath, 1 + size % 64);
  FUZZ_CHECK(whole == halves);
  // The one pass in pieces of 1 to 16 bytes, and the two passes alone.
  glm_internal::glmSetReadOnePass(true, 1 + size % 16);
  std::string pieces = readAndDescribe(objPath, 0);
  glm_internal::glmSetReadOnePass(false);
  std::string twice = readAndDescribe(objPath, 0);
  glm_internal::glmSetReadOnePass(true);
  FUZZ_CHECK(whole == pieces);
  FUZZ_CHECK(whole == twice);
  unlink(objPath.c_str());
  unlink(mtlPath.c_str());
  return 0;
}
