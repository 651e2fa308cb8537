// The simplest props: the dogs' enclosure, one straight path strip and the
// two tree models drawn in outline.
#include <GL/gl.h>
#include <GL/glut.h>

#include "scene.h"

void drawEnclosure() {
  glPushMatrix();
  {
    glColor3fv(scenePalette[PURPLE]);
    glTranslatef(0.0f, 0.0f, -2.9f);
    glScalef(8.0f, 29.0f, 0.8f);
    glutWireCube(1.0);
  }
  glPopMatrix();
}

// A 1 by 32 by 0.1 slab centred at (17.5, 5, -2); the last translate is in
// scaled units.
void drawPathStrip() {
  glPushMatrix();
  {
    glTranslatef(18.0f, 5.0f, -2.0f);
    glScalef(1.0f, 32.0f, 0.1f);
    glTranslatef(-0.5f, 0.0f, 0.0f);
    glColor3fv(scenePalette[DARK_GREY]);
    glutSolidCube(1.0);
  }
  glPopMatrix();
}

namespace {

// The turns carry the model's +Y to the caller's +Z; they and the scale are
// left on the matrix for the caller's pop.
void drawTree(ObjModel* model) {
  glRotatef(90.0f, 1.0f, 0.0f, 0.0f);
  glRotatef(90.0f, 0.0f, 1.0f, 0.0f);
  glScalef(0.8f, 0.8f, 0.8f);
  glColor3fv(scenePalette[GREEN]);
  glmDraw(model, DRAW_OUTLINE);
}

}  // namespace

void drawTree1() { drawTree(models[1]); }
void drawTree2() { drawTree(models[2]); }
