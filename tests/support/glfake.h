// A recording stand-in for GL, GLU and GLUT. Test programs link it instead of
// the real libraries: every call the code under test makes is appended to a
// log together with the model-view matrix and the colour current at that
// moment, and the matrix stacks behave as GL's do, so a test can ask where
// something was drawn, in which colour, and how many times.
#ifndef GLFAKE_H
#define GLFAKE_H

#include <cmath>
#include <string>
#include <vector>

namespace glfake {

struct Vec3 {
  double x, y, z;
};

// Column-major 4x4 matrix, as GL stores it.
struct Mat4 {
  double m[16];
  static Mat4 identity();
  Mat4 operator*(const Mat4& other) const;
  Vec3 apply(const Vec3& point) const;  // transforms a point (w = 1)
  Mat4 inverse() const;
};

struct Call {
  std::string name;          // the GL/GLU/GLUT function, e.g. "glutWireCube"
  std::vector<double> args;  // numeric arguments in order; array arguments
                             // (glColor3fv, glVertex3fv, ...) are expanded
  std::string text;          // string argument, if any (titles, menu entries)
  Mat4 modelview;            // model-view matrix when the call was made
  float color[4];            // current colour when the call was made
  int depth;                 // model-view stack depth then (1 = nothing pushed)

  // Where the call's local origin (or a local point) lands in eye space,
  // i.e. after the model-view matrix.
  Vec3 origin() const { return modelview.apply({0, 0, 0}); }
  Vec3 at(const Vec3& local) const { return modelview.apply(local); }
};

// Clears the log and puts GL state back to a fresh context: identity
// matrices, stack depth 1, matrix mode GL_MODELVIEW, colour (1, 1, 1, 1),
// nothing enabled, no display lists, display-list names start at 1.
void reset();

const std::vector<Call>& calls();
std::vector<Call> named(const std::string& name);
int count(const std::string& name);

const Mat4& modelview();
const Mat4& projection();
unsigned matrixMode();
int modelviewDepth();
int maxModelviewDepth();  // deepest model-view stack seen since reset()
int stackUnderflows();    // pops of an empty stack since reset()
int stackOverflows();     // pushes beyond GL's guaranteed 32 since reset()
bool isEnabled(unsigned capability);
const float* currentColor();

// Makes the next glGenLists return `name` (0 to simulate failure).
void setNextListName(unsigned name);

// Whether a recorded colour `c` is `rgb`, to within float rounding.
inline bool sameColour(const float* c, const float* rgb) {
  return std::fabs(c[0] - rgb[0]) < 1e-6 && std::fabs(c[1] - rgb[1]) < 1e-6 &&
         std::fabs(c[2] - rgb[2]) < 1e-6;
}

}  // namespace glfake

#endif
