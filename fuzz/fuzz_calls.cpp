// Fuzz target for call sequences: a model is read, reworked by a sequence of
// operations the input chooses, drawn on the recording GL stand-in and
// written in any output mode; every written pair is read back and compared.
//
// The input is OBJ text, optionally followed by the line "#---mtl---" and the
// text of lib.mtl (the library an "mtllib lib.mtl" line reads), optionally
// followed by the line "#---ops---" and operation bytes (see run()). Without
// operations a fixed sequence runs that uses every kind once.
//
// What counts as a crash, besides sanitizer reports: a model that breaks the
// library's promises after any operation (an index out of range, counts that
// disagree with arrays), a written file that does not read back with the same
// data, a write that leaves the output directory or leaves a target changed
// after failing, and a temporary file left behind.
#include <dirent.h>
#include <sys/stat.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_common.h"
#include "glm_internal.h"
#include "glfake.h"

namespace {

constexpr std::string_view kMtlMarker = "\n#---mtl---\n";
constexpr std::string_view kOpsMarker = "\n#---ops---\n";

// Face normals, vertex normals at 90 degrees, planar coordinates, drawing
// with every flag, writing with every flag, a weld at 0.001, a flat textured
// write with materials, spherical coordinates, a flip, and a flat textured
// write with the colour flag.
constexpr std::uint8_t kDefaultOps[] = {0, 1,    0x59, 6,    10, 0x3f, 11, 0x1f,
                                        8, 0x11, 11,   0x15, 7,  5,    11, 0x0d};

// Library names an operation can give the model: plain ones, and ones the
// writer must refuse because they leave the output directory.
const char* const kLibraryNames[] = {
    "lib.mtl",        "x.mtl",   "./y.mtl", "../escape.mtl", "/nonexistent-glm-fuzz/z.mtl",
    "sub/../lib.mtl", "a/b.mtl", nullptr};

bool leavesDirectory(const char* name) {
  const std::string_view text(name);
  if (text.empty() || text.starts_with('/')) return true;  // no name refuses as well
  // A ".." component stands alone, first, last or between two slashes.
  return text == ".." || text.starts_with("../") || text.ends_with("/..") ||
         text.find("/../") != std::string_view::npos;
}

bool sameFloat(float a, float b) {
  return std::memcmp(&a, &b, sizeof a) == 0 || (std::isnan(a) && std::isnan(b));
}

bool sameFloats(const float* a, const float* b, std::size_t count) {
  for (std::size_t i = 0; i < count; i++)
    if (!sameFloat(a[i], b[i])) return false;
  return true;
}

// Entries 1..count of two 1-based arrays of `size` floats each.
bool sameEntries(const float* a, const float* b, int size, unsigned count) {
  return count == 0 || sameFloats(a + size, b + size, size * std::size_t{count});
}

bool named(const unsigned* index) { return index[0] != 0 && index[1] != 0 && index[2] != 0; }

std::string contents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in || std::filesystem::is_directory(path)) return std::string("\0absent", 7);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::set<std::string> entries(const std::string& dir) {
  std::set<std::string> names;
  DIR* d = opendir(dir.c_str());
  FUZZ_CHECK(d);
  while (dirent* e = readdir(d))
    if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
      names.insert(e->d_name);
  closedir(d);
  return names;
}

// What every operation promises to leave behind.
void checkModel(const ObjModel* model) {
  FUZZ_CHECK(model->vertices);
  FUZZ_CHECK(model->normalcount == 0 || model->normals);
  FUZZ_CHECK(model->texcoordcount == 0 || model->texcoords);
  FUZZ_CHECK(model->facetnormcount == 0 || model->facetnorms);
  FUZZ_CHECK(model->materialcount == 0 || model->materials);
  unsigned groups = 0, grouped = 0;
  for (const ObjGroup* group = model->groups; group; group = group->next) {
    groups++;
    FUZZ_CHECK(group->name);
    FUZZ_CHECK(group->material < (model->materialcount ? model->materialcount : 1));
    for (unsigned i = 0; i < group->trianglecount; i++)
      FUZZ_CHECK(group->triangles[i] < model->trianglecount);
    grouped += group->trianglecount;
  }
  FUZZ_CHECK(groups == model->groupcount);
  FUZZ_CHECK(grouped == model->trianglecount);
  fuzz::checkTriangles(model);
  for (unsigned i = 0; i < model->materialcount; i++) FUZZ_CHECK(model->materials[i].name);
}

