// The event balloon: a row of solid spheres along +Y, tapering, with a
// larger sphere at the narrow end. Drawn in the caller's colour.
#include <GL/gl.h>
#include <GL/glut.h>

#include "scene.h"

void drawBalloon() {
  glPushMatrix();
  {
    glutSolidSphere(1.0, 10, 10);
    // Stepped by repeated subtraction in double precision: after the tenth
    // sphere (radius 0.55) the radius is just below 0.5 and the row ends.
    for (double radius = 1.0; radius > 0.5; radius -= 0.05) {
      glTranslatef(0.0f, 0.19f, 0.0f);
      glutSolidSphere(radius, 10, 10);
    }
    glutSolidSphere(0.8, 10, 10);  // the knot end, on the last sphere's centre
  }
  glPopMatrix();
}
