#include "images.h"

#include <png.h>
#include <sys/stat.h>
#include <turbojpeg.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "glm.h"

namespace objview {

namespace {

bool tooLarge(long long width, long long height, std::string& why) {
  if (width >= 1 && height >= 1 && width * height <= kMaxImagePixels) return false;
  why = "an image of " + std::to_string(width) + "x" + std::to_string(height) + " pixels";
  return true;
}

bool readPng(const std::string& path, Image& image, std::string& why) {
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&png, path.c_str())) {
    why = png.message;
    return false;
  }
  if (tooLarge(png.width, png.height, why)) {
    png_image_free(&png);
    return false;
  }
  // An alpha channel (or a transparent colour) is kept apart from the colour.
  const bool alpha = png.format & PNG_FORMAT_FLAG_ALPHA;
  png.format = alpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
  std::vector<unsigned char> pixels(PNG_IMAGE_SIZE(png));
  if (!png_image_finish_read(&png, nullptr, pixels.data(), 0, nullptr)) {
    why = png.message;
    png_image_free(&png);
    return false;
  }
  image.width = static_cast<int>(png.width);
  image.height = static_cast<int>(png.height);
  if (!alpha) {
    image.rgb = std::move(pixels);
    return true;
  }
  const std::size_t count = pixels.size() / 4;
  image.rgb.resize(3 * count);
  image.alpha.resize(count);
  for (std::size_t i = 0; i < count; i++) {
    std::copy_n(&pixels[4 * i], 3, &image.rgb[3 * i]);
    image.alpha[i] = pixels[4 * i + 3];
  }
  return true;
}

bool readJpeg(const std::vector<unsigned char>& data, Image& image, std::string& why) {
  std::unique_ptr<void, int (*)(tjhandle)> jpeg(tjInitDecompress(), tjDestroy);
  int width = 0, height = 0, subsampling = 0, colours = 0;
  if (!jpeg || tjDecompressHeader3(jpeg.get(), data.data(), data.size(), &width, &height,
                                   &subsampling, &colours) != 0) {
    why = tjGetErrorStr2(jpeg.get());
    return false;
  }
  if (tooLarge(width, height, why)) return false;
  image.rgb.resize(static_cast<std::size_t>(width) * height * 3);
  // Corrupt data past the header is an error, not a half-grey picture.
  if (tjDecompress2(jpeg.get(), data.data(), data.size(), image.rgb.data(), width, 0, height,
                    TJPF_RGB, TJFLAG_STOPONWARNING | TJFLAG_LIMITSCANS) != 0) {
    why = tjGetErrorStr2(jpeg.get());
    return false;
  }
  image.width = width;
  image.height = height;
  return true;
}

}  // namespace

bool readImage(const std::string& path, Image& image, std::string& why) {
  image = Image{};
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), std::fclose);
  unsigned char magic[8] = {};
  if (!file || std::fread(magic, 1, sizeof magic, file.get()) != sizeof magic) {
    why = file ? "too short for an image" : std::strerror(errno);
    return false;
  }
  if (png_sig_cmp(magic, 0, sizeof magic) == 0) return readPng(path, image, why);
  if (magic[0] == 'P' && magic[1] == '6') {
    // Refused on its header: a sparse file can claim any size cheaply.
    int width = 0, height = 0;
    GLMerror error{};
    std::unique_ptr<unsigned char, void (*)(void*)> pixels(
        glmLoadPPMFrom(path.c_str(), &width, &height, kMaxImagePixels, &error), std::free);
    if (!pixels) {
      why = error.message;
      return false;
    }
    image.rgb.assign(pixels.get(), pixels.get() + static_cast<std::size_t>(width) * height * 3);
    image.width = width;
    image.height = height;
    return true;
  }
  if (magic[0] != 0xFF || magic[1] != 0xD8) {
    why = "not a PNG, JPEG or binary PPM image";
    return false;
  }
  // A JPEG is decoded from memory, no larger than the largest image taken.
  struct stat info {};
  if (fstat(fileno(file.get()), &info) != 0 || info.st_size > 3 * kMaxImagePixels) {
    why = "a JPEG file too large";
    return false;
  }
  std::vector<unsigned char> data(static_cast<std::size_t>(info.st_size));
  std::rewind(file.get());
  if (std::fread(data.data(), 1, data.size(), file.get()) != data.size()) {
    why = std::strerror(errno);
    return false;
  }
  return readJpeg(data, image, why);
}

Image fitImage(Image image, int limit) {
  // Each channel's plane halved alike: the colour's three interleaved, the alpha's one.
  const auto halve = [](const std::vector<unsigned char>& from, int width, int height, int channels,
                        const Image& half) {
    std::vector<unsigned char> to(static_cast<std::size_t>(half.width) * half.height * channels);
    for (int y = 0; y < half.height; y++)
      for (int x = 0; x < half.width; x++)
        for (int k = 0; k < channels; k++) {
          int sum = 0;
          for (int dy = 0; dy < 2; dy++)
            for (int dx = 0; dx < 2; dx++) {
              const int sx = std::min(2 * x + dx, width - 1);
              const int sy = std::min(2 * y + dy, height - 1);
              sum += from[(static_cast<std::size_t>(sy) * width + sx) * channels + k];
            }
          to[(static_cast<std::size_t>(y) * half.width + x) * channels + k] =
              static_cast<unsigned char>((sum + 2) / 4);
        }
    return to;
  };
  while (image.width > limit || image.height > limit) {
    Image half;
    half.width = std::max(1, image.width / 2);
    half.height = std::max(1, image.height / 2);
    half.rgb = halve(image.rgb, image.width, image.height, 3, half);
    if (!image.alpha.empty()) half.alpha = halve(image.alpha, image.width, image.height, 1, half);
    image = std::move(half);
  }
  return image;
}

Image materialImage(Image diffuse, const Image* alpha) {
  Image image = std::move(diffuse);
  if (image.rgb.empty() && alpha != nullptr) {
    image.width = alpha->width;
    image.height = alpha->height;
    image.rgb.assign(static_cast<std::size_t>(image.width) * image.height * 3, 255);
  }
  if (alpha != nullptr) {
    // The alpha map's pixel nearest each of the colour's.
    image.alpha.resize(static_cast<std::size_t>(image.width) * image.height);
    for (long long y = 0; y < image.height; y++)
      for (long long x = 0; x < image.width; x++) {
        const auto from = static_cast<std::size_t>(y * alpha->height / image.height * alpha->width +
                                                   x * alpha->width / image.width);
        const unsigned char* rgb = &alpha->rgb[3 * from];
        // Rec. 601 luminance, in integers: white stays 255.
        image.alpha[static_cast<std::size_t>(y * image.width + x)] =
            !alpha->alpha.empty() ? alpha->alpha[from]
                                  : static_cast<unsigned char>(
                                        (299 * rgb[0] + 587 * rgb[1] + 114 * rgb[2] + 500) / 1000);
      }
  }
  if (std::all_of(image.alpha.begin(), image.alpha.end(), [](unsigned char a) { return a == 255; }))
    image.alpha.clear();
  return image;
}

}  // namespace objview
