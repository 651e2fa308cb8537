#include "view.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cstdint>
#include <vector>

#include "glm.h"

namespace objview {

const char* const kUsage =
    "usage: objview FILE.obj... [--texture IMAGE.ppm] [--angle DEGREES] [--weld EPSILON]\n"
    "               [--normals file|compute] [--azimuth DEGREES] [--elevation DEGREES]\n"
    "               [--screenshot OUT.png|OUT.ppm] [--size WxH] [--mode MODE[,MODE...]]\n"
    "               [--bench FRAMES] [--library] [--no-lod]\n"
    "       objview --help | --version\n"
    "\n"
    "The model opens as its file has it: each material's colours, its map_Kd\n"
    "image where one is found (in place of its diffuse colour), transparent\n"
    "materials (d or Tr below 1; a map_d alpha map, from its alpha channel or\n"
    "else its luminance; a map_Kd PNG's own alpha) blended over the rest,\n"
    "farthest triangle first, its vertices' own colours (v x y z r g b) where\n"
    "it gives them (k turns them off and on), its lines (l, in their materials'\n"
    "colours) and points (p), unlit, and the author's normals: the file's own\n"
    "when it gives one for every corner, else those its smoothing groups (s)\n"
    "mean, else crease-angle ones. A material whose image is not found draws\n"
    "in its colour.\n"
    "\n"
    "The help overlay lists the file's objects (o) with their triangle counts.\n"
    "The keys '.' and ',' (or '>' and '<') show the next and the previous object\n"
    "alone: from all of them the first or the last, past either end all of\n"
    "them again; 'a' shows all. The object shown is named at the foot of the\n"
    "window and in the title; lines and points belong to no object and are\n"
    "left out meanwhile.\n"
    "\n"
    "Several files are shown one at a time, Page Up and Page Down stepping\n"
    "through them; the file shown is read again when it changes (or on F5).\n"
    "\n"
    "--screenshot OUT  one frame of the first file (800x600 unless --size) to\n"
    "                 OUT, a PNG when its name ends in .png, else a binary PPM;\n"
    "                 then exits\n"
    "--normals file   the author's normals: the file's own, or where it gives\n"
    "                 none its smoothing groups' (the default; crease-angle ones\n"
    "                 when it has neither)\n"
    "--normals compute  crease-angle vertex normals (--angle, default 90)\n"
    "--azimuth, --elevation  the opening view: degrees to the right of the front\n"
    "                 and above it (the one not given is 0); without either, the\n"
    "                 front, or for a model that would show edge-on (a rug, a\n"
    "                 long truck) a three-quarter view from azimuth 30, elevation 40\n"
    "\n"
    "--mode, the modes of the first picture in place of all the model has\n"
    "(the keys change them later):\n"
    "  all            all the model has, as without --mode (with other words: the\n"
    "                 rest of what they leave unset)\n"
    "  flat, smooth   facet or vertex normals (smooth is the default)\n"
    "  texture        the texture with the file's own coordinates (planar ones without):\n"
    "                 each material's map_Kd and map_d images, or --texture's, or a\n"
    "                 checkerboard for a model that names no maps\n"
    "  planar         the texture with coordinates made from the positions\n"
    "  spherical      the texture with coordinates made from the normals\n"
    "  color          each material's diffuse colour, lit (colour is accepted too)\n"
    "  vertexcolor    each vertex's own colour, lit (vertexcolour is accepted too)\n"
    "  material       each material's ambient, diffuse, specular and shininess\n"
    "  outline        each triangle's edges as unlit lines, in place of the fill\n"
    "  grid           a ground grid under the model and its axes (x red, y green,\n"
    "                 z blue)\n"
    "  normals        the normals drawn as short cyan lines\n"
    "  help           the key overlay\n"
    "\n"
    "Levels of detail:\n"
    "  --bench N      N frames turning the model as a left drag does (the coarse\n"
    "                 level drawn), then N still ones; the last line is\n"
    "                 'bench: moving F1 fps, still F2 fps'\n"
    "  --no-lod       always full detail; otherwise a model whose frames would\n"
    "                 send more than 80000 triangles (an open one of that many, a\n"
    "                 closed one of twice that: half face away) gets a coarse level\n"
    "                 that sends about 60000, built after the first picture and\n"
    "                 drawn while the view moves (a still picture is always full\n"
    "                 detail)\n";

const char* const kHelpLines[] = {
    "left drag    orbit",
    "middle drag  pan (or shift + left)",
    "wheel        zoom (or right drag)",
    "f / s        flat / smooth shading",
    "t            texture: file, planar,",
    "             spherical coordinates",
    "c / m        colour / material",
    "k            vertex colours",
    "o            outline",
    "g            ground grid and axes",
    "v            normals as lines",
    "w            weld vertices",
    "n            author's / computed normals",
    "[ / ]        crease angle -/+ 15",
    "arrows       turn 5 degrees",
    "1 2 3 4 5 6  front back right left top bottom",
    ", / .        previous / next object",
    "a            all objects",
    "PgUp / PgDn  previous / next file",
    "F5           read the file again",
    "l            level of detail in the title",
    "r            reset the view",
    "p            screenshot: objview-NAME-N.png",
    "h            this help",
    "q, Escape    quit",
    nullptr,
};

namespace {

bool number(const char* text, float low, float high, float& value) {
  char* end = nullptr;
  const float v = std::strtof(text, &end);
  if (end == text || *end != '\0' || !(v >= low && v <= high)) return false;
  value = v;
  return true;
}

// Applies one --mode word; false when it is not one.
bool applyMode(Modes& modes, const std::string& word) {
  if (word == "flat" || word == "smooth")
    modes.smooth = word == "smooth";
  else if (word == "texture")
    modes.texture = Texture::File;  // narrowed by the program to what the file has
  else if (word == "planar")
    modes.texture = Texture::Planar;
  else if (word == "spherical")
    modes.texture = Texture::Spherical;
  else if (word == "color" || word == "colour")
    modes.paint = Paint::Color;
  else if (word == "material")
    modes.paint = Paint::Material;
  else if (word == "vertexcolor" || word == "vertexcolour")
    modes.vertexColors = true;
  else if (word == "outline")
    modes.outline = true;
  else if (word == "help")
    modes.help = true;
  else if (word == "grid")
    modes.grid = true;
  else if (word == "normals")
    modes.showNormals = true;
  else if (word == "all")
    return true;  // the caller's: what the other words leave unset
  else
    return false;
  return true;
}

}  // namespace

bool parseOptions(int argc, const char* const* argv, Options& options, std::string& error) {
  bool weldGiven = false;
  for (int i = 1; i < argc; i++) {
    const std::string arg = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    const bool takesValue = arg == "--texture" || arg == "--angle" || arg == "--weld" ||
                            arg == "--screenshot" || arg == "--size" || arg == "--mode" ||
                            arg == "--bench" || arg == "--normals" || arg == "--azimuth" ||
                            arg == "--elevation";
    if (takesValue && value == nullptr) {
      error = arg + " needs a value";
      return false;
    }
    if (takesValue) i++;
    float f = 0;
    if (arg == "--texture") {
      options.texture = value;
    } else if (arg == "--screenshot") {
      options.screenshot = value;
    } else if (arg == "--angle") {
      if (!number(value, 0, 180, options.modes.angle))
        error = "--angle needs degrees from 0 to 180";
    } else if (arg == "--weld") {
      if (!number(value, 0, 1, options.weld)) error = "--weld needs a distance from 0 to 1";
      options.modes.weld = weldGiven = true;
    } else if (arg == "--normals") {
      if (std::string(value) != "file" && std::string(value) != "compute")
        error = "--normals takes file or compute";
      options.modes.normals = std::string(value) == "file" ? Normals::File : Normals::Compute;
    } else if (arg == "--azimuth") {
      if (!number(value, -360, 360, options.azimuth)) error = "--azimuth needs degrees";
    } else if (arg == "--elevation") {
      if (!number(value, -90, 90, options.elevation))
        error = "--elevation needs degrees from -90 to 90";
    } else if (arg == "--bench") {
      if (!number(value, 1, 1e6f, f)) error = "--bench needs a number of frames";
      options.bench = static_cast<int>(f);
    } else if (arg == "--size") {
      char* end = nullptr;
      const long w = std::strtol(value, &end, 10);
      const long h = *end == 'x' ? std::strtol(end + 1, &end, 10) : 0;
      if (*end != '\0' || w < 16 || h < 16 || w > 8192 || h > 8192)
        error = "--size needs WIDTHxHEIGHT, 16 to 8192 each";
      options.width = static_cast<int>(w);
      options.height = static_cast<int>(h);
    } else if (arg == "--mode") {
      std::string rest = std::string(value) + ",";
      options.everything = ("," + rest).find(",all,") != std::string::npos;
      for (std::size_t start = 0, comma; (comma = rest.find(',', start)) != std::string::npos;
           start = comma + 1) {
        if (!applyMode(options.modes, rest.substr(start, comma - start)))
          error =
              "--mode takes all, flat, smooth, texture, planar, spherical, color, material, "
              "vertexcolor, outline, grid, normals, help";
      }
    } else if (arg == "--library") {
      options.library = true;
    } else if (arg == "--no-lod") {
      options.lod = false;
    } else if (arg.size() > 1 && arg[0] == '-') {
      error = "unknown option " + arg;
    } else {
      options.files.push_back(arg);
    }
    if (!error.empty()) return false;
  }
  if (options.files.empty()) error = "no model file given";
  if (!options.files.empty()) options.file = options.files.front();
  return error.empty();
}

Action onKey(Modes& modes, View& view, unsigned char key, const Has& has) {
  switch (key) {
    case 'f':
    case 's':
      if (modes.smooth == (key == 's')) return Action::None;
      modes.smooth = key == 's';
      return Action::Recompile;
    case 't':
      // With the file's own coordinates t switches them on and off; without,
      // it steps through the two generated kinds.
      if (modes.texture == Texture::Off) {
        modes.texture = has.texcoords ? Texture::File : Texture::Planar;
        return has.texcoords ? Action::Recompile : Action::Texcoords;
      }
      if (modes.texture == Texture::Planar) {
        modes.texture = Texture::Spherical;
        return Action::Texcoords;
      }
      modes.texture = Texture::Off;
      return Action::Recompile;
    case 'c':
    case 'm': {
      const Paint chosen = key == 'c' ? Paint::Color : Paint::Material;
      modes.paint = modes.paint == chosen ? Paint::Plain : chosen;
      return Action::Recompile;
    }
    case 'o':
      modes.outline = !modes.outline;
      return Action::Recompile;
    case 'w':
      modes.weld = !modes.weld;
      return Action::Reload;
    case '[':
    case ']': {
      const float angle = std::clamp(modes.angle + (key == ']' ? 15.0f : -15.0f), 0.0f, 180.0f);
      // A crease angle means computed normals.
      if (angle == modes.angle && modes.normals == Normals::Compute) return Action::None;
      modes.angle = angle;
      modes.normals = Normals::Compute;
      return Action::Normals;
    }
    case 'k':
      if (!has.colors) return Action::None;
      modes.vertexColors = !modes.vertexColors;
      return Action::Recompile;
    case ',':
    case '<':
    case '.':
    case '>':
      // A cycle through every object and back to all of them.
      if (has.objects == 0) return Action::None;
      if (key == '.' || key == '>')
        modes.object = modes.object == kAllObjects      ? 0
                       : modes.object + 1 < has.objects ? modes.object + 1
                                                        : kAllObjects;
      else
        modes.object = modes.object == kAllObjects ? has.objects - 1
                       : modes.object > 0          ? modes.object - 1
                                                   : kAllObjects;
      return Action::Recompile;
    case 'a':
      if (modes.object == kAllObjects) return Action::None;
      modes.object = kAllObjects;
      return Action::Recompile;
    case 'n':
      // Computed already where the file means none: there are no others.
      if (!has.normals && !has.smoothing) return Action::None;
      modes.normals = modes.normals == Normals::File ? Normals::Compute : Normals::File;
      return Action::Normals;
    case '1':
    case '2':
    case '3':
    case '4':
    case '5':
    case '6': {
      // Front, back, right, left, top, bottom.
      static const float kAxisViews[6][2] = {{0, 0},   {180, 0}, {90, 0},
                                             {-90, 0}, {0, 90},  {0, -90}};
      look(view, kAxisViews[key - '1'][0], kAxisViews[key - '1'][1]);
      return Action::Redraw;
    }
    case 'r':
      view = View{.yaw = view.homeYaw,
                  .pitch = view.homePitch,
                  .distance = view.home,
                  .home = view.home,
                  .homeYaw = view.homeYaw,
                  .homePitch = view.homePitch};
      return Action::Redraw;
    case 'h':
      modes.help = !modes.help;
      return Action::Redraw;
    case 'l':
      modes.level = !modes.level;
      return Action::Redraw;
    case 'p':
      return Action::Screenshot;
    case 'g':
      modes.grid = !modes.grid;
      return Action::Redraw;
    case 'v':
      modes.showNormals = !modes.showNormals;
      return Action::Recompile;
    case 'q':
    case 27:  // Escape
      return Action::Quit;
    default:
      return Action::None;
  }
}

void look(View& view, float azimuth, float elevation) {
  // The model turns the other way about the up axis to show the eye its right side.
  view.yaw = std::fmod(-azimuth, 360.0f);
  view.pitch = std::clamp(elevation, -90.0f, 90.0f);
  view.panX = view.panY = 0;
  view.distance = view.home;
}

void openingView(const float size[3], float& azimuth, float& elevation) {
  // Edge-on: the front's picture is much thinner one way than the model is
  // large (a rug lying down, a board standing side on).
  const float largest = std::max({size[0], size[1], size[2]});
  const bool edgeOn = std::min(size[0], size[1]) < 0.2f * largest;
  azimuth = edgeOn ? 30.0f : 0.0f;
  elevation = edgeOn ? 40.0f : 0.0f;
}

std::size_t fileKey(int key, std::size_t shown, std::size_t files) {
  if (key == kF5) return shown;
  if (key == kPageUp && shown > 0) return shown - 1;
  if (key == kPageDown && shown + 1 < files) return shown + 1;
  return kNoFile;
}

bool onArrow(View& view, int key) {
  switch (key) {
    case kArrowLeft:
    case kArrowRight:
      view.yaw = std::fmod(view.yaw + (key == kArrowRight ? 5.0f : -5.0f), 360.0f);
      return true;
    case kArrowUp:
    case kArrowDown:
      view.pitch = std::clamp(view.pitch + (key == kArrowDown ? 5.0f : -5.0f), -90.0f, 90.0f);
      return true;
    default:
      return false;
  }
}

bool onButton(Drag& drag, View& view, int button, bool down, bool shift, int x, int y) {
  if (button == kWheelUp || button == kWheelDown) {
    if (!down) return false;
    view.distance = std::clamp(view.distance * (button == kWheelUp ? 0.9f : 1 / 0.9f), 0.5f, 50.0f);
    return true;
  }
  if (!down) {
    drag.kind = Drag::None;
    return false;
  }
  drag.kind = button == kMiddle || (button == kLeft && shift) ? Drag::Pan
              : button == kLeft                               ? Drag::Orbit
              : button == kRight                              ? Drag::Zoom
                                                              : Drag::None;
  drag.x = x;
  drag.y = y;
  return false;
}

bool onMotion(Drag& drag, View& view, int x, int y, int height) {
  const float dx = static_cast<float>(x - drag.x), dy = static_cast<float>(y - drag.y);
  drag.x = x;
  drag.y = y;
  switch (drag.kind) {
    case Drag::Orbit:
      view.yaw = std::fmod(view.yaw + dx * 0.5f, 360.0f);
      view.pitch = std::clamp(view.pitch + dy * 0.5f, -90.0f, 90.0f);
      return true;
    case Drag::Pan: {
      // The point under the pointer stays under it at the centre's depth
      // (30-degree field of view: the window spans 2 tan 15 = 0.536 distances).
      const float perPixel = 0.536f * view.distance / static_cast<float>(std::max(height, 1));
      view.panX += dx * perPixel;
      view.panY -= dy * perPixel;
      return true;
    }
    case Drag::Zoom:
      view.distance = std::clamp(view.distance * std::exp(dy * 0.01f), 0.5f, 50.0f);
      return true;
    case Drag::None:
      return false;
  }
  return false;
}

unsigned drawMode(const Modes& modes, const Has& has) {
  unsigned mode = modes.smooth ? DRAW_SMOOTH : DRAW_FLAT;
  const bool texture =
      modes.texture == Texture::File ? has.texcoords : modes.texture != Texture::Off;
  if (texture && has.image) mode |= DRAW_TEXTURE;
  if (has.materials && modes.paint == Paint::Color) mode |= DRAW_COLOR;
  if (has.materials && modes.paint == Paint::Material) mode |= DRAW_MATERIAL;
  if (has.colors && modes.vertexColors) mode |= DRAW_VERTEXCOLOR;
  if (modes.outline) mode |= DRAW_OUTLINE;
  return mode;
}

NormalSource normalSource(const Modes& modes, const Has& has) {
  if (modes.normals == Normals::Compute) return NormalSource::Crease;
  return has.normals     ? NormalSource::File
         : has.smoothing ? NormalSource::Smoothing
                         : NormalSource::Crease;
}

std::string title(const std::string& file, unsigned vertices, unsigned triangles,
                  const Modes& modes, const Has& has, const char* object) {
  const unsigned mode = drawMode(modes, has);
  const std::size_t slash = file.find_last_of('/');
  char text[512];
  char normals[32] = "file normals";
  if (normalSource(modes, has) == NormalSource::Smoothing)
    std::snprintf(normals, sizeof normals, "smoothing groups");
  else if (normalSource(modes, has) == NormalSource::Crease)
    std::snprintf(normals, sizeof normals, "crease %g", static_cast<double>(modes.angle));
  std::snprintf(text, sizeof text, "%s - %u vertices, %u triangles - %s%s%s%s%s%s, %s%s",
                file.c_str() + (slash == std::string::npos ? 0 : slash + 1), vertices, triangles,
                mode & DRAW_SMOOTH ? "smooth" : "flat",
                !(mode & DRAW_TEXTURE)                ? ""
                : modes.texture == Texture::Planar    ? ", planar texture"
                : modes.texture == Texture::Spherical ? ", spherical texture"
                                                      : ", texture",
                mode & DRAW_COLOR ? ", colour" : "", mode & DRAW_MATERIAL ? ", material" : "",
                mode & DRAW_VERTEXCOLOR ? ", vertex colours" : "",
                mode & DRAW_OUTLINE ? ", outline" : "", normals, modes.weld ? ", welded" : "");
  std::string result = text;
  if (object != nullptr && modes.object != kAllObjects) {
    std::snprintf(text, sizeof text, " - object %u of %u: ", modes.object + 1, has.objects);
    result += text;
    result += object;
  }
  return result;
}

ObjectModel::ObjectModel(const ObjModel& model, unsigned object) : model_(model) {
  const ObjObject& shown = model.objects[object];
  const unsigned first = shown.firsttriangle, end = first + shown.trianglecount;
  for (const ObjGroup* group = model.groups; group != nullptr; group = group->next) {
    std::vector<unsigned> kept;
    for (unsigned i = 0; i < group->trianglecount; i++)
      if (group->triangles[i] >= first && group->triangles[i] < end)
        kept.push_back(group->triangles[i]);
    if (kept.empty()) continue;
    triangles_.push_back(std::move(kept));
    groups_.push_back(*group);
  }
  // Linked once every vector has its final place.
  for (std::size_t g = 0; g < groups_.size(); g++) {
    groups_[g].trianglecount = static_cast<unsigned>(triangles_[g].size());
    groups_[g].triangles = triangles_[g].data();
    groups_[g].next = g + 1 < groups_.size() ? &groups_[g + 1] : nullptr;
  }
  model_.groupcount = static_cast<unsigned>(groups_.size());
  model_.groups = groups_.empty() ? nullptr : groups_.data();
  model_.linecount = model_.pointcount = 0;
  model_.lines = nullptr;
  model_.points = nullptr;
}

namespace {

// An object's name as the overlay shows it: cut to a width the panel keeps.
std::string shortName(const char* name) {
  constexpr std::size_t kWidth = 24;
  const std::string all = name;
  return all.size() <= kWidth ? all : all.substr(0, kWidth - 3) + "...";
}

}  // namespace

std::vector<std::string> objectLines(const ObjModel& model, unsigned shown, std::size_t most) {
  std::vector<std::string> lines;
  const std::size_t count = model.objectcount;
  if (count == 0) return lines;
  lines.push_back(std::to_string(count) + (count == 1 ? " object" : " objects") + " (triangles):");
  // A window of `most` objects, centred on the one shown when it can be.
  std::size_t from = 0;
  if (shown != kAllObjects && count > most)
    from = std::min(shown >= most / 2 ? shown - most / 2 : 0, count - most);
  const std::size_t to = std::min(count, from + most);
  char text[96];
  if (from > 0) lines.push_back("  ... " + std::to_string(from) + " before");
  for (std::size_t i = from; i < to; i++) {
    std::snprintf(text, sizeof text, "%c %-24s %8u", i == shown ? '>' : ' ',
                  shortName(model.objects[i].name).c_str(), model.objects[i].trianglecount);
    lines.push_back(text);
  }
  if (to < count) lines.push_back("  ... " + std::to_string(count - to) + " more");
  return lines;
}

std::string objectLabel(const ObjModel& model, unsigned shown) {
  if (shown == kAllObjects || shown >= model.objectcount) return {};
  const ObjObject& object = model.objects[shown];
  char text[64];
  std::snprintf(text, sizeof text, "object %u of %u: ", shown + 1, model.objectcount);
  return text + std::string(object.name) + ", " + std::to_string(object.trianglecount) +
         (object.trianglecount == 1 ? " triangle" : " triangles");
}

std::string sizeNote(const ObjModel& model) {
  float low[3] = {}, high[3] = {};
  for (unsigned i = 1; i <= model.vertexcount; i++)
    for (int k = 0; k < 3; k++) {
      const float v = model.vertices[3 * i + k];
      low[k] = i == 1 ? v : std::min(low[k], v);
      high[k] = i == 1 ? v : std::max(high[k], v);
    }
  char text[96];
  std::snprintf(text, sizeof text, "size %.4g x %.4g x %.4g", static_cast<double>(high[0] - low[0]),
                static_cast<double>(high[1] - low[1]), static_cast<double>(high[2] - low[2]));
  return text;
}

std::vector<Hidden> hiddenSides(const ObjModel& model) {
  // Each edge as (low << 32 | high) with its triangle and direction: a
  // piece is closed and consistent when each of its edges is used exactly
  // twice, once each way. Triangles sharing an edge are one piece.
  struct Edge {
    std::uint64_t key;
    unsigned triangle;
    bool up;  // from the lower vertex to the higher
  };
  const unsigned n = model.trianglecount;
  std::vector<Edge> edges;
  edges.reserve(3 * static_cast<std::size_t>(n));
  for (unsigned t = 0; t < n; t++) {
    const unsigned* v = model.triangles[t].vertexidx;
    for (int k = 0; k < 3; k++) {
      const unsigned a = v[k], b = v[(k + 1) % 3];
      edges.push_back({std::uint64_t{std::min(a, b)} << 32 | std::max(a, b), t, a < b});
    }
  }
  std::sort(edges.begin(), edges.end(), [](const Edge& x, const Edge& y) { return x.key < y.key; });
  std::vector<unsigned> piece(n);
  for (unsigned t = 0; t < n; t++) piece[t] = t;
  const auto root = [&piece](unsigned t) {
    while (piece[t] != t) t = piece[t] = piece[piece[t]];
    return t;
  };
  std::vector<bool> open(n, false);
  for (std::size_t i = 0, j; i < edges.size(); i = j) {
    for (j = i + 1; j < edges.size() && edges[j].key == edges[i].key; j++)
      piece[root(edges[j].triangle)] = root(edges[i].triangle);
    const bool paired = j - i == 2 && edges[i].up != edges[i + 1].up &&
                        edges[i].key >> 32 != (edges[i].key & 0xffffffffu);
    if (!paired)
      for (std::size_t k = i; k < j; k++) open[edges[k].triangle] = true;
  }
  std::vector<double> volume(n, 0);  // six times each piece's signed volume, positive outwards
  for (unsigned t = 0; t < n; t++) {
    const unsigned* v = model.triangles[t].vertexidx;
    const float *a = &model.vertices[3 * v[0]], *b = &model.vertices[3 * v[1]],
                *c = &model.vertices[3 * v[2]];
    const unsigned r = root(t);
    volume[r] += static_cast<double>(a[0]) * (b[1] * c[2] - b[2] * c[1]) +
                 static_cast<double>(a[1]) * (b[2] * c[0] - b[0] * c[2]) +
                 static_cast<double>(a[2]) * (b[0] * c[1] - b[1] * c[0]);
    if (open[t]) open[r] = true;
  }
  std::vector<Hidden> sides(n, Hidden::None);
  for (unsigned t = 0; t < n; t++) {
    const unsigned r = root(t);
    if (!open[r])
      sides[t] = volume[r] > 0 ? Hidden::Back : volume[r] < 0 ? Hidden::Front : Hidden::None;
  }
  return sides;
}

Hidden hiddenFaces(const std::vector<Hidden>& sides) {
  if (sides.empty()) return Hidden::None;
  for (Hidden side : sides)
    if (side != sides.front()) return Hidden::None;
  return sides.front();
}

}  // namespace objview
