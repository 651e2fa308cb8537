// objview: shows one OBJ model, lit and centred, and lets the mouse turn it.
// The state logic is in view.cpp; this file owns the model, GL and GLUT.
#define GL_GLEXT_PROTOTYPES
#include <GL/freeglut.h>
#include <GL/glext.h>
#include <GL/glu.h>
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cmath>
#include <csignal>
#include <cstring>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "glm.h"
#include "lod.h"
#include "mesh.h"
#include "screenshot.h"
#include "textures.h"
#include "transparency.h"
#include "view.h"

using namespace objview;

namespace {

Options options;
Modes& modes = options.modes;
View view;
Drag drag;
Has has;
ObjModel* model = nullptr;
bool fileHasTexcoords = false;
bool mapsNamed = false;  // some material names a map_Kd or map_d image, found or not
// The side of each triangle that can never show (the back of a closed
// piece's), how many hide one, and the side all hide (GL culls it), if any.
std::vector<Hidden> sides;
std::size_t hideable = 0;
std::size_t hideableShown = 0;  // of the triangles shown: all, or one object's
Hidden hidden = Hidden::None;
GLuint list = 0;         // the library's drawing, for the modes the mesh does not cover
GLuint normalsList = 0;  // the normals as lines, when shown
Mesh mesh;               // indexed geometry, used when it has parts
// The mesh's corners (then their colours, at colorOffset) and indices, the
// coarse level's indices, the strokes' vertices (then their colours), and the
// full and the coarse level's transparent triangles in this frame's order.
GLuint buffers[6];
// The transparent triangles of the full mesh and of its coarse level.
Transparency clearFull, clearCoarse;
std::size_t colorOffset = 0, strokeColorOffset = 0;  // in bytes
// The lines and points drawn beside the mesh, as uploaded.
std::vector<Strokes::Run> strokeLines;
unsigned strokeFirstPoint = 0, strokePoints = 0;
bool strokesColored = false;
std::vector<unsigned> seen;  // this frame's triangles that can face the eye
std::vector<Mesh::Part> seenParts;
GLuint texture = 0;                 // --texture's image or the checkerboard
MaterialTextures materialTextures;  // the model's own
// The fitted model's positions and corners before any welding: switching
// welding starts from them, so it needs neither the file nor a second read.
std::vector<float> fittedVertices;
std::vector<unsigned> fittedCorners;
std::vector<float> fittedColors;    // empty when the model has none
std::vector<unsigned> fittedLines;  // two vertex indices a segment
std::vector<unsigned> fittedPoints;
// The file's normals, unit length, and each corner's: welding and the
// crease angle replace the model's, and `n` brings these back.
std::vector<float> fileNormals;
std::vector<unsigned> fileNormalCorners;
unsigned lonelyVertices = 0;  // the library's "vertex w/o a triangle", counted
bool lonelySaid = false;      // and said, once a model: the same vertices each time
double startSeconds = 0, readSeconds = 0, prepareSeconds = 0,
       compileSeconds = 0;  // printed by --bench
LevelBuilder builder;       // `mesh` in cache order and its coarse level, after the first picture
Detail detail;              // which level a frame draws
bool levelsWanted = false;  // `builder` is yet to start on `mesh`
Level drawn = Level::Full;  // the level of the last frame
bool settling = false;      // a timer will redraw in full detail once the view is still
std::string shownTitle;
bool screenshotWanted = false;  // the `p` key was pressed
float groundY = -1;             // the fitted model's lowest point, where the grid lies
std::string sizeLine;           // the help overlay's first line: the model's size as read

double seconds() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

double cpuSeconds(clockid_t clock) {
  timespec now{};
  clock_gettime(clock, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Puts kept floats back in place of a model array of as many.
void restoreFloats(float*& array, const std::vector<float>& values) {
  auto* copy = static_cast<float*>(std::malloc(values.size() * sizeof(float)));
  if (copy == nullptr) {
    std::fprintf(stderr, "objview: out of memory\n");
    std::exit(1);
  }
  std::memcpy(copy, values.data(), values.size() * sizeof(float));
  std::free(array);
  array = copy;
}

// Puts a kept array of vectors back in the model (`array`, `count` of them
// after the unused entry 0), and each triangle's three indices into it.
void restore(float*& array, unsigned& count, const std::vector<float>& values,
             unsigned (ObjTriangle::*indices)[3], const std::vector<unsigned>& corners) {
  restoreFloats(array, values);
  count = static_cast<unsigned>(values.size() / 3 - 1);
  for (unsigned i = 0; i < model->trianglecount; i++)
    std::memcpy(model->triangles[i].*indices, &corners[3 * i], 3 * sizeof(unsigned));
}


// Texture coordinates made from the positions or the normals, as the mode asks.
void generateTexcoords() {
  if (modes.texture == Texture::Planar) glmPlanarTexCoords(model);
  if (modes.texture == Texture::Spherical) glmSphericalTexCoords(model);
}

// The library's messages: a vertex that no triangle uses is counted and said
// once (a scan can have thousands), the rest go to standard error as they come.
void libraryMessage(const char* message, bool, void*) {
  if (std::strcmp(message, "glmVertexNormals(): vertex w/o a triangle") == 0)
    lonelyVertices++;
  else
    std::fprintf(stderr, "%s\n", message);
}

// "1,097": a count as a person reads it.
std::string grouped(unsigned n) {
  const std::string digits = std::to_string(n);
  std::string text;
  for (std::size_t i = 0; i < digits.size(); i++) {
    if (i > 0 && (digits.size() - i) % 3 == 0) text += ',';
    text += digits[i];
  }
  return text;
}

// Keeps the file's normals when every corner has one: a file that gives
// them for some faces only has them computed for all, said once.
void keepFileNormals() {
  if (model->normals == nullptr) return;
  unsigned without = 0;
  for (unsigned i = 0; i < model->trianglecount; i++) {
    const unsigned* n = model->triangles[i].normalidx;
    without += n[0] == 0 || n[1] == 0 || n[2] == 0;
  }
  if (without > 0) {
    std::fprintf(stderr, "objview: %s of %s triangles have no normals in the file; all computed\n",
                 grouped(without).c_str(), grouped(model->trianglecount).c_str());
    return;
  }
  fileNormals.assign(model->normals, model->normals + 3 * (model->normalcount + 1));
  for (unsigned i = 1; i <= model->normalcount; i++) {
    float* n = &fileNormals[3 * i];
    const float length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    if (length > 0)
      for (int k = 0; k < 3; k++) n[k] /= length;
  }
  fileNormalCorners.resize(3 * static_cast<std::size_t>(model->trianglecount));
  for (unsigned i = 0; i < model->trianglecount; i++)
    std::memcpy(&fileNormalCorners[3 * i], model->triangles[i].normalidx, 3 * sizeof(unsigned));
  has.normals = true;
}

// The vertices that only lines and points use: the crease-angle normals
// count them among the vertices of no triangle, but they are not unused.
unsigned strokeOnlyVertices() {
  if (model->linecount == 0 && model->pointcount == 0) return 0;
  std::vector<char> use(model->vertexcount + 1, 0);  // 1: a triangle's, 2: only a stroke's
  for (unsigned i = 0; i < model->trianglecount; i++)
    for (unsigned v : model->triangles[i].vertexidx) use[v] = 1;
  unsigned only = 0;
  const auto stroke = [&](unsigned v) {
    if (use[v] == 0) {
      use[v] = 2;
      only++;
    }
  };
  for (unsigned i = 0; i < model->linecount; i++)
    for (unsigned v : model->lines[i].vertexidx) stroke(v);
  for (unsigned i = 0; i < model->pointcount; i++) stroke(model->points[i]);
  return only;
}

void vertexNormals() {
  const NormalSource source = normalSource(modes, has);
  if (source == NormalSource::File) {
    restore(model->normals, model->normalcount, fileNormals, &ObjTriangle::normalidx,
            fileNormalCorners);
  } else if (source == NormalSource::Smoothing) {
    // The author's shading where the file says it only by smoothing groups.
    glmSmoothingGroupNormals(model);
  } else {
    lonelyVertices = 0;
    glmVertexNormals(model, modes.angle);
    if (lonelyVertices > 0) lonelyVertices -= std::min(lonelyVertices, strokeOnlyVertices());
    if (lonelyVertices > 0 && !std::exchange(lonelySaid, true))
      std::fprintf(stderr, "objview: %s %s to no triangle\n", grouped(lonelyVertices).c_str(),
                   lonelyVertices == 1 ? "vertex belongs" : "vertices belong");
  }
  if (modes.texture == Texture::Spherical) generateTexcoords();
}

// From the fitted positions and corners: welded when asked, facet and
// crease-angle vertex normals, generated texture coordinates.
void prepare() {
  if (modes.weld) glmMergeVertices(model, options.weld);
  sides = hiddenSides(*model);
  hideable =
      sides.size() - static_cast<std::size_t>(std::count(sides.begin(), sides.end(), Hidden::None));
  hidden = hiddenFaces(sides);
  glmComputeFaceNormals(model);
  vertexNormals();
  if (modes.texture != Texture::Spherical) generateTexcoords();
}

// Welding switched: back to the fitted model as read, then prepared again.
void reweld() {
  restore(model->vertices, model->vertexcount, fittedVertices, &ObjTriangle::vertexidx,
          fittedCorners);
  if (!fittedColors.empty()) restoreFloats(model->colors, fittedColors);
  for (unsigned i = 0; i < model->linecount; i++)
    std::memcpy(model->lines[i].vertexidx, &fittedLines[2 * i], 2 * sizeof(unsigned));
  if (model->pointcount > 0)
    std::memcpy(model->points, fittedPoints.data(), model->pointcount * sizeof(unsigned));
  prepare();
}

// The file's identity for reloading: its time and size when read.
struct FileState {
  long long seconds = 0, nanoseconds = 0, size = -1;
  bool operator==(const FileState&) const = default;
};
FileState fileState(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return {};
  return {st.st_mtim.tv_sec, st.st_mtim.tv_nsec, st.st_size};
}
FileState shownState;       // of the file shown, when it was read
std::size_t shownFile = 0;  // its place in options.files
Modes givenModes;           // the modes the command line asked for, for each file anew

// Takes `read` in place of the model shown: fitted to the cube -1..1 and
// prepared, seen from the opening view unless `keepView` (the same file
// read again).
void adopt(ObjModel* read, bool keepView) {
  builder.stop();
  if (model != nullptr) glmFreeModel(model);
  model = read;
  fileNormals.clear();
  fileNormalCorners.clear();
  // Whether the texture image could be read is the program's, not the model's.
  has = Has{.image = has.image};
  has.smoothing = model->smoothing != nullptr;
  has.colors = model->colors != nullptr;
  has.objects = model->objectcount;
  // The file read again may have fewer objects.
  if (modes.object != kAllObjects && modes.object >= has.objects) modes.object = kAllObjects;
  mapsNamed = lonelySaid = false;
  fileHasTexcoords = model->texcoords != nullptr;
  keepFileNormals();
  for (unsigned m = 0; m < model->materialcount; m++)
    mapsNamed = mapsNamed || model->materials[m].diffusemap != nullptr ||
                model->materials[m].alphamap != nullptr;
  sizeLine = sizeNote(*model);
  // The fit measures each side as |max| + |min|, the true side only once the
  // model straddles the origin: the first pass centres it, the second scales it.
  glmFitToUnitCube(model);
  glmFitToUnitCube(model);
  fittedVertices.assign(model->vertices, model->vertices + 3 * (model->vertexcount + 1));
  groundY = model->vertexcount > 0 ? model->vertices[4] : 0;
  for (unsigned i = 1; i <= model->vertexcount; i++)
    groundY = std::min(groundY, model->vertices[3 * i + 1]);
  fittedCorners.resize(3 * static_cast<std::size_t>(model->trianglecount));
  for (unsigned i = 0; i < model->trianglecount; i++)
    std::memcpy(&fittedCorners[3 * i], model->triangles[i].vertexidx, 3 * sizeof(unsigned));
  // Welding re-points lines and points and keeps one colour a kept vertex.
  if (model->colors != nullptr)
    fittedColors.assign(model->colors, model->colors + 3 * (model->vertexcount + 1));
  else
    fittedColors.clear();
  fittedLines.resize(2 * static_cast<std::size_t>(model->linecount));
  for (unsigned i = 0; i < model->linecount; i++)
    std::memcpy(&fittedLines[2 * i], model->lines[i].vertexidx, 2 * sizeof(unsigned));
  fittedPoints.assign(model->points, model->points + model->pointcount);
  prepare();
  has.texcoords = fileHasTexcoords;
  has.materials = model->materials != nullptr;
  if (keepView) return;
  // Far enough for the sphere round the model to fit the 30-degree view.
  float radius = 0;
  for (unsigned i = 1; i <= model->vertexcount; i++)
    radius = std::max(radius,
                      std::sqrt(glmDotProduct(&model->vertices[3 * i], &model->vertices[3 * i])));
  view = View{};
  view.home = std::max(1.1f * radius / std::sin(0.2618f), 1.0f);
  float size[3] = {}, azimuth = 0, elevation = 0;
  glmMeasureExtents(model, size);
  // A view asked for is taken whole: the angle not given is 0.
  if (std::isnan(options.azimuth) && std::isnan(options.elevation)) {
    openingView(size, azimuth, elevation);
  } else {
    azimuth = std::isnan(options.azimuth) ? 0 : options.azimuth;
    elevation = std::isnan(options.elevation) ? 0 : options.elevation;
  }
  look(view, azimuth, elevation);
  view.homeYaw = view.yaw;
  view.homePitch = view.pitch;
}

// Reads the first file; a failure ends the program with the library's
// message and status 1. Returns the seconds spent reading.
double load() {
  const double start = seconds();
  shownState = fileState(options.file);
  ObjModel* read = glmReadOBJ(options.file.c_str());
  const double spent = seconds() - start;
  adopt(read, false);
  return spent;
}

// With the model's textures loaded: what the modes can show of this model.
void chooseModes() {
  if (options.everything) {
    // All the model has, where a --mode word left a choice open.
    if (modes.texture == Texture::Off && fileHasTexcoords && materialTextures.any())
      modes.texture = Texture::File;
    if (modes.paint == Paint::Plain && has.materials) modes.paint = Paint::Material;
    if (has.colors) modes.vertexColors = true;
  }
  if (modes.texture == Texture::File && !fileHasTexcoords) {
    modes.texture = Texture::Planar;
    generateTexcoords();
  }
}

void compile();
void showTitle();
bool transparent(const Mesh::Part& part, unsigned mode);

// Shows file `index` of the command line, or the one shown read again; a
// file that cannot be read is said, and the model shown stays.
void show(std::size_t index) {
  const std::string& path = options.files[index];
  const bool again = index == shownFile;
  const FileState state = fileState(path);
  GLMerror error;
  ObjModel* read = glmReadOBJFrom(path.c_str(), nullptr, &error);
  if (!read)
    std::fprintf(stderr, "%s\nobjview: %s not read; still showing %s\n", error.message,
                 path.c_str(), options.file.c_str());
  if (again) shownState = state;  // a broken file is not tried again until it changes
  if (read == nullptr) return;
  shownFile = index;
  shownState = state;
  options.file = path;
  if (!again) modes = givenModes;
  adopt(read, again);
  materialTextures.load(*model);
  if (!again) chooseModes();
  compile();
  glutPostRedisplay();
}

// Reads the file shown again when its time or size has changed.
void watchFile(int) {
  if (!(fileState(options.file) == shownState)) show(shownFile);
  glutTimerFunc(500, watchFile, 0);
}

// The title, with the level drawn when the `l` key asks for it.
void showTitle() {
  const bool one = modes.object != kAllObjects;
  std::string text = title(options.file, model->vertexcount, model->trianglecount, modes, has,
                           one ? model->objects[modes.object].name : nullptr);
  // The builder's results are its own until it is done.
  const bool building = builder.running() || levelsWanted;
  if (modes.level)
    text += levelNote(detail, drawn, building ? 0 : builder.level.indices.size() / 3,
                      mesh.indices.size() / 3, building);
  if (text != shownTitle) glutSetWindowTitle(text.c_str());
  shownTitle = text;
}

void uploadIndices(GLuint buffer, const std::vector<unsigned>& indices) {
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffer);
  glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(indices.size() * sizeof(unsigned)),
               indices.data(), GL_STATIC_DRAW);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
}

// The builder's work goes to the buffers: the full mesh in cache order, the
// coarse level. The corners it was built from are in the corner buffer already.
void takeLevel() {
  mesh.indices.swap(builder.ordered.indices);
  mesh.planes.swap(builder.ordered.planes);
  uploadIndices(buffers[1], mesh.indices);
  detail.built = !builder.level.indices.empty();
  if (detail.built) uploadIndices(buffers[2], builder.level.indices);
  const unsigned mode = drawMode(modes, has);
  clearCoarse.build(builder.level, mesh,
                    [mode](const Mesh::Part& part) { return transparent(part, mode); });
  std::vector<float>().swap(mesh.corners);
  builder.ordered = Mesh{};  // the indices as they were
  malloc_trim(0);            // the builder's working memory, back to the system
  showTitle();
}

void pollLevel(int) {
  if (builder.ready())
    takeLevel();
  else if (builder.running())
    glutTimerFunc(100, pollLevel, 0);
}

// Starts the coarse level once the first full picture is up, so building it
// never delays that picture.
void startLevel() {
  if (!levelsWanted) return;
  levelsWanted = false;
  builder.start(mesh, hideable > 0,
                detail.enabled ? coarseTarget(mesh.indices.size() / 3, hideableShown) : 0);
  glutTimerFunc(100, pollLevel, 0);
}

// The view moved: coarse frames until it has been still for a moment, then
// one full-detail frame.
void settle(int) {
  const double still = detail.stillIn(seconds());
  settling = still > 0;
  if (settling)
    glutTimerFunc(static_cast<unsigned>(still * 1e3) + 1, settle, 0);
  else if (drawn == Level::Coarse)
    glutPostRedisplay();
}

void viewMoved() {
  detail.input(seconds());
  if (!settling) settle(0);
  glutPostRedisplay();
}

// The geometry for the current modes: indexed, or else the library's list.
// The normals drawn, as short lines from where they apply: a corner's from
// its vertex, a facet's from the triangle's centre. A list, rebuilt with the
// geometry, since a large model has millions.
void compileNormals(unsigned mode) {
  if (normalsList != 0) glDeleteLists(normalsList, 1);
  normalsList = 0;
  if (!modes.showNormals || !(mode & (DRAW_SMOOTH | DRAW_FLAT))) return;
  normalsList = glGenLists(1);
  glNewList(normalsList, GL_COMPILE);
  glBegin(GL_LINES);
  const float length = 0.1f;  // a twentieth of the fitted model
  // The triangles shown: all, or one object's.
  unsigned first = 0, end = model->trianglecount;
  if (modes.object != kAllObjects) {
    first = model->objects[modes.object].firsttriangle;
    end = first + model->objects[modes.object].trianglecount;
  }
  for (unsigned i = first; i < end; i++) {
    const ObjTriangle& t = model->triangles[i];
    float from[3] = {};
    for (int k = 0; k < 3 && (mode & DRAW_SMOOTH); k++) {
      const float *p = &model->vertices[3 * t.vertexidx[k]],
                  *n = &model->normals[3 * t.normalidx[k]];
      glVertex3fv(p);
      glVertex3f(p[0] + length * n[0], p[1] + length * n[1], p[2] + length * n[2]);
    }
    if (mode & DRAW_SMOOTH) continue;
    for (int k = 0; k < 3; k++)
      for (int d = 0; d < 3; d++) from[d] += model->vertices[3 * t.vertexidx[k] + d] / 3;
    const float* n = &model->facetnorms[3 * t.facetnormidx];
    glVertex3fv(from);
    glVertex3f(from[0] + length * n[0], from[1] + length * n[1], from[2] + length * n[2]);
  }
  glEnd();
  glEndList();
}

// Two arrays of floats one after the other in `buffer`; returns the second's offset.
std::size_t uploadFloats(GLuint buffer, const std::vector<float>& first,
                         const std::vector<float>& second) {
  const std::size_t a = first.size() * sizeof(float), b = second.size() * sizeof(float);
  glBindBuffer(GL_ARRAY_BUFFER, buffer);
  glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(a + b), nullptr, GL_STATIC_DRAW);
  glBufferSubData(GL_ARRAY_BUFFER, 0, static_cast<GLsizeiptr>(a), first.data());
  if (b > 0)
    glBufferSubData(GL_ARRAY_BUFFER, static_cast<GLintptr>(a), static_cast<GLsizeiptr>(b),
                    second.data());
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  return a;
}

