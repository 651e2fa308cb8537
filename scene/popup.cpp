// The pop-up menu's state machine: where it opens, which entry the pointer
// is on, what a release chooses. No GL here; drawing reads the state.
#include <GL/freeglut.h>

#include <algorithm>

#include "scene.h"

PopupMenu popupMenu;

namespace {

// The corner goes at the pointer; where the menu would leave the window it
// opens on the pointer's other side instead, as desktop menus do, so the
// pointer never starts on an entry. A window smaller than the menu shows
// its top left.
int place(int pointer, int size, int window) {
  int start = pointer + size > window ? pointer - size : pointer;
  start = std::min(start, window - size);
  return std::max(start, 0);
}

}  // namespace

void popupOpen(PopupMenu& m, int x, int y) {
  m.x = place(x, m.width, m.windowWidth);
  m.y = place(y, m.height, m.windowHeight);
  m.open = true;
  m.highlighted = popupEntryAt(m, x, y);
}

int popupEntryAt(const PopupMenu& m, int x, int y) {
  if (x < m.x || x >= m.x + m.width) return -1;
  const int row = y - (m.y + menuPadding);
  if (row < 0) return -1;
  const int entry = row / menuEntryHeight;
  return entry < static_cast<int>(std::size(menuEntries)) ? entry : -1;
}

void popupHover(PopupMenu& m, int x, int y) { m.highlighted = popupEntryAt(m, x, y); }

bool popupMouse(PopupMenu& m, int button, int state, int x, int y, int& chosen) {
  chosen = 0;
  if (!m.enabled) return false;
  if (!m.open) {
    if (button != GLUT_RIGHT_BUTTON) return false;
    if (state == GLUT_DOWN) popupOpen(m, x, y);
    return true;
  }
  // While open the menu keeps every button to itself; only the right
  // button's release ends it.
  if (button == GLUT_RIGHT_BUTTON && state == GLUT_UP) {
    const int entry = popupEntryAt(m, x, y);
    if (entry >= 0) chosen = menuEntries[entry].value;
    m.open = false;
    m.highlighted = -1;
  }
  return true;
}
