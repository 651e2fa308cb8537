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
    //               kicker A                   kicker B                   walker gymnast
    /* L shoulder */ {
        minusRestZ, minusRestZ, {&walkerSwing[0], 1.0f, AXIS_X}, {&ptArmA, -1.0f, AXIS_Z}},
    /* L shoulder */ {minusRestZ, minusRestZ, minusRestZ, minusRestZ},
    /* L elbow    */ {restX, restX, restX, restX},
    /* R shoulder */ {restZ, restZ, {&walkerSwing[1], 1.0f, AXIS_X}, {&ptArmB, 1.0f, AXIS_Z}},
    /* R shoulder */ {restZ, restZ, restZ, restZ},
    /* R elbow    */ {restX, restX, restX, restX},
    /* L hip      */
    {minusRestZ, minusRestZ, {&walkerSwing[2], 1.0f, AXIS_X}, {&ptLegA, -1.0f, AXIS_Z}},
    /* L knee     */ {minusRestX, minusRestX, minusRestX, minusRestX},
    /* R hip      */
    {{&kickALeg, 1.0f, AXIS_X},
     {&kickBLeg, 1.0f, AXIS_X},
     {&walkerSwing[3], 1.0f, AXIS_X},
     {&ptLegB, 1.0f, AXIS_Z}},
    /* R knee     */ {minusRestX, minusRestX, minusRestX, minusRestX},
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

// The four limbs hang from the hips block. Each has one or two turns at its
// top joint, a joint sphere, the upper segment, then a second joint with its
// own turn and the lower segment; the left elbow is the one wire joint.
struct Limb {
  float x, y;     // top joint on the hips block
  int firstSlot;  // rotation slot of the first turn at the top joint
  int turns;      // turns at the top joint; the next slot bends the middle joint
  double radius, upperLength, lowerLength;
  int slices;      // slices and stacks of both segments
  bool wireJoint;  // the middle joint is a wire sphere
};
const Limb limbs[] = {
    {-0.15f, 0.25f, 0, 2, 0.05, 0.15, 0.3, 3, true},   // left arm
    {0.15f, 0.25f, 3, 2, 0.05, 0.15, 0.3, 3, false},   // right arm
    {-0.07f, -0.1f, 6, 1, 0.06, 0.25, 0.3, 5, false},  // left leg
    {0.07f, -0.1f, 8, 1, 0.06, 0.25, 0.3, 5, false},   // right leg
};

void drawLimb(const Limb& limb, Variant variant) {
  glPushMatrix();
  {
    glTranslatef(limb.x, limb.y, 0.0f);
    for (int i = 0; i < limb.turns; i++) turn(jointTurns[limb.firstSlot + i][variant]);
    glutSolidSphere(0.04, 10, 8);
    glRotatef(90.0f, 0.1f, 0.0f, 0.0f);  // the limb now points down the figure
    gluCylinder(limbQuadric(), limb.radius, limb.radius, limb.upperLength, limb.slices,
                limb.slices);
    glPushMatrix();
    {
      glTranslatef(0.0f, 0.0f, static_cast<float>(limb.upperLength));
      turn(jointTurns[limb.firstSlot + limb.turns][variant]);
      if (limb.wireJoint)
        glutWireSphere(0.04, 10, 8);
      else
        glutSolidSphere(0.04, 10, 8);
      gluCylinder(limbQuadric(), limb.radius, limb.radius, limb.lowerLength, limb.slices,
                  limb.slices);
    }
    glPopMatrix();
  }
  glPopMatrix();
}

void drawFigure(Variant variant) {
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

  for (const Limb& limb : limbs) drawLimb(limb, variant);
}

}  // namespace

void drawKickerA() { drawFigure(KICKER_A); }
void drawKickerB() { drawFigure(KICKER_B); }
void drawWalker() { drawFigure(WALKER); }
void drawGymnast() { drawFigure(GYMNAST); }