void compile() {
  builder.stop();
  detail.built = levelsWanted = false;
  if (list != 0) glDeleteLists(list, 1);
  list = 0;
  compileNormals(drawMode(modes, has));
  const unsigned mode = drawMode(modes, has);
  // One object alone: the model's own arrays behind groups cut to it.
  std::unique_ptr<ObjectModel> alone;
  if (modes.object != kAllObjects) alone = std::make_unique<ObjectModel>(*model, modes.object);
  const ObjModel& shown = alone ? alone->model() : *model;
  hideableShown = hideable;
  if (alone) {
    const ObjObject& object = model->objects[modes.object];
    const auto first = sides.begin() + object.firsttriangle;
    hideableShown = object.trianglecount - static_cast<std::size_t>(std::count(
                                               first, first + object.trianglecount, Hidden::None));
  }
  strokeLines.clear();
  strokePoints = 0;
  if (options.library || !buildMesh(shown, mode, mesh, hideable > 0 ? sides.data() : nullptr)) {
    // The library only reads the model it draws.
    list = glmCompileDisplayList(const_cast<ObjModel*>(&shown), mode);
  } else {
    if (buffers[0] == 0) glGenBuffers(6, buffers);
    colorOffset = uploadFloats(buffers[0], mesh.corners, mesh.colors);
    std::vector<float>().swap(mesh.colors);  // in the buffer now; the builder needs none
    const Strokes strokes = buildStrokes(shown, mode);
    if (!strokes.empty()) {
      strokeColorOffset = uploadFloats(buffers[3], strokes.positions, strokes.colors);
      strokeLines = strokes.lines;
      strokeFirstPoint = strokes.firstPoint;
      strokePoints = strokes.pointCount;
      strokesColored = !strokes.colors.empty();
    }
    uploadIndices(buffers[1], mesh.indices);
    clearFull.build(mesh, mesh, [mode](const Mesh::Part& part) { return transparent(part, mode); });
    clearCoarse = Transparency{};
    if (hideable > 0) mesh.buildPlanes();
    // A screenshot needs neither the cache order nor a coarse level: its
    // picture is the same. The builder reads the corners.
    levelsWanted = options.screenshot.empty() || options.bench > 0;
    if (!levelsWanted) std::vector<float>().swap(mesh.corners);  // in the buffer now
  }
  showTitle();
}

