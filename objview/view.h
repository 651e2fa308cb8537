// objview's state and input handling, free of GL and GLUT so it can be
// tested without a window: what is shown (modes), from where (view), and
// what each key, button and drag does to them.
#ifndef OBJVIEW_VIEW_H
#define OBJVIEW_VIEW_H

#include <cmath>
#include <cstddef>
#include <string>
#include <vector>

#include "glm.h"
#include "mesh.h"

namespace objview {

enum class Texture { Off, File, Planar, Spherical };  // where the coordinates come from
enum class Paint { Plain, Color, Material };          // per-group colour source

// The author's normals (the file's own, or where it gives none those its
// smoothing groups mean), or crease-angle ones.
enum class Normals { File, Compute };

// Every object shown, rather than one of them.
constexpr unsigned kAllObjects = ~0u;

struct Modes {
  bool smooth = true;  // false: flat
  Texture texture = Texture::Off;
  Paint paint = Paint::Plain;
  bool outline = false;
  bool weld = false;
  float angle = 90;  // crease angle of the vertex normals, degrees
  // The file's normals where it has them for every triangle; computed ones
  // when it has none, or when asked.
  Normals normals = Normals::File;
  bool help = false;
  bool level = false;             // the title names the level of detail drawn
  bool grid = false;              // a ground grid under the model, and its axes
  bool showNormals = false;       // the normals drawn as lines
  bool vertexColors = false;      // each vertex in its own colour, where the file gives them
  unsigned object = kAllObjects;  // the one object shown, from 0
};

struct View {
  float yaw = 0, pitch = 0;          // orbit about the model's centre, degrees
  float panX = 0, panY = 0;          // in the model's units
  float distance = 4;                // from the eye to the centre
  float home = 4;                    // the distance that shows the whole model
  float homeYaw = 0, homePitch = 0;  // the view a reset returns to
};

// The view from azimuth `azimuth` (degrees to the right of the front, about
// the up axis) and elevation `elevation` (degrees above), at the home distance.
void look(View& view, float azimuth, float elevation);

struct Options {
  std::string file;                // the one shown
  std::vector<std::string> files;  // all the command line names, in order
  std::string texture;             // PPM image; empty: a built-in checkerboard
  std::string screenshot;          // empty: interactive
  int width = 0, height = 0;       // 0: chosen from the screen
  float weld = 1e-4f;              // in the fitted model's units (it spans -1..1)
  int bench = 0;                   // frames to time, 0: none
  bool library = false;            // draw every mode through the library's display list
  bool lod = true;                 // a coarse level of a large model while the view moves
  // Without --mode (or with its word "all") the first picture shows all the
  // model has: its materials, its vertex colours, and its textures where a
  // map was found.
  bool everything = true;
  float azimuth = NAN, elevation = NAN;  // NAN: the opening view is chosen from the model
  Modes modes;
};

// What the model has, which decides the modes that can take effect.
struct Has {
  bool texcoords = false;  // read from the file
  bool normals = false;    // read from the file, for every triangle
  bool materials = false;
  bool image = true;       // a texture image was read (or built in)
  bool smoothing = false;  // the file names smoothing groups
  bool colors = false;     // its vertices have colours
  unsigned objects = 0;    // its "o" objects
};

// Where the normals drawn come from, for the modes and what the model has.
enum class NormalSource { File, Smoothing, Crease };
NormalSource normalSource(const Modes& modes, const Has& has);

// Parses the command line; on a usage error returns false with a one-line
// message in `error`.
bool parseOptions(int argc, const char* const* argv, Options& options, std::string& error);
extern const char* const kUsage;

// The work a key or option leaves to the program, cheapest last.
enum class Action {
  None,
  Redraw,      // only the view or the overlay changed
  Screenshot,  // a picture of the next frame to a PNG file
  Recompile,   // the draw mode changed: compile the display list again
  Normals,     // the normals' source or crease angle changed: normals, then compile
  Texcoords,   // the texture coordinates must be generated again
  Reload,      // welding was switched: prepare the model again as it was read
  Quit,
};

Action onKey(Modes& modes, View& view, unsigned char key, const Has& has);

// The arrow keys as GLUT numbers them; each turns the view 5 degrees.
enum Arrow { kArrowLeft = 100, kArrowUp = 101, kArrowRight = 102, kArrowDown = 103 };
bool onArrow(View& view, int key);  // whether the view changed

// Page Up and Page Down step through the files (without wrapping), F5 reads
// the one shown again: the file to show for GLUT's special `key`, or kNoFile.
enum FileKey { kF5 = 5, kPageUp = 104, kPageDown = 105 };
constexpr std::size_t kNoFile = ~std::size_t{0};
std::size_t fileKey(int key, std::size_t shown, std::size_t files);

// Mouse buttons as GLUT numbers them; 3 and 4 are the wheel.
enum Button { kLeft = 0, kMiddle = 1, kRight = 2, kWheelUp = 3, kWheelDown = 4 };

struct Drag {
  enum Kind { None, Orbit, Pan, Zoom } kind = None;
  int x = 0, y = 0;
};

// A press (down) or release of `button` at (x, y); returns whether the view changed.
bool onButton(Drag& drag, View& view, int button, bool down, bool shift, int x, int y);
// The pointer moved to (x, y) with a button held, in a window `height` pixels high.
bool onMotion(Drag& drag, View& view, int x, int y, int height);

// The GL draw mode (DRAW_* flags) for the modes, limited to what the model has.
unsigned drawMode(const Modes& modes, const Has& has);

// The window title: file name, counts, the modes in effect, and the object
// shown alone (`object`, its name) when there is one.
std::string title(const std::string& file, unsigned vertices, unsigned triangles,
                  const Modes& modes, const Has& has, const char* object = nullptr);

// The model as one of its objects alone, for drawing and building meshes:
// the model's own arrays (it owns none and must not be freed), its groups
// cut to the object's triangles in their drawing order, and no lines or
// points, which the reader puts in no object.
class ObjectModel {
 public:
  ObjectModel(const ObjModel& model, unsigned object);
  ObjectModel(const ObjectModel&) = delete;
  ObjectModel& operator=(const ObjectModel&) = delete;
  const ObjModel& model() const { return model_; }

 private:
  ObjModel model_;
  std::vector<ObjGroup> groups_;
  std::vector<std::vector<unsigned>> triangles_;
};

// The help overlay's object list: a heading and at most `most` objects with
// their triangle counts, around the one shown when there is one (marked),
// with a line for those left out before and after; empty without objects.
std::vector<std::string> objectLines(const ObjModel& model, unsigned shown, std::size_t most);

// The on-screen name of the object shown alone: "object 2 of 5: seat, 12
// triangles"; empty when every object is shown.
std::string objectLabel(const ObjModel& model, unsigned shown);

// Which side of each triangle can never be seen from outside its piece (the
// triangles joined through shared edges): the back of a closed, consistently
// wound piece's triangles (each of its edges used once each way), or their
// front when that winding faces inwards; none for an open piece's.
std::vector<Hidden> hiddenSides(const ObjModel& model);
// The side every triangle hides, or None.
Hidden hiddenFaces(const std::vector<Hidden>& sides);

// The opening view's azimuth and elevation for a model whose sides are
// `size` (x, y, z): the front, unless that shows a flat model edge-on; then
// a three-quarter view from above.
void openingView(const float size[3], float& azimuth, float& elevation);

// The model's bounding box as "size X x Y x Z", in its own units.
std::string sizeNote(const ObjModel& model);

// The help overlay's lines.
extern const char* const kHelpLines[];

}  // namespace objview

#endif
