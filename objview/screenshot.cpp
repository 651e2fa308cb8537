#include "screenshot.h"

#include <png.h>
#include <strings.h>

#include <csetjmp>
#include <memory>

#include "glm.h"

namespace objview {

bool isPngName(const std::string& path) {
  return path.size() >= 4 && strcasecmp(path.c_str() + path.size() - 4, ".png") == 0;
}

namespace {

void appendBytes(png_structp png, png_bytep data, png_size_t size) {
  auto* bytes = static_cast<std::vector<unsigned char>*>(png_get_io_ptr(png));
  bytes->insert(bytes->end(), data, data + size);
}

}  // namespace

std::vector<unsigned char> encodePng(const unsigned char* rgb, int width, int height) {
  // Each row filtered by the one above, zlib at level 3: on rendered
  // pictures (background, smooth shading, textures) a fifth larger than
  // libpng's default (every filter tried, level 6) in a quarter of the time,
  // which is most of a --screenshot run's.
  const auto bytes = std::make_unique<std::vector<unsigned char>>();
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  if (info == nullptr || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return {};
  }
  png_set_write_fn(png, bytes.get(), appendBytes, nullptr);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
               PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_UP);
  png_set_compression_level(png, 3);
  png_write_info(png, info);
  for (int y = 0; y < height; y++)
    png_write_row(png, rgb + static_cast<std::size_t>(y) * width * 3);
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return std::move(*bytes);
}

bool putFile(const std::string& path, const std::vector<unsigned char>& bytes, std::string& why) {
  GLMerror error;
  if (glmWriteFileTo(path.c_str(), bytes.data(), bytes.size(), &error)) return true;
  why = error.message;
  return false;
}

}  // namespace objview
