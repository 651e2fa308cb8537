// Entry point: brings up the window, its callbacks and the pop-up menu, then
// hands control to GLUT for good.
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
  initScene();
  // freeglut must be initialised before it opens a window; the scene itself
  // takes no options.
  glutInit(&argc, argv);
  glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
  glutInitWindowSize(1000, 1000);
  glutCreateWindow(windowTitle);
  setUtf8Title(windowTitle);

  glutDisplayFunc(display);
  glutReshapeFunc(reshape);
  glutKeyboardFunc(keyboard);
  glutSpecialFunc(special);
  glutMouseFunc(mouse);
  glutMotionFunc(motion);
  glutIdleFunc(idle);

  glutCreateMenu(menu);
  for (const MenuEntry& entry : menuEntries) glutAddMenuEntry(entry.text, entry.value);
  glutAttachMenu(GLUT_RIGHT_BUTTON);

  glutMainLoop();
  return 0;
}
