// objtool: inspects and converts Wavefront OBJ models with the glm library.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cfloat>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "glm.h"

namespace {

const char* const kHelp = R"(NAME
    objtool - inspect and convert Wavefront OBJ models

SYNOPSIS
    objtool info FILE [--json]
    objtool convert IN OUT [--weld EPSILON] [--fit] [--scale F] [--flip]
                           [--facet-normals] [--normals ANGLE]
                           [--texcoords planar|spherical]
                           [--write MODE[,MODE...]]
    objtool --help | --version

DESCRIPTION
    objtool reads an OBJ file and the MTL material library it names.

    info prints the counts of vertices, normals, texture coordinates,
    triangles, groups and materials, every group (in the order the file
    created them) with its triangle count and material (the last one in
    force in it), every material with the number of triangles drawn in it,
    the parameters it sets beyond its colours (Ke, Ni, illum, Tf, Pr, Pm,
    Ps, Pc, Pcr, aniso, anisor; those at their unset values are left out)
    and the image files of its maps (map_Kd, map_Ka, map_Ks, map_d, bump,
    map_Ke, map_Pr, map_Pm, map_Ps, norm, disp, refl), each found or missing
    beside the MTL file (as the viewer looks: as written, with \ read as /,
    in any letter case, then by its file name alone; only a readable regular
    file is found), and the bounding box: its least and greatest corner,
    size and centre. The materials counted include "default", which the
    library puts first whenever a model has a material library: a library
    of two materials counts 3.

    Where the file has them, it also says: its objects ("o" lines, each with
    its triangle count, in file order), its smoothing groups ("s" lines: how
    many distinct groups other than "off" (0), and how many of the triangles
    they smooth, then each group with its triangle count), the segments of
    its "l" polylines, the vertices of its "p" lines, and whether its
    vertices carry colours ("v x y z r g b"). The text lists the first 20
    objects and smoothing groups and says how many more there are. With
    --json it prints all of it as one JSON object (see JSON OUTPUT).

    convert reads IN, applies the operations asked for in this fixed order,
    whatever the order of the options, and writes OUT:
      1. --weld EPSILON    merge vertices that differ by less than EPSILON
                           on every axis (EPSILON >= 0)
      2. --fit             centre the model on its bounding box and scale it
                           so its longest side spans -1 to 1
      3. --scale F         multiply every position by F (F > 0)
      4. --flip            reverse the winding of every triangle and negate
                           its normals
      5. --facet-normals   compute one normal per triangle
         --normals ANGLE   compute facet normals, then vertex normals that
                           are shared across edges whose faces meet at no
                           more than ANGLE degrees (0 to 180): a crease angle
      6. --texcoords KIND  generate texture coordinates: planar (from x and
                           z) or spherical (from the normals, which the file
                           or --normals must provide)
      7. --write MODES     what the written file carries, a comma-separated
                           list of: none, flat (facet normals), smooth
                           (vertex normals), texture, color, material
                           (mtllib, usemtl and the MTL library). Without
                           --write: smooth or else flat normals, texture
                           coordinates and materials, as far as the model
                           has them after steps 1 to 6.
    With material output the MTL library is written under its own name in
    the directory of OUT, replacing any file of that name there. OUT (and the
    library) are replaced only once completely written: a failure leaves them
    as they were. IN and OUT may be the same file; OUT may not be the
    model's own material library. OUT may name standard output
    (/dev/stdout): the model is written through it (so >> appends), without
    materials; --write material is then a usage error.

