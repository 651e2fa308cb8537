// objview: shows one OBJ model, lit and centred, and lets the mouse turn it.
// The state logic is in view.cpp; this file owns the model, GL and GLUT.
#define GL_GLEXT_PROTOTYPES
#include <GL/freeglut.h>
#include <GL/glext.h>
#include <GL/glu.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cmath>
#include <csignal>
#include <cstring>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "glm.h"
#include "mesh.h"
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
Hidden hidden = Hidden::None;  // faces culled: none of them can show
GLuint list = 0;               // the library's drawing, for the modes the mesh does not cover
Mesh mesh;                     // indexed geometry, used when it has parts
GLuint buffers[2];             // the mesh's corners and indices
std::vector<unsigned> seen;    // this frame's triangles that can face the eye
std::vector<Mesh::Part> seenParts;
GLuint texture = 0;
// The fitted model's positions and corners before any welding: switching
// welding starts from them, so it needs neither the file nor a second read.
std::vector<float> fittedVertices;
std::vector<unsigned> fittedCorners;
double readSeconds = 0, prepareSeconds = 0, compileSeconds = 0;  // printed by --bench

double seconds() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

double cpuSeconds(clockid_t clock) {
  timespec now{};
  clock_gettime(clock, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Texture coordinates made from the positions or the normals, as the mode asks.
void generateTexcoords() {
  if (modes.texture == Texture::Planar) glmPlanarTexCoords(model);
  if (modes.texture == Texture::Spherical) glmSphericalTexCoords(model);
}

void vertexNormals() {
  glmVertexNormals(model, modes.angle);
  if (modes.texture == Texture::Spherical) generateTexcoords();
}

// From the fitted positions and corners: welded when asked, facet and
// crease-angle vertex normals, generated texture coordinates.
void prepare() {
  if (modes.weld) glmMergeVertices(model, options.weld);
  hidden = hiddenFaces(*model);
  glmComputeFaceNormals(model);
  vertexNormals();
  if (modes.texture != Texture::Spherical) generateTexcoords();
}

// Welding switched: back to the fitted model as read, then prepared again.
void reweld() {
  auto* vertices = static_cast<float*>(std::malloc(fittedVertices.size() * sizeof(float)));
  if (vertices == nullptr) {
    std::fprintf(stderr, "objview: out of memory\n");
    std::exit(1);
  }
  std::memcpy(vertices, fittedVertices.data(), fittedVertices.size() * sizeof(float));
  std::free(model->vertices);
  model->vertices = vertices;
  model->vertexcount = static_cast<unsigned>(fittedVertices.size() / 3 - 1);
  for (unsigned i = 0; i < model->trianglecount; i++)
    std::memcpy(model->triangles[i].vertexidx, &fittedCorners[3 * i], 3 * sizeof(unsigned));
  prepare();
}

// Reads the file, fits it to the cube -1..1 and prepares it. Returns the
// seconds spent reading.
double load() {
  const double start = seconds();
  model = glmReadOBJ(options.file.c_str());
  const double read = seconds() - start;
  fileHasTexcoords = model->texcoords != nullptr;
  // The fit measures each side as |max| + |min|, the true side only once the
  // model straddles the origin: the first pass centres it, the second scales it.
  glmFitToUnitCube(model);
  glmFitToUnitCube(model);
  fittedVertices.assign(model->vertices, model->vertices + 3 * (model->vertexcount + 1));
  fittedCorners.resize(3 * static_cast<std::size_t>(model->trianglecount));
  for (unsigned i = 0; i < model->trianglecount; i++)
    std::memcpy(&fittedCorners[3 * i], model->triangles[i].vertexidx, 3 * sizeof(unsigned));
  prepare();
  // Far enough for the sphere round the model to fit the 30-degree view.
  float radius = 0;
  for (unsigned i = 1; i <= model->vertexcount; i++)
    radius = std::max(radius,
                      std::sqrt(glmDotProduct(&model->vertices[3 * i], &model->vertices[3 * i])));
  view.home = std::max(1.1f * radius / std::sin(0.2618f), 1.0f);
  view.distance = view.home;
  has.texcoords = fileHasTexcoords;
  has.materials = model->materials != nullptr;
  return read;
}

// The geometry for the current modes: indexed, or else the library's list.
void compile() {
  if (list != 0) glDeleteLists(list, 1);
  list = 0;
  const unsigned mode = drawMode(modes, has);
  if (options.library || !buildMesh(*model, mode, mesh)) {
    list = glmCompileDisplayList(model, mode);
  } else {
    if (buffers[0] == 0) glGenBuffers(2, buffers);
    glBindBuffer(GL_ARRAY_BUFFER, buffers[0]);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(mesh.corners.size() * sizeof(float)),
                 mesh.corners.data(), GL_STATIC_DRAW);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffers[1]);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER,
                 static_cast<GLsizeiptr>(mesh.indices.size() * sizeof(unsigned)),
                 mesh.indices.data(), GL_STATIC_DRAW);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    if (hidden != Hidden::None) mesh.buildPlanes();
    std::vector<float>().swap(mesh.corners);  // in the buffer now
  }
  glutSetWindowTitle(
      title(options.file, model->vertexcount, model->trianglecount, modes, has).c_str());
}