void loadTexture() {
  Image image{64, 64, {}, {}};
  if (!options.texture.empty()) {
    unsigned char* pixels = glmLoadPPM(options.texture.c_str(), &image.width, &image.height);
    if (pixels == nullptr) {
      std::fprintf(stderr, "objview: warning: no texture from %s; drawing untextured\n",
                   options.texture.c_str());
      has.image = false;
      return;
    }
    // Larger images than the GL takes are refused here: GLU's scaling of
    // them can overrun its own buffers.
    GLint largest = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &largest);
    if (image.width > largest || image.height > largest) {
      std::fprintf(stderr,
                   "objview: warning: %s is %d x %d pixels, more than the %d this GL takes; "
                   "drawing untextured\n",
                   options.texture.c_str(), image.width, image.height, static_cast<int>(largest));
      std::free(pixels);
      has.image = false;
      return;
    }
    image.rgb.assign(pixels, pixels + static_cast<std::size_t>(image.width) * image.height * 3);
    std::free(pixels);
  } else {
    for (int i = 0; i < image.width * image.height; i++) {
      const unsigned char c = ((i % image.width / 8 + i / image.width / 8) % 2) ? 230 : 60;
      image.rgb.insert(image.rgb.end(), {c, c, c});
    }
  }
  texture = uploadTexture(image);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
}

