// The recording GL/GLU/GLUT stand-in (see glfake.h). The real headers are
// included so that every definition below must match its real signature: a
// mismatch is a compile error instead of a silent C++ overload.
#include "glfake.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <GL/freeglut.h>

#include <cmath>
#include <cstring>
#include <deque>
#include <initializer_list>
#include <map>
#include <set>

namespace glfake {

Mat4 Mat4::identity() {
  Mat4 r{};
  r.m[0] = r.m[5] = r.m[10] = r.m[15] = 1.0;
  return r;
}

Mat4 Mat4::operator*(const Mat4& b) const {
  Mat4 r{};
  for (int col = 0; col < 4; col++)
    for (int row = 0; row < 4; row++) {
      double sum = 0;
      for (int k = 0; k < 4; k++) sum += m[k * 4 + row] * b.m[col * 4 + k];
      r.m[col * 4 + row] = sum;
    }
  return r;
}

Vec3 Mat4::apply(const Vec3& p) const {
  double x = m[0] * p.x + m[4] * p.y + m[8] * p.z + m[12];
  double y = m[1] * p.x + m[5] * p.y + m[9] * p.z + m[13];
  double z = m[2] * p.x + m[6] * p.y + m[10] * p.z + m[14];
  double w = m[3] * p.x + m[7] * p.y + m[11] * p.z + m[15];
  if (w != 0 && w != 1) return {x / w, y / w, z / w};
  return {x, y, z};
}

Mat4 Mat4::inverse() const {
  // Cofactor expansion; the matrices here are well conditioned.
  const double* a = m;
  double inv[16];
  inv[0] = a[5] * a[10] * a[15] - a[5] * a[11] * a[14] - a[9] * a[6] * a[15] + a[9] * a[7] * a[14] +
           a[13] * a[6] * a[11] - a[13] * a[7] * a[10];
  inv[4] = -a[4] * a[10] * a[15] + a[4] * a[11] * a[14] + a[8] * a[6] * a[15] -
           a[8] * a[7] * a[14] - a[12] * a[6] * a[11] + a[12] * a[7] * a[10];
  inv[8] = a[4] * a[9] * a[15] - a[4] * a[11] * a[13] - a[8] * a[5] * a[15] + a[8] * a[7] * a[13] +
           a[12] * a[5] * a[11] - a[12] * a[7] * a[9];
  inv[12] = -a[4] * a[9] * a[14] + a[4] * a[10] * a[13] + a[8] * a[5] * a[14] -
            a[8] * a[6] * a[13] - a[12] * a[5] * a[10] + a[12] * a[6] * a[9];
  inv[1] = -a[1] * a[10] * a[15] + a[1] * a[11] * a[14] + a[9] * a[2] * a[15] -
           a[9] * a[3] * a[14] - a[13] * a[2] * a[11] + a[13] * a[3] * a[10];
  inv[5] = a[0] * a[10] * a[15] - a[0] * a[11] * a[14] - a[8] * a[2] * a[15] + a[8] * a[3] * a[14] +
           a[12] * a[2] * a[11] - a[12] * a[3] * a[10];
  inv[9] = -a[0] * a[9] * a[15] + a[0] * a[11] * a[13] + a[8] * a[1] * a[15] - a[8] * a[3] * a[13] -
           a[12] * a[1] * a[11] + a[12] * a[3] * a[9];
  inv[13] = a[0] * a[9] * a[14] - a[0] * a[10] * a[13] - a[8] * a[1] * a[14] + a[8] * a[2] * a[13] +
            a[12] * a[1] * a[10] - a[12] * a[2] * a[9];
  inv[2] = a[1] * a[6] * a[15] - a[1] * a[7] * a[14] - a[5] * a[2] * a[15] + a[5] * a[3] * a[14] +
           a[13] * a[2] * a[7] - a[13] * a[3] * a[6];
  inv[6] = -a[0] * a[6] * a[15] + a[0] * a[7] * a[14] + a[4] * a[2] * a[15] - a[4] * a[3] * a[14] -
           a[12] * a[2] * a[7] + a[12] * a[3] * a[6];
  inv[10] = a[0] * a[5] * a[15] - a[0] * a[7] * a[13] - a[4] * a[1] * a[15] + a[4] * a[3] * a[13] +
            a[12] * a[1] * a[7] - a[12] * a[3] * a[5];
  inv[14] = -a[0] * a[5] * a[14] + a[0] * a[6] * a[13] + a[4] * a[1] * a[14] - a[4] * a[2] * a[13] -
            a[12] * a[1] * a[6] + a[12] * a[2] * a[5];
  inv[3] = -a[1] * a[6] * a[11] + a[1] * a[7] * a[10] + a[5] * a[2] * a[11] - a[5] * a[3] * a[10] -
           a[9] * a[2] * a[7] + a[9] * a[3] * a[6];
  inv[7] = a[0] * a[6] * a[11] - a[0] * a[7] * a[10] - a[4] * a[2] * a[11] + a[4] * a[3] * a[10] +
           a[8] * a[2] * a[7] - a[8] * a[3] * a[6];
  inv[11] = -a[0] * a[5] * a[11] + a[0] * a[7] * a[9] + a[4] * a[1] * a[11] - a[4] * a[3] * a[9] -
            a[8] * a[1] * a[7] + a[8] * a[3] * a[5];
  inv[15] = a[0] * a[5] * a[10] - a[0] * a[6] * a[9] - a[4] * a[1] * a[10] + a[4] * a[2] * a[9] +
            a[8] * a[1] * a[6] - a[8] * a[2] * a[5];
  double det = a[0] * inv[0] + a[1] * inv[4] + a[2] * inv[8] + a[3] * inv[12];
  Mat4 r{};
  if (det == 0) return r;
  for (int i = 0; i < 16; i++) r.m[i] = inv[i] / det;
  return r;
}

namespace {

// GL guarantees at least 32 model-view and 2 projection stack entries.
constexpr int kModelviewStackLimit = 32;
constexpr int kProjectionStackLimit = 2;

struct State {
  std::vector<Call> log;
  std::vector<Mat4> modelview{Mat4::identity()};
  std::vector<Mat4> projection{Mat4::identity()};
  std::vector<Mat4> texture{Mat4::identity()};
  unsigned mode = GL_MODELVIEW;
  int maxDepth = 1;
  int underflows = 0;
  int overflows = 0;
  float color[4] = {1, 1, 1, 1};
  std::set<unsigned> enabled;
  std::vector<std::set<unsigned>> attribStack;
  unsigned nextList = 1;
  bool nextListForced = false;
  unsigned forcedList = 0;
};

State& state() {
  static State s;
  return s;
}

std::vector<Mat4>& currentStack() {
  State& s = state();
  if (s.mode == GL_PROJECTION) return s.projection;
  if (s.mode == GL_TEXTURE) return s.texture;
  return s.modelview;
}

void record(const char* name, std::initializer_list<double> args, const char* text = nullptr) {
  State& s = state();
  Call c;
  c.name = name;
  c.args.assign(args.begin(), args.end());
  if (text) c.text = text;
  c.modelview = s.modelview.back();
  std::memcpy(c.color, s.color, sizeof c.color);
  c.depth = static_cast<int>(s.modelview.size());
  s.log.push_back(std::move(c));
}

void multiply(const Mat4& by) {
  Mat4& top = currentStack().back();
  top = top * by;
}

Mat4 translation(double x, double y, double z) {
  Mat4 r = Mat4::identity();
  r.m[12] = x;
  r.m[13] = y;
  r.m[14] = z;
  return r;
}

Mat4 scaling(double x, double y, double z) {
  Mat4 r = Mat4::identity();
  r.m[0] = x;
  r.m[5] = y;
  r.m[10] = z;
  return r;
}

Mat4 rotation(double degrees, double x, double y, double z) {
  double length = std::sqrt(x * x + y * y + z * z);
  Mat4 r = Mat4::identity();
  if (length == 0) return r;
  x /= length;
  y /= length;
  z /= length;
  double radians = degrees * M_PI / 180.0;
  double c = std::cos(radians), s = std::sin(radians), t = 1 - c;
  r.m[0] = x * x * t + c;
  r.m[1] = y * x * t + z * s;
  r.m[2] = x * z * t - y * s;
  r.m[4] = x * y * t - z * s;
  r.m[5] = y * y * t + c;
  r.m[6] = y * z * t + x * s;
  r.m[8] = x * z * t + y * s;
  r.m[9] = y * z * t - x * s;
  r.m[10] = z * z * t + c;
  return r;
}

}  // namespace

void reset() { state() = State{}; }

const std::vector<Call>& calls() { return state().log; }

std::vector<Call> named(const std::string& name) {
  std::vector<Call> result;
  for (const Call& c : state().log)
    if (c.name == name) result.push_back(c);
  return result;
}

int count(const std::string& name) {
  int n = 0;
  for (const Call& c : state().log)
    if (c.name == name) n++;
  return n;
}

const Mat4& modelview() { return state().modelview.back(); }
const Mat4& projection() { return state().projection.back(); }
unsigned matrixMode() { return state().mode; }
int modelviewDepth() { return static_cast<int>(state().modelview.size()); }
int maxModelviewDepth() { return state().maxDepth; }
int stackUnderflows() { return state().underflows; }
int stackOverflows() { return state().overflows; }
bool isEnabled(unsigned capability) { return state().enabled.count(capability) != 0; }
const float* currentColor() { return state().color; }

void setNextListName(unsigned name) {
  state().nextListForced = true;
  state().forcedList = name;
}

}  // namespace glfake

