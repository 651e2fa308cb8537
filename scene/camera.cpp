// Projection and the two ways of placing the viewer: the free view walked
// with the arrow keys, and the fixed viewpoints chosen from the menu.
#include <GL/freeglut.h>

#include <cmath>

#include "scene.h"

void reshape(int width, int height) {
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glViewport(0, 0, width, height);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  // A window can be squeezed to no height at all; dividing by it would hand
  // GLU an infinite aspect ratio, so such a window counts as one pixel high.
  const int safeHeight = height == 0 ? 1 : height;
  gluPerspective(60.0, static_cast<double>(width) / static_cast<double>(safeHeight), 0.1, 100.0);
  // Every resize puts the viewer back at its start distance; the sideways
  // walk and the heading are kept.
  eyeZ = 5.0f;
  cameraUpdate(0);
  glEnable(GL_DEPTH_TEST);
  // The pop-up menu is laid out in window pixels and kept inside the window.
  popupMenu.windowWidth = width;
  popupMenu.windowHeight = height;
  // The matrix mode stays at GL_PROJECTION: display selects the model-view
  // matrix itself.
}

void cameraUpdate(int key) {
  const float c = std::cos(heading);
  const float s = std::sin(heading);
  if (key == GLUT_KEY_UP) {
    eyeZ = eyeZ - c * moveStep;
    eyeX = eyeX + s * moveStep;
  } else if (key == GLUT_KEY_DOWN) {
    eyeZ = eyeZ + c * moveStep;
    eyeX = eyeX - s * moveStep;
  }
  // The look-at point stays one unit ahead at eye height, so the free view
  // always looks level.
  centerZ = eyeZ - c;
  centerX = eyeX + s;
}

void applyView() {
  if (presetView == 0) {
    gluLookAt(eyeX, eyeY, eyeZ, centerX, centerY, centerZ, 0.0, 1.0, 0.0);
    // Turned and scaled after the look-at, so the drag and the zoom act about
    // the world origin, not about the eye.
    glRotatef(sceneRotX, 1.0f, 0.0f, 0.0f);
    glRotatef(sceneRotY, 0.0f, 1.0f, 0.0f);
    glScalef(zoom, zoom, zoom);
    // The scene is modelled with +Z up; this turn makes it the screen's up.
    glRotatef(-90.0f, 1.0f, 0.0f, 0.0f);
  } else {
    gluLookAt(presetEye[0], presetEye[1], presetEye[2], presetCenter[0], presetCenter[1],
              presetCenter[2], presetUp[0], presetUp[1], presetUp[2]);
  }
}