// The mode the writer is left with once it has dropped what it cannot write.
unsigned writtenMode(const ObjModel* model, unsigned mode) {
  if (!model->facetnorms) mode &= ~DRAW_FLAT;
  if (!model->normals) mode &= ~DRAW_SMOOTH;
  if (!model->texcoords) mode &= ~DRAW_TEXTURE;
  if (mode & DRAW_SMOOTH) mode &= ~DRAW_FLAT;
  if (!model->materials) mode &= ~(DRAW_COLOR | DRAW_MATERIAL);
  return mode;
}

// The groups in the order they were made, which is the order they are written.
std::vector<const ObjGroup*> madeOrder(const ObjModel* model) {
  std::vector<const ObjGroup*> groups;
  for (const ObjGroup* group = model->groups; group; group = group->next)
    groups.insert(groups.begin(), group);
  return groups;
}

// The name a written group reads back with: the reader's own "default" (made
// first) as it is; the writer puts a name that is empty or starts with a
// blank directly after "g", which keeps it as it is, and any other after one
// blank, which the reader keeps in front.
std::string readBackName(const ObjModel* model, const ObjGroup* group) {
  std::string_view name(group->name);
  if (name == "default" && madeOrder(model).front() == group) return "default";
  bool blank = name.empty() || std::string_view(" \t\v\f\r").find(name[0]) != std::string_view::npos;
  return blank ? std::string(name) : std::string(" ").append(name);
}

// Group names that read back as one group each: one line, short enough for
// any reader's name buffer, and no two alike once read back.
bool plainGroupNames(const ObjModel* model) {
  std::set<std::string> seen;
  for (const ObjGroup* group = model->groups; group; group = group->next) {
    std::string_view name(group->name);
    if (name.size() > 120 || name.find_first_of("\r\n") != std::string_view::npos) return false;
    if (!seen.insert(readBackName(model, group)).second) return false;
  }
  return true;
}

// The written copy against the model it was written from.
// The name of the object triangle `t` belongs to, or null.
const char* objectOf(const ObjModel* m, unsigned t) {
  for (unsigned i = 0; i < m->objectcount; i++)
    if (t >= m->objects[i].firsttriangle && t - m->objects[i].firsttriangle < m->objects[i].trianglecount)
      return m->objects[i].name;
  return nullptr;
}