void setUpGL() {
  glEnable(GL_DEPTH_TEST);
  glEnable(GL_LIGHTING);
  glEnable(GL_LIGHT0);
  // No GL_NORMALIZE: the library's normals are unit length and the view
  // only turns and moves them, so the per-vertex cost would buy nothing.
  // Both sides lit: open models show their inside.
  glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, GL_TRUE);
  glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
  // A point of one pixel is lost on a screen of today.
  glPointSize(3);
  // The push back of the fill under lines (see drawFrame): Mesa's software
  // renderer gives a line a depth far enough from that of the triangle it
  // lies on that anything short of about a hundred units leaves it hidden.
  glPolygonOffset(1, 128);
  glClearColor(0.15f, 0.15f, 0.18f, 1);
  loadTexture();
}

// A grid of tenths of the model's unit under it, and its axes from the
// centre: unlit lines, drawn before the model so that it hides them where it
// is in front and transparent parts blend over them.
void drawGrid() {
  glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT);
  glDisable(GL_LIGHTING);
  glDisable(GL_TEXTURE_2D);
  glBegin(GL_LINES);
  glColor3f(0.4f, 0.4f, 0.45f);
  for (int i = -10; i <= 10; i++) {
    const float at = 0.15f * static_cast<float>(i);
    glVertex3f(at, groundY, -1.5f);
    glVertex3f(at, groundY, 1.5f);
    glVertex3f(-1.5f, groundY, at);
    glVertex3f(1.5f, groundY, at);
  }
  static const GLfloat kAxes[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  for (const GLfloat* axis : kAxes) {
    glColor3fv(axis);
    glVertex3f(0, 0, 0);
    glVertex3f(1.2f * axis[0], 1.2f * axis[1], 1.2f * axis[2]);
  }
  glEnd();
  glPopAttrib();
}

