// Draws the open pop-up menu over the finished frame, one window pixel per
// unit so that the text lands on whole pixels and stays sharp: a drop
// shadow, a grey border round a light panel, the entry under the pointer in
// blue, and the entries' text from one texture of lines rasterised once.
#include <GL/gl.h>

#include <algorithm>
#include <iterator>

#include "scene.h"

namespace {

constexpr int kEntries = static_cast<int>(std::size(menuEntries));
constexpr int textLeft = 14;   // panel edge to text
constexpr int textRight = 32;  // text to panel edge, as desktop menus leave room
constexpr int shadowOffset = 3;

struct Atlas {
  GLuint texture = 0;
  int width = 0, height = 0;  // powers of two, as GL 1.1 wants
  int lineHeight = 0;         // entry i's text fills rows i * lineHeight onwards
  int textWidth[kEntries] = {};
};
Atlas atlas;

int powerOfTwo(int n) {
  int p = 1;
  while (p < n) p *= 2;
  return p;
}

void rect(int x0, int y0, int x1, int y1) {
  glVertex2i(x0, y0);
  glVertex2i(x1, y0);
  glVertex2i(x1, y1);
  glVertex2i(x0, y1);
}

int entryTop(const PopupMenu& m, int entry) { return m.y + menuPadding + entry * menuEntryHeight; }

void drawPanel(const PopupMenu& m) {
  glBegin(GL_QUADS);
  glColor4f(0, 0, 0, 0.25f);
  rect(m.x + shadowOffset, m.y + shadowOffset, m.x + m.width + shadowOffset,
       m.y + m.height + shadowOffset);
  glColor3f(0.62f, 0.62f, 0.62f);
  rect(m.x, m.y, m.x + m.width, m.y + m.height);
  glColor3f(0.97f, 0.97f, 0.96f);
  rect(m.x + 1, m.y + 1, m.x + m.width - 1, m.y + m.height - 1);
  if (m.highlighted >= 0) {
    glColor3f(0.21f, 0.47f, 0.86f);
    const int top = entryTop(m, m.highlighted);
    rect(m.x + 1, top, m.x + m.width - 1, top + menuEntryHeight);
  }
  glEnd();
}

void drawTexts(const PopupMenu& m) {
  glEnable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, atlas.texture);
  // The texture holds coverage only; the colour comes from glColor.
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  glBegin(GL_QUADS);
  for (int i = 0; i < kEntries; i++) {
    if (i == m.highlighted) {
      glColor3f(1, 1, 1);
    } else {
      glColor3f(0.1f, 0.1f, 0.1f);
    }
    const int x0 = m.x + textLeft, x1 = x0 + atlas.textWidth[i];
    const int y0 = entryTop(m, i) + (menuEntryHeight - atlas.lineHeight) / 2;
    const int y1 = y0 + atlas.lineHeight;
    const float s1 = static_cast<float>(atlas.textWidth[i]) / static_cast<float>(atlas.width);
    const float t0 = static_cast<float>(i * atlas.lineHeight) / static_cast<float>(atlas.height);
    const float t1 =
        static_cast<float>((i + 1) * atlas.lineHeight) / static_cast<float>(atlas.height);
    glTexCoord2f(0, t0);
    glVertex2i(x0, y0);
    glTexCoord2f(s1, t0);
    glVertex2i(x1, y0);
    glTexCoord2f(s1, t1);
    glVertex2i(x1, y1);
    glTexCoord2f(0, t1);
    glVertex2i(x0, y1);
  }
  glEnd();
  glBindTexture(GL_TEXTURE_2D, 0);
  glDisable(GL_TEXTURE_2D);
}

}  // namespace

bool initPopupMenu(PopupMenu& m, TextRasteriser rasterise) {
  m.enabled = m.open = false;
  if (rasterise == nullptr) return false;
  TextImage lines[kEntries];
  int widest = 0, tallest = 0;
  for (int i = 0; i < kEntries; i++) {
    if (!rasterise(menuEntries[i].text, lines[i])) return false;
    widest = std::max(widest, lines[i].width);
    tallest = std::max(tallest, lines[i].height);
  }
  if (tallest > menuEntryHeight) return false;

  atlas.width = powerOfTwo(widest);
  atlas.height = powerOfTwo(tallest * kEntries);
  atlas.lineHeight = tallest;
  std::vector<unsigned char> pixels(static_cast<size_t>(atlas.width) * atlas.height, 0);
  for (int i = 0; i < kEntries; i++) {
    atlas.textWidth[i] = lines[i].width;
    for (int row = 0; row < lines[i].height; row++)
      std::copy_n(&lines[i].coverage[static_cast<size_t>(row) * lines[i].width], lines[i].width,
                  &pixels[static_cast<size_t>(i * tallest + row) * atlas.width]);
  }
  if (atlas.texture == 0) glGenTextures(1, &atlas.texture);
  glBindTexture(GL_TEXTURE_2D, atlas.texture);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  // Nearest texels on whole-pixel quads: every texel is one screen pixel.
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_ALPHA, atlas.width, atlas.height, 0, GL_ALPHA, GL_UNSIGNED_BYTE,
               pixels.data());
  glBindTexture(GL_TEXTURE_2D, 0);

  m.width = textLeft + widest + textRight;
  m.height = 2 * menuPadding + kEntries * menuEntryHeight;
  m.enabled = true;
  return true;
}

void drawPopupMenu(const PopupMenu& m) {
  if (!m.open) return;
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glOrtho(0, m.windowWidth, m.windowHeight, 0, -1, 1);  // y down, like the pointer
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  glDisable(GL_DEPTH_TEST);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);

  drawPanel(m);
  drawTexts(m);

  glDisable(GL_BLEND);
  glEnable(GL_DEPTH_TEST);  // reshape left it on for the scene
  glPopMatrix();
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
}
