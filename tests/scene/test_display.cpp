// One whole frame drawn by display on the recording stand-in. Every recorded
// matrix includes the view transform, so positions are taken back to world
// space through the inverse of the matrix applyView alone produces.
#include <GL/gl.h>
#include <GL/glu.h>
#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <vector>

#include "glfake.h"
#include "scene.h"

namespace {

const bool modelsLoaded = (loadModels(), true);  // as the scene does at start-up

using glfake::Call;
using glfake::Mat4;
using glfake::sameColour;
using glfake::Vec3;

constexpr double kTol = 1e-4;

bool near(const Vec3& a, const Vec3& b, double tol = kTol) {
  return std::fabs(a.x - b.x) < tol && std::fabs(a.y - b.y) < tol && std::fabs(a.z - b.z) < tol;
}

std::string show(const Vec3& v) {
  char text[128];
  std::snprintf(text, sizeof text, "(%f, %f, %f)", v.x, v.y, v.z);
  return text;
}

// Every expected point is matched by exactly one found point, and nothing
// else was found.
void expectSamePlaces(std::vector<Vec3> found, const std::vector<Vec3>& expected) {
  EXPECT_EQ(found.size(), expected.size());
  for (const Vec3& e : expected) {
    auto it = std::find_if(found.begin(), found.end(), [&](const Vec3& f) { return near(f, e); });
    if (it == found.end()) {
      ADD_FAILURE() << "nothing drawn at " << show(e);
      continue;
    }
    found.erase(it);
  }
  for (const Vec3& f : found) ADD_FAILURE() << "unexpected one at " << show(f);
}

// The scene as the program starts it: state at its start values, the shared
// quadric made, the first reshape done.
class Frame : public ::testing::Test {
 protected:
  void SetUp() override {
    glfake::reset();
    resetSceneState();
    initScene();
    reshape(1000, 1000);
  }

  // Draws one frame with the current state and remembers the inverse view.
  void draw() {
    glfake::reset();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    applyView();
    toWorld = glfake::modelview().inverse();
    glfake::reset();
    display();
  }

  Vec3 world(const Call& c, const Vec3& local = {0, 0, 0}) const {
    return toWorld.apply(c.at(local));
  }

  // Length of the world-space image of a local unit axis (0 x, 1 y, 2 z).
  double axisScale(const Call& c, int axis) const {
    Vec3 unit{axis == 0 ? 1.0 : 0.0, axis == 1 ? 1.0 : 0.0, axis == 2 ? 1.0 : 0.0};
    Vec3 a = world(c), b = world(c, unit);
    return std::sqrt((b.x - a.x) * (b.x - a.x) + (b.y - a.y) * (b.y - a.y) +
                     (b.z - a.z) * (b.z - a.z));
  }

  bool hasScale(const Call& c, double sx, double sy, double sz) const {
    return std::fabs(axisScale(c, 0) - sx) < kTol && std::fabs(axisScale(c, 1) - sy) < kTol &&
           std::fabs(axisScale(c, 2) - sz) < kTol;
  }

  // World centres of the calls named `name` drawn in `colour` with `radius`
  // (first argument) when given.
  std::vector<Vec3> placesOf(const std::string& name, const float* colour,
                             double radius = -1) const {
    std::vector<Vec3> places;
    for (const Call& c : glfake::named(name))
      if (sameColour(c.color, colour) && (radius < 0 || std::fabs(c.args[0] - radius) < 1e-9))
        places.push_back(world(c));
    return places;
  }

  Vec3 ball() const {
    std::vector<Call> balls;
    for (const Call& c : glfake::named("glutSolidSphere"))
      if (std::fabs(c.args[0] - 0.2) < 1e-9) balls.push_back(c);
    EXPECT_EQ(balls.size(), 1u);
    if (balls.empty()) return {0, 0, 0};
    const float red[3] = {1, 0, 0};
    EXPECT_TRUE(sameColour(balls[0].color, red));
    return world(balls[0]);
  }