    Messages of the model library (warnings such as a mode asking for data
    the model lacks, and failures) go to standard error; standard output
    carries only the report of info.

JSON OUTPUT
    {"file": "cube.obj",
     "counts": {"vertices": 8, "normals": 0, "texcoords": 0,
                "triangles": 12, "groups": 1, "materials": 2},
     "groups": [{"name": "default", "triangles": 12, "material": "red"}],
     "objects": [{"name": "box", "first": 0, "triangles": 12}],
     "smoothing": {"groups": [{"group": 1, "triangles": 12}],
                   "smoothed": 12, "unsmoothed": 0},
     "lines": 0, "points": 0, "vertexcolors": false,
     "materials": [{"name": "default", "triangles": 0, "Ke": [0, 0, 0],
                    "Ni": 1, "illum": null, "Tf": [1, 1, 1], "Pr": 0,
                    "Pm": 0, "Ps": 0, "Pc": 0, "Pcr": 0, "aniso": 0,
                    "anisor": 0, "maps": {}},
                   {"name": "red", "triangles": 12, "Ke": [0, 0, 0], ...,
                    "maps": {"map_Kd": {"file": "red.png", "found": true}}}],
     "bounds": {"min": [-1, -1, -1], "max": [1, 1, 1],
                "size": [2, 2, 2], "centre": [0, 0, 0]}}
    "material" is null when the model has no material library; "bounds" is
    null when it has no vertices; a coordinate that is not finite is null.
    "objects" is [] and "smoothing" null when the file has none; "first" is
    the index (from 0) of an object's first triangle; "lines" counts
    segments; "illum" is null when unset; every material parameter is
    given, at its unset value where the file sets none.
    Names are bytes from the file: each byte that is not part of
    well-formed UTF-8 (a stray byte, an overlong form, a surrogate, a code
    point above U+10FFFF) appears as the escape \u0080 to \u00ff of its
    value; text never uses those escapes otherwise, so the bytes can be
    recovered exactly. Members may be added in later versions; the
    ones above keep their meaning.

EXIT STATUS
    0  success
    1  the model could not be read or written (the library's message says
       why), or standard output could not be written
    2  a usage error: a one-line hint is printed

EXAMPLES
    objtool info chair.obj
    objtool info chair.obj --json | python3 -m json.tool
    objtool convert scan.obj clean.obj --weld 0.0001 --normals 60
    objtool convert chair.obj unit.obj --fit --texcoords planar --write smooth,texture
)";

// A usage error: one line, then status 2.
[[noreturn]] void usage(const std::string& problem) {
  std::fprintf(stderr, "objtool: %s (try 'objtool --help')\n", problem.c_str());
  std::exit(2);
}

// A failure found by the tool itself rather than the library: status 1.
[[noreturn]] void fail(const std::string& problem) {
  std::fprintf(stderr, "objtool: %s\n", problem.c_str());
  std::exit(1);
}

float number(const std::string& option, const char* text, float low, float high,
             const char* wanted) {
  char* end = nullptr;
  const float value = std::strtof(text, &end);
  if (end == text || *end != '\0' || !(value >= low && value <= high))
    usage(option + " needs " + wanted + ", not '" + text + "'");
  return value;
}

// ---- info -----------------------------------------------------------------

struct Bounds {
  float min[3], max[3];
};

Bounds bounds(const ObjModel* model) {
  Bounds b{};
  const float* v = model->vertices;
  for (int axis = 0; axis < 3; axis++) b.min[axis] = b.max[axis] = v[3 + axis];
  for (unsigned i = 2; i <= model->vertexcount; i++) {
    for (int axis = 0; axis < 3; axis++) {
      b.min[axis] = std::fmin(b.min[axis], v[3 * i + axis]);
      b.max[axis] = std::fmax(b.max[axis], v[3 * i + axis]);
    }
  }
  return b;
}

// The groups in the order the file created them (the model lists them the
// other way round).
std::vector<const ObjGroup*> groupsInFileOrder(const ObjModel* model) {
  std::vector<const ObjGroup*> groups;
  for (const ObjGroup* g = model->groups; g != nullptr; g = g->next) groups.push_back(g);
  std::reverse(groups.begin(), groups.end());
  return groups;
}

const char* materialName(const ObjModel* model, const ObjGroup* group) {
  return model->materials != nullptr && group->material < model->materialcount
             ? model->materials[group->material].name
             : nullptr;
}