// Lines of pale yellow text on a black panel whose top left corner is
// (x, top) in window pixels (y up); returns the panel's right edge.
float drawPanel(float x, int top, const std::vector<std::string>& text) {
  const int lines = static_cast<int>(text.size());
  std::size_t longest = 0;
  for (const std::string& line : text) longest = std::max(longest, line.size());
  glColor3f(0, 0, 0);
  const float right = x + 20 + 9.0f * static_cast<float>(longest);
  glRectf(x, static_cast<float>(top - 10 - 18 * lines), right, static_cast<float>(top));
  glColor3f(1, 1, 0.6f);
  for (int i = 0; i < lines; i++) {
    glRasterPos2i(static_cast<int>(x) + 10, top - 20 - 18 * i);
    glutBitmapString(GLUT_BITMAP_9_BY_15, reinterpret_cast<const unsigned char*>(text[i].c_str()));
  }
  return right;
}

// Window text over the picture: the help (keys, then the model's objects
// beside them) and the name of the object shown alone.
void drawText(int width, int height) {
  const std::string label = objectLabel(*model, modes.object);
  if (!modes.help && label.empty()) return;
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  gluOrtho2D(0, width, 0, height);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glDisable(GL_LIGHTING);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_TEXTURE_2D);
  if (modes.help) {
    std::vector<std::string> keys{sizeLine};
    for (int i = 0; kHelpLines[i] != nullptr; i++) keys.push_back(kHelpLines[i]);
    const float right = drawPanel(10, height - 10, keys);
    // As many objects as the keys' panel is high.
    const std::vector<std::string> objects =
        objectLines(*model, modes.object, std::max<std::size_t>(keys.size(), 6) - 3);
    if (!objects.empty()) drawPanel(right + 10, height - 10, objects);
  }
  if (!label.empty()) drawPanel(10, 38, {label});
  glEnable(GL_DEPTH_TEST);
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
}

// A part's texture, none (name 0) for none: its material's own, of its
// map_Kd and map_d images; for a model that names no images, the one of
// --texture or the checkerboard (which shows the coordinates). A part
// without texture coordinates, or of a material whose images were not
// found, has none and draws in its colour.
MaterialTexture partTexture(const Mesh::Part& part) {
  if (!part.textured) return {};
  if (!options.texture.empty() || !mapsNamed) return {texture, false, false};
  return materialTextures.of(part.material);
}

// Whether a part is drawn blended: its material's dissolve is below 1 where
// the mode paints with materials, or its texture is less than opaque where
// the mode draws textures.
bool transparent(const Mesh::Part& part, unsigned mode) {
  return ((mode & (DRAW_COLOR | DRAW_MATERIAL)) && model->materials[part.material].dissolve < 1) ||
         ((mode & DRAW_TEXTURE) && partTexture(part).alpha);
}

// A part's material (or colour) and texture. A material's own image takes
// the place of its diffuse colour: exporters write Kd as the colour without
// the image (Blender's 0.64 or 0.8 grey), which would only darken it. A
// texture of an alpha map alone is white, tinted by the colour.
void setUpPart(const Mesh::Part& part, unsigned mode) {
  const MaterialTexture image = mode & DRAW_TEXTURE ? partTexture(part) : MaterialTexture{};
  if (image.name != 0) {
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, image.name);
  } else {
    glDisable(GL_TEXTURE_2D);
  }
  if (mode & (DRAW_COLOR | DRAW_MATERIAL)) {
    const ObjMaterial& material = model->materials[part.material];
    const bool own = image.colour;
    const GLfloat diffuse[4] = {own ? 1 : material.diffuse[0], own ? 1 : material.diffuse[1],
                                own ? 1 : material.diffuse[2], material.dissolve};
    if (mode & DRAW_MATERIAL) {
      glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, material.ambient);
      glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, diffuse);
      glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, material.specular);
      glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, material.shininess);
    }
    if (mode & DRAW_COLOR) glColor4fv(diffuse);
  }
}

void drawPart(const Mesh::Part& part, unsigned mode) {
  setUpPart(part, mode);
  glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(part.count), GL_UNSIGNED_INT,
                 reinterpret_cast<const void*>(part.first * sizeof(unsigned)));
}

