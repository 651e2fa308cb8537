// Texture images: decoding them, fitting them (glmFindMap finds them).
#include <gtest/gtest.h>

#include <png.h>
#include <turbojpeg.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "images.h"

using namespace objview;
namespace fs = std::filesystem;

namespace {

struct Dir {
  Dir() : path(fs::temp_directory_path() / ("objview_images_" + std::to_string(getpid()))) {
    fs::create_directories(path / "Tex");
  }
  ~Dir() { fs::remove_all(path); }
  std::string at(const std::string& name) const { return (path / name).string(); }
  void write(const std::string& name, const std::string& bytes) const {
    std::ofstream(at(name), std::ios::binary) << bytes;
  }
  std::string read(const std::string& name) const {
    std::ifstream in(at(name), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }
  fs::path path;
};

// A 5 x 3 image with a different colour in each pixel.
Image sample() {
  Image image{5, 3, {}, {}};
  for (int i = 0; i < 15; i++)
    image.rgb.insert(image.rgb.end(), {static_cast<unsigned char>(i * 16),
                                       static_cast<unsigned char>(255 - i * 8), 128});
  return image;
}

// The sample as a.png, a.jpg (best quality, no chroma subsampling) and a.ppm.
void writeSamples(const Dir& dir) {
  const Image image = sample();
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  png.width = 5, png.height = 3, png.format = PNG_FORMAT_RGB;
  ASSERT_TRUE(
      png_image_write_to_file(&png, dir.at("a.png").c_str(), 0, image.rgb.data(), 0, nullptr));
  tjhandle tj = tjInitCompress();
  unsigned char* jpeg = nullptr;
  unsigned long size = 0;
  ASSERT_EQ(tjCompress2(tj, image.rgb.data(), 5, 0, 3, TJPF_RGB, &jpeg, &size, TJSAMP_444, 100, 0),
            0);
  dir.write("a.jpg", std::string(reinterpret_cast<char*>(jpeg), size));
  tjFree(jpeg);
  tjDestroy(tj);
  dir.write("a.ppm", "P6\n5 3\n255\n" + std::string(image.rgb.begin(), image.rgb.end()));
}

}  // namespace

TEST(ObjviewImages, PngJpegAndPpmDecodeToTheSamePixels) {
  const Dir dir;
  writeSamples(dir);
  const Image want = sample();
  for (const char* name : {"a.png", "a.jpg", "a.ppm"}) {
    SCOPED_TRACE(name);
    Image got;
    std::string why;
    ASSERT_TRUE(readImage(dir.at(name), got, why)) << why;
    ASSERT_EQ(got.width * 10 + got.height, 53);
    for (std::size_t i = 0; i < want.rgb.size(); i++) EXPECT_NEAR(got.rgb[i], want.rgb[i], 4) << i;
  }
}

TEST(ObjviewImages, DamagedOrHugeImagesAreRefusedWithAReason) {
  const Dir dir;
  writeSamples(dir);
  Image image;
  std::string why;
  for (const char* name : {"a.png", "a.jpg", "a.ppm"}) {
    const std::string whole = dir.read(name);
    dir.write(name, whole.substr(0, whole.size() - 20));
    why.clear();
    EXPECT_FALSE(readImage(dir.at(name), image, why)) << name;
    EXPECT_FALSE(why.empty()) << name;
  }
  // A PNG header claiming 100000 x 100000 pixels, its checksum mended.
  writeSamples(dir);
  std::string png = dir.read("a.png");
  for (int k = 0; k < 8; k++) png[16 + k] = "\0\x01\x86\xa0\0\x01\x86\xa0"[k];
  const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(png.data() + 12), 17);
  for (int k = 0; k < 4; k++) png[29 + k] = static_cast<char>(crc >> (24 - 8 * k));
  dir.write("a.png", png);
  EXPECT_FALSE(readImage(dir.at("a.png"), image, why));
  EXPECT_NE(why.find("100000x100000"), std::string::npos) << why;
  dir.write("b.png", "hello, world");
  EXPECT_FALSE(readImage(dir.at("b.png"), image, why));
}

TEST(ObjviewImages, FittingHalvesUntilTheImageIsWithinTheLimit) {
  Image image{6, 3, std::vector<unsigned char>(54, 90), {}};
  for (int pixel : {0, 1, 6, 7, 2}) image.rgb[3 * pixel] = 200;  // red: a 2 x 2 block and one more
  const Image fitted = fitImage(image, 3);
  ASSERT_EQ(fitted.width * 10 + fitted.height, 31);
  EXPECT_EQ(fitted.rgb[0], 200);
  EXPECT_EQ(fitted.rgb[3], (200 + 3 * 90 + 2) / 4);
  EXPECT_EQ(fitted.rgb[1], 90);
  EXPECT_EQ(fitImage(image, 6).rgb, image.rgb);
}

TEST(ObjviewImages, AMaterialsOpacityIsItsAlphaMapsAlphaChannelElseItsLuminance) {
  // A 2 x 1 alpha map: written as an RGBA PNG (its colours the opposite of
  // its alpha) and as an RGB one of the same colours.
  const Dir dir;
  const unsigned char rgba[] = {255, 255, 255, 0, 0, 0, 0, 200};
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  png.width = 2, png.height = 1, png.format = PNG_FORMAT_RGBA;
  ASSERT_TRUE(png_image_write_to_file(&png, dir.at("rgba.png").c_str(), 0, rgba, 0, nullptr));
  png.format = PNG_FORMAT_RGB;
  const unsigned char rgb[] = {255, 255, 255, 0, 0, 0};
  ASSERT_TRUE(png_image_write_to_file(&png, dir.at("rgb.png").c_str(), 0, rgb, 0, nullptr));
  Image withAlpha, withoutAlpha;
  std::string why;
  ASSERT_TRUE(readImage(dir.at("rgba.png"), withAlpha, why)) << why;
  ASSERT_TRUE(readImage(dir.at("rgb.png"), withoutAlpha, why)) << why;
  const std::vector<unsigned char> ownAlpha{0, 0, 200, 200}, luminance{255, 255, 0, 0};

  // Sampled at a 4 x 2 diffuse map's size, under its colour.
  const Image diffuse = sample();
  Image colour{4, 2, std::vector<unsigned char>(diffuse.rgb.begin(), diffuse.rgb.begin() + 24), {}};
  for (const Image* alpha : {&withAlpha, &withoutAlpha}) {
    const Image made = materialImage(colour, alpha);
    EXPECT_EQ(made.rgb, colour.rgb);
    std::vector<unsigned char> want = alpha == &withAlpha ? ownAlpha : luminance;
    want.insert(want.end(), want.begin(), want.end());  // both rows
    EXPECT_EQ(made.alpha, want);
  }
  // An alpha map alone: white at its own size, for GL to tint.
  const Image alone = materialImage(Image{}, &withoutAlpha);
  EXPECT_EQ(alone.width * 10 + alone.height, 21);
  EXPECT_EQ(alone.rgb, std::vector<unsigned char>(6, 255));
  EXPECT_EQ(alone.alpha, (std::vector<unsigned char>{255, 0}));
  // No alpha map: a diffuse map's own alpha; an opaque one has none.
  EXPECT_EQ(materialImage(withAlpha, nullptr).alpha, (std::vector<unsigned char>{0, 200}));
  EXPECT_TRUE(materialImage(withoutAlpha, nullptr).alpha.empty());
  Image opaque = colour;
  opaque.alpha.assign(8, 255);
  EXPECT_TRUE(materialImage(opaque, nullptr).alpha.empty());
}
