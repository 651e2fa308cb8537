// The animation clock: one fixed step of every animated variable per idle
// call, so the animation runs as fast as the frames come.
#include <GL/freeglut.h>

#include "scene.h"

namespace {

// The steps are added in double precision and stored back as floats; the
// results (e.g. where walkerTravel wraps) depend on that rounding.
void add(float& value, double step) {
  value = static_cast<float>(static_cast<double>(value) + step);
}

int pulse(int frame, int period) {
  const int phase = frame % period;
  return (phase == 0 || phase == 1) ? 1 : 0;
}

void kick(int& flag, float& leg, float pose) {
  if (flag == 1) {
    leg = pose;
    // The pose ends on the next frame that is a multiple of 30, which may be
    // this very one.
    if (frameCount % 30 == 0) {
      leg = 0;
      flag = 0;
    }
  } else {
    leg = 0;
  }
}

void setPt(float arm, float leg) {
  ptArmA = ptArmB = arm;
  ptLegA = ptLegB = leg;
}

void countFrame() {
  frameCount = frameCount + 1;
  blink20 = pulse(frameCount, 20);
  blink30 = pulse(frameCount, 30);
  blink50 = pulse(frameCount, 50);
}

// "z" swings the ball forward to 180, "x" back to 0; pressed together, the
// two steps cancel until one of them ends.
void swingBall() {
  if (ballForward == 1) {
    add(ballAngle, 30);
    if (ballAngle >= 180) {
      ballAngle = 180;
      ballForward = 0;
    }
  }
  if (ballBack == 1) {
    add(ballAngle, -30);
    if (ballAngle <= 0) {
      ballAngle = 0;
      ballBack = 0;
    }
  }
}

void hopDogs() {
  if (hopUp == 0) {
    add(hopLevel, 0.5);
    if (hopLevel >= 1.0f) hopUp = 1;
  } else {
    add(hopLevel, -0.5);
    if (hopLevel <= 1.0f) hopUp = 0;
  }
}

// swingDown is shared with the PT exercise, which may turn it again in the
// same tick.
void swingWalkers() {
  if (swingDown == 0) {
    add(walkerSwing[0], 1);
    add(walkerSwing[1], -1);
    add(walkerSwing[2], -1);
    add(walkerSwing[3], 1);
    if (walkerSwing[0] >= 45) swingDown = 1;
  } else if (swingDown == 1) {
    add(walkerSwing[0], -1);
    add(walkerSwing[1], 1);
    add(walkerSwing[2], 1);
    add(walkerSwing[3], -1);
    if (walkerSwing[0] <= -45) swingDown = 0;
  }
}

void walkWalkers() {
  if (walkerTravel <= 31) {
    add(walkerTravel, 0.01);
  } else {
    walkerTravel = 0;
  }
}

void exercisePt() {
  if (swingDown == 0) {
    add(ptArmA, 1);
    add(ptArmB, 1);
    add(ptLegA, 0.2);
    add(ptLegB, 0.2);
    if (ptLegB > 34) {
      setPt(170, 34);
      swingDown = 1;
    }
  } else if (swingDown == 1) {
    add(ptArmA, -1);
    add(ptArmB, -1);
    add(ptLegA, -0.2);
    add(ptLegB, -0.2);
    if (ptLegB < 0) {
      setPt(0, 0);
      swingDown = 0;
    }
  }
}

// Stopped, the gymnasts stand at rest and hold the shared flag at 0 every
// tick, so the walkers swing on without ever turning back.
void restPt() {
  setPt(0, 0);
  swingDown = 0;
}

void steerBalloon() {
  if (balloonForward == 1) {
    balloonHeading = 180;
    add(balloonOrbit, 0.1);
  } else {
    balloonHeading = 0;
    add(balloonOrbit, -0.1);
  }
}

}  // namespace

// The order matters: later steps read flags that earlier ones changed in the
// same tick.
void tick() {
  countFrame();
  swingBall();
  kick(kickA, kickALeg, -45);
  kick(kickB, kickBLeg, 45);
  add(spinAngle, 10);
  hopDogs();
  swingWalkers();
  walkWalkers();
  if (ptStopped == 0) {
    exercisePt();
  } else if (ptStopped == 1) {
    restPt();
  }
  steerBalloon();
}

void idle() {
  tick();
  // The frame drawn by the last display call is shown now.
  glutSwapBuffers();
  glutPostRedisplay();
}