// The transparent triangles, farthest first, blended over what is drawn and
// leaving the depth buffer as the opaque parts made it, so a pane behind
// another still shows through it. None is culled: a closed glass's back
// shows through its front.
void drawTransparent(unsigned mode, Transparency& clear, GLuint buffer) {
  GLfloat m[16];
  glGetFloatv(GL_MODELVIEW_MATRIX, m);
  const GLboolean culled = glIsEnabled(GL_CULL_FACE);
  glDisable(GL_CULL_FACE);
  glEnable(GL_BLEND);
  glDepthMask(GL_FALSE);
  const bool painted = mode & (DRAW_COLOR | DRAW_MATERIAL);
  clear.draw(m, buffer, [&](const Mesh::Part& part) {
    setUpPart(part, mode);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    if (!(mode & DRAW_VERTEXCOLOR)) return;
    // Vertex colours bring an alpha of 1 into the lighting: the part's own
    // opacity is then the blend's, or with an alpha texture the texture
    // stage's, which multiplies the texture's alpha by it.
    const GLfloat dissolve = painted ? model->materials[part.material].dissolve : 1;
    if ((mode & DRAW_TEXTURE) && partTexture(part).alpha) {
      const GLfloat constant[4] = {0, 0, 0, dissolve};
      glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE);
      glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_RGB, GL_MODULATE);
      glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_ALPHA, GL_MODULATE);
      glTexEnvi(GL_TEXTURE_ENV, GL_SRC1_ALPHA, GL_CONSTANT);
      glTexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, constant);
    } else {
      glBlendColor(0, 0, 0, dissolve);
      glBlendFunc(GL_CONSTANT_ALPHA, GL_ONE_MINUS_CONSTANT_ALPHA);
    }
  });
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  glDepthMask(GL_TRUE);
  glDisable(GL_BLEND);
  if (culled) glEnable(GL_CULL_FACE);
}

// What drawMesh leaves as it found it.
void finishMesh() {
  glShadeModel(GL_SMOOTH);
  glBindTexture(GL_TEXTURE_2D, texture);
  glDisableClientState(GL_COLOR_ARRAY);
  glDisableClientState(GL_TEXTURE_COORD_ARRAY);
  glDisableClientState(GL_NORMAL_ARRAY);
  glDisableClientState(GL_VERTEX_ARRAY);
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
}

// The mesh's buffers and arrays for `mode`, with the indices of the level drawn.
void bindMesh(unsigned mode, bool flat) {
  const GLsizei stride = Mesh::kStride * sizeof(float);
  const auto at = [](std::size_t bytes) { return reinterpret_cast<const void*>(bytes); };
  glBindBuffer(GL_ARRAY_BUFFER, buffers[0]);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffers[drawn == Level::Coarse ? 2 : 1]);
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_NORMAL_ARRAY);
  glVertexPointer(3, GL_FLOAT, stride, at(0));
  glNormalPointer(GL_FLOAT, stride, at(3 * sizeof(float)));
  if (mode & DRAW_TEXTURE) {
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glTexCoordPointer(2, GL_FLOAT, stride, at(6 * sizeof(float)));
  }
  if (mode & DRAW_VERTEXCOLOR) {
    glEnableClientState(GL_COLOR_ARRAY);
    glColorPointer(3, GL_FLOAT, 0, at(colorOffset));
  }
  glShadeModel(flat ? GL_FLAT : GL_SMOOTH);
}

// The lines and points, unlit: in their material's diffuse colour where the
// mode paints with materials, else in the plain colour, or in their
// vertices' colours. Points have no material.
void drawStrokes(unsigned mode) {
  if (strokeLines.empty() && strokePoints == 0) return;
  static const GLfloat kPlain[3] = {0.9f, 0.9f, 0.9f};
  glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT);
  glDisable(GL_LIGHTING);
  glDisable(GL_TEXTURE_2D);
  glBindBuffer(GL_ARRAY_BUFFER, buffers[3]);
  glEnableClientState(GL_VERTEX_ARRAY);
  glVertexPointer(3, GL_FLOAT, 0, nullptr);
  if (strokesColored) {
    glEnableClientState(GL_COLOR_ARRAY);
    glColorPointer(3, GL_FLOAT, 0, reinterpret_cast<const void*>(strokeColorOffset));
  }
  const bool painted = mode & (DRAW_COLOR | DRAW_MATERIAL);
  for (const Strokes::Run& run : strokeLines) {
    if (!strokesColored) glColor3fv(painted ? model->materials[run.material].diffuse : kPlain);
    glDrawArrays(GL_LINES, static_cast<GLint>(run.first), static_cast<GLsizei>(run.count));
  }
  if (!strokesColored) glColor3fv(kPlain);
  if (strokePoints > 0)
    glDrawArrays(GL_POINTS, static_cast<GLint>(strokeFirstPoint),
                 static_cast<GLsizei>(strokePoints));
  glDisableClientState(GL_COLOR_ARRAY);
  glDisableClientState(GL_VERTEX_ARRAY);
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  glPopAttrib();
}

// The mesh with the colours and materials the library would set per group,
// at full detail or, while the view moves, the coarse level; then the
// lines and points, which every level draws whole.
void drawMesh(unsigned mode) {
  drawn = detail.level(seconds());
  const Mesh& level = drawn == Level::Coarse ? builder.level : mesh;
  bindMesh(mode, level.flat);
  // Ambient and diffuse follow a vertex's colour as they follow a material's.
  if (mode & (DRAW_COLOR | DRAW_VERTEXCOLOR))
    glEnable(GL_COLOR_MATERIAL);
  else if (mode & DRAW_MATERIAL)
    glDisable(GL_COLOR_MATERIAL);
  const std::vector<Mesh::Part>* parts = &level.parts;
  if (hideable > 0) {
    // The eye in model coordinates: the model view matrix is a turn and a move.
    GLfloat m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    float eye[3];
    for (int k = 0; k < 3; k++)
      eye[k] = -(m[4 * k] * m[12] + m[4 * k + 1] * m[13] + m[4 * k + 2] * m[14]);
    level.facing(eye, seen, seenParts);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(seen.size() * sizeof(unsigned)),
                 seen.data(), GL_STREAM_DRAW);
    parts = &seenParts;
  }
  // Opaque parts first, then the lines and points, then the transparent
  // triangles over them all.
  Transparency& clear = drawn == Level::Coarse ? clearCoarse : clearFull;
  for (const Mesh::Part& part : *parts)
    if (clear.empty() || !transparent(part, mode)) drawPart(part, mode);
  finishMesh();
  drawStrokes(mode);
  if (clear.empty()) return;
  bindMesh(mode, level.flat);
  drawTransparent(mode, clear, buffers[drawn == Level::Coarse ? 5 : 4]);
  finishMesh();
}