void compare(const ObjModel* model, const ObjModel* copy, unsigned mode, bool library) {
  FUZZ_CHECK(copy->vertexcount == model->vertexcount);
  FUZZ_CHECK(sameEntries(copy->vertices, model->vertices, 3, model->vertexcount));
  if (mode & DRAW_SMOOTH) {
    FUZZ_CHECK(copy->normalcount == model->normalcount);
    FUZZ_CHECK(sameEntries(copy->normals, model->normals, 3, model->normalcount));
  } else if (mode & DRAW_FLAT) {
    FUZZ_CHECK(copy->normalcount == model->facetnormcount);
    FUZZ_CHECK(sameEntries(copy->normals, model->facetnorms, 3, model->facetnormcount));
  } else {
    FUZZ_CHECK(copy->normalcount == 0);
  }
  if (mode & DRAW_TEXTURE) {
    FUZZ_CHECK(copy->texcoordcount == model->texcoordcount);
    FUZZ_CHECK(sameEntries(copy->texcoords, model->texcoords, 2, model->texcoordcount));
  } else {
    FUZZ_CHECK(copy->texcoordcount == 0);
  }

  // Triangles come back in written order: group by group as they were made.
  std::vector<unsigned> order;
  for (const ObjGroup* group : madeOrder(model))
    order.insert(order.end(), group->triangles, group->triangles + group->trianglecount);
  FUZZ_CHECK(copy->trianglecount == order.size());
  for (std::size_t i = 0; i < order.size(); i++) {
    const ObjTriangle& before = model->triangles[order[i]];
    const ObjTriangle& after = copy->triangles[i];
    const bool texture = (mode & DRAW_TEXTURE) && named(before.texcoordidx);
    const bool smooth = (mode & DRAW_SMOOTH) && named(before.normalidx);
    const bool flat = !(mode & DRAW_SMOOTH) && (mode & DRAW_FLAT) && before.facetnormidx != 0;
    for (int c = 0; c < 3; c++) {
      FUZZ_CHECK(after.vertexidx[c] == before.vertexidx[c]);
      FUZZ_CHECK(after.texcoordidx[c] == (texture ? before.texcoordidx[c] : 0));
      FUZZ_CHECK(after.normalidx[c] == (smooth ? before.normalidx[c]
                                        : flat ? before.facetnormidx
                                               : 0));
    }
    // A material comes back by name: "usemtl" finds the first of a name.
    if (library)
      FUZZ_CHECK(std::strcmp(copy->materials[after.material].name,
                             model->materials[before.material].name) == 0);
    else
      FUZZ_CHECK(after.material == 0);
    // Each triangle keeps its smoothing group and its object's name (one
    // before any object stays outside objects until one has been written).
    auto smoothing = [](const ObjModel* m, unsigned t) { return m->smoothing ? m->smoothing[t] : 0u; };
    FUZZ_CHECK(smoothing(copy, static_cast<unsigned>(i)) == smoothing(model, order[i]));
    const char* objectBefore = objectOf(model, order[i]);
    const char* objectAfter = objectOf(copy, static_cast<unsigned>(i));
    if (objectBefore) FUZZ_CHECK(objectAfter && std::strcmp(objectAfter, objectBefore) == 0);
    if (!objectBefore && objectAfter) FUZZ_CHECK(copy->objects[0].firsttriangle < i);
  }
  FUZZ_CHECK((copy->colors == nullptr) == (model->colors == nullptr));
  if (model->colors) FUZZ_CHECK(sameEntries(copy->colors, model->colors, 3, model->vertexcount));
  FUZZ_CHECK(copy->linecount == model->linecount && copy->pointcount == model->pointcount);
  for (unsigned i = 0; i < model->linecount; i++) {
    const ObjLine &before = model->lines[i], &after = copy->lines[i];
    for (int k = 0; k < 2; k++) {
      FUZZ_CHECK(after.vertexidx[k] == before.vertexidx[k]);
      FUZZ_CHECK(after.texcoordidx[k] == ((mode & DRAW_TEXTURE) ? before.texcoordidx[k] : 0));
    }
    if (library)
      FUZZ_CHECK(std::strcmp(copy->materials[after.material].name,
                             model->materials[before.material].name) == 0);
  }
  for (unsigned i = 0; i < model->pointcount; i++) FUZZ_CHECK(copy->points[i] == model->points[i]);

  if (library) {
    FUZZ_CHECK(copy->mtllib && std::strcmp(copy->mtllib, model->mtllib) == 0);
    // The reader makes "default" first; a model's own first "default" is
    // written as the statements that apply to it, so it is not doubled.
    const unsigned shift = std::strcmp(model->materials[0].name, "default") == 0 ? 0 : 1;
    FUZZ_CHECK(copy->materialcount == model->materialcount + shift);
    for (unsigned i = 0; i < model->materialcount; i++) {
      const ObjMaterial& before = model->materials[i];
      const ObjMaterial& after = copy->materials[i + shift];
      FUZZ_CHECK(std::strcmp(after.name, before.name) == 0);
      FUZZ_CHECK(sameFloats(&after.dissolve, &before.dissolve, 1));
      for (auto map : {&ObjMaterial::diffusemap, &ObjMaterial::ambientmap,
                       &ObjMaterial::specularmap, &ObjMaterial::alphamap, &ObjMaterial::bumpmap})
        FUZZ_CHECK(before.*map ? after.*map && std::strcmp(after.*map, before.*map) == 0
                               : !(after.*map));
      FUZZ_CHECK(sameFloats(after.ambient, before.ambient, 3));
      FUZZ_CHECK(sameFloats(after.diffuse, before.diffuse, 3));
      FUZZ_CHECK(sameFloats(after.specular, before.specular, 3));
      FUZZ_CHECK(sameFloats(after.emissive, before.emissive, 3));
      FUZZ_CHECK(sameFloats(after.transmission, before.transmission, 3));
      FUZZ_CHECK(after.illum == before.illum);
      for (const glm_internal::NumberField& n : glm_internal::kNumberFields)
        FUZZ_CHECK(sameFloats(&(after.*n.field), &(before.*n.field), 1));
      for (const glm_internal::MapField& map : glm_internal::kMapFields)
        FUZZ_CHECK(before.*map.field ? after.*map.field && std::strcmp(after.*map.field, before.*map.field) == 0
                                     : !(after.*map.field));
      // Two roundings on reading "Ns" leave some values a few units off in
      // their last place.
      const float s = before.shininess;
      if (std::isnan(s)) FUZZ_CHECK(std::isnan(after.shininess));
      if (std::fabs(s) > 1e-30f && std::fabs(s) < 1e30f)
        FUZZ_CHECK(std::fabs(after.shininess - s) <= 1e-6f * std::fabs(s));
    }
  } else {
    FUZZ_CHECK(copy->materialcount == 0);
  }

  if (!plainGroupNames(model)) return;
  const bool ownDefault = readBackName(model, madeOrder(model).front()) == "default";
  FUZZ_CHECK(copy->groupcount == model->groupcount + (ownDefault ? 0 : 1));
  unsigned first = 0;
  for (const ObjGroup* group : madeOrder(model)) {
    ObjGroup* back =
        glmLookupGroup(const_cast<ObjModel*>(copy), readBackName(model, group).c_str());
    FUZZ_CHECK(back && back->trianglecount == group->trianglecount);
    for (unsigned i = 0; i < group->trianglecount; i++) FUZZ_CHECK(back->triangles[i] == first + i);
    first += group->trianglecount;
    if (library)
      FUZZ_CHECK(std::strcmp(copy->materials[back->material].name,
                             model->materials[group->material].name) == 0);
    else
      FUZZ_CHECK(back->material == 0);
  }
  ObjGroup* reader = glmLookupGroup(const_cast<ObjModel*>(copy), "default");
  FUZZ_CHECK(reader && (ownDefault || reader->trianglecount == 0));
}

