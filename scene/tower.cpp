// The tiered tower and the carousel, both on the same square plinth and both
// built from sharedQuadric's wire cylinders.
#include <GL/gl.h>
#include <GL/glu.h>
#include <GL/glut.h>

#include "scene.h"

namespace {

// A red outline 3 by 3 by 0.1 around a blue block.
void drawPlinth() {
  glPushMatrix();
  {
    glScalef(3.0f, 3.0f, 0.1f);
    glColor3fv(scenePalette[RED]);
    glutWireCube(1.0);
    glColor3fv(scenePalette[BLUE]);
    glutSolidCube(0.9);
  }
  glPopMatrix();
}

// A unit tier (radius 1, height 0.5) stretched to its size.
void drawTier(float radius, float heightScale) {
  glPushMatrix();
  {
    glScalef(radius, radius, heightScale);
    gluCylinder(sharedQuadric, 1.0, 1.0, 0.5, 120, 10);
  }
  glPopMatrix();
}

// Upper tiers: each step up is a fixed lift, not the height of the tier
// below, so tiers 2 and 3 overlap slightly and the others leave small gaps.
struct Tier {
  PaletteEntry colour;
  float lift;
  float radius;
  float heightScale;
};
const Tier upperTiers[] = {
    {MAGENTA, 0.72f, 0.7f, 1.3f},
    {CYAN, 0.67f, 0.6f, 1.1f},
    {WHITE, 0.58f, 0.5f, 0.9f},
    {DARK_GREY, 0.48f, 0.4f, 0.7f},
};

const float black[3] = {0.0f, 0.0f, 0.0f};

struct Cup {
  float place[3];
  const float* colour;
};
const Cup cups[] = {
    {{-0.5f, 0.0f, 0.0f}, black},
    {{0.0f, -0.5f, 0.0f}, scenePalette[YELLOW]},
    {{0.0f, 0.5f, 0.0f}, scenePalette[MAGENTA]},
    {{0.5f, 0.0f, 0.0f}, scenePalette[CYAN]},
};

}  // namespace

void drawTower() {
  glPushMatrix();
  {
    drawPlinth();
    glPushMatrix();
    {
      glPushMatrix();  // tier 1
      {
        glColor3f(0.0f, 0.5f, 0.0f);
        glScalef(1.0f, 1.0f, 2.0f);
        gluCylinder(sharedQuadric, 1.0, 1.0, 0.5, 120, 10);
      }
      glPopMatrix();
      glPushMatrix();
      {
        glColor3fv(scenePalette[YELLOW]);  // tier 2
        glTranslatef(0.0f, 0.0f, 1.01f);
        drawTier(0.8f, 1.5f);
        for (const Tier& tier : upperTiers) {
          glColor3fv(scenePalette[tier.colour]);
          glTranslatef(0.0f, 0.0f, tier.lift);
          drawTier(tier.radius, tier.heightScale);
        }
        glColor3fv(scenePalette[PURPLE]);  // the flat cap
        glTranslatef(0.0f, 0.0f, 0.4f);
        glPushMatrix();
        {
          glScalef(1.0f, 1.0f, 0.06f);
          glutSolidCube(1.05);
        }
        glPopMatrix();
      }
      glPopMatrix();
    }
    glPopMatrix();
  }
  glPopMatrix();
}

void drawCarousel() {
  glPushMatrix();
  {
    drawPlinth();
    glTranslatef(0.0f, 0.0f, 0.1f);
    glRotatef(carouselAngle, 0.0f, 0.0f, 1.0f);
    glColor3fv(scenePalette[GREEN]);
    gluCylinder(sharedQuadric, 1.0, 1.0, 0.5, 12, 10);  // drum
    glTranslatef(0.0f, 0.0f, 0.5f);
    // The cups spin five times as fast as the drum, the other way.
    for (const Cup& cup : cups) {
      glPushMatrix();
      {
        glTranslatef(cup.place[0], cup.place[1], cup.place[2]);
        glRotatef(-5.0f * carouselAngle, 0.0f, 0.0f, 1.0f);
        glColor3fv(cup.colour);
        gluCylinder(sharedQuadric, 0.25, 0.25, 0.25, 12, 10);
      }
      glPopMatrix();
    }
    glTranslatef(0.0f, 0.0f, 0.25f);  // cone-shaped roof
    glRotatef(-5.0f * carouselAngle, 0.0f, 0.0f, 1.0f);
    glColor3fv(scenePalette[WHITE]);
    gluCylinder(sharedQuadric, 0.5, 0.1, 0.25, 12, 10);
    glTranslatef(0.0f, 0.0f, 0.25f);  // pole
    glColor3fv(scenePalette[DARK_GREY]);
    gluCylinder(sharedQuadric, 0.1, 0.1, 0.5, 12, 10);
    glTranslatef(0.0f, 0.0f, 0.725f);  // ball on top
    glColor3fv(scenePalette[PURPLE]);
    glutWireSphere(0.25, 10, 10);
  }
  glPopMatrix();
}
