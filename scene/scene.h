// The recreation-ground scene: its program-wide state, colour table and the
// routines of every module. All state lives in the variables below; the
// handlers change it through plain functions that need no window, and only
// the drawing routines talk to GL.
#ifndef SCENE_H
#define SCENE_H

#include <string>
#include <vector>

#include "glm.h"

struct GLUquadric;

// ---------------------------------------------------------------------------
// Scene state (state.cpp). Angles in degrees unless marked radians.
// ---------------------------------------------------------------------------
extern GLUquadric* sharedQuadric;  // line draw style; tower and carousel

extern float eyeX, eyeY, eyeZ;
extern float centerX, centerY, centerZ;
extern float heading;  // radians
extern float sceneRotX, sceneRotY;
extern float zoom;
extern int presetView;
extern float presetEye[3], presetCenter[3];
extern const float presetUp[3];
extern int mouseLastX, mouseLastY;
extern int mouseState, mouseButton;
extern int frameCount;
extern int blink20, blink30, blink50;
extern int swingDown;
extern float walkerSwing[4];
extern float walkerTravel;
extern int ptStopped;
extern float ptArmA, ptArmB, ptLegA, ptLegB;
extern int kickA, kickB, ballForward, ballBack;
extern float kickALeg, kickBLeg;
extern float ballAngle;
extern float spinAngle;
extern int hopUp;
extern float hopLevel;
extern int balloonForward;
extern float balloonOrbit;
extern float balloonHeading;
extern float carouselAngle;  // never changed: the carousel stands still

extern const float moveStep;    // 0.125 scene units
extern const float turnStep;    // 0.05 radians
extern const float zoomFactor;  // 1.125

enum PaletteEntry {
  RED,
  GREEN,
  BLUE,
  YELLOW,
  MAGENTA,
  CYAN,
  WHITE,
  DARK_GREY,
  PURPLE,
  ORANGE,
  PINK,
  LIGHT_GREY,
  BROWN,
  PALE_GREEN,
  PALETTE_SIZE
};
extern const float scenePalette[PALETTE_SIZE][3];

// Puts every variable above to its start value. Static initialisation calls
// it once, before anything reads the state; tests call it between cases.
void resetSceneState();
// Puts the walkers' swing and the PT exercise (which share swingDown) back to
// their start values, running: what "e" does after "r".
void restartExercise();

// ---------------------------------------------------------------------------
// The scene's own pop-up menu on the right button. GLUT's menu draws with
// Latin-1 bitmap fonts, which cannot show the Korean entries; this one draws
// them from a TrueType font. The state machine (popup.cpp) needs no GL; the
// drawing (popup_draw.cpp) draws the state it is given.
// ---------------------------------------------------------------------------
// One line of text as 8-bit coverage, rows top to bottom, pixel for pixel as
// it is to be shown.
struct TextImage {
  int width = 0, height = 0;
  std::vector<unsigned char> coverage;
};
// Rasterises one line of UTF-8 text; false when it cannot.
using TextRasteriser = bool (*)(const char* utf8, TextImage& out);
// font.cpp: a rasteriser on a font that fontconfig finds with every letter
// of the menu, or nullptr after one line on standard error saying why.
TextRasteriser koreanFontRasteriser();

constexpr int menuEntryHeight = 26;  // pixels
constexpr int menuPadding = 4;       // above the first and below the last entry
struct PopupMenu {
  bool enabled = false;  // the scene draws its own menu; else GLUT's is attached
  bool open = false;
  int x = 0, y = 0;  // top-left corner in window pixels, y down
  int width = 0, height = 0;
  int highlighted = -1;  // index into menuEntries under the pointer, or -1
  int windowWidth = 0, windowHeight = 0;
};
extern PopupMenu popupMenu;

// Opens the menu with its corner at the pointer, turned to the pointer's
// other side where it would leave the window, and kept inside it.
void popupOpen(PopupMenu& m, int x, int y);
int popupEntryAt(const PopupMenu& m, int x, int y);  // index, or -1 off the entries
void popupHover(PopupMenu& m, int x, int y);
// A mouse event while the menu is enabled. Returns whether the menu took it
// (every right-button event, and every event while open); `chosen` is set to
// the value of the entry released on, else 0.
bool popupMouse(PopupMenu& m, int button, int state, int x, int y, int& chosen);

// popup_draw.cpp. Rasterises the entries and lays the menu out around them;
// false (and the menu stays disabled) when the rasteriser fails.
bool initPopupMenu(PopupMenu& m, TextRasteriser rasterise);
void drawPopupMenu(const PopupMenu& m);  // over the frame, in window pixels

// ---------------------------------------------------------------------------
// Start-up (startup.cpp)
// ---------------------------------------------------------------------------
extern const char* const windowTitle;
struct MenuEntry {
  const char* text;
  int value;
};
extern const MenuEntry menuEntries[5];
void initScene();  // creates sharedQuadric in GLU_LINE style
// Everything before the main loop: the quadric, the window, its callbacks and
// the pop-up menu on the right button, the scene's own when `rasterise` is
// given, GLUT's otherwise.
void startScene(int* argc, char** argv, TextRasteriser rasterise);

// ---------------------------------------------------------------------------
// Camera and projection (camera.cpp)
// ---------------------------------------------------------------------------
void reshape(int width, int height);
void cameraUpdate(int key);
void applyView();  // the view transform, on the identity model-view matrix

// ---------------------------------------------------------------------------
// Input and menu (input.cpp). The handle* functions change state only and
// return whether a redisplay is due; the GLUT callbacks wrap them.
// ---------------------------------------------------------------------------
bool handleKey(unsigned char key);
bool handleSpecial(int key);
bool handleMouse(int button, int state, int x, int y);
bool handleMotion(int x, int y);
bool handleMenu(int value);
void keyboard(unsigned char key, int x, int y);
void special(int key, int x, int y);
void mouse(int button, int state, int x, int y);
void motion(int x, int y);
void menu(int value);

// ---------------------------------------------------------------------------
// Animation clock (clock.cpp)
// ---------------------------------------------------------------------------
void tick();  // one animation step, no GL
void idle();  // tick(), then swap buffers and request a redisplay

// ---------------------------------------------------------------------------
// Frame composition (display.cpp)
// ---------------------------------------------------------------------------
void display();

// ---------------------------------------------------------------------------
// Figures and props, each drawn at the current model-view matrix
// ---------------------------------------------------------------------------
void drawKickerA();  // person.cpp; leaves the figure's stand-up transform behind
void drawKickerB();
void drawWalker();
void drawGymnast();
void drawDogGrey();  // dog.cpp; leaves its scale, translate and colour behind
void drawDogPurple();
void drawBalloon();  // balloon.cpp
void drawBench();    // benches.cpp
void drawBenchOneSitter();
void drawBenchTwoSitters();
void drawTower();  // tower.cpp
void drawCarousel();
void drawEnclosure();  // props.cpp
void drawPathStrip();
void drawTree1();  // leaves its turns and scale behind
void drawTree2();

// ---------------------------------------------------------------------------
// Model table (models.cpp), filled by loadModels at start-up
// ---------------------------------------------------------------------------
extern ObjModel* models[10];
extern const char* const modelFiles[9];  // relative to the directory holding data/
// Where data/ is looked for, in order: the working directory ("."), the
// executable's own directory, the installed data directory.
std::vector<std::string> dataRoots();
// The first of `roots` whose data/ holds any of the model files, or "".
std::string findDataRoot(const std::vector<std::string>& roots);
void loadModels();  // ends the program, naming the places tried, when no data/ holds models

#endif
