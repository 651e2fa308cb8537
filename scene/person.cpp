// The articulated person: head, two-block trunk, two-segment arms and legs,
// a small sphere at every joint. The four people of the scene (two ball
// kickers, the walkers and the PT gymnasts) are this one figure, differing
// only in which angle turns each of its ten joint slots, and about which axis.
#include <GL/gl.h>
#include <GL/glu.h>
#include <GL/glut.h>

#include "scene.h"

namespace {

// A joint nothing in the program ever bends.
const float rest = 0.0f;

enum Axis { AXIS_X, AXIS_Z };

// One joint rotation: the angle it reads, whether it is negated, and the axis.
struct JointTurn {
  const float* angle;
  float sign;
  Axis axis;
};

enum Variant { KICKER_A, KICKER_B, WALKER, GYMNAST, VARIANT_COUNT };

constexpr JointTurn restZ = {&rest, 1.0f, AXIS_Z};
constexpr JointTurn restX = {&rest, 1.0f, AXIS_X};
constexpr JointTurn minusRestZ = {&rest, -1.0f, AXIS_Z};
constexpr JointTurn minusRestX = {&rest, -1.0f, AXIS_X};

// The ten joint rotation slots, in drawing order, for each variant. In the
// gymnast the left limbs turn by the negated angle and the right ones by the
// angle itself, so arms and legs spread symmetrically; the walker swings each
// arm with the opposite leg; a kicker only swings its right leg.
const JointTurn jointTurns[10][VARIANT_COUNT] = {
    //               kicker A                   kicker B                   walker                            gymnast
    /* L shoulder */ {minusRestZ,               minusRestZ,                {&walkerSwing[0], 1.0f, AXIS_X},  {&ptArmA, -1.0f, AXIS_Z}},
    /* L shoulder */ {minusRestZ,               minusRestZ,                minusRestZ,                       minusRestZ},
    /* L elbow    */ {restX,                    restX,                     restX,                            restX},
    /* R shoulder */ {restZ,                    restZ,                     {&walkerSwing[1], 1.0f, AXIS_X},  {&ptArmB, 1.0f, AXIS_Z}},
    /* R shoulder */ {restZ,                    restZ,                     restZ,                            restZ},
    /* R elbow    */ {restX,                    restX,                     restX,                            restX},
    /* L hip      */ {minusRestZ,               minusRestZ,                {&walkerSwing[2], 1.0f, AXIS_X},  {&ptLegA, -1.0f, AXIS_Z}},
    /* L knee     */ {minusRestX,               minusRestX,                minusRestX,                       minusRestX},
    /* R hip      */ {{&kickALeg, 1.0f, AXIS_X}, {&kickBLeg, 1.0f, AXIS_X}, {&walkerSwing[3], 1.0f, AXIS_X},  {&ptLegB, 1.0f, AXIS_Z}},
    /* R knee     */ {minusRestX,               minusRestX,                minusRestX,                       minusRestX},
};

void turn(const JointTurn& joint) {
  const float angle = joint.sign * *joint.angle;
  if (joint.axis == AXIS_X)
    glRotatef(angle, 1.0f, 0.0f, 0.0f);
  else
    glRotatef(angle, 0.0f, 0.0f, 1.0f);
}

// The limbs are filled cylinders; sharedQuadric draws lines, so the figure
// keeps a quadric of its own, made on first use and kept for the whole run.
GLUquadric* limbQuadric() {
  static GLUquadric* const quadric = gluNewQuadric();
  return quadric;
}

// A joint sphere, then the limb turned to point down the figure.
void upperLimb(double radius, double length, int slices) {
  glutSolidSphere(0.04, 10, 8);
  glRotatef(90.0f, 0.1f, 0.0f, 0.0f);
  gluCylinder(limbQuadric(), radius, radius, length, slices, slices);
}

void drawFigure(Variant variant) {
  auto r = [variant](int slot) -> const JointTurn& { return jointTurns[slot][variant]; };

  // Stand the figure up and walk down from the head to the hips; this part
  // is deliberately left on the matrix for the caller (the court chains the
  // second kicker and the ball from the first kicker's hips).
  glRotatef(90.0f, 1.0f, 0.0f, 0.0f);
  glTranslatef(0.0f, -1.7f, 0.0f);
  glutSolidSphere(0.1, 10, 8);  // head
  glTranslatef(0.0f, -0.2f, 0.0f);
  glutSolidCube(0.2);  // chest
  glTranslatef(0.0f, -0.2f, 0.0f);
  glutSolidCube(0.2);  // hips

  glPushMatrix();  // left arm
    glTranslatef(-0.15f, 0.25f, 0.0f);
    turn(r(0));
    turn(r(1));
    upperLimb(0.05, 0.15, 3);
    glPushMatrix();
      glTranslatef(0.0f, 0.0f, 0.15f);
      turn(r(2));
      glutWireSphere(0.04, 10, 8);  // the left elbow is the one wire joint
      gluCylinder(limbQuadric(), 0.05, 0.05, 0.3, 3, 3);
    glPopMatrix();
  glPopMatrix();

  glPushMatrix();  // right arm
    glTranslatef(0.15f, 0.25f, 0.0f);
    turn(r(3));
    turn(r(4));
    upperLimb(0.05, 0.15, 3);
    glPushMatrix();
      glTranslatef(0.0f, 0.0f, 0.15f);
      turn(r(5));
      glutSolidSphere(0.04, 10, 8);
      gluCylinder(limbQuadric(), 0.05, 0.05, 0.3, 3, 3);
    glPopMatrix();
  glPopMatrix();

  glPushMatrix();  // left leg
    glTranslatef(-0.07f, -0.1f, 0.0f);
    turn(r(6));
    upperLimb(0.06, 0.25, 5);
    glPushMatrix();
      glTranslatef(0.0f, 0.0f, 0.25f);
      turn(r(7));
      glutSolidSphere(0.04, 10, 8);
      gluCylinder(limbQuadric(), 0.06, 0.06, 0.3, 5, 5);
    glPopMatrix();
  glPopMatrix();

  glPushMatrix();  // right leg
    glTranslatef(0.07f, -0.1f, 0.0f);
    turn(r(8));
    upperLimb(0.06, 0.25, 5);
    glPushMatrix();
      glTranslatef(0.0f, 0.0f, 0.25f);
      turn(r(9));
      glutSolidSphere(0.04, 10, 8);
      gluCylinder(limbQuadric(), 0.06, 0.06, 0.3, 5, 5);
    glPopMatrix();
  glPopMatrix();
}

}  // namespace

void drawKickerA() { drawFigure(KICKER_A); }
void drawKickerB() { drawFigure(KICKER_B); }
void drawWalker() { drawFigure(WALKER); }
void drawGymnast() { drawFigure(GYMNAST); }
