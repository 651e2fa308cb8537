// Benches, empty or with people seated on them. The seated person is a small
// fixed figure of boxes and a head, facing +X, drawn in white.
#include <GL/gl.h>
#include <GL/glut.h>

#include <initializer_list>

#include "scene.h"

namespace {

// The seat, 0.5 by 2 by 0.1 on the origin.
void drawSeat() {
  glPushMatrix();
  {
    glColor3fv(scenePalette[BROWN]);
    glScalef(0.5f, 2.0f, 0.1f);
    glutSolidCube(1.0);
  }
  glPopMatrix();
}

// The two supports under the seat's halves. They change the matrix and leave
// it for the caller's pop.
void drawSupports() {
  glScalef(0.5f, 0.5f, 0.5f);
  glTranslatef(0.0f, 1.0f, -0.39f);
  glutSolidCube(1.0);
  glTranslatef(0.0f, -2.0f, 0.0f);
  glutSolidCube(1.0);
}

void drawSitter() {
  glPushMatrix();  // arm on the +Y side, tilted 10 degrees
  {
    glRotatef(10.0f, 1.0f, 0.0f, 0.0f);
    glTranslatef(0.0f, 0.2f, 0.24f);
    glScalef(0.1f, 0.1f, 0.55f);
    glutSolidCube(1.0);
  }
  glPopMatrix();
  glPushMatrix();  // arm on the -Y side
  {
    glRotatef(-10.0f, 1.0f, 0.0f, 0.0f);
    glTranslatef(0.0f, -0.2f, 0.24f);
    glScalef(0.1f, 0.1f, 0.55f);
    glutSolidCube(1.0);
  }
  glPopMatrix();
  glPushMatrix();  // head, then the upright trunk below it
  {
    glTranslatef(0.0f, 0.0f, 0.6f);
    glutSolidSphere(0.1, 10, 8);
    glTranslatef(0.0f, 0.0f, -0.35f);
    glScalef(0.2f, 0.2f, 0.55f);
    glutSolidCube(1.0);
  }
  glPopMatrix();
  glPushMatrix();  // thighs, level, towards +X
  {
    glTranslatef(0.2f, 0.0f, 0.1f);
    glScalef(0.55f, 0.2f, 0.2f);
    glutSolidCube(1.0);
  }
  glPopMatrix();
  glPushMatrix();  // lower legs, hanging in front of the seat
  {
    glTranslatef(0.4f, 0.0f, -0.2f);
    glScalef(0.2f, 0.2f, 0.55f);
    glutSolidCube(1.0);
  }
  glPopMatrix();
}

}  // namespace

void drawBench() {
  drawSeat();
  glPushMatrix();
  { drawSupports(); }
  glPopMatrix();
}

void drawBenchOneSitter() {
  glPushMatrix();
  {
    glColor3fv(scenePalette[WHITE]);
    drawSitter();
    drawSeat();
    drawSupports();
  }
  glPopMatrix();
}

void drawBenchTwoSitters() {
  glPushMatrix();
  {
    glColor3fv(scenePalette[WHITE]);
    for (float y : {0.5f, -0.5f}) {
      glPushMatrix();
      {
        glTranslatef(0.0f, y, 0.0f);
        drawSitter();
      }
      glPopMatrix();
    }
    drawSeat();
    drawSupports();
  }
  glPopMatrix();
}
