// The figure and prop routines, drawn alone from the identity matrix on the
// recording stand-in: where their parts land, in which colour, how many, and
// what they leave on the matrix and the current colour.
#include <GL/gl.h>
#include <GL/glu.h>
#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <string>
#include <vector>

#include "glfake.h"
#include "scene.h"

namespace {

const bool modelsLoaded = (loadModels(), true);  // as the scene does at start-up

using glfake::Call;
using glfake::sameColour;
using glfake::Vec3;

constexpr double kTol = 1e-4;

void expectAt(const Vec3& v, double x, double y, double z, double tol = kTol) {
  EXPECT_NEAR(v.x, x, tol);
  EXPECT_NEAR(v.y, y, tol);
  EXPECT_NEAR(v.z, z, tol);
}

bool sameColour(const float* c, float r, float g, float b) {
  const float rgb[3] = {r, g, b};
  return sameColour(c, rgb);
}

// Fresh GL state and scene state, the shared quadric in place, and the
// model-view matrix selected, as display leaves it for the routines.
void freshStart() {
  glfake::reset();
  resetSceneState();
  initScene();
  glfake::reset();
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
}

bool isIdentity(const glfake::Mat4& m) {
  const glfake::Mat4 id = glfake::Mat4::identity();
  for (int i = 0; i < 16; i++)
    if (std::fabs(m.m[i] - id.m[i]) > 1e-9) return false;
  return true;
}

// The far end of a recorded gluCylinder (height is its third argument).
Vec3 cylinderEnd(const Call& c) { return c.at({0, 0, c.args[2]}); }

// ---------------------------------------------------------------------------
// Person figure
// ---------------------------------------------------------------------------

// The figure's limb ends, indexed as drawn: left upper arm, left forearm,
// right upper arm, right forearm, left thigh, left shin, right thigh, shin.
std::vector<Call> drawnLimbs(void (*figure)()) {
  freshStart();
  figure();
  auto limbs = glfake::named("gluCylinder");
  EXPECT_EQ(limbs.size(), 8u);
  limbs.resize(8, Call{"missing", {0, 0, 0, 0, 0, 0}, "", glfake::Mat4{}, {}, 0});
  return limbs;
}

TEST(PersonFigure, BuildsOneHeadTwoBlocksEightJointsAndEightOpenFilledLimbs) {
  for (void (*figure)() : {drawKickerA, drawKickerB, drawWalker, drawGymnast}) {
    freshStart();
    figure();
    const auto solid = glfake::named("glutSolidSphere");
    const auto wire = glfake::named("glutWireSphere");
    ASSERT_EQ(solid.size(), 8u);  // head and seven joints
    ASSERT_EQ(wire.size(), 1u);
    EXPECT_DOUBLE_EQ(solid[0].args[0], 0.1);  // the head comes first
    for (size_t i = 1; i < solid.size(); i++) EXPECT_DOUBLE_EQ(solid[i].args[0], 0.04);
    EXPECT_EQ(glfake::count("glutSolidCube"), 2);
    const auto limbs = glfake::named("gluCylinder");
    ASSERT_EQ(limbs.size(), 8u);
    for (const Call& limb : limbs) EXPECT_EQ(limb.args[5], GLU_FILL) << "limbs are filled";
    // Arms are three-sided, legs five-sided.
    EXPECT_EQ(limbs[0].args[3], 3);
    EXPECT_EQ(limbs[7].args[3], 5);
  }
}

TEST(PersonFigure, StandsUprightWithTheWireJointAtTheLeftElbow) {
  freshStart();
  drawWalker();
  expectAt(glfake::named("glutSolidSphere")[0].origin(), 0, 0, -1.7);  // head
  // At rest about Z the walker's left elbow is still where the upper arm
  // ends: with the walker's shoulder swing about X only y and z change.
  auto wire = glfake::named("glutWireSphere");
  ASSERT_EQ(wire.size(), 1u);
  EXPECT_NEAR(wire[0].origin().x, -0.15, kTol);

  freshStart();
  drawKickerA();  // every joint at rest
  wire = glfake::named("glutWireSphere");
  ASSERT_EQ(wire.size(), 1u);
  expectAt(wire[0].origin(), -0.15, 0, -2.0);
  const auto limbs = glfake::named("gluCylinder");
  // Both feet hang straight down from the hips, 0.55 below them.
  expectAt(cylinderEnd(limbs[5]), -0.07, 0, -2.75);
  expectAt(cylinderEnd(limbs[7]), 0.07, 0, -2.75);
  // Both hands hang below the shoulders.
  expectAt(cylinderEnd(limbs[1]), -0.15, 0, -2.3);
  expectAt(cylinderEnd(limbs[3]), 0.15, 0, -2.3);
}

TEST(PersonFigure, LeavesTheStandUpTurnAndTheDropToTheHipsBehind) {
  freshStart();
  drawKickerA();
  EXPECT_EQ(glfake::modelviewDepth(), 1);
  EXPECT_EQ(glfake::maxModelviewDepth(), 3);
  EXPECT_EQ(glfake::stackUnderflows(), 0);
  // Turned 90 degrees about X, then moved 2.1 down the figure.
  expectAt(glfake::modelview().apply({0, 0, 0}), 0, 0, -2.1);
  expectAt(glfake::modelview().apply({0, 1, 0}), 0, 0, -1.1);
  expectAt(glfake::modelview().apply({0, 0, 1}), 0, -1, -2.1);

  // A second copy drawn without a push lands 2.1 further along the turned
  // frame and turned a further 90 degrees.
  drawKickerA();
  const Vec3 secondHead = glfake::named("glutSolidSphere")[8].origin();
  expectAt(secondHead, 0, 1.7, -2.1);
}

TEST(PersonFigure, DrawsEntirelyInTheCallersColour) {
  freshStart();
  glColor3f(0.2f, 0.3f, 0.4f);
  drawGymnast();
  EXPECT_EQ(glfake::count("glColor3f") + glfake::count("glColor3fv"), 1);
  const auto& calls = glfake::calls();
  int drawn = 0;
  for (size_t i = 3; i < calls.size(); i++, drawn++)  // after mode, identity, colour
    EXPECT_TRUE(sameColour(calls[i].color, 0.2f, 0.3f, 0.4f)) << calls[i].name;
  EXPECT_GT(drawn, 40);
}

TEST(PersonFigure, CreatesItsFilledQuadricOnlyOnce) {
  freshStart();
  drawWalker();
  drawGymnast();
  drawKickerA();
  // At most the first figure ever drawn in this program creates it.
  EXPECT_LE(glfake::count("gluNewQuadric"), 1);
  freshStart();
  drawWalker();
  EXPECT_EQ(glfake::count("gluNewQuadric"), 0);
}

TEST(PersonFigure, GymnastSpreadsArmsAndLegsSymmetrically) {
  auto limbs = drawnLimbs([] {
    ptArmA = ptArmB = 170;
    ptLegA = ptLegB = 34;
    drawGymnast();
  });
  const Vec3 leftHand = cylinderEnd(limbs[1]), rightHand = cylinderEnd(limbs[3]);
  const Vec3 leftFoot = cylinderEnd(limbs[5]), rightFoot = cylinderEnd(limbs[7]);
  expectAt(leftHand, -rightHand.x, rightHand.y, rightHand.z);
  expectAt(leftFoot, -rightFoot.x, rightFoot.y, rightFoot.z);
  // Arms raised nearly vertical: hands well above the shoulders (z -2.0).
  EXPECT_GT(rightHand.z, -1.6);
  EXPECT_LT(rightHand.x, 0.3);
  EXPECT_LT(leftHand.x, 0);
  // Feet spread outwards.
  EXPECT_GT(rightFoot.x, 0.3);

  // At rest the gymnast hangs straight.
  limbs = drawnLimbs(drawGymnast);
  expectAt(cylinderEnd(limbs[3]), 0.15, 0, -2.3);
}

TEST(PersonFigure, WalkerSwingsEachArmWithTheOppositeLeg) {
  const auto limbs = drawnLimbs(drawWalker);  // start pose -45, 45, 45, -45
  const Vec3 leftHand = cylinderEnd(limbs[1]), rightHand = cylinderEnd(limbs[3]);
  const Vec3 leftFoot = cylinderEnd(limbs[5]), rightFoot = cylinderEnd(limbs[7]);
  EXPECT_GT(std::fabs(leftHand.y), 0.2);
  EXPECT_EQ(leftHand.y > 0, rightFoot.y > 0);
  EXPECT_EQ(rightHand.y > 0, leftFoot.y > 0);
  EXPECT_NE(leftHand.y > 0, rightHand.y > 0);
}

TEST(PersonFigure, KickersSwingOnlyTheRightLegAndInOppositeDirections) {
  auto limbs = drawnLimbs([] {
    kickALeg = -45;
    drawKickerA();
  });
  const Vec3 kickA = cylinderEnd(limbs[7]);
  expectAt(cylinderEnd(limbs[5]), -0.07, 0, -2.75);  // the left leg stays
  EXPECT_NEAR(kickA.x, 0.07, kTol);
  EXPECT_NEAR(std::fabs(kickA.y), 0.55 * std::sin(M_PI / 4), kTol);

  limbs = drawnLimbs([] {
    kickBLeg = 45;
    drawKickerB();
  });
  const Vec3 kickB = cylinderEnd(limbs[7]);
  EXPECT_NEAR(kickB.y, -kickA.y, kTol);
  EXPECT_NEAR(kickB.z, kickA.z, kTol);
}

// ---------------------------------------------------------------------------
// Dog
// ---------------------------------------------------------------------------

TEST(Dog, IsThirteenWireBoxesInItsCoatColourAndLeavesScaleDropAndColour) {
  freshStart();
  drawDogGrey();
  const auto grey = glfake::named("glutWireCube");
  ASSERT_EQ(grey.size(), 13u);
  EXPECT_EQ(glfake::count("glutSolidCube"), 0);
  for (const Call& c : grey) EXPECT_TRUE(sameColour(c.color, scenePalette[LIGHT_GREY]));
  EXPECT_TRUE(sameColour(glfake::currentColor(), scenePalette[LIGHT_GREY]));
  EXPECT_EQ(glfake::modelviewDepth(), 1);
  EXPECT_LE(glfake::maxModelviewDepth(), 3);
  // Half size, 4.2 down in the caller's units before the halving.
  expectAt(glfake::modelview().apply({0, 0, 0}), 0, 0, -2.1);
  expectAt(glfake::modelview().apply({1, 0, 0}), 0.5, 0, -2.1);
  // The body's centre at y = -0.36 and a front paw at z = -0.975 in the
  // dog's half-size units.
  expectAt(grey[0].origin(), 0, -0.18, -2.1);
  expectAt(grey[6].origin(), 0.18, 0.13, -2.1 - 0.4875);

  freshStart();
  drawDogPurple();
  const auto purple = glfake::named("glutWireCube");
  ASSERT_EQ(purple.size(), grey.size());
  for (size_t i = 0; i < purple.size(); i++)
    for (int k = 0; k < 16; k++)
      EXPECT_NEAR(purple[i].modelview.m[k], grey[i].modelview.m[k], 1e-12);
  EXPECT_TRUE(sameColour(glfake::currentColor(), scenePalette[PURPLE]));
}

// ---------------------------------------------------------------------------
// Event balloon
// ---------------------------------------------------------------------------

TEST(Balloon, TwelveSpheresTaperingAlongYWithTheKnotOnTheLastCentre) {
  freshStart();
  glColor3fv(scenePalette[RED]);
  drawBalloon();
  const auto spheres = glfake::named("glutSolidSphere");
  ASSERT_EQ(spheres.size(), 12u);
  const double radii[12] = {1.0, 1.0, 0.95, 0.9, 0.85, 0.8, 0.75, 0.7, 0.65, 0.6, 0.55, 0.8};
  const double ys[12] = {0, 0.19, 0.38, 0.57, 0.76, 0.95, 1.14, 1.33, 1.52, 1.71, 1.9, 1.9};
  for (int i = 0; i < 12; i++) {
    EXPECT_NEAR(spheres[i].args[0], radii[i], 1e-9) << i;
    EXPECT_EQ(spheres[i].args[1], 10);
    EXPECT_EQ(spheres[i].args[2], 10);
    expectAt(spheres[i].origin(), 0, ys[i], 0);
    EXPECT_TRUE(sameColour(spheres[i].color, scenePalette[RED]));
  }
  EXPECT_TRUE(isIdentity(glfake::modelview()));
  EXPECT_EQ(glfake::modelviewDepth(), 1);
}

// ---------------------------------------------------------------------------
// Benches
// ---------------------------------------------------------------------------

// Brown solid cubes of a bench: the seat and its two supports.
std::vector<Vec3> benchBlocks() {
  std::vector<Vec3> blocks;
  for (const Call& c : glfake::named("glutSolidCube"))
    if (sameColour(c.color, scenePalette[BROWN])) blocks.push_back(c.origin());
  return blocks;
}

std::vector<Vec3> sitterHeads() {
  std::vector<Vec3> heads;
  for (const Call& c : glfake::named("glutSolidSphere")) {
    EXPECT_TRUE(sameColour(c.color, scenePalette[WHITE]));
    heads.push_back(c.origin());
  }
  return heads;
}

TEST(Bench, AllThreeDrawTheSameBenchAndLeaveMatrixUnchangedAndColourBrown) {
  for (void (*bench)() : {drawBench, drawBenchOneSitter, drawBenchTwoSitters}) {
    freshStart();
    bench();
    const auto blocks = benchBlocks();
    ASSERT_EQ(blocks.size(), 3u);
    expectAt(blocks[0], 0, 0, 0);          // seat
    expectAt(blocks[1], 0, 0.5, -0.195);   // support under the +Y half
    expectAt(blocks[2], 0, -0.5, -0.195);  // support under the -Y half
    EXPECT_TRUE(isIdentity(glfake::modelview()));
    EXPECT_EQ(glfake::modelviewDepth(), 1);
    EXPECT_EQ(glfake::stackUnderflows(), 0);
    EXPECT_TRUE(sameColour(glfake::currentColor(), scenePalette[BROWN]));
  }
}

TEST(Bench, SeatsNobodyOneAtTheMiddleOrTwoOneApart) {
  freshStart();
  drawBench();
  EXPECT_TRUE(sitterHeads().empty());

  freshStart();
  drawBenchOneSitter();
  auto heads = sitterHeads();
  ASSERT_EQ(heads.size(), 1u);
  expectAt(heads[0], 0, 0, 0.6);
  // Five white boxes per person: two arms, trunk, thighs, lower legs.
  int white = 0;
  for (const Call& c : glfake::named("glutSolidCube"))
    white += sameColour(c.color, scenePalette[WHITE]);
  EXPECT_EQ(white, 5);

  freshStart();
  drawBenchTwoSitters();
  heads = sitterHeads();
  ASSERT_EQ(heads.size(), 2u);
  expectAt(heads[0], 0, 0.5, 0.6);
  expectAt(heads[1], 0, -0.5, 0.6);
}

// ---------------------------------------------------------------------------
// Tower and carousel
// ---------------------------------------------------------------------------

TEST(Tower, SixWireTiersInTheirColoursAndHeightsUnderAPurpleCap) {
  freshStart();
  drawTower();
  const auto tiers = glfake::named("gluCylinder");
  ASSERT_EQ(tiers.size(), 6u);
  const float colours[6][3] = {{0, 0.5f, 0}, {1, 1, 0}, {1, 0, 1},
                               {0, 1, 1},    {1, 1, 1}, {0.25f, 0.25f, 0.25f}};
  const double bottoms[6] = {0, 1.01, 1.73, 2.40, 2.98, 3.46};
  const double radii[6] = {1, 0.8, 0.7, 0.6, 0.5, 0.4};
  const double heights[6] = {1.0, 0.75, 0.65, 0.55, 0.45, 0.35};
  for (int i = 0; i < 6; i++) {
    EXPECT_TRUE(sameColour(tiers[i].color, colours[i])) << "tier " << i;
    EXPECT_EQ(tiers[i].args[5], GLU_LINE) << "tiers are wire meshes";
    expectAt(tiers[i].origin(), 0, 0, bottoms[i]);
    expectAt(tiers[i].at({1, 0, 0}), radii[i], 0, bottoms[i]);
    expectAt(cylinderEnd(tiers[i]), 0, 0, bottoms[i] + heights[i]);
  }
  // Plinth: red outline around a blue block; cap: purple slab at z 3.86.
  const auto wire = glfake::named("glutWireCube");
  ASSERT_EQ(wire.size(), 1u);
  EXPECT_TRUE(sameColour(wire[0].color, scenePalette[RED]));
  const auto solid = glfake::named("glutSolidCube");
  ASSERT_EQ(solid.size(), 2u);
  EXPECT_TRUE(sameColour(solid[0].color, scenePalette[BLUE]));
  EXPECT_TRUE(sameColour(solid[1].color, scenePalette[PURPLE]));
  expectAt(solid[1].origin(), 0, 0, 3.86);
  EXPECT_NEAR(solid[1].args[0], 1.05, 1e-9);

  EXPECT_TRUE(isIdentity(glfake::modelview()));
  EXPECT_EQ(glfake::maxModelviewDepth(), 5);  // four deep
  EXPECT_TRUE(sameColour(glfake::currentColor(), scenePalette[PURPLE]));
}

TEST(Carousel, StandsStillWithItsCupsAroundTheDrumAndLeavesPurple) {
  freshStart();
  drawCarousel();
  const auto cylinders = glfake::named("gluCylinder");
  ASSERT_EQ(cylinders.size(), 7u);  // drum, four cups, roof, pole
  for (const Call& c : cylinders) EXPECT_EQ(c.args[5], GLU_LINE);
  const double cupPlaces[4][2] = {{-0.5, 0}, {0, -0.5}, {0, 0.5}, {0.5, 0}};
  for (int i = 0; i < 4; i++) {
    expectAt(cylinders[1 + i].origin(), cupPlaces[i][0], cupPlaces[i][1], 0.6);
    // carouselAngle 0: the cups are not turned.
    expectAt(cylinders[1 + i].at({1, 0, 0}), cupPlaces[i][0] + 1, cupPlaces[i][1], 0.6);
  }
  EXPECT_TRUE(sameColour(cylinders[1].color, 0, 0, 0));
  const auto ball = glfake::named("glutWireSphere");
  ASSERT_EQ(ball.size(), 1u);
  expectAt(ball[0].origin(), 0, 0, 1.825);
  EXPECT_TRUE(isIdentity(glfake::modelview()));
  EXPECT_LE(glfake::maxModelviewDepth(), 3);
  EXPECT_TRUE(sameColour(glfake::currentColor(), scenePalette[PURPLE]));
}

// ---------------------------------------------------------------------------
// Enclosure, path strip, trees
// ---------------------------------------------------------------------------

TEST(Props, EnclosureAndPathStripAreCentredWhereMeantAndLeaveTheMatrix) {
  freshStart();
  drawEnclosure();
  auto cubes = glfake::named("glutWireCube");
  ASSERT_EQ(cubes.size(), 1u);
  expectAt(cubes[0].origin(), 0, 0, -2.9);
  expectAt(cubes[0].at({0.5, 0.5, 0.5}), 4, 14.5, -2.5);  // 8 by 29 by 0.8
  EXPECT_TRUE(sameColour(cubes[0].color, scenePalette[PURPLE]));
  EXPECT_TRUE(isIdentity(glfake::modelview()));

  freshStart();
  drawPathStrip();
  cubes = glfake::named("glutSolidCube");
  ASSERT_EQ(cubes.size(), 1u);
  expectAt(cubes[0].origin(), 17.5, 5, -2);
  expectAt(cubes[0].at({0.5, 0.5, 0.5}), 18, 21, -1.95);  // 1 by 32 by 0.1
  EXPECT_TRUE(sameColour(cubes[0].color, scenePalette[DARK_GREY]));
  EXPECT_TRUE(isIdentity(glfake::modelview()));
}

TEST(Props, TreesAreGreenTriangleOutlinesOfTheirModelsTurnedUpright) {
  for (int which : {1, 2}) {
    freshStart();
    which == 1 ? drawTree1() : drawTree2();
    const ObjModel* model = models[which];
    ASSERT_NE(model, nullptr);
    const auto loops = glfake::named("glBegin");
    ASSERT_EQ(loops.size(), model->trianglecount);
    for (const Call& c : loops) {
      EXPECT_EQ(c.args[0], GL_LINE_LOOP);
      EXPECT_TRUE(sameColour(c.color, scenePalette[GREEN]));
    }
    EXPECT_EQ(glfake::count("glVertex3fv"), static_cast<int>(3 * model->trianglecount));
    EXPECT_EQ(glfake::count("glNormal3fv"), 0);
    // The turns and scale stay on the matrix: model +Y becomes +Z, model +X
    // becomes +Y (a quarter turn about the model's Y first), scaled by 0.8.
    expectAt(glfake::modelview().apply({0, 1, 0}), 0, 0, 0.8);
    expectAt(glfake::modelview().apply({1, 0, 0}), 0, 0.8, 0);
    expectAt(glfake::modelview().apply({0, 0, 1}), 0.8, 0, 0);
  }
}

}  // namespace
