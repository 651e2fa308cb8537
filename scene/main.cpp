// Entry point: starts the scene with the menu font fontconfig finds, gives the
// window its title in a form window managers show as Korean, then hands
// control to GLUT for good.
#include <GL/freeglut.h>
#include <GL/glx.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>

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

}  // namespace

int main(int argc, char** argv) {
  startScene(&argc, argv, koreanFontRasteriser());
  setUtf8Title(windowTitle);
  glutMainLoop();
  return 0;
}