using glfake::record;
using glfake::state;

extern "C" {

// ---- GL: matrices --------------------------------------------------------
void glMatrixMode(GLenum mode) {
  record("glMatrixMode", {double(mode)});
  state().mode = mode;
}

void glLoadIdentity() {
  record("glLoadIdentity", {});
  glfake::currentStack().back() = glfake::Mat4::identity();
}

void glPushMatrix() {
  auto& stack = glfake::currentStack();
  int limit =
      state().mode == GL_PROJECTION ? glfake::kProjectionStackLimit : glfake::kModelviewStackLimit;
  if (static_cast<int>(stack.size()) >= limit) state().overflows++;
  stack.push_back(stack.back());
  if (state().mode == GL_MODELVIEW)
    state().maxDepth = std::max(state().maxDepth, static_cast<int>(stack.size()));
  record("glPushMatrix", {});
}

void glPopMatrix() {
  auto& stack = glfake::currentStack();
  if (stack.size() <= 1)
    state().underflows++;
  else
    stack.pop_back();
  record("glPopMatrix", {});
}

void glTranslatef(GLfloat x, GLfloat y, GLfloat z) {
  record("glTranslatef", {x, y, z});
  glfake::multiply(glfake::translation(x, y, z));
}
void glScalef(GLfloat x, GLfloat y, GLfloat z) {
  record("glScalef", {x, y, z});
  glfake::multiply(glfake::scaling(x, y, z));
}
void glRotatef(GLfloat angle, GLfloat x, GLfloat y, GLfloat z) {
  record("glRotatef", {angle, x, y, z});
  glfake::multiply(glfake::rotation(angle, x, y, z));
}

void glViewport(GLint x, GLint y, GLsizei width, GLsizei height) {
  record("glViewport", {double(x), double(y), double(width), double(height)});
}

// ---- GL: frame and state -------------------------------------------------
void glClear(GLbitfield mask) { record("glClear", {double(mask)}); }
void glClearColor(GLfloat r, GLfloat g, GLfloat b, GLfloat a) {
  record("glClearColor", {r, g, b, a});
}
void glFlush() { record("glFlush", {}); }
void glFinish() { record("glFinish", {}); }
void glEnable(GLenum cap) {
  record("glEnable", {double(cap)});
  state().enabled.insert(cap);
}
void glDisable(GLenum cap) {
  record("glDisable", {double(cap)});
  state().enabled.erase(cap);
}

// Only the enable bits are kept: what the library pushes.
void glPushAttrib(GLbitfield mask) {
  record("glPushAttrib", {double(mask)});
  state().attribStack.push_back(state().enabled);
}
void glPopAttrib() {
  record("glPopAttrib", {});
  if (!state().attribStack.empty()) {
    state().enabled = state().attribStack.back();
    state().attribStack.pop_back();
  }
}

// ---- GL: colour and geometry ---------------------------------------------
void glColor3f(GLfloat r, GLfloat g, GLfloat b) {
  float* c = state().color;
  c[0] = r, c[1] = g, c[2] = b, c[3] = 1;
  record("glColor3f", {r, g, b});
}
void glColor3fv(const GLfloat* v) {
  float* c = state().color;
  c[0] = v[0], c[1] = v[1], c[2] = v[2], c[3] = 1;
  record("glColor3fv", {v[0], v[1], v[2]});
}
void glColor4f(GLfloat r, GLfloat g, GLfloat b, GLfloat a) {
  float* c = state().color;
  c[0] = r, c[1] = g, c[2] = b, c[3] = a;
  record("glColor4f", {r, g, b, a});
}
void glBegin(GLenum mode) { record("glBegin", {double(mode)}); }
void glEnd() { record("glEnd", {}); }
void glVertex3fv(const GLfloat* v) { record("glVertex3fv", {v[0], v[1], v[2]}); }
void glNormal3fv(const GLfloat* v) { record("glNormal3fv", {v[0], v[1], v[2]}); }
void glTexCoord2f(GLfloat s, GLfloat t) { record("glTexCoord2f", {s, t}); }
void glTexCoord2fv(const GLfloat* v) { record("glTexCoord2fv", {v[0], v[1]}); }
void glMaterialfv(GLenum face, GLenum pname, const GLfloat* params) {
  if (pname == GL_SHININESS)
    record("glMaterialfv", {double(face), double(pname), params[0]});
  else
    record("glMaterialfv",
           {double(face), double(pname), params[0], params[1], params[2], params[3]});
}
void glMaterialf(GLenum face, GLenum pname, GLfloat param) {
  record("glMaterialf", {double(face), double(pname), param});
}

void glVertex2i(GLint x, GLint y) { record("glVertex2i", {double(x), double(y)}); }
void glBlendFunc(GLenum source, GLenum destination) {
  record("glBlendFunc", {double(source), double(destination)});
}
void glOrtho(GLdouble l, GLdouble r, GLdouble b, GLdouble t, GLdouble n, GLdouble f) {
  record("glOrtho", {l, r, b, t, n, f});
  glfake::Mat4 o = glfake::translation(-(r + l) / (r - l), -(t + b) / (t - b), -(f + n) / (f - n));
  glfake::multiply(o * glfake::scaling(2 / (r - l), 2 / (t - b), -2 / (f - n)));
}

// ---- GL: textures (names count up from 1; an upload records its size) ----
void glGenTextures(GLsizei n, GLuint* textures) {
  static GLuint next = 1;
  for (GLsizei i = 0; i < n; i++) textures[i] = next++;
  record("glGenTextures", {double(n)});
}
void glBindTexture(GLenum target, GLuint texture) {
  record("glBindTexture", {double(target), double(texture)});
}
void glTexImage2D(GLenum, GLint, GLint, GLsizei width, GLsizei height, GLint, GLenum, GLenum,
                  const void*) {
  record("glTexImage2D", {double(width), double(height)});
}
void glTexParameteri(GLenum, GLenum pname, GLint param) {
  record("glTexParameteri", {double(pname), double(param)});
}
void glTexEnvi(GLenum, GLenum pname, GLint param) {
  record("glTexEnvi", {double(pname), double(param)});
}
void glPixelStorei(GLenum pname, GLint param) {
  record("glPixelStorei", {double(pname), double(param)});
}

// ---- GL: display lists ---------------------------------------------------
GLuint glGenLists(GLsizei range) {
  GLuint name;
  if (state().nextListForced) {
    name = state().forcedList;
    state().nextListForced = false;
  } else {
    name = state().nextList;
    state().nextList += static_cast<unsigned>(range);
  }
  record("glGenLists", {double(range)});
  return name;
}
void glNewList(GLuint list, GLenum mode) { record("glNewList", {double(list), double(mode)}); }
void glEndList() { record("glEndList", {}); }
void glCallList(GLuint list) { record("glCallList", {double(list)}); }
void glDeleteLists(GLuint list, GLsizei range) {
  record("glDeleteLists", {double(list), double(range)});
}

// ---- GLU -----------------------------------------------------------------
// An opaque quadric: only its address and draw style matter to the tests.
struct GLUquadric {
  GLenum drawStyle = GLU_FILL;
};

// Quadrics live for the whole test program: the code under test keeps them in
// globals across glfake::reset(), and tests call initScene() repeatedly.
GLUquadric* gluNewQuadric() {
  static std::deque<GLUquadric> quadrics;
  record("gluNewQuadric", {});
  return &quadrics.emplace_back();
}
void gluQuadricDrawStyle(GLUquadric* q, GLenum style) {
  q->drawStyle = style;
  record("gluQuadricDrawStyle", {double(style)});
}
// The quadric's draw style is appended as the last argument, so a test can
// tell a wire cylinder from a filled one.
void gluCylinder(GLUquadric* q, GLdouble base, GLdouble top, GLdouble height, GLint slices,
                 GLint stacks) {
  record("gluCylinder", {base, top, height, double(slices), double(stacks), double(q->drawStyle)});
}

void gluPerspective(GLdouble fovy, GLdouble aspect, GLdouble zNear, GLdouble zFar) {
  record("gluPerspective", {fovy, aspect, zNear, zFar});
  double f = 1.0 / std::tan(fovy * M_PI / 360.0);
  glfake::Mat4 p{};
  p.m[0] = f / aspect;
  p.m[5] = f;
  p.m[10] = (zFar + zNear) / (zNear - zFar);
  p.m[11] = -1;
  p.m[14] = 2 * zFar * zNear / (zNear - zFar);
  glfake::multiply(p);
}

void gluLookAt(GLdouble eyeX, GLdouble eyeY, GLdouble eyeZ, GLdouble centerX, GLdouble centerY,
               GLdouble centerZ, GLdouble upX, GLdouble upY, GLdouble upZ) {
  record("gluLookAt", {eyeX, eyeY, eyeZ, centerX, centerY, centerZ, upX, upY, upZ});
  auto normalize = [](double v[3]) {
    double l = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (l != 0)
      for (int i = 0; i < 3; i++) v[i] /= l;
  };
  auto cross = [](const double a[3], const double b[3], double out[3]) {
    out[0] = a[1] * b[2] - a[2] * b[1];
    out[1] = a[2] * b[0] - a[0] * b[2];
    out[2] = a[0] * b[1] - a[1] * b[0];
  };
  double f[3] = {centerX - eyeX, centerY - eyeY, centerZ - eyeZ};
  double up[3] = {upX, upY, upZ};
  normalize(f);
  double s[3], u[3];
  cross(f, up, s);
  normalize(s);
  cross(s, f, u);
  glfake::Mat4 m = glfake::Mat4::identity();
  m.m[0] = s[0], m.m[4] = s[1], m.m[8] = s[2];
  m.m[1] = u[0], m.m[5] = u[1], m.m[9] = u[2];
  m.m[2] = -f[0], m.m[6] = -f[1], m.m[10] = -f[2];
  glfake::multiply(m);
  glfake::multiply(glfake::translation(-eyeX, -eyeY, -eyeZ));
}

// ---- GLUT ----------------------------------------------------------------
void* glutBitmapHelvetica18 = nullptr;
void* glutStrokeRoman = nullptr;

void glutInit(int*, char**) { record("glutInit", {}); }
void glutInitDisplayMode(unsigned int mode) { record("glutInitDisplayMode", {double(mode)}); }
void glutInitWindowSize(int w, int h) { record("glutInitWindowSize", {double(w), double(h)}); }
int glutCreateWindow(const char* title) {
  record("glutCreateWindow", {}, title);
  return 1;
}
void glutDisplayFunc(void (*)(void)) { record("glutDisplayFunc", {}); }
void glutReshapeFunc(void (*)(int, int)) { record("glutReshapeFunc", {}); }
void glutKeyboardFunc(void (*)(unsigned char, int, int)) { record("glutKeyboardFunc", {}); }
void glutSpecialFunc(void (*)(int, int, int)) { record("glutSpecialFunc", {}); }
void glutMouseFunc(void (*)(int, int, int, int)) { record("glutMouseFunc", {}); }
void glutMotionFunc(void (*)(int, int)) { record("glutMotionFunc", {}); }
void glutIdleFunc(void (*)(void)) { record("glutIdleFunc", {}); }
int glutCreateMenu(void (*)(int)) {
  record("glutCreateMenu", {});
  return 1;
}
void glutAddMenuEntry(const char* label, int value) {
  record("glutAddMenuEntry", {double(value)}, label);
}
void glutAttachMenu(int button) { record("glutAttachMenu", {double(button)}); }
void glutMainLoop() { record("glutMainLoop", {}); }
void glutLeaveMainLoop() { record("glutLeaveMainLoop", {}); }
void glutSwapBuffers() { record("glutSwapBuffers", {}); }
void glutPostRedisplay() { record("glutPostRedisplay", {}); }

void glutSolidSphere(double radius, GLint slices, GLint stacks) {
  record("glutSolidSphere", {radius, double(slices), double(stacks)});
}
void glutWireSphere(double radius, GLint slices, GLint stacks) {
  record("glutWireSphere", {radius, double(slices), double(stacks)});
}
void glutSolidCube(double size) { record("glutSolidCube", {size}); }
void glutWireCube(double size) { record("glutWireCube", {size}); }

}  // extern "C"