void drawFrame() {
  const int width = glutGet(GLUT_WINDOW_WIDTH), height = glutGet(GLUT_WINDOW_HEIGHT);
  glViewport(0, 0, width, height);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(30, static_cast<double>(width) / std::max(height, 1), 0.05, 200);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

  // The light comes from the upper left of the eye, and turns with it.
  const GLfloat light[] = {-0.4f, 0.5f, 1, 0};
  glLightfv(GL_LIGHT0, GL_POSITION, light);
  glTranslatef(view.panX, view.panY, -view.distance);
  glRotatef(view.pitch, 1, 0, 0);
  glRotatef(view.yaw, 0, 1, 0);

  // What an earlier draw mode left behind (the library restores nothing).
  const GLfloat ambient[] = {0.2f, 0.2f, 0.2f, 1}, diffuse[] = {0.8f, 0.8f, 0.8f, 1},
                none[] = {0, 0, 0, 1};
  glDisable(GL_COLOR_MATERIAL);
  glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, ambient);
  glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, diffuse);
  glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, none);
  glColor3f(0.9f, 0.9f, 0.9f);
  const unsigned mode = drawMode(modes, has);
  // Outlines are drawn unlit: lines have no side facing the light.
  // Culling halves llvmpipe's work on a closed model, where it changes nothing.
  if (hidden != Hidden::None && !(mode & DRAW_OUTLINE)) {
    glEnable(GL_CULL_FACE);
    glCullFace(hidden == Hidden::Back ? GL_BACK : GL_FRONT);
  } else {
    glDisable(GL_CULL_FACE);
  }
  if (mode & DRAW_OUTLINE)
    glDisable(GL_LIGHTING);
  else
    glEnable(GL_LIGHTING);
  if (mode & DRAW_TEXTURE)
    glEnable(GL_TEXTURE_2D);
  else
    glDisable(GL_TEXTURE_2D);
  // Lines and points mostly lie on the surfaces they mark: the fill is
  // pushed back a little so that they show on it.
  if (model->linecount > 0 || model->pointcount > 0)
    glEnable(GL_POLYGON_OFFSET_FILL);
  else
    glDisable(GL_POLYGON_OFFSET_FILL);
  drawn = Level::Full;
  if (modes.grid) drawGrid();
  if (list != 0)
    glCallList(list);
  else
    drawMesh(mode);
  if (normalsList != 0) {
    glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT);
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glColor3f(0, 0.9f, 0.9f);
    glCallList(normalsList);
    glPopAttrib();
  }
  drawText(width, height);
}

// Writes the back buffer to `path`, a PNG by its name or else a binary PPM,
// put in place by the library's rules: a failure leaves no partial picture
// and touches no other file. A PPM that cannot be written ends the program
// (the library's failure); a PNG returns false, said.
bool writeScreenshot(const std::string& path) {
  const int width = glutGet(GLUT_WINDOW_WIDTH), height = glutGet(GLUT_WINDOW_HEIGHT);
  const std::size_t rowBytes = static_cast<std::size_t>(width) * 3;
  std::vector<unsigned char> pixels(rowBytes * height), image(rowBytes * height);
  glReadBuffer(GL_BACK);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
  // GL's first row is the bottom one; the file's is the top.
  for (int row = 0; row < height; row++)
    std::memcpy(&image[rowBytes * row], &pixels[rowBytes * (height - 1 - row)], rowBytes);
  if (!isPngName(path)) {
    glmWritePPM(path.c_str(), image.data(), width, height);
    return true;
  }
  std::string why = "cannot encode it";
  const std::vector<unsigned char> png = encodePng(image.data(), width, height);
  if (!png.empty() && putFile(path, png, why)) return true;
  std::fprintf(stderr, "objview: can't write %s: %s\n", path.c_str(), why.c_str());
  return false;
}

// The `p` key's picture: objview-NAME-N.png in the working directory, N the
// first number not taken.
void keyScreenshot() {
  std::string stem = options.file.substr(options.file.find_last_of('/') + 1);
  stem.erase(std::min(stem.find_last_of('.'), stem.size()));
  for (int n = 1; n < 10000; n++) {
    const std::string name = "objview-" + stem + "-" + std::to_string(n) + ".png";
    if (access(name.c_str(), F_OK) == 0) continue;
    if (writeScreenshot(name)) std::fprintf(stderr, "objview: wrote %s\n", name.c_str());
    return;
  }
}

// Frames while the view turns once round as a left drag turns it, with the
// levels of detail in use (`moving`) or not; returns the frame rate and prints
// it with the processor time per frame: all threads, and the main thread (GL's
// own work). On a shared machine the frame rate follows the load, the
// processor time much less.
double benchFrames(const char* name, bool moving) {
  const double start = seconds(), cpu = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID),
               mainCpu = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
  Drag turn;
  onButton(turn, view, kLeft, true, false, 0, 0);
  std::size_t triangles = 0;
  for (int i = 1; i <= options.bench; i++) {
    // Half a degree a pixel: 720 pixels make a turn.
    onMotion(turn, view, 720 * i / options.bench, 0, 1);
    detail.lastInput = moving ? seconds() : -1e9;
    drawFrame();
    glutSwapBuffers();
    triangles += (drawn == Level::Coarse ? builder.level : mesh).indices.size() / 3;
  }
  glFinish();
  const double spent = seconds() - start, perFrame = 1e3 / options.bench;
  std::printf(
      "%s: %d frames %.2f s = %.1f fps (cpu %.0f ms a frame, %.0f ms in the main thread), "
      "%zu triangles a frame\n",
      name, options.bench, spent, options.bench / spent,
      (cpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - cpu) * perFrame,
      (cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - mainCpu) * perFrame,
      list != 0 ? std::size_t{model->trianglecount} : triangles / options.bench);
  return options.bench / spent;
}