// Length of the well-formed UTF-8 sequence at p (no overlong form, no
// surrogate, nothing above U+10FFFF), or 0.
int utf8Length(const unsigned char* p) {
  const auto continues = [](unsigned char c, unsigned char low = 0x80, unsigned char high = 0xBF) {
    return c >= low && c <= high;
  };
  if (p[0] < 0x80) return 1;
  if (p[0] >= 0xC2 && p[0] <= 0xDF) return continues(p[1]) ? 2 : 0;
  if (p[0] >= 0xE0 && p[0] <= 0xEF) {
    const unsigned char low = p[0] == 0xE0 ? 0xA0 : 0x80, high = p[0] == 0xED ? 0x9F : 0xBF;
    return continues(p[1], low, high) && continues(p[2]) ? 3 : 0;
  }
  if (p[0] >= 0xF0 && p[0] <= 0xF4) {
    const unsigned char low = p[0] == 0xF0 ? 0x90 : 0x80, high = p[0] == 0xF4 ? 0x8F : 0xBF;
    return continues(p[1], low, high) && continues(p[2]) && continues(p[3]) ? 4 : 0;
  }
  return 0;
}

// Well-formed UTF-8 is written as it is; every other byte becomes \u0080 to
// \u00ff, the escape of the code point of its value. Well-formed text never
// uses those escapes (its U+0080 to U+00FF are written as themselves), so the
// bytes can be recovered exactly.
void jsonString(FILE* out, const char* s) {
  std::fputc('"', out);
  for (const auto* p = reinterpret_cast<const unsigned char*>(s); *p != 0;) {
    const int length = utf8Length(p);
    if (*p == '"' || *p == '\\')
      std::fprintf(out, "\\%c", *p);
    else if (*p < 0x20 || length == 0)
      std::fprintf(out, "\\u%04x", *p);
    else
      std::fwrite(p, 1, static_cast<std::size_t>(length), out);
    p += length == 0 ? 1 : length;
  }
  std::fputc('"', out);
}

// The maps a material names, with the keywords of their MTL lines.
std::vector<std::pair<const char*, const char*>> maps(const ObjMaterial& m) {
  std::vector<std::pair<const char*, const char*>> result;
  const std::pair<const char*, const char*> all[] = {
      {"map_Kd", m.diffusemap},   {"map_Ka", m.ambientmap},    {"map_Ks", m.specularmap},
      {"map_d", m.alphamap},      {"bump", m.bumpmap},         {"map_Ke", m.emissivemap},
      {"map_Pr", m.roughnessmap}, {"map_Pm", m.metallicmap},   {"map_Ps", m.sheenmap},
      {"norm", m.normalmap},      {"disp", m.displacementmap}, {"refl", m.reflectionmap}};
  for (const auto& map : all)
    if (map.second != nullptr) result.push_back(map);
  return result;
}

// A material's parameters beyond its colours, by the keywords of their MTL
// lines: one number or three, and whether it holds its unset value.
struct Parameter {
  const char* keyword;
  int size;
  double values[3];  // double: illum is an int of up to 2^31 - 1
  bool set;
};

// A parameter's number as the text and JSON give it: illum as the whole
// number it is, a float in the fewest digits that read back as it (0.1, not
// 0.100000001), a value that is not finite as null.
void putValue(FILE* out, double value) {
  if (!std::isfinite(value)) {
    std::fputs("null", out);
    return;
  }
  if (value == std::trunc(value) && std::fabs(value) < 1e15) {
    std::fprintf(out, "%.0f", value);
    return;
  }
  char text[32];
  for (int digits = 6; digits <= 9; digits++) {
    std::snprintf(text, sizeof text, "%.*g", digits, value);
    if (std::strtof(text, nullptr) == static_cast<float>(value)) break;
  }
  std::fputs(text, out);
}

