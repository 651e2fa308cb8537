// Texture images named by a model's materials (found by glmFindMap):
// decoding them and fitting them to the renderer's texture size. Free of GL,
// so it can be tested without a window.
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

// Decodes a PNG, JPEG or binary PPM file, told apart by their first bytes.
// On failure returns false with the reason in `why`.
bool readImage(const std::string& path, Image& image, std::string& why);

// The image halved (each pixel the mean of four) until neither side exceeds `limit`.
Image fitImage(Image image, int limit);

}  // namespace objview

#endif