void loadTexture() {
  int width = 64, height = 64;
  std::vector<unsigned char> pixels;
  if (!options.texture.empty()) {
    unsigned char* image = glmLoadPPM(options.texture.c_str(), &width, &height);
    if (image == nullptr) {
      std::fprintf(stderr, "objview: warning: no texture from %s; drawing untextured\n",
                   options.texture.c_str());
      has.image = false;
      return;
    }
    // Larger images than the GL takes are refused here: GLU's scaling of
    // them can overrun its own buffers.
    GLint largest = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &largest);
    if (width > largest || height > largest) {
      std::fprintf(stderr,
                   "objview: warning: %s is %d x %d pixels, more than the %d this GL takes; "
                   "drawing untextured\n",
                   options.texture.c_str(), width, height, static_cast<int>(largest));
      std::free(image);
      has.image = false;
      return;
    }
    // The image's top row first; GL's first row is the bottom (t = 0).
    for (int row = height - 1; row >= 0; row--)
      pixels.insert(pixels.end(), image + row * width * 3, image + (row + 1) * width * 3);
    std::free(image);
  } else {
    for (int i = 0; i < width * height; i++) {
      const unsigned char c = ((i % width / 8 + i / width / 8) % 2) ? 230 : 60;
      pixels.insert(pixels.end(), {c, c, c});
    }
  }
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_2D, texture);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  gluBuild2DMipmaps(GL_TEXTURE_2D, GL_RGB, width, height, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
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
  glClearColor(0.15f, 0.15f, 0.18f, 1);
  loadTexture();
}

void drawHelp(int width, int height) {
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  gluOrtho2D(0, width, 0, height);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glDisable(GL_LIGHTING);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_TEXTURE_2D);
  int lines = 0;
  std::size_t longest = 0;
  for (; kHelpLines[lines] != nullptr; lines++)
    longest = std::max(longest, std::strlen(kHelpLines[lines]));
  glColor3f(0, 0, 0);
  glRectf(10, static_cast<float>(height - 20 - 18 * lines), 30 + 9.0f * longest,
          static_cast<float>(height - 10));
  glColor3f(1, 1, 0.6f);
  for (int i = 0; i < lines; i++) {
    glRasterPos2i(20, height - 30 - 18 * i);
    glutBitmapString(GLUT_BITMAP_9_BY_15, reinterpret_cast<const unsigned char*>(kHelpLines[i]));
  }
  glEnable(GL_DEPTH_TEST);
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
}

// The mesh with the colours and materials the library would set per group.
void drawMesh(unsigned mode) {
  const GLsizei stride = Mesh::kStride * sizeof(float);
  const auto at = [](std::size_t bytes) { return reinterpret_cast<const void*>(bytes); };
  glBindBuffer(GL_ARRAY_BUFFER, buffers[0]);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffers[1]);
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_NORMAL_ARRAY);
  glVertexPointer(3, GL_FLOAT, stride, at(0));
  glNormalPointer(GL_FLOAT, stride, at(3 * sizeof(float)));
  if (mode & DRAW_TEXTURE) {
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glTexCoordPointer(2, GL_FLOAT, stride, at(6 * sizeof(float)));
  }
  if (mode & DRAW_COLOR)
    glEnable(GL_COLOR_MATERIAL);
  else if (mode & DRAW_MATERIAL)
    glDisable(GL_COLOR_MATERIAL);
  glShadeModel(mesh.flat ? GL_FLAT : GL_SMOOTH);
  const std::vector<Mesh::Part>* parts = &mesh.parts;
  if (glIsEnabled(GL_CULL_FACE)) {
    // The eye in model coordinates: the model view matrix is a turn and a move.
    GLfloat m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    float eye[3];
    for (int k = 0; k < 3; k++)
      eye[k] = -(m[4 * k] * m[12] + m[4 * k + 1] * m[13] + m[4 * k + 2] * m[14]);
    mesh.facing(eye, hidden == Hidden::Back, seen, seenParts);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(seen.size() * sizeof(unsigned)),
                 seen.data(), GL_STREAM_DRAW);
    parts = &seenParts;
  }
  for (const Mesh::Part& part : *parts) {
    const ObjMaterial* material =
        model->materials != nullptr ? &model->materials[part.material] : nullptr;
    if (mode & DRAW_MATERIAL) {
      glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, material->ambient);
      glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, material->diffuse);
      glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, material->specular);
      glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, material->shininess);
    }
    if (mode & DRAW_COLOR) glColor3fv(material->diffuse);
    glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(part.count), GL_UNSIGNED_INT,
                   at(part.first * sizeof(unsigned)));
  }
  glShadeModel(GL_SMOOTH);
  glDisableClientState(GL_TEXTURE_COORD_ARRAY);
  glDisableClientState(GL_NORMAL_ARRAY);
  glDisableClientState(GL_VERTEX_ARRAY);
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
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
  if (list != 0)
    glCallList(list);
  else
    drawMesh(mode);
  if (modes.help) drawHelp(width, height);
}