std::vector<Parameter> parameters(const ObjMaterial& m) {
  const auto one = [](const char* keyword, float value, float unset) {
    return Parameter{keyword, 1, {value, 0, 0}, value != unset};
  };
  const auto three = [](const char* keyword, const float* v, float unset) {
    return Parameter{
        keyword, 3, {v[0], v[1], v[2]}, v[0] != unset || v[1] != unset || v[2] != unset};
  };
  return {three("Ke", m.emissive, 0),
          one("Ni", m.ior, 1),
          Parameter{"illum", 1, {static_cast<double>(m.illum), 0, 0}, m.illum != -1},
          three("Tf", m.transmission, 1),
          one("Pr", m.roughness, 0),
          one("Pm", m.metallic, 0),
          one("Ps", m.sheen, 0),
          one("Pc", m.clearcoat, 0),
          one("Pcr", m.clearcoatroughness, 0),
          one("aniso", m.anisotropy, 0),
          one("anisor", m.anisotropyrotation, 0)};
}

// The triangles of each distinct smoothing group other than 0, by group.
std::map<unsigned, unsigned> smoothingGroups(const ObjModel* model) {
  std::map<unsigned, unsigned> groups;
  for (unsigned i = 0; model->smoothing != nullptr && i < model->trianglecount; i++)
    if (model->smoothing[i] != 0) groups[model->smoothing[i]]++;
  return groups;
}

// A long list in the text report: its first kListed entries, then a line
// that says how many more --json gives.
constexpr std::size_t kListed = 20;

void moreLine(FILE* out, std::size_t all, const char* what) {
  if (all > kListed)
    std::fprintf(out, "  ... and %zu more %s (--json lists them all)\n", all - kListed, what);
}

// Whether a map's image is there, found as every program of the library
// finds it.
bool mapFound(const ObjModel* model, const char* image) {
  char* path = glmFindMap(model, image, nullptr);
  std::free(path);
  return path != nullptr;
}

// Triangles per material index.
std::vector<unsigned> trianglesPerMaterial(const ObjModel* model) {
  std::vector<unsigned> counts(model->materialcount, 0);
  for (unsigned i = 0; i < model->trianglecount; i++)
    if (model->triangles[i].material < model->materialcount) counts[model->triangles[i].material]++;
  return counts;
}

void jsonVector(FILE* out, const float* v) {
  for (int axis = 0; axis < 3; axis++) {
    std::fputs(axis == 0 ? "[" : ", ", out);
    if (std::isfinite(v[axis]))
      std::fprintf(out, "%.9g", v[axis]);
    else
      std::fputs("null", out);
  }
  std::fputc(']', out);
}

