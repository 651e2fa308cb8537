// The world-space assertions of the scene tests are only as good as the
// stand-in's matrix arithmetic, so it is checked against known results here.
#include <GL/gl.h>
#include <GL/glu.h>
#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <cmath>

#include "glfake.h"

namespace {

void expectNear(const glfake::Vec3& v, double x, double y, double z) {
  EXPECT_NEAR(v.x, x, 1e-9);
  EXPECT_NEAR(v.y, y, 1e-9);
  EXPECT_NEAR(v.z, z, 1e-9);
}

TEST(GlFake, ComposesTransformsInCallOrder) {
  glfake::reset();
  glTranslatef(1, 2, 3);
  glRotatef(90, 0, 0, 1);
  glScalef(2, 2, 2);
  glutSolidCube(1);
  // The last transform acts first: (1,0,0) -> (2,0,0) -> (0,2,0) -> (1,4,3).
  expectNear(glfake::named("glutSolidCube")[0].at({1, 0, 0}), 1, 4, 3);
}

TEST(GlFake, PushPopRestoresAndCountsDepthAndUnderflow) {
  glfake::reset();
  glPushMatrix();
  glTranslatef(5, 0, 0);
  glPushMatrix();
  EXPECT_EQ(glfake::modelviewDepth(), 3);
  glPopMatrix();
  glPopMatrix();
  expectNear(glfake::modelview().apply({0, 0, 0}), 0, 0, 0);
  EXPECT_EQ(glfake::maxModelviewDepth(), 3);
  EXPECT_EQ(glfake::stackUnderflows(), 0);
  glPopMatrix();
  EXPECT_EQ(glfake::stackUnderflows(), 1);
}

TEST(GlFake, LookAtMapsEyeToOriginAndCentreDownNegativeZ) {
  glfake::reset();
  gluLookAt(15, -15, 5, 0, 5, -8, 0, 0, 1);
  expectNear(glfake::modelview().apply({15, -15, 5}), 0, 0, 0);
  glfake::Vec3 centre = glfake::modelview().apply({0, 5, -8});
  EXPECT_NEAR(centre.x, 0, 1e-9);
  EXPECT_NEAR(centre.y, 0, 1e-9);
  EXPECT_LT(centre.z, 0);
  glfake::Vec3 back = glfake::modelview().inverse().apply(centre);
  expectNear(back, 0, 5, -8);
}

TEST(GlFake, RecordsColourAndProjectionSeparately) {
  glfake::reset();
  glMatrixMode(GL_PROJECTION);
  gluPerspective(60, 1, 0.1, 100);
  glMatrixMode(GL_MODELVIEW);
  glColor3f(0.5f, 0.25f, 1);
  glutWireCube(2);
  glfake::Call cube = glfake::named("glutWireCube")[0];
  EXPECT_FLOAT_EQ(cube.color[1], 0.25f);
  expectNear(cube.origin(), 0, 0, 0);
  EXPECT_NEAR(glfake::projection().m[5], 1 / std::tan(M_PI / 6), 1e-12);
  EXPECT_EQ(glfake::projection().m[11], -1);
}

}  // namespace