// The operation bytes, read one at a time; past their end they read as 0.
struct Bytes {
  const std::uint8_t* p;
  const std::uint8_t* end;

  bool more() const { return p < end; }
  std::uint8_t next() { return p < end ? *p++ : 0; }

  // Bytes below 0xF0 give +-m * 10^e, m in 0..15 and e in -4..3 (epsilons,
  // angles, offsets and factors of every usual size); from 0xF0 on the next
  // four bytes are a float's bits (zeros, NaN, infinities, denormals).
  float number() {
    const std::uint8_t b = next();
    if (b >= 0xF0) {
      std::uint32_t bits = 0;
      for (int i = 0; i < 4; i++) bits = bits << 8 | next();
      float value;
      std::memcpy(&value, &bits, sizeof value);
      return value;
    }
    static const float kPowers[] = {1e-4f, 1e-3f, 1e-2f, 1e-1f, 1.0f, 10.0f, 100.0f, 1000.0f};
    const float value = static_cast<float>(b & 15) * kPowers[(b >> 4) & 7];
    return (b & 0x80) ? -value : value;
  }
};

class Run {
 public:
  explicit Run(std::string_view mtl) : mtl_(mtl), out_(fuzz::scratchDir() + "/out") {
    FUZZ_CHECK(mkdir(out_.c_str(), 0700) == 0);
  }
  ~Run() {
    for (const std::string& name : entries(out_)) unlink((out_ + "/" + name).c_str());
    rmdir(out_.c_str());
    unlink((fuzz::scratchDir() + "/second.mtl").c_str());
  }

