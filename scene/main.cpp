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

// Laid out as a manual page, which the build makes from it.
void printHelp() {
  std::printf(
      "NAME\n"
      "    recreation-ground - an animated OpenGL scene of a recreation ground\n"
      "\n"
      "SYNOPSIS\n"
      "    recreation-ground [--help | --version]\n"
      "\n"
      "DESCRIPTION\n"
      "    Paths, benches, a tiered tower, trees, dogs, a jokgu court with two\n"
      "    kickers and a ball, walkers, a block of PT gymnasts and an event balloon,\n"
      "    animated in one 1000x1000 window. --help prints this text, --version the\n"
      "    version; other arguments are left to GLUT (such as -display).\n"
      "\n"
      "KEYS\n"
      "    The window title is their legend.\n"
      "    q, w          the event balloon circles one way or the other\n"
      "    z, x          the first or the second player kicks the ball\n"
      "    e, r          the PT gymnastics start or stop\n"
      "    s, a          view from farther or nearer\n"
      "    left, right   turn the viewer\n"
      "    up, down      walk forward or back\n"
      "    Escape        quit\n"
      "\n"
      "MOUSE\n"
      "    left drag     turns the scene\n"
      "    right button  opens the menu of views:\n");
  for (int i = 0; i < 5; i++)
    std::printf("                    %s (%s)\n", menuEntries[i].text, menuGlosses[i]);
  std::printf(
      "\n"
      "MODELS\n"
      "    The nine OBJ models (and the MTL libraries they name) are read at\n"
      "    start-up from the first data/ directory found in:\n"
      "        the working directory\n"
      "        the program's own directory\n"
      "        <program directory>/%s\n"
      "        %s\n"
      "\n"
      "EXIT STATUS\n"
      "    0  quit with Escape or --help, --version\n"
      "    1  no data/ directory, or a model that cannot be read: the message\n"
      "       says which, and no window opens\n",
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