void info(FILE* out, const ObjModel* model, bool json) {
  const std::vector<const ObjGroup*> groups = groupsInFileOrder(model);
  const unsigned counts[] = {model->vertexcount,   model->normalcount, model->texcoordcount,
                             model->trianglecount, model->groupcount,  model->materialcount};
  const char* const names[] = {"vertices",  "normals", "texcoords",
                               "triangles", "groups",  "materials"};
  const Bounds b = model->vertexcount > 0 ? bounds(model) : Bounds{};
  const std::vector<unsigned> perMaterial = trianglesPerMaterial(model);
  const std::map<unsigned, unsigned> smoothing = smoothingGroups(model);
  float size[3], centre[3];
  for (int axis = 0; axis < 3; axis++) {
    size[axis] = b.max[axis] - b.min[axis];
    centre[axis] = (b.max[axis] + b.min[axis]) / 2;
  }

  if (!json) {
    std::fprintf(out, "file       %s\n", model->path);
    for (int i = 0; i < 6; i++)
      std::fprintf(out, "%-10s %u%s\n", names[i], counts[i],
                   i == 5 && counts[i] > 0 ? " (\"default\" included)" : "");
    // The records a file may or may not have, said only where it has them.
    if (model->objectcount > 0) std::fprintf(out, "objects    %u\n", model->objectcount);
    if (model->smoothing != nullptr) {
      unsigned smoothed = 0;
      for (const auto& group : smoothing) smoothed += group.second;
      std::fprintf(out, "smoothing  %zu group%s, %u of %u triangles smoothed\n", smoothing.size(),
                   smoothing.size() == 1 ? "" : "s", smoothed, model->trianglecount);
    }
    if (model->linecount > 0) std::fprintf(out, "lines      %u segments\n", model->linecount);
    if (model->pointcount > 0) std::fprintf(out, "points     %u\n", model->pointcount);
    if (model->colors != nullptr) std::fprintf(out, "colours    per vertex\n");
    std::fprintf(out, "groups:\n");
    for (const ObjGroup* g : groups) {
      const char* material = materialName(model, g);
      std::fprintf(out, "  %-20s %8u triangles  material %s\n", g->name, g->trianglecount,
                   material != nullptr ? material : "-");
    }
    if (model->objectcount > 0) std::fprintf(out, "objects:\n");
    for (unsigned i = 0; i < model->objectcount && i < kListed; i++)
      std::fprintf(out, "  %-20s %8u triangles\n", model->objects[i].name,
                   model->objects[i].trianglecount);
    moreLine(out, model->objectcount, "objects");
    if (!smoothing.empty()) std::fprintf(out, "smoothing groups:\n");
    std::size_t listed = 0;
    for (auto group = smoothing.begin(); group != smoothing.end() && listed < kListed;
         ++group, ++listed)
      std::fprintf(out, "  s %-18u %8u triangles\n", group->first, group->second);
    moreLine(out, smoothing.size(), "smoothing groups");
    if (model->materialcount > 0) std::fprintf(out, "materials:\n");
    for (unsigned i = 0; i < model->materialcount; i++) {
      const ObjMaterial& m = model->materials[i];
      std::fprintf(out, "  %-20s %8u triangles\n", m.name, perMaterial[i]);
      for (const Parameter& parameter : parameters(m)) {
        if (!parameter.set) continue;
        std::fprintf(out, "    %-8s", parameter.keyword);
        for (int k = 0; k < parameter.size; k++) {
          std::fputc(' ', out);
          putValue(out, parameter.values[k]);
        }
        std::fputc('\n', out);
      }
      for (const auto& [keyword, image] : maps(m))
        std::fprintf(out, "    %-8s %s (%s)\n", keyword, image,
                     mapFound(model, image) ? "found" : "missing");
    }
    if (model->vertexcount == 0) {
      std::fprintf(out, "bounds     none (no vertices)\n");
      return;
    }
    const struct {
      const char* label;
      const float* v;
    } rows[] = {{"min", b.min}, {"max", b.max}, {"size", size}, {"centre", centre}};
    for (const auto& row : rows)
      std::fprintf(out, "%-10s %g %g %g\n", row.label, row.v[0], row.v[1], row.v[2]);
    return;
  }

  std::fputs("{\"file\": ", out);
  jsonString(out, model->path);
  std::fputs(",\n \"counts\": {", out);
  for (int i = 0; i < 6; i++) std::fprintf(out, "%s\"%s\": %u", i ? ", " : "", names[i], counts[i]);
  std::fputs("},\n \"groups\": [", out);
  for (std::size_t i = 0; i < groups.size(); i++) {
    std::fputs(i ? ",\n   {\"name\": " : "{\"name\": ", out);
    jsonString(out, groups[i]->name);
    std::fprintf(out, ", \"triangles\": %u, \"material\": ", groups[i]->trianglecount);
    const char* material = materialName(model, groups[i]);
    if (material != nullptr)
      jsonString(out, material);
    else
      std::fputs("null", out);
    std::fputc('}', out);
  }
  std::fputs("],\n \"objects\": [", out);
  for (unsigned i = 0; i < model->objectcount; i++) {
    std::fputs(i ? ",\n   {\"name\": " : "{\"name\": ", out);
    jsonString(out, model->objects[i].name);
    std::fprintf(out, ", \"first\": %u, \"triangles\": %u}", model->objects[i].firsttriangle,
                 model->objects[i].trianglecount);
  }
  std::fputs("],\n \"smoothing\": ", out);
  if (model->smoothing == nullptr) {
    std::fputs("null", out);
  } else {
    std::fputs("{\"groups\": [", out);
    unsigned smoothed = 0;
    for (auto group = smoothing.begin(); group != smoothing.end(); ++group) {
      std::fprintf(out, "%s{\"group\": %u, \"triangles\": %u}",
                   group == smoothing.begin() ? "" : ", ", group->first, group->second);
      smoothed += group->second;
    }
    std::fprintf(out, "], \"smoothed\": %u, \"unsmoothed\": %u}", smoothed,
                 model->trianglecount - smoothed);
  }
  std::fprintf(out, ",\n \"lines\": %u, \"points\": %u, \"vertexcolors\": %s", model->linecount,
               model->pointcount, model->colors != nullptr ? "true" : "false");
  std::fputs(",\n \"materials\": [", out);
  for (unsigned i = 0; i < model->materialcount; i++) {
    const ObjMaterial& m = model->materials[i];
    std::fputs(i ? ",\n   {\"name\": " : "{\"name\": ", out);
    jsonString(out, m.name);
    std::fprintf(out, ", \"triangles\": %u", perMaterial[i]);
    for (const Parameter& parameter : parameters(m)) {
      std::fprintf(out, ", \"%s\": ", parameter.keyword);
      if (parameter.keyword == std::string("illum") && !parameter.set) {
        std::fputs("null", out);
        continue;
      }
      for (int k = 0; k < parameter.size; k++) {
        if (parameter.size == 3) std::fputs(k == 0 ? "[" : ", ", out);
        putValue(out, parameter.values[k]);
      }
      if (parameter.size == 3) std::fputc(']', out);
    }
    std::fputs(", \"maps\": {", out);
    bool first = true;
    for (const auto& [keyword, image] : maps(m)) {
      std::fprintf(out, "%s\"%s\": {\"file\": ", first ? "" : ", ", keyword);
      jsonString(out, image);
      std::fprintf(out, ", \"found\": %s}", mapFound(model, image) ? "true" : "false");
      first = false;
    }
    std::fputs("}}", out);
  }
  std::fputs("],\n \"bounds\": ", out);
  if (model->vertexcount == 0) {
    std::fputs("null}\n", out);
    return;
  }
  const char* const keys[] = {"min", "max", "size", "centre"};
  const float* const values[] = {b.min, b.max, size, centre};
  for (int i = 0; i < 4; i++) {
    std::fprintf(out, "%s\"%s\": ", i ? ", " : "{", keys[i]);
    jsonVector(out, values[i]);
  }
  std::fputs("}}\n", out);
}