  Mat4 toWorld = Mat4::identity();
};

// ---------------------------------------------------------------------------

TEST_F(Frame, SetsUpClearsAppliesTheViewAndEndsWithAFlushNotASwap) {
  draw();
  const auto& calls = glfake::calls();
  ASSERT_GT(calls.size(), 3u);
  EXPECT_EQ(calls[0].name, "glClear");
  EXPECT_EQ(calls[0].args[0], GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  EXPECT_EQ(calls[1].name, "glMatrixMode");
  EXPECT_EQ(calls[1].args[0], GL_MODELVIEW);
  EXPECT_EQ(calls[2].name, "glLoadIdentity");
  EXPECT_EQ(calls[3].name, "gluLookAt");
  EXPECT_EQ(calls.back().name, "glFlush");
  EXPECT_EQ(glfake::count("glutSwapBuffers"), 0);
}

TEST_F(Frame, BallSwingsOverTheNetOnItsArm) {
  const struct {
    float angle;
    Vec3 at;
  } cases[] = {{0, {9.5, -3.5, -2.0}}, {90, {9.5, -7, 1.5}}, {180, {9.5, -10.5, -2.0}}};
  for (const auto& c : cases) {
    ballAngle = c.angle;
    draw();
    EXPECT_TRUE(near(ball(), c.at)) << "ballAngle " << c.angle << ": " << show(ball());
  }
}

TEST_F(Frame, ThePlacesDoNotDependOnTheViewChosen) {
  ballAngle = 90;
  presetView = 1;  // the court's viewpoint from the menu
  presetEye[0] = 15, presetEye[1] = -15, presetEye[2] = 5;
  presetCenter[0] = 0, presetCenter[1] = 5, presetCenter[2] = -8;
  draw();
  EXPECT_TRUE(near(ball(), {9.5, -7, 1.5})) << show(ball());
  sceneRotX = 30, sceneRotY = -20, zoom = 2;  // no effect on a preset view
  presetView = 0;
  draw();
  EXPECT_TRUE(near(ball(), {9.5, -7, 1.5})) << show(ball());
}

TEST_F(Frame, KickersStandUprightFacingEachOtherAcrossTheNet) {
  draw();
  // Heads are 1.7 below a figure's origin; kicker B's origin is (9.5, -11, 0.1).
  const auto cyanHeads = placesOf("glutSolidSphere", scenePalette[CYAN], 0.1);
  expectSamePlaces(cyanHeads, {{9.5, -3, -1.5}});
  std::vector<Call> whiteHeads;
  for (const Call& c : glfake::named("glutSolidSphere"))
    if (sameColour(c.color, scenePalette[WHITE]) && near(world(c), {9.5, -11, -1.6}))
      whiteHeads.push_back(c);
  ASSERT_EQ(whiteHeads.size(), 1u);
  // Upright: the figure's own +Y (towards its head) is world +Z.
  const Vec3 head = world(whiteHeads[0]), up = world(whiteHeads[0], {0, 1, 0});
  EXPECT_TRUE(near({up.x - head.x, up.y - head.y, up.z - head.z}, {0, 0, 1})) << show(up);
}

TEST_F(Frame, BothKickersKickTowardsTheNet) {
  // The kicking shin ends 0.55 * sin 45 off its standing line, on the net's
  // side (y = -7) of its kicker; at rest no shin is off its line.
  auto swungFeet = [this] {
    std::vector<double> offsets;  // foot y minus its kicker's y
    for (const Call& c : glfake::named("gluCylinder")) {
      if (c.args[2] != 0.3 || c.args[3] != 5) continue;  // shins only
      const Vec3 foot = world(c, {0, 0, 0.3});
      if (std::fabs(foot.x - 9.57) > 0.01) continue;  // kickers' right legs
      for (double kickerY : {-3.0, -11.0})
        if (std::fabs(foot.y - kickerY) > 0.01 && std::fabs(foot.y - kickerY) < 0.5)
          offsets.push_back(foot.y - kickerY);
    }
    return offsets;
  };
  draw();
  EXPECT_TRUE(swungFeet().empty());

  kickALeg = -45;
  kickBLeg = 45;
  draw();
  const auto offsets = swungFeet();
  ASSERT_EQ(offsets.size(), 2u);
  const double reach = 0.55 * std::sin(M_PI / 4);
  EXPECT_NEAR(*std::min_element(offsets.begin(), offsets.end()), -reach,
              kTol);  // A, towards -7 from -3
  EXPECT_NEAR(*std::max_element(offsets.begin(), offsets.end()), reach,
              kTol);  // B, towards -7 from -11
}

TEST_F(Frame, WalkersGoRoundTheSquareAndJumpBackAfterTheWrap) {
  const float t = 7.25f;
  walkerTravel = t;
  draw();
  expectSamePlaces(placesOf("glutSolidSphere", scenePalette[BLUE], 0.1),
                   {{15.5 - t, 15.69, -1.7},
                    {-15.5 + t, -15.31, -1.7},
                    {-15.69, 15.5 - t, -1.7},
                    {15.31, -15.5 + t, -1.7}});

  walkerTravel = 31.005f;  // just past the end of the sides
  draw();
  const double f = 31.005f;
  expectSamePlaces(placesOf("glutSolidSphere", scenePalette[BLUE], 0.1),
                   {{15.5 - f, 15.69, -1.7},
                    {-15.5 + f, -15.31, -1.7},
                    {-15.69, 15.5 - f, -1.7},
                    {15.31, -15.5 + f, -1.7}});
  tick();
  draw();
  expectSamePlaces(
      placesOf("glutSolidSphere", scenePalette[BLUE], 0.1),
      {{15.5, 15.69, -1.7}, {-15.5, -15.31, -1.7}, {-15.69, 15.5, -1.7}, {15.31, -15.5, -1.7}});
}

TEST_F(Frame, TwentyOneTreesInTwoRowsAndAColumn) {
  draw();
  std::vector<Vec3> expected;
  for (int i = -3; i <= 3; i++) {
    expected.push_back({double(i), 4, -3});
    expected.push_back({double(i), -4, -3});
    expected.push_back({-4, double(i), -3});
  }
  // Each tree sets green once before drawing its model.
  std::vector<Vec3> trees;
  for (const Call& c : glfake::named("glColor3fv"))
    if (sameColour(c.color, scenePalette[GREEN])) trees.push_back(world(c));
  expectSamePlaces(trees, expected);
  ASSERT_NE(models[1], nullptr);
  int loops = 0;
  for (const Call& c : glfake::named("glBegin"))
    if (c.args[0] == GL_LINE_LOOP && sameColour(c.color, scenePalette[GREEN])) loops++;
  EXPECT_EQ(loops, 21 * static_cast<int>(models[1]->trianglecount));
}

TEST_F(Frame, ThirtySevenGymnastsALeaderAndASixBySixBlock) {
  draw();
  expectSamePlaces(placesOf("glutSolidSphere", scenePalette[PURPLE], 0.1), {{9.5, 4, -1.2}});
  std::vector<Vec3> block;
  for (int a = -3; a < 3; a++)
    for (int b = -3; b < 3; b++) block.push_back({10.0 + a, 9.0 + b, -1.2});
  expectSamePlaces(placesOf("glutSolidSphere", scenePalette[ORANGE], 0.1), block);
}

// Dog bodies are the only boxes of this world-space size: 0.7 * 0.5 * (1, 1.8, 0.8).
struct DogCount {
  int grey = 0, purple = 0;
  std::vector<Vec3> places;
};

TEST_F(Frame, FiveDogsWhileTheBlinksAreOffAndEightAfterTheFirstTick) {
  auto dogBodies = [this] {
    DogCount n;
    for (const Call& c : glfake::named("glutWireCube")) {
      if (!hasScale(c, 0.35, 0.63, 0.28)) continue;
      n.grey += sameColour(c.color, scenePalette[LIGHT_GREY]);
      n.purple += sameColour(c.color, scenePalette[PURPLE]);
      n.places.push_back(world(c));
    }
    return n;
  };
  draw();
  DogCount n = dogBodies();
  EXPECT_EQ(n.grey, 3);
  EXPECT_EQ(n.purple, 2);
  // Every body is within the 0.13 body offset of its place on the ground.
  const double always[5][2] = {{-11, -5}, {-9, -1}, {-13, 0}, {-15.5, 5}, {-15, -15}};
  for (const auto& p : always) {
    const int found = std::count_if(n.places.begin(), n.places.end(), [&](const Vec3& v) {
      return std::hypot(v.x - 0.7 * p[0], v.y - 0.7 * p[1]) < 0.14;
    });
    EXPECT_EQ(found, 1) << p[0] << ", " << p[1];
  }

  tick();  // all three pulses are on at the first tick
  draw();
  n = dogBodies();
  EXPECT_EQ(n.grey, 3);
  EXPECT_EQ(n.purple, 5);
  for (const auto& p : {std::pair{-6.0, -19.0}, {-11.5, -20.0}, {-8.0, -23.0}}) {
    const int found = std::count_if(n.places.begin(), n.places.end(), [&](const Vec3& v) {
      return std::hypot(v.x - 0.7 * p.first, v.y - 0.7 * p.second) < 0.14;
    });
    EXPECT_EQ(found, 1) << p.first << ", " << p.second;
  }

  tick();  // and off again at the second
  draw();
  EXPECT_EQ(dogBodies().purple, 2);

  // Each pulse on its own.
  blink20 = 0, blink30 = 1, blink50 = 0;
  draw();
  EXPECT_EQ(dogBodies().purple, 3);
}

TEST_F(Frame, CourtOutlineSpaceAndNetArePurpleWhicheverDogComesLast) {
  for (int blinks : {0, 1}) {
    blink20 = blink30 = blink50 = blinks;
    draw();
    std::vector<Call> courtWires;
    for (const Call& c : glfake::named("glutWireCube")) {
      const Vec3 centre = world(c);
      if (std::fabs(centre.x - 9.45) < kTol && std::fabs(centre.y + 7) < kTol)
        courtWires.push_back(c);
    }
    ASSERT_EQ(courtWires.size(), 3u);
    for (const Call& c : courtWires) EXPECT_TRUE(sameColour(c.color, scenePalette[PURPLE]));
    EXPECT_TRUE(near(world(courtWires[0]), {9.45, -7, -2.6}));
    EXPECT_TRUE(hasScale(courtWires[0], 7, 10, 0.2));
    EXPECT_TRUE(hasScale(courtWires[2], 7, 0.1, 1));  // the net, a thin sheet
    // The green playing surface inside it.
    int surfaces = 0;
    const float green[3] = {0, 0.8f, 0};
    for (const Call& c : glfake::named("glutSolidCube"))
      if (sameColour(c.color, green) && near(world(c), {9.45, -7, -2.6}) &&
          hasScale(c, 6.3, 9, 0.18))
        surfaces++;
    EXPECT_EQ(surfaces, 1);
  }
}

TEST_F(Frame, MatrixStackStaysWithinGlLimitsAndComesBackLevel) {
  for (int blinks : {0, 1}) {
    blink20 = blink30 = blink50 = blinks;
    walkerTravel = 12;
    draw();
    EXPECT_LE(glfake::maxModelviewDepth(), 32);
    EXPECT_EQ(glfake::stackOverflows(), 0);
    EXPECT_EQ(glfake::stackUnderflows(), 0);
    EXPECT_EQ(glfake::modelviewDepth(), 1);
    EXPECT_EQ(glfake::count("glPushMatrix"), glfake::count("glPopMatrix"));
  }
}

TEST_F(Frame, BenchesLineTheWestAndSouthSidesWithSixSeatedPeople) {
  draw();
  std::vector<Vec3> seats;
  for (const Call& c : glfake::named("glutSolidCube"))
    if (sameColour(c.color, scenePalette[BROWN]) && hasScale(c, 0.5, 2, 0.1))
      seats.push_back(world(c));
  std::vector<Vec3> expected;
  for (double y : {-12, -6, 0, 6, 12, -12})
    expected.push_back({-14, y, -2.29});                                      // west, y = -12 twice
  for (double y : {-12, -6, 0, 6, 12}) expected.push_back({-y, -14, -2.29});  // south
  expectSamePlaces(seats, expected);

  std::vector<Vec3> heads;
  for (const Call& c : glfake::named("glutSolidSphere"))
    if (sameColour(c.color, scenePalette[WHITE]) && std::fabs(world(c).z + 1.69) < kTol)
      heads.push_back(world(c));
  expectSamePlaces(heads, {{-14, -11.5, -1.69},
                           {-14, -12.5, -1.69},
                           {-14, -6, -1.69},
                           {12, -14, -1.69},
                           {-6.5, -14, -1.69},
                           {-5.5, -14, -1.69}});
}

TEST_F(Frame, BalloonOrbitsTenUpAtEightFromTheCentre) {
  for (float orbit : {0.0f, 90.0f}) {
    balloonOrbit = orbit;
    draw();
    std::vector<Vec3> body;
    for (const Call& c : glfake::named("glutSolidSphere"))
      if (c.args[0] > 0.5 && sameColour(c.color, scenePalette[RED])) body.push_back(world(c));
    ASSERT_EQ(body.size(), 12u);
    const double rad = orbit * M_PI / 180;
    EXPECT_TRUE(near(body[0], {8 * std::cos(rad), 8 * std::sin(rad), 10})) << show(body[0]);
    // Heading 180 at the start: the balloon's +Y axis, along which it tapers,
    // points along -Y of the orbit frame, tangent to the orbit.
    EXPECT_TRUE(near(body[11], {8 * std::cos(rad) + 1.9 * std::sin(rad),
                                8 * std::sin(rad) - 1.9 * std::cos(rad), 10}))
        << show(body[11]);
  }
}

TEST_F(Frame, GroundPathsSlabAndTowerSitWhereTheLayoutPutsThem) {
  draw();
  expectSamePlaces(placesOf("glutWireCube", scenePalette[PALE_GREEN], 22), {{0, 0, -2.8}});
  expectSamePlaces(placesOf("glutSolidCube", scenePalette[DARK_GREY]), {{0, 15.5, -2.8},
                                                                        {15.5, 0, -2.8},
                                                                        {-15.5, 0, -2.8},
                                                                        {0, -15.5, -2.8},  // paths
                                                                        {9.775, 0, -2.8}});  // slab
  // The tower stands at the centre, lowered 2.7 and three times its size.
  const auto tiers = glfake::named("gluCylinder");
  int towerTiers = 0;
  for (const Call& c : tiers)
    if (c.args[4] == 10 && c.args[3] == 120) {
      if (towerTiers == 0) {
        EXPECT_TRUE(near(world(c), {0, 0, -2.7}));
        EXPECT_TRUE(near(world(c, {0, 0, 0.5}), {0, 0, 0.3}));
      }
      towerTiers++;
    }
  EXPECT_EQ(towerTiers, 6);
  // The enclosure: 8 by 29 by 0.8 scaled by 0.8, centred at x = -9.
  std::vector<Vec3> enclosures;
  for (const Call& c : glfake::named("glutWireCube"))
    if (hasScale(c, 6.4, 23.2, 0.64)) {
      EXPECT_TRUE(sameColour(c.color, scenePalette[PURPLE]));
      enclosures.push_back(world(c));
    }
  expectSamePlaces(enclosures, {{-9, 0, -2.32}});
}

}  // namespace
