// Entry point: answers --help and --version, reads the models, starts the
// scene with the menu font fontconfig finds, gives the window its title in a
// form window managers show as Korean, then hands control to GLUT.
#include <GL/freeglut.h>
#include <GL/glx.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <cstdio>
#include <cstring>

#include "scene.h"

namespace {

// freeglut hands the title to X as a Latin-1 WM_NAME, so the Korean text
// would show as mojibake. The EWMH names carry UTF-8 and are what window
// managers read first; the ICCCM names are replaced by the same UTF-8 text
// (the UTF8_STRING type that Xutf8SetWMProperties uses) for older ones.
void setUtf8Title(const char* title) {
  Display* display = glXGetCurrentDisplay();
  const GLXDrawable window = glXGetCurrentDrawable();
  if (display == nullptr || window == 0) return;
  const Atom utf8String = XInternAtom(display, "UTF8_STRING", False);
  const auto* bytes = reinterpret_cast<const unsigned char*>(title);
  const int length = static_cast<int>(std::strlen(title));
  const char* const names[] = {"_NET_WM_NAME", "_NET_WM_ICON_NAME", "WM_NAME", "WM_ICON_NAME"};
  for (const char* name : names) {
    XChangeProperty(display, window, XInternAtom(display, name, False), utf8String, 8,
                    PropModeReplace, bytes, length);
  }
  XFlush(display);
}

// What each menu entry shows, for readers without Korean.
const char* const menuGlosses[5] = {"the PT gymnasts", "the jokgu court", "the dogs",
                                    "looking down from above", "the free view"};

void printHelp() {
  std::printf(
      "Usage: recreation-ground [--help | --version]\n"
      "An animated OpenGL scene of a recreation ground: paths, benches, a tiered\n"
      "tower, trees, dogs, a jokgu court with two kickers, walkers, a block of PT\n"
      "gymnasts and an event balloon, in a 1000x1000 window.\n"
      "\n"
      "Options:\n"
      "  --help     print this help and exit\n"
      "  --version  print the version and exit\n"
      "\n"
      "Keys (the window title is their legend):\n"
      "  q, w        the event balloon circles one way or the other\n"
      "  z, x        the first or the second player kicks the ball\n"
      "  e, r        the PT gymnastics start or stop\n"
      "  s, a        view from farther or nearer\n"
      "  left, right turn the viewer\n"
      "  up, down    walk forward or back\n"
      "  Escape      quit\n"
      "\n"
      "Mouse:\n"
      "  left drag     turns the scene\n"
      "  right button  the menu of views:\n");
  for (int i = 0; i < 5; i++)
    std::printf("                %s (%s)\n", menuEntries[i].text, menuGlosses[i]);
  std::printf(
      "\n"
      "Models:\n"
      "  The nine OBJ models (and the MTL libraries they name) are read at start-up\n"
      "  from the first data/ directory found in:\n"
      "    the working directory\n"
      "    the program's own directory\n"
      "    <program directory>/%s\n"
      "    %s\n"
      "  When there is none, or a model cannot be read, the program says so and\n"
      "  exits with status 1 before its window opens.\n",
      SCENE_BIN_TO_DATA_ROOT, SCENE_INSTALLED_DATA_ROOT);
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; i++) {
    if (std::strcmp(argv[i], "--help") == 0) {
      printHelp();
      return 0;
    }
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("recreation-ground %s\n", PROGRAM_VERSION);
      return 0;
    }
  }
  loadModels();
  startScene(&argc, argv, koreanFontRasteriser());
  setUtf8Title(windowTitle);
  glutMainLoop();
  return 0;
}
