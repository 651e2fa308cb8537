// Texture images named by a model's materials: finding the file an exporter
// meant, decoding it, and fitting it to the renderer's texture size. Free of
// GL, so it can be tested without a window.
#ifndef OBJVIEW_IMAGES_H
#define OBJVIEW_IMAGES_H

#include <string>
#include <vector>

namespace objview {

struct Image {
  int width = 0, height = 0;
  std::vector<unsigned char> rgb;  // 3 bytes a pixel, top row first
};

// Larger images are refused before any pixel is allocated: no texture needs
// them, and a hostile header can claim any size.
constexpr long long kMaxImagePixels = 1LL << 26;

// The regular file an MTL file in `directory` (ending in '/', or empty) means
// by `name`: as written; with '\' read as '/'; with its file name in any
// letter case; and, since exporters often write absolute Windows paths, its
// base name in `directory`. Empty when none is found.
std::string findImage(const std::string& directory, const std::string& name);

// Decodes a PNG, JPEG or binary PPM file, told apart by their first bytes.
// On failure returns false with the reason in `why`.
bool readImage(const std::string& path, Image& image, std::string& why);

// The image halved (each pixel the mean of four) until neither side exceeds `limit`.
Image fitImage(Image image, int limit);

}  // namespace objview

#endif
