// The display callback: one frame of the recreation ground.
#include <GL/gl.h>
#include <GL/glut.h>

#include "scene.h"

void display() {
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  applyView();

  // Ground.
  glPushMatrix();
    glColor3fv(scenePalette[PALE_GREEN]);
    glScalef(1.3f, 1.3f, 0.01f);
    glTranslatef(0.0f, 0.0f, -280.0f);
    glutWireCube(22.0);
  glPopMatrix();

  glFlush();
}
