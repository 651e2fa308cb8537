// The dog: a four-legged figure made only of wire boxes, in two coat colours.
// Length runs along Y (head towards +Y), height along Z. Each part scales a
// unit cube first and then moves it, so its offsets are in the scaled units.
#include <GL/gl.h>
#include <GL/glut.h>

#include "scene.h"

namespace {

// One leg or paw: a scaled box moved to its place.
struct DogBox {
  float scale[3];
  float offset[3];
};

// Front legs then hind legs; for each side (+X, then -X) the leg, then its paw.
const DogBox frontLegs[4] = {
    {{0.3f, 0.3f, 1.2f}, {1.15f, 0.7f, -0.3f}},
    {{0.4f, 0.4f, 0.15f}, {0.9f, 0.65f, -6.5f}},
    {{0.3f, 0.3f, 1.2f}, {-1.15f, 0.7f, -0.3f}},
    {{0.4f, 0.4f, 0.15f}, {-0.9f, 0.65f, -6.5f}},
};
const DogBox hindLegs[4] = {
    {{0.3f, 0.3f, 1.2f}, {1.15f, -3.0f, -0.3f}},
    {{0.4f, 0.4f, 0.15f}, {0.9f, -2.15f, -6.5f}},
    {{0.3f, 0.3f, 1.2f}, {-1.15f, -3.0f, -0.3f}},
    {{0.4f, 0.4f, 0.15f}, {-0.9f, -2.15f, -6.5f}},
};

void drawBoxes(const DogBox (&boxes)[4]) {
  glPushMatrix();
  {
    for (const DogBox& box : boxes) {
      glPushMatrix();
      {
        glScalef(box.scale[0], box.scale[1], box.scale[2]);
        glTranslatef(box.offset[0], box.offset[1], box.offset[2]);
        glutWireCube(1.0);
      }
      glPopMatrix();
    }
  }
  glPopMatrix();
}

void drawDog(PaletteEntry coat) {
  // Half size, down to the caller's ground, and the coat colour: all three
  // are left behind for the caller, who encloses the dog in a push/pop.
  glScalef(0.5f, 0.5f, 0.5f);
  glTranslatef(0.0f, 0.0f, -4.2f);
  glColor3fv(scenePalette[coat]);

  glPushMatrix();  // body
  {
    glScalef(1.0f, 1.8f, 0.8f);
    glTranslatef(0.0f, -0.2f, 0.0f);
    glutWireCube(1.0);
  }
  glPopMatrix();

  glPushMatrix();  // neck, tilted 45 degrees
  {
    glScalef(0.6f, 0.7f, 0.6f);
    glRotatef(45.0f, 1.0f, 0.0f, 0.0f);
    glTranslatef(0.0f, 1.0f, 0.0f);
    glutWireCube(1.0);
  }
  glPopMatrix();

  glPushMatrix();  // head
  {
    glScalef(0.8f, 1.3f, 0.8f);
    glRotatef(-12.0f, 1.0f, 0.0f, 0.0f);
    glTranslatef(0.0f, 0.9f, 1.3f);
    glutWireCube(1.0);
  }
  glPopMatrix();

  glPushMatrix();  // right ear
  {
    glRotatef(-7.0f, 0.0f, 1.0f, 0.0f);
    glScalef(0.1f, 0.5f, 1.1f);
    glTranslatef(5.0f, 2.3f, 0.6f);
    glutWireCube(1.0);
  }
  glPopMatrix();

  glPushMatrix();  // left ear
  {
    glRotatef(7.0f, 0.0f, 1.0f, 0.0f);
    glScalef(0.1f, 0.5f, 1.1f);
    glTranslatef(-5.0f, 2.3f, 0.6f);
    glutWireCube(1.0);
  }
  glPopMatrix();

  drawBoxes(frontLegs);
  drawBoxes(hindLegs);
}

}  // namespace

void drawDogGrey() { drawDog(LIGHT_GREY); }
void drawDogPurple() { drawDog(PURPLE); }