// ---- convert --------------------------------------------------------------

struct Convert {
  const char* in = nullptr;
  const char* out = nullptr;
  float weld = -1;  // < 0: no welding
  bool fit = false;
  float scale = 1;
  bool flip = false;
  bool facetNormals = false;
  float angle = -1;  // < 0: no vertex normals
  const char* texcoords = nullptr;
  int write = -1;  // < 0: chosen from what the model has
};

int writeModes(const char* list) {
  struct {
    const char* name;
    unsigned flag;
  } const modes[] = {{"none", DRAW_NONE},       {"flat", DRAW_FLAT},   {"smooth", DRAW_SMOOTH},
                     {"texture", DRAW_TEXTURE}, {"color", DRAW_COLOR}, {"material", DRAW_MATERIAL}};
  unsigned mode = 0;
  std::string rest = list;
  rest += ',';
  for (std::size_t start = 0, comma; (comma = rest.find(',', start)) != std::string::npos;
       start = comma + 1) {
    const std::string word = rest.substr(start, comma - start);
    bool known = false;
    for (const auto& m : modes) {
      if (word == m.name) {
        mode |= m.flag;
        known = true;
      }
    }
    if (!known)
      usage("--write takes none, flat, smooth, texture, color, material; not '" + word + "'");
  }
  return static_cast<int>(mode);
}