// ---- GL 1.5: buffer objects and indexed drawing --------------------------
// Declared by glext.h only with GL_GLEXT_PROTOTYPES, which this file leaves
// off; the assertions check the signatures instead. An element buffer's
// upload records its indices after (target, bytes, usage).
#include <cstdint>
#include <type_traits>

extern "C" {

void glBindBuffer(GLenum target, GLuint buffer) {
  record("glBindBuffer", {double(target), double(buffer)});
}
void glBufferData(GLenum target, GLsizeiptr size, const void* data, GLenum usage) {
  record("glBufferData", {double(target), double(size), double(usage)});
  if (target != GL_ELEMENT_ARRAY_BUFFER || data == nullptr) return;
  const auto* indices = static_cast<const GLuint*>(data);
  std::vector<double>& args = state().log.back().args;
  for (GLsizeiptr i = 0; i < size / GLsizeiptr(sizeof(GLuint)); i++) args.push_back(indices[i]);
}
void glDrawElements(GLenum mode, GLsizei count, GLenum type, const void* indices) {
  record("glDrawElements", {double(mode), double(count), double(type),
                            double(reinterpret_cast<std::uintptr_t>(indices))});
}

}  // extern "C"

static_assert(std::is_same_v<decltype(&glBindBuffer), PFNGLBINDBUFFERPROC>);
static_assert(std::is_same_v<decltype(&glBufferData), PFNGLBUFFERDATAPROC>);
static_assert(
    std::is_same_v<decltype(&glDrawElements), void (*)(GLenum, GLsizei, GLenum, const void*)>);
