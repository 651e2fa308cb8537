// The scene's program-wide state with its start values, and the colour table.
#include "scene.h"

GLUquadric* sharedQuadric = nullptr;

float eyeX, eyeY, eyeZ;
float centerX, centerY, centerZ;
float heading;
float sceneRotX, sceneRotY;
float zoom;
int presetView;
float presetEye[3], presetCenter[3];
const float presetUp[3] = {0.0f, 0.0f, 1.0f};
int mouseLastX, mouseLastY;
int mouseState, mouseButton;
int frameCount;
int blink20, blink30, blink50;
int swingDown;
float walkerSwing[4];
float walkerTravel;
int ptStopped;
float ptArmA, ptArmB, ptLegA, ptLegB;
int kickA, kickB, ballForward, ballBack;
float kickALeg, kickBLeg;
float ballAngle;
float spinAngle;
int hopUp;
float hopLevel;
int balloonForward;
float balloonOrbit;
float balloonHeading;
float carouselAngle;

const float moveStep = 0.125f;
const float turnStep = 0.05f;
const float zoomFactor = 1.125f;

const float scenePalette[PALETTE_SIZE][3] = {
    {1.0f, 0.0f, 0.0f},      // RED
    {0.0f, 1.0f, 0.0f},      // GREEN
    {0.0f, 0.0f, 1.0f},      // BLUE
    {1.0f, 1.0f, 0.0f},      // YELLOW
    {1.0f, 0.0f, 1.0f},      // MAGENTA
    {0.0f, 1.0f, 1.0f},      // CYAN
    {1.0f, 1.0f, 1.0f},      // WHITE
    {0.25f, 0.25f, 0.25f},   // DARK_GREY
    {0.6f, 0.4f, 0.7f},      // PURPLE
    {0.98f, 0.625f, 0.12f},  // ORANGE
    {0.98f, 0.04f, 0.7f},    // PINK
    {0.75f, 0.75f, 0.75f},   // LIGHT_GREY
    {0.6f, 0.4f, 0.12f},     // BROWN
    {0.5f, 1.0f, 0.7f},      // PALE_GREEN
};

void restartExercise() {
  // The walkers' swing and the PT exercise share swingDown, so they can only
  // start over together.
  swingDown = 0;
  walkerSwing[0] = -45;
  walkerSwing[1] = 45;
  walkerSwing[2] = 45;
  walkerSwing[3] = -45;
  ptStopped = 0;
  ptArmA = ptArmB = ptLegA = ptLegB = 0;
}

void resetSceneState() {
  eyeX = 0;
  eyeY = 0;
  eyeZ = -5;  // the first reshape moves the eye to z = 5
  centerX = centerY = centerZ = 0;
  heading = 0;
  sceneRotX = sceneRotY = 0;
  zoom = 0.3f;
  presetView = 0;
  for (int i = 0; i < 3; i++) presetEye[i] = presetCenter[i] = 0;
  mouseLastX = mouseLastY = 0;
  mouseState = mouseButton = 0;
  frameCount = 0;
  blink20 = blink30 = blink50 = 0;
  restartExercise();
  walkerTravel = 0;
  kickA = kickB = ballForward = ballBack = 0;
  kickALeg = kickBLeg = 0;
  ballAngle = 0;
  spinAngle = 0;
  hopUp = 0;
  hopLevel = 0;
  balloonForward = 0;
  balloonOrbit = 0;
  balloonHeading = 180;
  carouselAngle = 0;
}

namespace {
// The start values are set before anything else can read them.
const bool stateInitialised = (resetSceneState(), true);
}  // namespace
