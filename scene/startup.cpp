// The window's title and pop-up menu texts, and the scene's GL-independent
// start-up. The texts double as the key legend the user sees.
#include <GL/glu.h>

#include "scene.h"

const char* const windowTitle =
    "Tavo---행사풍선방향(q,w)---공차기(z,x)---PT체조시작/멈춤(e,r)---멀리/가까이보기(s,a)";

// The values are the character codes of the digits 1 to 5.
const MenuEntry menuEntries[5] = {
    {"PT체조하는 사람들", '1'},
    {"족구장", '2'},
    {"개", '3'},
    {"위에서 밑으로 보는 시점", '4'},
    {"일반시점", '5'},
};

void initScene() {
  // One quadric serves every wire-frame cylinder and disc of the scene; it
  // lives until the process ends.
  sharedQuadric = gluNewQuadric();
  gluQuadricDrawStyle(sharedQuadric, GLU_LINE);
}