// The process's resident memory now and at its peak, in MB (Linux's account).
void residentMemory(double& now, double& peak) {
  now = peak = 0;
  FILE* status = std::fopen("/proc/self/status", "r");
  if (status == nullptr) return;
  char line[256];
  while (std::fgets(line, sizeof line, status) != nullptr) {
    double kb = 0;
    if (std::sscanf(line, "VmRSS: %lf", &kb) == 1) now = kb / 1024;
    if (std::sscanf(line, "VmHWM: %lf", &kb) == 1) peak = kb / 1024;
  }
  std::fclose(status);
}

// Times a first full-detail picture, the coarse level's building, then
// frames turning the model (the coarse level drawn) and still ones.
void bench() {
  double average[3] = {};
  if (getloadavg(average, 3) == 3)
    std::printf("load average %.2f %.2f %.2f\n", average[0], average[1], average[2]);
  drawFrame();
  glutSwapBuffers();
  glFinish();
  const double first = seconds() - startSeconds;
  startLevel();
  builder.wait();
  if (builder.ready()) takeLevel();
  std::printf("%u triangles: read %.2f s, prepare %.2f s, compile %.2f s, first picture %.2f s",
              model->trianglecount, readSeconds, prepareSeconds, compileSeconds, first);
  if (detail.built)
    std::printf(", cache order and coarse level %.2f s (%zu triangles, %.1f MB)", builder.seconds,
                builder.level.indices.size() / 3, levelBytes(builder.level) / 1048576.0);
  double now = 0, peak = 0;
  residentMemory(now, peak);
  std::printf("; resident %.0f MB, at the peak %.0f MB\n", now, peak);
  const double moving = benchFrames("moving", true), still = benchFrames("still", false);
  std::printf("bench: moving %.1f fps, still %.1f fps\n", moving, still);
  if (!options.screenshot.empty()) {
    std::fflush(stdout);
    view.yaw = view.homeYaw;  // the picture shows the model as it opens, in full detail
    detail.lastInput = -1e9;
    drawFrame();
    std::exit(writeScreenshot(options.screenshot) ? 0 : 1);
  }
  std::exit(0);
}

void display() {
  if (options.bench > 0) bench();
  drawFrame();
  if (!options.screenshot.empty()) std::exit(writeScreenshot(options.screenshot) ? 0 : 1);
  if (std::exchange(screenshotWanted, false)) keyScreenshot();
  glutSwapBuffers();
  if (modes.level) showTitle();
  startLevel();
}

void keyboard(unsigned char key, int, int) {
  switch (onKey(modes, view, key, has)) {
    case Action::None:
      return;
    case Action::Quit:
      std::exit(0);
    case Action::Reload:
      reweld();
      compile();
      break;
    case Action::Normals:
      vertexNormals();
      compile();
      break;
    case Action::Texcoords:
      generateTexcoords();
      compile();
      break;
    case Action::Recompile:
      compile();
      break;
    case Action::Redraw:
      showTitle();
      break;
    case Action::Screenshot:
      screenshotWanted = true;  // of the next frame, drawn in full
      break;
  }
  glutPostRedisplay();
}

void special(int key, int, int) {
  if (onArrow(view, key)) viewMoved();
  const std::size_t file = fileKey(key, shownFile, options.files.size());
  if (file != kNoFile) show(file);
}

void mouse(int button, int state, int x, int y) {
  const bool shift = glutGetModifiers() & GLUT_ACTIVE_SHIFT;
  if (onButton(drag, view, button, state == GLUT_DOWN, shift, x, y)) viewMoved();
}

void motion(int x, int y) {
  if (onMotion(drag, view, x, y, glutGet(GLUT_WINDOW_HEIGHT))) viewMoved();
}

}  // namespace

int main(int argc, char** argv) {
  // Past a file size limit a screenshot's write fails with EFBIG, so the
  // library reports it and removes its temporary file.
  std::signal(SIGXFSZ, SIG_IGN);
  for (int i = 1; i < argc; i++) {
    if (std::string(argv[i]) == "--help" || std::string(argv[i]) == "-h") {
      std::fputs(kUsage, stdout);
      std::puts("\nKeys and mouse:");
      for (int k = 0; kHelpLines[k] != nullptr; k++) std::printf("  %s\n", kHelpLines[k]);
      return 0;
    }
    if (std::string(argv[i]) == "--version") {
      std::printf("objview %s\n", PROGRAM_VERSION);
      return 0;
    }
  }
  glmSetMessageHandler(libraryMessage, nullptr);
  std::string error;
  if (!parseOptions(argc, argv, options, error)) {
    std::fprintf(stderr, "objview: %s (try 'objview --help')\n", error.c_str());
    return 2;
  }

  // The model is read before any window exists: bad input ends here, with
  // the library's message and status 1.
  const double start = startSeconds = seconds();
  detail.enabled = options.lod;
  givenModes = modes;
  readSeconds = load();
  prepareSeconds = seconds() - start - readSeconds;

  int glutArgc = 1;
  glutInit(&glutArgc, argv);
  glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
  int width = options.width, height = options.height;
  if (width == 0 && !options.screenshot.empty()) {
    width = 800;
    height = 600;
  } else if (width == 0) {  // three quarters of the screen, in its proportions
    width = glutGet(GLUT_SCREEN_WIDTH) * 3 / 4;
    height = glutGet(GLUT_SCREEN_HEIGHT) * 3 / 4;
  }
  glutInitWindowSize(width, height);
  glutCreateWindow("objview");
  setUpGL();
  materialTextures.load(*model);
  chooseModes();
  const double compileStart = seconds();
  compile();
  glFinish();
  compileSeconds = seconds() - compileStart;

  glutDisplayFunc(display);
  glutKeyboardFunc(keyboard);
  glutSpecialFunc(special);
  glutMouseFunc(mouse);
  glutMotionFunc(motion);
  if (options.screenshot.empty() && options.bench == 0) glutTimerFunc(500, watchFile, 0);
  glutMainLoop();
  return 0;
}
