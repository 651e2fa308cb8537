// The menu's font: a TrueType face found through fontconfig that has every
// letter of the menu, rasterised with FreeType at one pixel size, so text is
// drawn exactly as rasterised, never scaled.
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "scene.h"

namespace {

constexpr int pixelSize = 15;  // about 11 pt on a 96 dpi screen, as desktop menus use

FT_Library library = nullptr;
FT_Face face = nullptr;  // kept for the whole run, like the window

// Code points of UTF-8 text; the menu's own strings are well formed.
std::vector<FT_ULong> codePoints(const char* utf8) {
  std::vector<FT_ULong> points;
  for (const auto* p = reinterpret_cast<const unsigned char*>(utf8); *p != 0;) {
    const int extra = *p >= 0xF0 ? 3 : *p >= 0xE0 ? 2 : *p >= 0xC0 ? 1 : 0;
    FT_ULong point = extra == 0 ? *p : *p & (0x3F >> extra);
    for (p++; extra > 0 && (*p & 0xC0) == 0x80; p++) point = (point << 6) | (*p & 0x3F);
    points.push_back(point);
  }
  return points;
}

bool rasterise(const char* utf8, TextImage& out) {
  const int ascent = static_cast<int>((face->size->metrics.ascender + 63) >> 6);
  const int descent = static_cast<int>((-face->size->metrics.descender + 63) >> 6);
  const std::vector<FT_ULong> points = codePoints(utf8);
  int width = 0;
  for (FT_ULong point : points) {
    if (FT_Load_Char(face, point, FT_LOAD_DEFAULT) != 0) return false;
    width += static_cast<int>(face->glyph->advance.x >> 6);
  }
  out.width = width + 2;  // room for a last glyph that reaches past its advance
  out.height = ascent + descent;
  out.coverage.assign(static_cast<size_t>(out.width) * out.height, 0);
  int pen = 0;
  for (FT_ULong point : points) {
    if (FT_Load_Char(face, point, FT_LOAD_RENDER) != 0) return false;
    const FT_GlyphSlot glyph = face->glyph;
    const FT_Bitmap& bitmap = glyph->bitmap;
    for (unsigned row = 0; row < bitmap.rows; row++) {
      const int y = ascent - glyph->bitmap_top + static_cast<int>(row);
      for (unsigned col = 0; col < bitmap.width; col++) {
        const int x = pen + glyph->bitmap_left + static_cast<int>(col);
        if (x < 0 || x >= out.width || y < 0 || y >= out.height) continue;
        unsigned char& cell = out.coverage[static_cast<size_t>(y) * out.width + x];
        cell = std::max(cell, bitmap.buffer[row * bitmap.pitch + col]);
      }
    }
    pen += static_cast<int>(glyph->advance.x >> 6);
  }
  return true;
}

// The file of the sans-serif face fontconfig prefers for Korean, if it has
// every letter of the menu (fontconfig always names some face, even one
// without Hangul).
bool findFont(std::string& file, int& index) {
  if (!FcInit()) return false;
  FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>("sans-serif:lang=ko"));
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  FcPatternDestroy(pattern);
  if (match == nullptr) return false;
  FcChar8* path = nullptr;
  FcCharSet* letters = nullptr;
  bool covers = FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch &&
                FcPatternGetCharSet(match, FC_CHARSET, 0, &letters) == FcResultMatch;
  for (const MenuEntry& entry : menuEntries)
    for (FT_ULong point : codePoints(entry.text))
      covers = covers && FcCharSetHasChar(letters, static_cast<FcChar32>(point));
  if (covers) {
    file = reinterpret_cast<const char*>(path);
    if (FcPatternGetInteger(match, FC_INDEX, 0, &index) != FcResultMatch) index = 0;
  }
  FcPatternDestroy(match);
  return covers;
}

}  // namespace

TextRasteriser koreanFontRasteriser() {
  if (face != nullptr) return rasterise;
  std::string file;
  int index = 0;
  if (!findFont(file, index)) {
    std::fprintf(stderr,
                 "scene: no font with Korean letters found through fontconfig (install "
                 "fonts-nanum or fonts-noto-cjk); using GLUT's menu, which cannot show them\n");
    return nullptr;
  }
  if (FT_Init_FreeType(&library) != 0 || FT_New_Face(library, file.c_str(), index, &face) != 0 ||
      FT_Set_Pixel_Sizes(face, 0, pixelSize) != 0) {
    std::fprintf(stderr,
                 "scene: cannot load the font %s; using GLUT's menu, which cannot show Korean\n",
                 file.c_str());
    // Releases the face too, when there is one.
    if (library != nullptr) FT_Done_FreeType(library);
    library = nullptr;
    face = nullptr;
    return nullptr;
  }
  return rasterise;
}