void convert(const Convert& c, bool toOutput) {
  ObjModel* model = glmReadOBJ(c.in);
  if (c.weld >= 0) glmMergeVertices(model, c.weld);
  if (c.fit) {
    // The fit measures each side as |max| + |min|, which is the true side
    // only once the model straddles the origin: the first pass centres it,
    // the second gets the scale right for a model away from the origin.
    glmFitToUnitCube(model);
    glmFitToUnitCube(model);
  }
  if (c.scale != 1) glmScaleVertices(model, c.scale);
  if (c.flip) glmFlipWinding(model);
  if (c.facetNormals || c.angle >= 0) glmComputeFaceNormals(model);
  if (c.angle >= 0) glmVertexNormals(model, c.angle);
  if (c.texcoords != nullptr && std::strcmp(c.texcoords, "planar") == 0) {
    glmPlanarTexCoords(model);
  } else if (c.texcoords != nullptr) {
    if (model->normals == nullptr)
      fail(std::string(c.in) +
           " has no normals for spherical texture coordinates; add --normals ANGLE");
    glmSphericalTexCoords(model);
  }
  unsigned mode = 0;
  if (c.write >= 0) {
    mode = static_cast<unsigned>(c.write);
  } else {
    if (model->normals != nullptr)
      mode |= DRAW_SMOOTH;
    else if (model->facetnorms != nullptr)
      mode |= DRAW_FLAT;
    if (model->texcoords != nullptr) mode |= DRAW_TEXTURE;
    // A material library has no place beside standard output.
    if (model->materials != nullptr && !toOutput) mode |= DRAW_MATERIAL;
  }
  glmWriteOBJ(model, c.out, mode);
  glmFreeModel(model);
}

Convert parseConvert(int argc, char** argv) {
  Convert c;
  std::vector<const char*> files;
  for (int i = 2; i < argc; i++) {
    const std::string arg = argv[i];
    auto value = [&]() -> const char* {
      if (i + 1 >= argc) usage(arg + " needs a value");
      return argv[++i];
    };
    if (arg == "--weld")
      c.weld = number(arg, value(), 0, FLT_MAX, "a distance of 0 or more");
    else if (arg == "--fit")
      c.fit = true;
    else if (arg == "--scale")
      c.scale = number(arg, value(), FLT_MIN, FLT_MAX, "a factor above 0");
    else if (arg == "--flip")
      c.flip = true;
    else if (arg == "--facet-normals")
      c.facetNormals = true;
    else if (arg == "--normals")
      c.angle = number(arg, value(), 0, 180, "an angle from 0 to 180 degrees");
    else if (arg == "--texcoords") {
      c.texcoords = value();
      if (std::strcmp(c.texcoords, "planar") != 0 && std::strcmp(c.texcoords, "spherical") != 0)
        usage(std::string("--texcoords takes planar or spherical, not '") + c.texcoords + "'");
    } else if (arg == "--write")
      c.write = writeModes(value());
    else if (arg.size() > 1 && arg[0] == '-')
      usage("convert has no option '" + arg + "'");
    else
      files.push_back(argv[i]);
  }
  if (files.size() != 2) usage("convert needs an input and an output file");
  c.in = files[0];
  c.out = files[1];
  return c;
}

// Prints `text` on standard output; a failed write is a failure.
int printAll(const char* text) {
  std::fputs(text, stdout);
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) fail("cannot write standard output");
  return 0;
}

// A private directory for a model on its way to standard output; removed on
// every way out, the library's failures included.
std::string scratch;

void removeScratch() {
  if (scratch.empty()) return;
  std::remove((scratch + "/model.obj").c_str());
  rmdir(scratch.c_str());
  scratch.clear();
}

[[noreturn]] void libraryFailed() {
  removeScratch();
  std::exit(1);
}

