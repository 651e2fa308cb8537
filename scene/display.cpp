// The display callback: one frame of the recreation ground, +Z up, on a
// ground square about 28.6 wide centred on the origin at z = -2.8. Each
// object is placed in its own push/pop unless noted; transforms are listed
// in the order they are applied to the matrix.
#include <GL/gl.h>
#include <GL/glut.h>

#include <initializer_list>

#include "scene.h"

namespace {

using DrawRoutine = void (*)();

// ---- Placement tables --------------------------------------------------

// The four walkers go round the square path anticlockwise seen from above;
// walkers 3 and 4 are walkers 1 and 2 turned a quarter round.
struct WalkerPlace {
  bool quarterTurn;
  float corner;      // +15.5 or -15.5: the corner the walker starts from
  float travelSign;  // direction of walkerTravel along the side
};
const WalkerPlace walkers[] = {
    {false, 15.5f, 1.0f},
    {false, -15.5f, -1.0f},
    {true, 15.5f, 1.0f},
    {true, -15.5f, -1.0f},
};

struct BenchPlace {
  float y;
  DrawRoutine draw;
};
// The west row ends with a plain bench drawn over the two sitters' bench.
const BenchPlace westBenches[] = {
    {-12.0f, drawBenchTwoSitters},
    {-6.0f, drawBenchOneSitter},
    {0.0f, drawBench},
    {6.0f, drawBench},
    {12.0f, drawBench},
    {-12.0f, drawBench},
};
// The south row is the same line turned a quarter round: y = -14, x from 12 to -12.
const BenchPlace southBenches[] = {
    {-12.0f, drawBenchOneSitter}, {-6.0f, drawBench}, {0.0f, drawBench},
    {6.0f, drawBenchTwoSitters},  {12.0f, drawBench},
};

// Three rows of seven trees: each row starts at `origin` and steps one unit
// along `step` for i = -3 to 3.
struct TreeRow {
  float origin[2];
  float step[2];
};
const TreeRow treeRows[] = {
    {{0.0f, 4.0f}, {1.0f, 0.0f}},
    {{0.0f, -4.0f}, {1.0f, 0.0f}},
    {{-4.0f, 0.0f}, {0.0f, 1.0f}},
};

// Dogs 4 and up hop; dogs 6 to 8 also spin, and are shown only while their
// blink pulse is on.
struct DogPlace {
  DrawRoutine draw;
  float x, y;
  bool turned;
  float turn;  // degrees about Z, when turned
  bool hops;
  bool spins;
  const int* shownBy;  // null: always shown
};
const DogPlace dogs[] = {
    {drawDogPurple, -11.0f, -5.0f, true, 45.0f, false, false, nullptr},
    {drawDogGrey, -9.0f, -1.0f, true, 170.0f, false, false, nullptr},
    {drawDogGrey, -13.0f, 0.0f, false, 0.0f, false, false, nullptr},
    {drawDogGrey, -15.5f, 5.0f, true, 180.0f, true, false, nullptr},
    {drawDogPurple, -15.0f, -15.0f, false, 0.0f, true, false, nullptr},
    {drawDogPurple, -6.0f, -19.0f, true, -90.0f, true, true, &blink20},
    {drawDogPurple, -11.5f, -20.0f, true, -90.0f, true, true, &blink30},
    {drawDogPurple, -8.0f, -23.0f, true, -90.0f, true, true, &blink50},
};

// ---- Objects -----------------------------------------------------------

void drawPaths() {
  for (float turn : {90.0f, 0.0f, 180.0f, 270.0f}) {
    glPushMatrix();
    {
      glRotatef(turn, 0.0f, 0.0f, 1.0f);
      glTranslatef(-2.0f, -5.0f, -0.8f);
      drawPathStrip();
    }
    glPopMatrix();
  }
}

void drawEventBalloon() {
  glPushMatrix();
  {
    glRotatef(balloonOrbit, 0.0f, 0.0f, 1.0f);
    glTranslatef(8.0f, 0.0f, 10.0f);
    glColor3fv(scenePalette[RED]);
    glRotatef(balloonHeading, 0.0f, 0.0f, 1.0f);
    drawBalloon();
  }
  glPopMatrix();
}

void drawWalkers() {
  for (const WalkerPlace& w : walkers) {
    glPushMatrix();
    {
      glColor3fv(scenePalette[BLUE]);
      if (w.quarterTurn) glRotatef(90.0f, 0.0f, 0.0f, 1.0f);
      glTranslatef(w.corner, 0.19f, 0.0f);
      glTranslatef(0.0f, w.corner, 0.0f);
      glPushMatrix();
      {
        glRotatef(90.0f, 0.0f, 0.0f, 1.0f);
        glTranslatef(0.0f, w.travelSign * walkerTravel, 0.0f);
        drawWalker();
      }
      glPopMatrix();
    }
    glPopMatrix();
  }
}

void drawBenches() {
  for (const BenchPlace& b : westBenches) {
    glPushMatrix();
    {
      glTranslatef(-14.0f, b.y, -2.29f);
      b.draw();
    }
    glPopMatrix();
  }
  for (const BenchPlace& b : southBenches) {
    glPushMatrix();
    {
      glRotatef(90.0f, 0.0f, 0.0f, 1.0f);
      glTranslatef(-14.0f, b.y, -2.29f);
      b.draw();
    }
    glPopMatrix();
  }
}

void drawGround() {
  glPushMatrix();
  {
    glColor3fv(scenePalette[PALE_GREEN]);
    glScalef(1.3f, 1.3f, 0.01f);
    glTranslatef(0.0f, 0.0f, -280.0f);
    glutWireCube(22.0);
  }
  glPopMatrix();
}

void drawTrees() {
  for (const TreeRow& row : treeRows) {
    for (int i = -3; i <= 3; i++) {
      const float fi = static_cast<float>(i);
      glPushMatrix();
      {
        glTranslatef(row.origin[0] + fi * row.step[0], row.origin[1] + fi * row.step[1], -3.0f);
        glScalef(1.0f, 1.0f, 2.0f);
        drawTree1();
      }
      glPopMatrix();
    }
  }
}

// The leader in purple, then a 6 by 6 block in orange centred half a unit
// off (10, 9).
void drawPtGroup() {
  glPushMatrix();
  {
    glColor3fv(scenePalette[PURPLE]);
    glTranslatef(9.5f, 4.0f, 0.5f);
    drawGymnast();
  }
  glPopMatrix();

  glPushMatrix();
  {
    glTranslatef(10.0f, 9.0f, 0.0f);
    for (int a = -3; a < 3; a++) {
      for (int b = -3; b < 3; b++) {
        glPushMatrix();
        {
          glColor3fv(scenePalette[ORANGE]);
          glTranslatef(static_cast<float>(a), static_cast<float>(b), 0.5f);
          drawGymnast();
        }
        glPopMatrix();
      }
    }
  }
  glPopMatrix();
}

void drawTieredTower() {
  glPushMatrix();
  {
    glTranslatef(0.0f, 0.0f, -2.7f);
    glScalef(3.0f, 3.0f, 3.0f);
    drawTower();
  }
  glPopMatrix();
}

void drawDogsEnclosure() {
  glPushMatrix();
  {
    glTranslatef(-9.0f, 0.0f, 0.0f);
    glScalef(0.8f, 0.8f, 0.8f);
    drawEnclosure();
  }
  glPopMatrix();
}

void drawDarkSlab() {
  glPushMatrix();
  {
    glColor3fv(scenePalette[DARK_GREY]);
    glRotatef(90.0f, 0.0f, 0.0f, 1.0f);
    glScalef(1.1f, 11.5f, 0.2f);
    glTranslatef(0.0f, -0.85f, -14.0f);
    glutSolidCube(1.0);
  }
  glPopMatrix();
}

void drawDogs() {
  for (const DogPlace& dog : dogs) {
    if (dog.shownBy && *dog.shownBy != 1) continue;
    glPushMatrix();
    {
      glScalef(0.7f, 0.7f, 0.7f);
      glTranslatef(dog.x, dog.y, -1.2f);
      if (dog.turned) glRotatef(dog.turn, 0.0f, 0.0f, 1.0f);
      if (dog.hops) glTranslatef(0.0f, 0.0f, hopLevel - 0.5f);
      if (dog.spins) glRotatef(spinAngle, 0.0f, 0.0f, 1.0f);
      dog.draw();
    }
    glPopMatrix();
  }
}

// The court, its two players and the ball. The court's three wire boxes set
// no colour: they take the purple left by the last dog. The second kicker
// and the ball are placed from the frame each kicker leaves behind, so
// nothing between them is pushed or popped.
void drawCourtGroup() {
  glPushMatrix();
  {
    glPushMatrix();
    {
      glScalef(7.0f, 10.0f, 0.2f);
      glTranslatef(1.35f, -0.7f, -13.0f);
      glutWireCube(1.0);  // the court's outline
      glPushMatrix();
      {
        glTranslatef(0.0f, 0.0f, 3.0f);
        glScalef(1.0f, 1.0f, 5.0f);
        glutWireCube(1.0);  // the space above the court
        glScalef(1.0f, 0.01f, 1.0f);
        glutWireCube(1.0);  // the net
      }
      glPopMatrix();
      glScalef(0.9f, 0.9f, 0.9f);
      glColor3f(0.0f, 0.8f, 0.0f);
      glutSolidCube(1.0);  // the playing surface
    }
    glPopMatrix();

    glColor3fv(scenePalette[CYAN]);
    glTranslatef(9.5f, -3.0f, 0.2f);
    drawKickerA();

    // Upright again, across the net at (9.5, -11, 0.1).
    glRotatef(270.0f, 1.0f, 0.0f, 0.0f);
    glTranslatef(0.0f, -8.0f, 2.0f);
    glColor3fv(scenePalette[WHITE]);
    drawKickerB();

    // The ball swings on a 3.5 arm about the X axis through the middle of
    // the net, (9.5, -7, -2).
    glColor3f(1.0f, 0.0f, 0.0f);
    glTranslatef(0.0f, 0.0f, -4.0f);
    glRotatef(ballAngle, 1.0f, 0.0f, 0.0f);
    glTranslatef(0.0f, 0.0f, -3.5f);
    glutSolidSphere(0.2, 10, 8);
  }
  glPopMatrix();
}

}  // namespace

void display() {
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  applyView();

  drawPaths();
  drawEventBalloon();
  drawWalkers();
  drawBenches();
  drawGround();
  drawTrees();
  drawPtGroup();
  drawTieredTower();
  drawDogsEnclosure();
  drawDarkSlab();
  drawDogs();
  drawCourtGroup();          // after the dogs: the court takes their purple
  drawPopupMenu(popupMenu);  // over everything, when open

  glFlush();  // the idle callback swaps the buffers
}