// Writes the back buffer as a binary PPM, put in place by the library's
// rules: a failure leaves no partial picture and touches no other file.
void writeScreenshot() {
  const int width = glutGet(GLUT_WINDOW_WIDTH), height = glutGet(GLUT_WINDOW_HEIGHT);
  const std::size_t rowBytes = static_cast<std::size_t>(width) * 3;
  std::vector<unsigned char> pixels(rowBytes * height), image(rowBytes * height);
  glReadBuffer(GL_BACK);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
  // GL's first row is the bottom one; the file's is the top.
  for (int row = 0; row < height; row++)
    std::memcpy(&image[rowBytes * row], &pixels[rowBytes * (height - 1 - row)], rowBytes);
  glmWritePPM(options.screenshot.c_str(), image.data(), width, height);
  std::exit(0);
}

// Turns the model once round in `frames` frames and prints how long it took.
// On a shared machine the frame rate follows the load, so the processor time
// per frame is printed too: all threads, and the main thread (GL's own work).
void bench() {
  const double start = seconds(), cpu = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID),
               mainCpu = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
  for (int i = 0; i < options.bench; i++) {
    view.yaw = 360.0f * static_cast<float>(i) / static_cast<float>(options.bench);
    drawFrame();
    glutSwapBuffers();
  }
  glFinish();
  const double spent = seconds() - start;
  const double perFrame = 1e3 / options.bench;
  std::printf(
      "%u triangles: read %.2f s, prepare %.2f s, compile %.2f s, %d frames %.2f s = %.1f fps"
      " (cpu %.0f ms a frame, %.0f ms in the main thread)\n",
      model->trianglecount, readSeconds, prepareSeconds, compileSeconds, options.bench, spent,
      options.bench / spent, (cpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - cpu) * perFrame,
      (cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - mainCpu) * perFrame);
  if (!options.screenshot.empty()) {
    std::fflush(stdout);
    view.yaw = 0;  // the picture shows the model as it starts
    drawFrame();
    writeScreenshot();
  }
  std::exit(0);
}

void display() {
  if (options.bench > 0) bench();
  drawFrame();
  if (!options.screenshot.empty()) writeScreenshot();
  glutSwapBuffers();
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
      break;
  }
  glutPostRedisplay();
}

void mouse(int button, int state, int x, int y) {
  const bool shift = glutGetModifiers() & GLUT_ACTIVE_SHIFT;
  if (onButton(drag, view, button, state == GLUT_DOWN, shift, x, y)) glutPostRedisplay();
}

void motion(int x, int y) {
  if (onMotion(drag, view, x, y, glutGet(GLUT_WINDOW_HEIGHT))) glutPostRedisplay();
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
  std::string error;
  if (!parseOptions(argc, argv, options, error)) {
    std::fprintf(stderr, "objview: %s (try 'objview --help')\n", error.c_str());
    return 2;
  }

  // The model is read before any window exists: bad input ends here, with
  // the library's message and status 1.
  const double start = seconds();
  readSeconds = load();
  if (modes.texture == Texture::File && !fileHasTexcoords) {
    modes.texture = Texture::Planar;
    generateTexcoords();
  }
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
  const double compileStart = seconds();
  compile();
  glFinish();
  compileSeconds = seconds() - compileStart;

  glutDisplayFunc(display);
  glutKeyboardFunc(keyboard);
  glutMouseFunc(mouse);
  glutMotionFunc(motion);
  glutMainLoop();
  return 0;
}
