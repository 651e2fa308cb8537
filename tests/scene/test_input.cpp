// Keys, mouse and menu: the state they change and which of them redraw.
#include <gtest/gtest.h>

#include <GL/freeglut.h>

#include <cmath>
#include <string>
#include <vector>

#include "glfake.h"
#include "scene.h"

namespace {

class Input : public ::testing::Test {
 protected:
  void SetUp() override {
    resetSceneState();
    glfake::reset();
    // As after the first reshape.
    eyeZ = 5;
    cameraUpdate(0);
  }
};

TEST_F(Input, OnlyLowerCaseLettersAreBound) {
  EXPECT_TRUE(handleKey('A'));
  EXPECT_TRUE(handleKey('1'));
  EXPECT_TRUE(handleKey('b'));
  EXPECT_FLOAT_EQ(zoom, 0.3f);
  EXPECT_EQ(kickA + kickB + ballForward + ballBack + ptStopped + balloonForward, 0);

  EXPECT_TRUE(handleKey('a'));
  EXPECT_FLOAT_EQ(zoom, 0.3f * 1.125f);
  handleKey('s');
  EXPECT_NEAR(zoom, 0.3f, 1e-6);
  handleKey('s');
  EXPECT_FLOAT_EQ(zoom, 0.3f / 1.125f);
}

// What a key leaves behind: the zoom and, over the following ticks, every
// animated pose.
std::vector<float> afterKey(unsigned char key, bool stoppedAndForward) {
  resetSceneState();
  if (stoppedAndForward) {
    handleKey('r');
    handleKey('w');
  }
  handleKey(key);
  std::vector<float> seen{zoom};
  for (int i = 0; i < 60; i++) {
    tick();
    for (float v : {ballAngle, kickALeg, kickBLeg, walkerSwing[0], ptArmA, ptLegB, balloonOrbit,
                    balloonHeading})
      seen.push_back(v);
  }
  return seen;
}

TEST_F(Input, OnlyTheEightLettersOfTheTitlesLegendChangeTheScene) {
  // The legend names q, w, z, x, e, r, s, a; "e" and "q" show only once "r"
  // and "w" have changed something for them to undo.
  const std::string legend = "qwzxersa";
  for (int key = 0; key < 256; key++) {
    const bool changes = afterKey(static_cast<unsigned char>(key), false) != afterKey(0, false) ||
                         afterKey(static_cast<unsigned char>(key), true) != afterKey(0, true);
    EXPECT_EQ(changes, legend.find(static_cast<char>(key)) != std::string::npos) << "key " << key;
  }
}

TEST_F(Input, UpArrowStepsForwardAlongTheHeading) {
  EXPECT_TRUE(handleSpecial(GLUT_KEY_UP));
  EXPECT_FLOAT_EQ(eyeZ, 4.875f);
  EXPECT_FLOAT_EQ(centerZ, 3.875f);
  EXPECT_EQ(eyeX, 0);
  EXPECT_EQ(centerX, 0);
  handleSpecial(GLUT_KEY_DOWN);
  EXPECT_FLOAT_EQ(eyeZ, 5);
}

TEST_F(Input, TurningKeepsTheLookAtPointOneUnitAheadAndLevel) {
  EXPECT_TRUE(handleSpecial(GLUT_KEY_RIGHT));
  EXPECT_FLOAT_EQ(heading, 0.05f);
  handleSpecial(GLUT_KEY_UP);
  EXPECT_FLOAT_EQ(eyeX, 0.125f * std::sin(0.05f));
  const float dx = centerX - eyeX, dz = centerZ - eyeZ;
  EXPECT_NEAR(std::sqrt(dx * dx + dz * dz), 1.0f, 1e-6);
  EXPECT_FLOAT_EQ(dx, std::sin(0.05f));
  EXPECT_EQ(eyeY, 0);
  EXPECT_EQ(centerY, 0);

  handleSpecial(GLUT_KEY_LEFT);
  handleSpecial(GLUT_KEY_LEFT);
  EXPECT_FLOAT_EQ(heading, -0.05f);
  EXPECT_LT(centerX, eyeX);  // now looking to the left of straight ahead
}

TEST_F(Input, OtherSpecialKeysAreIgnored) {
  const float before[] = {eyeX, eyeZ, centerX, centerZ, heading};
  EXPECT_FALSE(handleSpecial(GLUT_KEY_F1));
  EXPECT_FALSE(handleSpecial(GLUT_KEY_PAGE_UP));  // 104, just past the arrows
  EXPECT_FALSE(handleSpecial(99));
  const float after[] = {eyeX, eyeZ, centerX, centerZ, heading};
  for (int i = 0; i < 5; i++) EXPECT_EQ(before[i], after[i]);
}

TEST_F(Input, LeftDragTurnsTheSceneByOneDegreePerFivePixels) {
  EXPECT_TRUE(handleMouse(GLUT_LEFT_BUTTON, GLUT_DOWN, 100, 100));
  EXPECT_TRUE(handleMotion(110, 100));
  EXPECT_FLOAT_EQ(sceneRotY, 2);
  EXPECT_FLOAT_EQ(sceneRotX, 0);
  handleMotion(110, 105);  // measured from the last position, not the press
  EXPECT_FLOAT_EQ(sceneRotX, 1);
  EXPECT_FLOAT_EQ(sceneRotY, 2);
  handleMotion(107, 103);
  EXPECT_FLOAT_EQ(sceneRotY, 1.4f);
  EXPECT_FLOAT_EQ(sceneRotX, 0.6f);
  EXPECT_EQ(mouseLastX, 107);
  EXPECT_EQ(mouseLastY, 103);
}

TEST_F(Input, ReleaseStopsDraggingForEveryButton) {
  // Before any left-button event a drag of any button turns the scene,
  // measured from where its button went down.
  EXPECT_FALSE(handleMouse(GLUT_MIDDLE_BUTTON, GLUT_DOWN, 50, 50));
  EXPECT_TRUE(handleMotion(55, 50));
  EXPECT_FLOAT_EQ(sceneRotY, 1);

  handleMouse(GLUT_LEFT_BUTTON, GLUT_DOWN, 0, 0);
  EXPECT_TRUE(handleMouse(GLUT_LEFT_BUTTON, GLUT_UP, 0, 0));
  EXPECT_EQ(mouseState, -1);
  EXPECT_FALSE(handleMouse(GLUT_MIDDLE_BUTTON, GLUT_DOWN, 0, 0));
  EXPECT_FALSE(handleMotion(50, 50));
  EXPECT_FLOAT_EQ(sceneRotY, 1);
  EXPECT_FLOAT_EQ(sceneRotX, 0);
  EXPECT_FALSE(handleMouse(GLUT_RIGHT_BUTTON, GLUT_DOWN, 0, 0));
}

TEST_F(Input, MenuEntriesSelectTheirViewpoints) {
  struct Expected {
    float eye[3], center[3];
  };
  const Expected expected[4] = {
      {{15, 0, 1}, {0, 15, -2}},
      {{15, -15, 5}, {0, 5, -8}},
      {{-20, -20, 10}, {0, 0, 0}},
      {{10, 0, 30}, {0, 0, -8}},
  };
  for (int i = 0; i < 4; i++) {
    EXPECT_EQ(menuEntries[i].value, 49 + i);
    EXPECT_TRUE(handleMenu(menuEntries[i].value));
    EXPECT_EQ(presetView, 1);
    for (int k = 0; k < 3; k++) {
      EXPECT_EQ(presetEye[k], expected[i].eye[k]) << menuEntries[i].text;
      EXPECT_EQ(presetCenter[k], expected[i].center[k]) << menuEntries[i].text;
    }
  }
  EXPECT_STREQ(menuEntries[4].text, "일반시점");
  EXPECT_EQ(menuEntries[4].value, 53);
  EXPECT_TRUE(handleMenu(53));
  EXPECT_EQ(presetView, 0);
  EXPECT_EQ(presetEye[2], 30);  // the last preset is kept for nothing
}

TEST_F(Input, NormalViewAndUnknownValuesLeaveTheFreeViewAlone) {
  EXPECT_TRUE(handleMenu(53));
  EXPECT_TRUE(handleMenu(0));
  EXPECT_TRUE(handleMenu(54));
  EXPECT_EQ(presetView, 0);
  for (int k = 0; k < 3; k++) {
    EXPECT_EQ(presetEye[k], 0);
    EXPECT_EQ(presetCenter[k], 0);
  }
}

TEST_F(Input, CallbacksRequestARedisplayOnlyWhenStateMayHaveChanged) {
  keyboard('A', 1, 2);
  keyboard('a', 1, 2);
  EXPECT_EQ(glfake::count("glutPostRedisplay"), 2);
  special(GLUT_KEY_F1, 0, 0);
  special(GLUT_KEY_HOME, 0, 0);
  EXPECT_EQ(glfake::count("glutPostRedisplay"), 2);
  special(GLUT_KEY_LEFT, 0, 0);
  EXPECT_EQ(glfake::count("glutPostRedisplay"), 3);
  mouse(GLUT_MIDDLE_BUTTON, GLUT_DOWN, 0, 0);
  EXPECT_EQ(glfake::count("glutPostRedisplay"), 3);
  mouse(GLUT_LEFT_BUTTON, GLUT_DOWN, 10, 10);
  motion(20, 10);
  mouse(GLUT_LEFT_BUTTON, GLUT_UP, 20, 10);
  EXPECT_EQ(glfake::count("glutPostRedisplay"), 6);
  motion(30, 10);
  EXPECT_EQ(glfake::count("glutPostRedisplay"), 6);
  menu(51);
  menu(99);
  EXPECT_EQ(glfake::count("glutPostRedisplay"), 8);
  // Nothing else reaches GL from the handlers.
  EXPECT_EQ(glfake::calls().size(), 8u);
}

TEST_F(Input, EscapeLeavesTheMainLoopAndTouchesNoSceneState) {
  keyboard(27, 0, 0);
  EXPECT_EQ(glfake::count("glutLeaveMainLoop"), 1);
  EXPECT_EQ(glfake::calls().size(), 1u);
  EXPECT_FLOAT_EQ(zoom, 0.3f);
  EXPECT_EQ(kickA + kickB + ballForward + ballBack + ptStopped + balloonForward, 0);
}

}  // namespace
