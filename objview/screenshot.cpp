#include "screenshot.h"

#include <png.h>
#include <strings.h>

#include "glm.h"

namespace objview {

bool isPngName(const std::string& path) {
  return path.size() >= 4 && strcasecmp(path.c_str() + path.size() - 4, ".png") == 0;
}

std::vector<unsigned char> encodePng(const unsigned char* rgb, int width, int height) {
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  png.width = static_cast<png_uint_32>(width);
  png.height = static_cast<png_uint_32>(height);
  png.format = PNG_FORMAT_RGB;
  png_alloc_size_t size = 0;
  if (!png_image_write_to_memory(&png, nullptr, &size, 0, rgb, 0, nullptr)) return {};
  std::vector<unsigned char> bytes(size);
  if (!png_image_write_to_memory(&png, bytes.data(), &size, 0, rgb, 0, nullptr)) return {};
  bytes.resize(size);
  return bytes;
}

bool putFile(const std::string& path, const std::vector<unsigned char>& bytes, std::string& why) {
  GLMerror error;
  if (glmWriteFileTo(path.c_str(), bytes.data(), bytes.size(), &error)) return true;
  why = error.message;
  return false;
}

}  // namespace objview
