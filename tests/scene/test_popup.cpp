// The scene's start-up and its own pop-up menu on the recording stand-in: the
// menu's state machine through the GLUT callbacks, and what it draws.
#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "glfake.h"
#include "scene.h"

namespace {

const bool modelsLoaded = (loadModels(), true);  // as the scene does at start-up

// Every byte of text 7 pixels wide, 16 high, fully covered.
bool blockText(const char* utf8, TextImage& out) {
  out.width = 7 * static_cast<int>(std::strlen(utf8));
  out.height = 16;
  out.coverage.assign(static_cast<size_t>(out.width) * out.height, 255);
  return true;
}

class Popup : public ::testing::Test {
 protected:
  void start(TextRasteriser rasterise) {
    resetSceneState();
    glfake::reset();
    startScene(nullptr, nullptr, rasterise);
    reshape(1000, 800);
  }
  // Centre of entry i of the open menu.
  int entryY(int i) const {
    return popupMenu.y + menuPadding + i * menuEntryHeight + menuEntryHeight / 2;
  }
  int inside() const { return popupMenu.x + popupMenu.width / 2; }
};

TEST_F(Popup, StartUpOpensTheWindowAndPutsAMenuOnTheRightButton) {
  for (TextRasteriser rasterise : {blockText, static_cast<TextRasteriser>(nullptr)}) {
    start(rasterise);
    std::vector<std::string> names;
    for (const glfake::Call& c : glfake::calls())
      if (c.name.find("Func") != std::string::npos) names.push_back(c.name);
    EXPECT_EQ(names, (std::vector<std::string>{"glutDisplayFunc", "glutReshapeFunc",
                                               "glutKeyboardFunc", "glutSpecialFunc",
                                               "glutMouseFunc", "glutMotionFunc", "glutIdleFunc"}));
    EXPECT_EQ(glfake::named("glutInitDisplayMode")[0].args[0], GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
    EXPECT_EQ(glfake::named("glutInitWindowSize")[0].args, (std::vector<double>{1000, 1000}));
    EXPECT_EQ(glfake::named("glutCreateWindow")[0].text, windowTitle);
    EXPECT_EQ(glfake::count("gluNewQuadric"), 1);
    // Without a font GLUT's menu takes the right button; with one the
    // scene's own opens on a right press.
    const auto entries = glfake::named("glutAddMenuEntry");
    ASSERT_EQ(entries.size(), rasterise ? 0u : 5u);
    for (size_t i = 0; i < entries.size(); i++) EXPECT_EQ(entries[i].text, menuEntries[i].text);
    const auto attached = glfake::named("glutAttachMenu");
    EXPECT_EQ(attached.size(), rasterise ? 0u : 1u);
    for (const auto& a : attached) EXPECT_EQ(a.args[0], GLUT_RIGHT_BUTTON);
    mouse(GLUT_RIGHT_BUTTON, GLUT_DOWN, 10, 10);
    EXPECT_EQ(popupMenu.open, rasterise != nullptr);
  }
}

TEST_F(Popup, OpensAtThePointerOffEveryEntryAndInsideTheWindow) {
  start(blockText);
  mouse(GLUT_RIGHT_BUTTON, GLUT_DOWN, 300, 200);
  EXPECT_EQ(popupMenu.x, 300);
  EXPECT_EQ(popupMenu.y, 200);
  EXPECT_EQ(popupMenu.highlighted, -1);
  mouse(GLUT_RIGHT_BUTTON, GLUT_UP, 300, 200);  // released where it opened: just closes
  EXPECT_FALSE(popupMenu.open);
  // Near the far corner it opens up and to the left of the pointer.
  mouse(GLUT_RIGHT_BUTTON, GLUT_DOWN, 995, 795);
  EXPECT_EQ(popupMenu.x + popupMenu.width, 995);
  EXPECT_EQ(popupMenu.y + popupMenu.height, 795);
  EXPECT_EQ(popupMenu.highlighted, -1);
}

TEST_F(Popup, HighlightsTheEntryUnderThePointerAndChoosesItOnRelease) {
  for (int i = 0; i < 5; i++) {
    start(blockText);
    mouse(GLUT_RIGHT_BUTTON, GLUT_DOWN, 100, 100);
    motion(inside(), entryY(i));
    EXPECT_EQ(popupMenu.highlighted, i);
    motion(popupMenu.x + popupMenu.width, entryY(i));  // just off its right edge
    EXPECT_EQ(popupMenu.highlighted, -1);
    motion(inside(), entryY(i));
    mouse(GLUT_RIGHT_BUTTON, GLUT_UP, inside(), entryY(i));
    EXPECT_FALSE(popupMenu.open);
    // The same as the menu callback with the entry's value.
    const auto view = [] {
      return std::vector<float>{float(presetView), presetEye[0],    presetEye[1],   presetEye[2],
                                presetCenter[0],   presetCenter[1], presetCenter[2]};
    };
    const std::vector<float> chosen = view();
    resetSceneState();
    menu(menuEntries[i].value);
    EXPECT_EQ(chosen, view()) << "entry " << i;
    EXPECT_EQ(presetView, i < 4 ? 1 : 0);
  }
}

TEST_F(Popup, WhileOpenKeysAndOtherButtonsDoNotReachTheScene) {
  start(blockText);
  mouse(GLUT_RIGHT_BUTTON, GLUT_DOWN, 100, 100);
  keyboard('a', 0, 0);
  special(GLUT_KEY_UP, 0, 0);
  mouse(GLUT_LEFT_BUTTON, GLUT_DOWN, 500, 500);
  motion(510, 500);
  mouse(GLUT_LEFT_BUTTON, GLUT_UP, 510, 500);
  EXPECT_TRUE(popupMenu.open);
  EXPECT_FLOAT_EQ(zoom, 0.3f);
  EXPECT_FLOAT_EQ(eyeZ, 5);
  EXPECT_EQ(sceneRotY, 0);
  EXPECT_EQ(mouseState, -1);                    // the left release still ends dragging
  mouse(GLUT_RIGHT_BUTTON, GLUT_UP, 900, 700);  // released off the menu: nothing chosen
  EXPECT_FALSE(popupMenu.open);
  EXPECT_EQ(presetView, 0);
  keyboard('a', 0, 0);
  EXPECT_FLOAT_EQ(zoom, 0.3f * 1.125f);
}

TEST_F(Popup, ALeftReleaseWhileTheMenuIsOpenEndsTheDrag) {
  start(blockText);
  mouse(GLUT_LEFT_BUTTON, GLUT_DOWN, 100, 100);
  mouse(GLUT_RIGHT_BUTTON, GLUT_DOWN, 100, 100);
  mouse(GLUT_LEFT_BUTTON, GLUT_UP, 100, 100);
  mouse(GLUT_RIGHT_BUTTON, GLUT_UP, 100, 100);
  mouse(GLUT_MIDDLE_BUTTON, GLUT_DOWN, 100, 100);
  motion(150, 150);
  EXPECT_EQ(sceneRotX, 0);
  EXPECT_EQ(sceneRotY, 0);
}

TEST_F(Popup, DrawsOverTheFrameOnWholePixelsAndPutsTheStateBack) {
  start(blockText);
  mouse(GLUT_RIGHT_BUTTON, GLUT_DOWN, 100, 100);
  motion(inside(), entryY(2));
  glfake::reset();
  glEnable(GL_DEPTH_TEST);
  display();
  const auto ortho = glfake::named("glOrtho");
  ASSERT_EQ(ortho.size(), 1u);
  EXPECT_EQ(ortho[0].args, (std::vector<double>{0, 1000, 800, 0, -1, 1}));
  // The text quads: each exactly as wide and high as its rasterised line, so
  // one texel is one pixel, and inside its entry.
  const auto vertices = glfake::named("glVertex2i");
  ASSERT_GE(vertices.size(), 20u);
  for (int i = 0; i < 5; i++) {
    const auto* quad = &vertices[vertices.size() - 20 + 4 * i];
    EXPECT_EQ(quad[1].args[0] - quad[0].args[0], 7.0 * std::strlen(menuEntries[i].text));
    EXPECT_EQ(quad[2].args[1] - quad[1].args[1], 16);
    EXPECT_GE(quad[0].args[1], entryY(i) - menuEntryHeight / 2);
    EXPECT_LE(quad[2].args[1], entryY(i) + menuEntryHeight / 2);
    EXPECT_EQ(quad[0].color[0], i == 2 ? 1.0f : 0.1f);  // white on the highlight
  }
  EXPECT_EQ(glfake::named("glTexImage2D").size(), 0u);  // uploaded once, at start-up
  EXPECT_TRUE(glfake::isEnabled(GL_DEPTH_TEST));
  EXPECT_FALSE(glfake::isEnabled(GL_TEXTURE_2D));
  EXPECT_EQ(glfake::modelviewDepth(), 1);
  EXPECT_EQ(glfake::calls().back().name, "glFlush");
}

}  // namespace