// Converts into a scratch file, then copies it through `report`, so the
// redirection's own file, offset and appending hold (naming its file again
// would replace it whole).
void convertToStandardOutput(Convert c, FILE* report) {
  const char* base = std::getenv("TMPDIR");
  std::string pattern =
      std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/objtool-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) fail("cannot make a temporary directory");
  scratch = pattern;
  glmSetFailureHandler(libraryFailed);
  const std::string file = scratch + "/model.obj";
  c.out = file.c_str();
  convert(c, true);
  FILE* in = std::fopen(file.c_str(), "rb");
  bool copied = in != nullptr;
  char buffer[1 << 16];
  for (std::size_t n; copied && (n = std::fread(buffer, 1, sizeof buffer, in)) > 0;)
    copied = std::fwrite(buffer, 1, n, report) == n;
  if (in != nullptr) copied = !std::ferror(in) && std::fclose(in) == 0 && copied;
  removeScratch();
  if (!copied) fail("cannot write standard output");
}

// Whether `path` names the file standard output is open on.
bool namesStandardOutput(const char* path) {
  struct stat file, output;
  return stat(path, &file) == 0 && fstat(STDOUT_FILENO, &output) == 0 &&
         file.st_dev == output.st_dev && file.st_ino == output.st_ino;
}

}  // namespace

int main(int argc, char** argv) {
  // Past a file size limit a write fails with EFBIG, so the library reports
  // it and removes its temporary file, instead of the signal ending the tool.
  std::signal(SIGXFSZ, SIG_IGN);
  const std::string command = argc > 1 ? argv[1] : "";
  bool help = command == "--help" || command == "-h" || command == "help";
  for (int i = 2; i < argc; i++) help = help || std::strcmp(argv[i], "--help") == 0;
  if (help) return printAll(kHelp);
  if (command == "--version") return printAll("objtool " GLMOBJ_VERSION "\n");

  const char* file = nullptr;
  bool json = false;
  Convert c;
  if (command == "info") {
    for (int i = 2; i < argc; i++) {
      if (std::strcmp(argv[i], "--json") == 0)
        json = true;
      else if (argv[i][0] == '-' && argv[i][1] != '\0')
        usage(std::string("info has no option '") + argv[i] + "'");
      else if (file == nullptr)
        file = argv[i];
      else
        usage("info takes one file");
    }
    if (file == nullptr) usage("info needs a file");
  } else if (command == "convert") {
    c = parseConvert(argc, argv);
  } else {
    usage(command.empty() ? "no command given" : "unknown command '" + command + "'");
  }
  // Asked before standard output is redirected below: /dev/stdout and its
  // kin name the real one only until then.
  const bool convertToOutput = command == "convert" && namesStandardOutput(c.out);
  if (convertToOutput && c.write >= 0 && (c.write & DRAW_MATERIAL))
    usage("material output needs a file: its library is written beside it");

  // Standard output carries the report alone: the library's own messages,
  // which it prints on standard output too, are sent to standard error. A
  // closed standard output matters only to a command that writes there.
  std::fflush(stdout);
  const int output = dup(STDOUT_FILENO);
  if ((output < 0 && errno != EBADF) || dup2(STDERR_FILENO, STDOUT_FILENO) < 0)
    fail("cannot set up standard output");
  FILE* report = output >= 0 ? fdopen(output, "w") : nullptr;
  if (output >= 0 && report == nullptr) fail("cannot set up standard output");

  if (command == "info") {
    if (report == nullptr) fail("cannot write standard output");
    ObjModel* model = glmReadOBJ(file);
    info(report, model, json);
    glmFreeModel(model);
  } else if (convertToOutput) {
    if (report == nullptr) fail("cannot write standard output");
    convertToStandardOutput(c, report);
  } else {
    convert(c, false);
  }
  if (report != nullptr &&
      (std::fflush(report) != 0 || std::ferror(report) || std::fclose(report) != 0))
    fail("cannot write standard output");
  return 0;
}
