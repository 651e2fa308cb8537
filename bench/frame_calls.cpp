// Draws frames of the scene on the recording GL stand-in and prints how many
// GL, GLU and GLUT calls one frame makes, by kind. Run from the project root
// (it reads the scene's data/):
//   <build>/bench/frame_calls
// The counts show where a frame's work goes: every call here is a driver
// call in immediate mode, and each GLUT/GLU primitive expands to many more.
#include <GL/gl.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "glfake.h"
#include "scene.h"

namespace {

const bool modelsLoaded = (loadModels(), true);  // as the scene does at start-up

struct Kind {
  const char* label;
  std::vector<std::string> names;
};

const Kind kinds[] = {
    {"glBegin (line loops)", {"glBegin"}},
    {"glEnd", {"glEnd"}},
    {"vertices", {"glVertex3fv", "glVertex3f"}},
    {"matrix push/pop", {"glPushMatrix", "glPopMatrix"}},
    {"matrix transforms",
     {"glTranslatef", "glRotatef", "glScalef", "glLoadIdentity", "glMatrixMode"}},
    {"view (gluLookAt)", {"gluLookAt"}},
    {"colour", {"glColor3f", "glColor3fv"}},
    {"GLUT solid spheres", {"glutSolidSphere"}},
    {"GLUT wire spheres", {"glutWireSphere"}},
    {"GLUT solid cubes", {"glutSolidCube"}},
    {"GLUT wire cubes", {"glutWireCube"}},
    {"GLU cylinders", {"gluCylinder"}},
};

void report(const char* title) {
  glfake::reset();
  display();
  std::map<std::string, int> byName;
  for (const glfake::Call& c : glfake::calls()) byName[c.name]++;

  std::printf("%s\n", title);
  int counted = 0;
  for (const Kind& kind : kinds) {
    int n = 0;
    for (const std::string& name : kind.names) {
      n += byName[name];
      byName.erase(name);
    }
    counted += n;
    std::printf("  %-24s %8d\n", kind.label, n);
  }
  int other = 0;
  for (const auto& [name, n] : byName) other += n;
  std::printf("  %-24s %8d\n", "other", other);
  std::printf("  %-24s %8d\n", "total", counted + other);
  std::printf("  deepest model-view stack: %d of 32\n\n", glfake::maxModelviewDepth());
}

}  // namespace

int main() {
  initScene();
  reshape(1000, 1000);

  std::printf("tree model (slot 1): %u triangles, drawn 21 times per frame\n\n",
              models[1]->trianglecount);
  report("frame with the blinking dogs hidden (5 dogs)");
  blink20 = blink30 = blink50 = 1;
  report("frame with every dog shown (8 dogs)");
  return 0;
}
