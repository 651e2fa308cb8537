// Keys, mouse and menu. The handle* functions only change scene state and say
// whether the picture needs redrawing; the GLUT callbacks wrap them.
#include <GL/freeglut.h>

#include "scene.h"

namespace {

struct PresetViewpoint {
  int value;
  float eye[3];
  float center[3];
};

const PresetViewpoint presetViewpoints[] = {
    {'1', {15, 0, 1}, {0, 15, -2}},    // PT gymnastics
    {'2', {15, -15, 5}, {0, 5, -8}},   // jokgu court
    {'3', {-20, -20, 10}, {0, 0, 0}},  // dogs
    {'4', {10, 0, 30}, {0, 0, -8}},    // from above
};

}  // namespace

bool handleKey(unsigned char key) {
  switch (key) {
    case 'a':
      zoom = zoom * zoomFactor;
      break;
    case 's':
      zoom = zoom / zoomFactor;
      break;
    case 'e':
      // Once stopped, the walkers have swung far past their bounds; the
      // exercise and the swing start again as they do at program start.
      if (ptStopped == 1) restartExercise();
      break;
    case 'r':
      ptStopped = 1;
      break;
    case 'q':
      balloonForward = 0;
      break;
    case 'w':
      balloonForward = 1;
      break;
    case 'z':
      kickA = 1;
      ballForward = 1;
      break;
    case 'x':
      kickB = 1;
      ballBack = 1;
      break;
    default:
      break;
  }
  // Every key redraws, bound or not.
  return true;
}

bool handleSpecial(int key) {
  switch (key) {
    case GLUT_KEY_LEFT:
      heading = heading - turnStep;
      break;
    case GLUT_KEY_RIGHT:
      heading = heading + turnStep;
      break;
    case GLUT_KEY_UP:
    case GLUT_KEY_DOWN:
      break;
    default:
      return false;  // function keys and the rest: not even a redraw
  }
  cameraUpdate(key);
  return true;
}

bool handleMouse(int button, int state, int x, int y) {
  // A drag of any button is measured from where it went down, so the first
  // middle-button drag does not jump from (0, 0).
  if (state == GLUT_DOWN) {
    mouseLastX = x;
    mouseLastY = y;
  }
  if (button != GLUT_LEFT_BUTTON) return false;
  if (state == GLUT_DOWN) {
    mouseState = state;
    mouseButton = button;
    return true;
  }
  if (state == GLUT_UP) {
    // Turns dragging off for every button until the next left press.
    mouseState = -1;
    return true;
  }
  return false;
}

bool handleMotion(int x, int y) {
  if (mouseButton != 0 || mouseState != 0) return false;
  // Five pixels of drag turn the scene by one degree.
  sceneRotY = sceneRotY - static_cast<float>(mouseLastX - x) / 5.0f;
  sceneRotX = sceneRotX - static_cast<float>(mouseLastY - y) / 5.0f;
  mouseLastX = x;
  mouseLastY = y;
  return true;
}

bool handleMenu(int value) {
  if (value == '5') {
    presetView = 0;
    return true;
  }
  for (const PresetViewpoint& p : presetViewpoints) {
    if (p.value != value) continue;
    if (presetView == 0) presetView = 1;
    for (int i = 0; i < 3; i++) {
      presetEye[i] = p.eye[i];
      presetCenter[i] = p.center[i];
    }
  }
  // Unknown values change nothing but still redraw.
  return true;
}

// While the pop-up menu is open it keeps the keys and buttons from the scene;
// the animation goes on.
void keyboard(unsigned char key, int, int) {
  if (popupMenu.open) return;
  // Escape is no key of the legend; freeglut then ends the program with 0.
  if (key == 27) {
    glutLeaveMainLoop();
    return;
  }
  if (handleKey(key)) glutPostRedisplay();
}

void special(int key, int, int) {
  if (popupMenu.open) return;
  if (handleSpecial(key)) glutPostRedisplay();
}

void mouse(int button, int state, int x, int y) {
  int chosen = 0;
  if (popupMouse(popupMenu, button, state, x, y, chosen)) {
    // The menu keeps the buttons, but a left release still ends a drag the
    // press began before the menu opened.
    if (button == GLUT_LEFT_BUTTON && state == GLUT_UP) handleMouse(button, state, x, y);
    if (chosen != 0) {
      menu(chosen);
    } else {
      glutPostRedisplay();
    }
    return;
  }
  if (handleMouse(button, state, x, y)) glutPostRedisplay();
}

void motion(int x, int y) {
  if (popupMenu.open) {
    popupHover(popupMenu, x, y);
    glutPostRedisplay();
    return;
  }
  if (handleMotion(x, y)) glutPostRedisplay();
}

void menu(int value) {
  if (handleMenu(value)) glutPostRedisplay();
}
