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
  // 1 byte a pixel, as `rgb`; empty for a file without an alpha channel
  // (or a transparent colour), and for materialImage's where all is opaque.
  std::vector<unsigned char> alpha;
};

// Larger images are refused before any pixel is allocated: no texture needs
// them, and a hostile header can claim any size.
constexpr long long kMaxImagePixels = 1LL << 26;

// Decodes a PNG, JPEG or binary PPM file, told apart by their first bytes.
// On failure returns false with the reason in `why`.
bool readImage(const std::string& path, Image& image, std::string& why);

// The image halved (each pixel the mean of four) until neither side exceeds `limit`.
Image fitImage(Image image, int limit);

// A material's texture from its maps: the colour of `diffuse` (map_Kd; an
// empty image for none), white without one, so that GL's modulation leaves
// the material's own colour; and the opacity of `alpha` (map_d, null for
// none), from its alpha channel when it has one (exporters name the map_Kd
// PNG again, its alpha being what they mean) and else from its luminance,
// sampled at the colour's size; without an alpha map, the diffuse map's own
// alpha channel (leaves, decals). Its alpha is empty where all is opaque.
Image materialImage(Image diffuse, const Image* alpha);

}  // namespace objview

#endif
