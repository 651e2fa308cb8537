// The animation clock, driven tick by tick with no window.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "glfake.h"
#include "scene.h"

namespace {

class Clock : public ::testing::Test {
 protected:
  void SetUp() override {
    resetSceneState();
    glfake::reset();
  }
  static void ticks(int n) {
    for (int i = 0; i < n; i++) tick();
  }
};

TEST_F(Clock, PulsesAreOnForTwoTicksOfEachPeriodStartingOnTheFirst) {
  tick();
  EXPECT_EQ(frameCount, 1);
  EXPECT_EQ(blink20, 1);
  EXPECT_EQ(blink30, 1);
  EXPECT_EQ(blink50, 1);
  tick();
  EXPECT_EQ(blink20, 0);
  EXPECT_EQ(blink30, 0);
  EXPECT_EQ(blink50, 0);
  ticks(17);  // tick 19
  EXPECT_EQ(blink20, 0);
  tick();  // 20
  EXPECT_EQ(blink20, 1);
  EXPECT_EQ(blink30, 0);
  tick();  // 21
  EXPECT_EQ(blink20, 1);
  tick();  // 22
  EXPECT_EQ(blink20, 0);
  ticks(8);  // 30
  EXPECT_EQ(blink30, 1);
  ticks(20);  // 50
  EXPECT_EQ(blink50, 1);
  EXPECT_EQ(blink20, 0);
}

TEST_F(Clock, BallSwingsOverInSixTicksWhileFirstKickerHoldsTheKick) {
  handleKey('z');
  ticks(5);
  EXPECT_FLOAT_EQ(ballAngle, 150);
  EXPECT_EQ(ballForward, 1);
  tick();
  EXPECT_FLOAT_EQ(ballAngle, 180);
  EXPECT_EQ(ballForward, 0);
  EXPECT_FLOAT_EQ(kickALeg, -45);
  ticks(2);
  EXPECT_FLOAT_EQ(ballAngle, 180);  // clamped, no further swing
  ticks(30 - frameCount - 1);       // tick 29
  EXPECT_EQ(kickA, 1);
  EXPECT_FLOAT_EQ(kickALeg, -45);
  tick();  // 30 ends the kick
  EXPECT_EQ(kickA, 0);
  EXPECT_FLOAT_EQ(kickALeg, 0);

  handleKey('x');
  tick();
  EXPECT_FLOAT_EQ(kickBLeg, 45);
  ticks(4);
  EXPECT_FLOAT_EQ(ballAngle, 30);
  EXPECT_EQ(ballBack, 1);
  tick();
  EXPECT_FLOAT_EQ(ballAngle, 0);
  EXPECT_EQ(ballBack, 0);
  EXPECT_FLOAT_EQ(kickBLeg, 45);
}

TEST_F(Clock, KickPressedJustBeforeAMultipleOfThirtyIsNeverShown) {
  ticks(29);
  handleKey('z');
  tick();
  EXPECT_EQ(kickA, 0);
  EXPECT_FLOAT_EQ(kickALeg, 0);
  EXPECT_FLOAT_EQ(ballAngle, 30);  // the ball still swings
}

TEST_F(Clock, BothKicksTogetherHoldTheBallWhereItIs) {
  handleKey('z');
  ticks(3);
  ASSERT_FLOAT_EQ(ballAngle, 90);
  handleKey('x');
  for (int i = 0; i < 10; i++) {
    tick();
    EXPECT_FLOAT_EQ(ballAngle, 90);
  }
  // From the far end the forward motion clears at once and the ball comes back.
  resetSceneState();
  ballAngle = 180;
  handleKey('z');
  handleKey('x');
  tick();
  EXPECT_EQ(ballForward, 0);
  EXPECT_FLOAT_EQ(ballAngle, 150);
}

TEST_F(Clock, WalkersTravelJustPastThirtyOneThenWrapToZero) {
  tick();
  EXPECT_EQ(walkerTravel, 0.01f);
  int n = 1;
  float before = walkerTravel;
  while (walkerTravel <= 31 && n < 10000) {
    before = walkerTravel;
    tick();
    n++;
    ASSERT_GT(walkerTravel, before);
  }
  EXPECT_GT(walkerTravel, 31.0f);
  EXPECT_LT(walkerTravel, 31.02f);
  EXPECT_GT(n, 3090);
  EXPECT_LT(n, 3110);
  tick();
  EXPECT_EQ(walkerTravel, 0.0f);
  tick();
  EXPECT_EQ(walkerTravel, 0.01f);
}

TEST_F(Clock, DogsHopHalfThenAlternate) {
  const float expected[] = {0.5f, 1.0f, 0.5f, 1.0f, 0.5f, 1.0f};
  for (float level : expected) {
    tick();
    EXPECT_EQ(hopLevel, level);
  }
  EXPECT_FLOAT_EQ(spinAngle, 60);
}

TEST_F(Clock, RunningExerciseAndWalkersShareOneSwingFlag) {
  ticks(89);
  EXPECT_FLOAT_EQ(walkerSwing[0], 44);
  EXPECT_FLOAT_EQ(ptArmA, 89);
  tick();  // the walkers turn the flag; the PT block follows it in the same tick
  EXPECT_FLOAT_EQ(walkerSwing[0], 45);
  EXPECT_FLOAT_EQ(walkerSwing[1], -45);
  EXPECT_EQ(swingDown, 1);
  EXPECT_FLOAT_EQ(ptArmA, 88);

  float maxArm = 0, maxLeg = 0, minSwing = 0, maxSwing = -100;
  for (int i = 0; i < 2000; i++) {
    tick();
    maxArm = std::max(maxArm, ptArmA);
    maxLeg = std::max(maxLeg, ptLegB);
    minSwing = std::min(minSwing, walkerSwing[0]);
    maxSwing = std::max(maxSwing, walkerSwing[0]);
    ASSERT_GE(ptLegB, 0.0f);
  }
  // Roughly half of the clamp values, never the clamps themselves.
  EXPECT_LT(maxArm, 100);
  EXPECT_LT(maxLeg, 20);
  EXPECT_GT(maxArm, 80);
  EXPECT_FLOAT_EQ(maxSwing, 45);
  EXPECT_GT(minSwing, -45);  // the PT block turns the walkers up first
}

TEST_F(Clock, StoppedExerciseLetsWalkersTurnFullCircles) {
  handleKey('r');
  ticks(200);
  EXPECT_FLOAT_EQ(walkerSwing[0], 155);
  EXPECT_FLOAT_EQ(walkerSwing[3], 155);
  EXPECT_FLOAT_EQ(walkerSwing[1], -155);
  EXPECT_FLOAT_EQ(walkerSwing[2], -155);
  EXPECT_EQ(swingDown, 0);
  EXPECT_EQ(ptArmA, 0);
  EXPECT_EQ(ptLegB, 0);
}

TEST_F(Clock, ExerciseRestartsFromRest) {
  ticks(40);
  handleKey('r');
  tick();
  EXPECT_EQ(ptArmA, 0);
  EXPECT_EQ(ptLegA, 0);
  handleKey('e');
  tick();
  EXPECT_FLOAT_EQ(ptArmA, 1);
  EXPECT_FLOAT_EQ(ptLegA, 0.2f);
  EXPECT_EQ(swingDown, 0);
}

TEST_F(Clock, RestartAfterALongStopMovesAsFromProgramStart) {
  // Long enough stopped for the walkers to swing far past 45.
  const auto pose = [] {
    return std::vector<float>{walkerSwing[0], walkerSwing[1], walkerSwing[2],
                              walkerSwing[3], ptArmA,         ptArmB,
                              ptLegA,         ptLegB,         float(swingDown)};
  };
  std::vector<std::vector<float>> fromStart, afterRestart;
  for (int i = 0; i < 400; i++, tick()) fromStart.push_back(pose());
  ticks(100);
  handleKey('r');
  ticks(300);
  handleKey('e');
  for (int i = 0; i < 400; i++, tick()) afterRestart.push_back(pose());
  EXPECT_EQ(afterRestart, fromStart);
  const auto running = pose();
  handleKey('e');  // while running, "e" changes nothing
  EXPECT_EQ(pose(), running);
}

TEST_F(Clock, BalloonDirectionFollowsTheKeys) {
  tick();
  EXPECT_EQ(balloonHeading, 0);
  EXPECT_FLOAT_EQ(balloonOrbit, -0.1f);
  handleKey('w');
  ticks(3);
  EXPECT_EQ(balloonHeading, 180);
  EXPECT_FLOAT_EQ(balloonOrbit, 0.2f);
}

TEST_F(Clock, IdleSwapsThenRequestsTheNextFrame) {
  idle();
  EXPECT_EQ(frameCount, 1);
  const auto& log = glfake::calls();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0].name, "glutSwapBuffers");
  EXPECT_EQ(log[1].name, "glutPostRedisplay");
}

}  // namespace