  // One operation: a byte chooses it, the next bytes give its arguments. A
  // failure it reports (only running out of memory should) must leave the
  // model whole.
  void step(ObjModel* model, Bytes& bytes) {
    try {
      switch (bytes.next() % 13) {
        case 0:
          glmComputeFaceNormals(model);
          break;
        case 1:
          if (!model->facetnorms) glmComputeFaceNormals(model);
          glmVertexNormals(model, bytes.number());
          break;
        case 2:
          glmFitToUnitCube(model);
          break;
        case 3:
          glmScaleVertices(model, bytes.number());
          break;
        case 4: {
          const float offset[3] = {bytes.number(), bytes.number(), bytes.number()};
          glmTranslateVertices(model, offset);
          break;
        }
        case 5:
          glmFlipWinding(model);
          break;
        case 6:
          glmPlanarTexCoords(model);
          break;
        case 7:
          if (model->normals) glmSphericalTexCoords(model);
          break;
        case 8:
          glmMergeVertices(model, bytes.number());
          break;
        case 9: {
          // A second library, the first part of the first, read over the model.
          const std::size_t length = mtl_.size() * bytes.next() / 255;
          fuzz::writeScratch("second.mtl", reinterpret_cast<const std::uint8_t*>(mtl_.data()),
                             length);
          glmReadMTL(model, "second.mtl");
          break;
        }
        case 10:
          draw(model, bytes.next());
          break;
        case 11:
          write(model, bytes.next() & 31u);
          break;
        default: {
          const char* name = kLibraryNames[bytes.next() % std::size(kLibraryNames)];
          std::free(model->mtllib);
          model->mtllib = name ? strdup(name) : nullptr;
          break;
        }
      }
    } catch (const fuzz::Rejected&) {
    }
    checkModel(model);
  }

 private:
  // Draws (or compiles, with the high bit) in any mode, unknown bits
  // included: every grouped triangle sends its three corners, then every
  // line its two ends and every point itself.
  void draw(ObjModel* model, std::uint8_t mode) {
    glfake::reset();
    if (mode & 0x80)
      glmCompileDisplayList(model, mode & 0x7fu);
    else
      glmDraw(model, mode);
    FUZZ_CHECK(static_cast<std::size_t>(glfake::count("glVertex3fv")) ==
               3 * std::size_t{model->trianglecount} + 2 * std::size_t{model->linecount} +
                   model->pointcount);
    glfake::reset();
  }

  // What was read back from the writer's text writes that text again, byte
  // for byte, and reads back as the same model. (Facet normals come back as
  // normals.) Returns the model read last.
  ObjModel* writeAgain(ObjModel* copy, unsigned written, const std::string& libPath) {
    const std::string path = out_ + "/again.obj";
    written_.insert("again.obj");
    const unsigned mode = written & DRAW_FLAT ? (written & ~DRAW_FLAT) | DRAW_SMOOTH : written;
    std::string texts[2];
    for (std::string& text : texts) {
      try {
        glmWriteOBJ(copy, path.c_str(), mode);
        glmFreeModel(copy);
        copy = glmReadOBJ(path.c_str());
      } catch (const fuzz::Rejected&) {
        FUZZ_CHECK(false);
      }
      text = contents(path) + "|" + (libPath.empty() ? "" : contents(libPath));
    }
    FUZZ_CHECK(texts[0] == texts[1]);
    return copy;
  }

