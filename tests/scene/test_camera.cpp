// Projection and view transform, checked on the recording GL stand-in.
#include <gtest/gtest.h>

#include <GL/freeglut.h>

#include <cmath>

#include "glfake.h"
#include "scene.h"

namespace {

class Camera : public ::testing::Test {
 protected:
  void SetUp() override {
    resetSceneState();
    glfake::reset();
  }
  // What display does before drawing: the view on an identity model-view.
  static glfake::Mat4 viewMatrix() {
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glfake::reset();  // keep only the calls applyView makes
    applyView();
    return glfake::modelview();
  }
};

void expectNear(const glfake::Vec3& got, const glfake::Vec3& want) {
  EXPECT_NEAR(got.x, want.x, 1e-5);
  EXPECT_NEAR(got.y, want.y, 1e-5);
  EXPECT_NEAR(got.z, want.z, 1e-5);
}

TEST_F(Camera, ReshapeSetsViewportSixtyDegreePerspectiveAndDepthTest) {
  reshape(800, 600);
  const auto& log = glfake::calls();
  ASSERT_EQ(log.size(), 6u);
  EXPECT_EQ(log[0].name, "glClear");
  EXPECT_EQ(log[0].args[0], GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  EXPECT_EQ(log[1].name, "glViewport");
  EXPECT_EQ(log[1].args, (std::vector<double>{0, 0, 800, 600}));
  EXPECT_EQ(log[2].name, "glMatrixMode");
  EXPECT_EQ(log[2].args[0], GL_PROJECTION);
  EXPECT_EQ(log[3].name, "glLoadIdentity");
  EXPECT_EQ(log[4].name, "gluPerspective");
  EXPECT_EQ(log[5].name, "glEnable");
  EXPECT_EQ(log[5].args[0], GL_DEPTH_TEST);

  // A 60-degree vertical field of view: cot(30 deg) = sqrt(3).
  const double* p = glfake::projection().m;
  EXPECT_NEAR(p[5], std::sqrt(3.0), 1e-9);
  EXPECT_NEAR(p[0], std::sqrt(3.0) * 600 / 800, 1e-9);
  EXPECT_NEAR(p[10], -100.1 / 99.9, 1e-9);
  EXPECT_NEAR(p[14], -20.0 / 99.9, 1e-9);
  EXPECT_EQ(glfake::matrixMode(), unsigned(GL_PROJECTION));
  EXPECT_TRUE(glfake::isEnabled(GL_DEPTH_TEST));

  EXPECT_EQ(eyeZ, 5);
  EXPECT_EQ(centerZ, 4);
  EXPECT_EQ(centerX, 0);
}

TEST_F(Camera, ZeroHeightWindowCountsAsOnePixelHigh) {
  reshape(640, 0);
  const auto perspective = glfake::named("gluPerspective");
  ASSERT_EQ(perspective.size(), 1u);
  EXPECT_EQ(perspective[0].args[1], 640.0);
  for (double v : glfake::projection().m) EXPECT_TRUE(std::isfinite(v));
  EXPECT_NE(glfake::projection().m[0], 0.0);
  EXPECT_EQ(glfake::named("glViewport")[0].args[3], 0.0);
}

TEST_F(Camera, ResizeReturnsTheEyeToItsStartDistanceButKeepsTheSidewaysWalk) {
  reshape(1000, 1000);
  handleSpecial(GLUT_KEY_RIGHT);
  handleSpecial(GLUT_KEY_UP);
  handleSpecial(GLUT_KEY_UP);
  const float walkedX = eyeX;
  ASSERT_GT(walkedX, 0);
  reshape(500, 700);
  EXPECT_EQ(eyeZ, 5);
  EXPECT_EQ(eyeX, walkedX);
  EXPECT_FLOAT_EQ(heading, 0.05f);
  EXPECT_FLOAT_EQ(centerX, walkedX + std::sin(0.05f));
}

TEST_F(Camera, FreeViewShowsWorldUpAsScreenUp) {
  reshape(1000, 1000);
  const glfake::Mat4 m = viewMatrix();
  const auto& log = glfake::calls();
  ASSERT_EQ(log.size(), 5u);
  EXPECT_EQ(log[0].name, "gluLookAt");
  EXPECT_EQ(log[0].args, (std::vector<double>{0, 0, 5, 0, 0, 4, 0, 1, 0}));
  EXPECT_EQ(log[4].name, "glRotatef");
  EXPECT_EQ(log[4].args, (std::vector<double>{-90, 1, 0, 0}));

  // Scaled by the start zoom of 0.3 about the world origin, five units ahead.
  expectNear(m.apply({0, 0, 0}), {0, 0, -5});
  expectNear(m.apply({0, 0, 1}), {0, 0.3, -5});  // +Z up on the screen
  expectNear(m.apply({1, 0, 0}), {0.3, 0, -5});  // +X to the right
  expectNear(m.apply({0, 1, 0}), {0, 0, -5.3});  // +Y away from the viewer
}

TEST_F(Camera, DragAndZoomTurnAndScaleAboutTheWorldOrigin) {
  reshape(1000, 1000);
  handleKey('a');
  handleMouse(GLUT_LEFT_BUTTON, GLUT_DOWN, 0, 0);
  handleMotion(450, 0);  // 90 degrees about Y
  const glfake::Mat4 m = viewMatrix();
  const double s = 0.3 * 1.125;
  expectNear(m.apply({0, 0, 0}), {0, 0, -5});
  expectNear(m.apply({1, 0, 0}), {0, 0, -5 - s});  // +X now points away
  expectNear(m.apply({0, 0, 1}), {0, s, -5});
}

TEST_F(Camera, PresetViewIsOnlyALookAtWithZUp) {
  reshape(1000, 1000);
  handleMenu('4');
  handleKey('a');
  sceneRotX = 30;
  const glfake::Mat4 m = viewMatrix();
  const auto& log = glfake::calls();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].name, "gluLookAt");
  EXPECT_EQ(log[0].args, (std::vector<double>{10, 0, 30, 0, 0, -8, 0, 0, 1}));
  // The look-at point lies straight ahead and world +Z leans to screen up.
  const double distance = std::sqrt(10.0 * 10 + 38.0 * 38);
  expectNear(m.apply({0, 0, -8}), {0, 0, -distance});
  EXPECT_GT(m.apply({0, 0, -7}).y, m.apply({0, 0, -8}).y);

  // Back to the free view: the zoom and turn made meanwhile now show.
  handleMenu('5');
  viewMatrix();
  EXPECT_EQ(glfake::calls().size(), 5u);
  EXPECT_EQ(glfake::calls()[1].args[0], 30);
  EXPECT_FLOAT_EQ(glfake::calls()[3].args[0], 0.3f * 1.125f);
}

TEST(Startup, SharedQuadricDrawsWireFrames) {
  glfake::reset();
  initScene();
  ASSERT_NE(sharedQuadric, nullptr);
  const auto style = glfake::named("gluQuadricDrawStyle");
  ASSERT_EQ(style.size(), 1u);
  EXPECT_EQ(style[0].args.back(), GLU_LINE);
  EXPECT_EQ(glfake::count("gluNewQuadric"), 1);
}

}  // namespace
