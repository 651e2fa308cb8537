// The window's title and pop-up menu texts, and the scene's start-up up to
// the main loop. The texts double as the key legend the user sees.
#include <GL/freeglut.h>

#include "scene.h"

const char* const windowTitle =
    "Tavo---행사풍선방향(q,w)---공차기(z,x)---PT체조시작/멈춤(e,r)---멀리/가까이보기(s,a)";

// The values are the character codes of the digits 1 to 5.
const MenuEntry menuEntries[5] = {
    {"PT체조하는 사람들", '1'},       {"족구장", '2'},   {"개", '3'},
    {"위에서 밑으로 보는 시점", '4'}, {"일반시점", '5'},
};

void initScene() {
  // One quadric serves every wire-frame cylinder and disc of the scene; it
  // lives until the process ends.
  sharedQuadric = gluNewQuadric();
  gluQuadricDrawStyle(sharedQuadric, GLU_LINE);
}

void startScene(int* argc, char** argv, TextRasteriser rasterise) {
  initScene();
  // freeglut must be initialised before it opens a window; the scene itself
  // takes no options.
  glutInit(argc, argv);
  glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
  glutInitWindowSize(1000, 1000);
  glutCreateWindow(windowTitle);

  glutDisplayFunc(display);
  glutReshapeFunc(reshape);
  glutKeyboardFunc(keyboard);
  glutSpecialFunc(special);
  glutMouseFunc(mouse);
  glutMotionFunc(motion);
  glutIdleFunc(idle);

  // The scene's own menu needs the GL context the window brought. Without a
  // font it falls back to GLUT's, which shows the Korean entries garbled.
  if (initPopupMenu(popupMenu, rasterise)) return;
  glutCreateMenu(menu);
  for (const MenuEntry& entry : menuEntries) glutAddMenuEntry(entry.text, entry.value);
  glutAttachMenu(GLUT_RIGHT_BUTTON);
}