  void write(ObjModel* model, unsigned mode) {
    const std::string objPath = out_ + "/w.obj";
    const unsigned written = writtenMode(model, mode);
    const char* name = model->mtllib;
    const bool library = (written & DRAW_MATERIAL) && name;
    const bool refused = library && leavesDirectory(name);
    const std::string libPath = library && !refused ? out_ + "/" + name : "";
    const std::string objBefore = contents(objPath);
    const std::string libBefore = libPath.empty() ? "" : contents(libPath);

    bool rejected = false;
    try {
      glmWriteOBJ(model, objPath.c_str(), mode);
    } catch (const fuzz::Rejected&) {
      rejected = true;
    }
    // Nothing was made outside the output directory, and no temporary file
    // is left in it.
    for (const std::string& entry : entries(fuzz::scratchDir()))
      FUZZ_CHECK(entry == "model.obj" || entry == "lib.mtl" || entry == "second.mtl" ||
                 entry == "out");
    if (rejected) {
      // Only a library that cannot go where it is named is refused, and
      // then neither target changed.
      FUZZ_CHECK(library && (refused || std::strchr(name, '/')));
      FUZZ_CHECK(contents(objPath) == objBefore);
      if (!libPath.empty()) FUZZ_CHECK(contents(libPath) == libBefore);
    } else {
      FUZZ_CHECK(!refused);
      if (library) written_.insert(libPath.substr(libPath.rfind('/') + 1));
    }
    for (const std::string& entry : entries(out_)) FUZZ_CHECK(written_.count(entry));
    if (rejected) return;

    ObjModel* copy = nullptr;
    try {
      copy = glmReadOBJ(objPath.c_str());
    } catch (const fuzz::Rejected&) {
    }
    FUZZ_CHECK(copy);  // every written model reads back
    compare(model, copy, written, library);
    if (plainGroupNames(model)) copy = writeAgain(copy, written, libPath);
    glmFreeModel(copy);
  }

  std::string_view mtl_;
  std::string out_;
  std::set<std::string> written_ = {"w.obj"};
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t opsAt = input.find(kOpsMarker);
  const std::string_view text = input.substr(0, opsAt);
  if (!fuzz::staysInScratch(text)) return 0;
  const std::size_t mtlAt = text.find(kMtlMarker);
  const std::string_view obj = text.substr(0, mtlAt);
  const std::string_view mtl =
      mtlAt == std::string_view::npos ? std::string_view() : text.substr(mtlAt + kMtlMarker.size());
  Bytes ops = opsAt == std::string_view::npos
                  ? Bytes{kDefaultOps, kDefaultOps + sizeof kDefaultOps}
                  : Bytes{data + opsAt + kOpsMarker.size(), data + size};

  const std::string objPath = fuzz::writeScratch("model.obj", data, obj.size());
  const std::string libPath =
      fuzz::writeScratch("lib.mtl", reinterpret_cast<const std::uint8_t*>(mtl.data()), mtl.size());
  bool rejected = false;
  fuzz::Messages messages;
  ObjModel* model = nullptr;
  try {
    model = glmReadOBJ(objPath.c_str());
  } catch (const fuzz::Rejected&) {
    rejected = true;  // a fatal failure, reported and released by the reader
  }
  if (model) {
    checkModel(model);
    {
      Run run(mtl);
      for (int n = 0; n < 32 && ops.more(); n++) run.step(model, ops);
    }
    glmFreeModel(model);
  }
  fuzz::checkMessages(messages.text(), rejected);
  unlink(objPath.c_str());
  unlink(libPath.c_str());
  return 0;
}
