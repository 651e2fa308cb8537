// Raw PPM reading: header layouts, comments, and every way a file can be
// malformed or short.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>

#include "glm.h"
#include "model_util.h"

namespace {

const std::string kSixBytes("\x01\x02\x03\xfa\xfb\xfc", 6);

// The shared fixture's temporary directory, plus what a load reports.
class PpmFile : public testutil::FileTest {
 protected:
  std::string write(const std::string& bytes) { return FileTest::write("image.ppm", bytes); }

  // Loads `path`; the out-parameters start at -7 so a write to them shows.
  unsigned char* load(const std::string& path) {
    width = height = -7;
    ::testing::internal::CaptureStderr();
    unsigned char* pixels = glmLoadPPM(path.c_str(), &width, &height);
    err = ::testing::internal::GetCapturedStderr();
    return pixels;
  }

  // Expects a failure with one line on standard error that names the file.
  void expectRejected(const std::string& bytes, const char* why) {
    SCOPED_TRACE(why);
    std::string path = write(bytes);
    unsigned char* pixels = load(path);
    EXPECT_EQ(pixels, nullptr);
    std::free(pixels);
    EXPECT_EQ(width, -7);
    EXPECT_EQ(height, -7);
    EXPECT_EQ(err.rfind(path + ": ", 0), 0u) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_EQ(err.back(), '\n');
  }

  void expectImage(const std::string& bytes, int w, int h, const std::string& data) {
    unsigned char* pixels = load(write(bytes));
    ASSERT_NE(pixels, nullptr) << err;
    EXPECT_EQ(width, w);
    EXPECT_EQ(height, h);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(pixels), data.size()), data);
    EXPECT_EQ(err, "");
    std::free(pixels);
  }

  int width = -7, height = -7;
};

TEST_F(PpmFile, ReadsPixelsInFileOrder) {
  expectImage("P6\n2 1\n255\n" + kSixBytes, 2, 1, kSixBytes);
}

TEST_F(PpmFile, SkipsCommentLinesBeforeAndBetweenNumbers) {
  expectImage("P6\n# made by hand\n2 1\n# maxval next\n255\n" + kSixBytes, 2, 1, kSixBytes);
}

TEST_F(PpmFile, TakesHeaderNumbersOverOneToThreeLines) {
  for (const char* header : {"2 1 255\n", "2 1\n255\n", "2\n1 255\n", "2\n1\n255\n",
                             "2\n\n1\n   \n255\n", "\t2  1\t255 \n"}) {
    SCOPED_TRACE(header);
    expectImage(std::string("P6\n") + header + kSixBytes, 2, 1, kSixBytes);
  }
}

TEST_F(PpmFile, ReadsTheHeaderAsWordsWhereverTheLinesBreak) {
  // All on the magic line, as several programs write it; a comment after a
  // number on its line; a single blank, not a line end, before the pixels.
  expectImage("P6 2 1 255\n" + kSixBytes, 2, 1, kSixBytes);
  expectImage("P6\n2 1 # not 9 9\n255\n" + kSixBytes, 2, 1, kSixBytes);
  expectImage("P6 2 1 255 " + kSixBytes, 2, 1, kSixBytes);
  expectImage("P6\r\n2 1\r\n255\r\n" + kSixBytes, 2, 1, kSixBytes);
  expectRejected("P6x\n2 1 255\n" + kSixBytes, "magic run into a word");
  expectRejected("P6\n2 one 255\n" + kSixBytes, "a word that is not a number");
}

TEST_F(PpmFile, PixelsStartRightAfterTheMaxvalLine) {
  // The pixel bytes may look like text ("\n", "#", digits) and trail extra bytes.
  std::string data("\n#1\n 2", 6);
  expectImage("P6\n2 1\n255\n" + data + "trailing", 2, 1, data);
}

TEST_F(PpmFile, LongCommentIsSkippedToItsLineEnd) {
  // Numbers in a comment are never read, however far into the line they stand.
  expectImage("P6\n#" + std::string(150, 'c') + " 7 7 7\n2 1 255\n" + kSixBytes, 2, 1, kSixBytes);
}

TEST_F(PpmFile, SamplesAreScaledFromMaxvalToFullRange) {
  // maxval 255 keeps every byte; below it, v becomes round(v * 255 / maxval),
  // and a sample above maxval counts as maxval.
  expectImage("P6\n2 1 255\n" + kSixBytes, 2, 1, kSixBytes);
  expectImage("P6\n2 1 1\n" + std::string("\0\1\0\1\1\7", 6), 2, 1,
              std::string("\0\xff\0\xff\xff\xff", 6));
  for (unsigned maxval : {2u, 15u, 100u, 254u}) {
    SCOPED_TRACE(maxval);
    std::string data, scaled;
    for (unsigned v : {0u, 1u, maxval / 2, maxval - 1, maxval, 255u}) {
      data += static_cast<char>(v);
      scaled += static_cast<char>((std::min(v, maxval) * 255 + maxval / 2) / maxval);
    }
    expectImage("P6\n2 1 " + std::to_string(maxval) + "\n" + data, 2, 1, scaled);
  }
}

TEST_F(PpmFile, RejectsOtherMagicWithItsMessage) {
  std::string path = write("P5\n2 1\n255\n" + kSixBytes);
  EXPECT_EQ(load(path), nullptr);
  EXPECT_EQ(err, path + ": Not a raw PPM file\n");
  EXPECT_EQ(width, -7);
  expectRejected("", "empty file");
  expectRejected("p6\n2 1 255\n" + kSixBytes, "lower-case magic");
}

TEST_F(PpmFile, MissingFileIsReportedWithTheSystemText) {
  std::string path = dir + "/absent.ppm";
  EXPECT_EQ(load(path), nullptr);
  EXPECT_EQ(err, path + ": " + std::strerror(ENOENT) + "\n");
  EXPECT_EQ(width, -7);
  EXPECT_EQ(height, -7);
}

TEST_F(PpmFile, RejectsHeaderThatEndsEarly) {
  expectRejected("P6\n", "no numbers");
  expectRejected("P6\n2 1\n", "no maxval");
  expectRejected("P6\n2\n# comment\n", "width only");
  expectRejected("P6\n2 1 25", "numbers without a final newline, then no pixels");
}

TEST_F(PpmFile, RejectsNonPositiveSize) {
  expectRejected("P6\n0 1 255\n" + kSixBytes, "width 0");
  expectRejected("P6\n2 0 255\n" + kSixBytes, "height 0");
  expectRejected("P6\n-2 1 255\n" + kSixBytes, "negative width");
  expectRejected("P6\n2 -1 255\n" + kSixBytes, "negative height");
  expectRejected("P6\n-99999999999999999999999 1 255\n" + kSixBytes, "hugely negative");
}

TEST_F(PpmFile, RejectsSizesBeyondTwoGigabytesOrOverflowing) {
  expectRejected("P6\n65536 32768 255\n" + kSixBytes, "2^31 pixels");
  expectRejected("P6\n46341 46341 255\n" + kSixBytes, "w*h overflows int");
  expectRejected("P6\n2147483647 2147483647 255\n" + kSixBytes, "largest int sizes");
  expectRejected("P6\n4294967298 1 255\n" + kSixBytes, "would wrap to 2 as an int");
  expectRejected("P6\n99999999999999999999999999 1 255\n" + kSixBytes, "beyond long long");
}

TEST_F(PpmFile, RejectsMaxvalOutsideOneTo255) {
  expectRejected("P6\n2 1 0\n" + kSixBytes, "maxval 0");
  expectRejected("P6\n2 1 256\n" + kSixBytes + kSixBytes, "maxval 256");
  expectRejected("P6\n2 1 65535\n" + kSixBytes + kSixBytes, "16-bit samples");
}

TEST_F(PpmFile, RejectsShortPixelData) {
  expectRejected("P6\n2 1 255\n" + kSixBytes.substr(0, 5), "one byte short");
  expectRejected("P6\n2 1 255\n", "no pixels");
  expectRejected("P6\n16384 16384 255\n" + kSixBytes, "large header, tiny file");
}

TEST_F(PpmFile, EveryPrefixOfAValidFileIsRejected) {
  std::string whole = "P6\n# c\n2 1\n# d\n255\n" + kSixBytes;
  for (std::size_t n = 0; n < whole.size(); n++) expectRejected(whole.substr(0, n), "prefix");
}

TEST_F(PpmFile, ShortDataFromAPipeIsRejected) {
  // A pipe has no size to check up front, so the short read itself must fail.
  std::string path = dir + "/pipe.ppm";
  ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
  std::thread writer([&] { std::ofstream(path, std::ios::binary) << "P6\n2 1 255\nabc"; });
  unsigned char* pixels = load(path);
  writer.join();
  EXPECT_EQ(pixels, nullptr);
  EXPECT_EQ(width, -7);
  EXPECT_EQ(err, path + ": PPM pixel data is short: 3 of 6 bytes\n");
}

TEST_F(PpmFile, ReadsFromAPipe) {
  std::string path = dir + "/pipe.ppm";
  ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
  std::thread writer([&] { std::ofstream(path, std::ios::binary) << "P6\n2 1 255\n" + kSixBytes; });
  unsigned char* pixels = load(path);
  writer.join();
  ASSERT_NE(pixels, nullptr) << err;
  EXPECT_EQ(std::string(reinterpret_cast<char*>(pixels), 6), kSixBytes);
  std::free(pixels);
}

// Third-party sample images (from the public-domain PngSuite via stb).
TEST_F(PpmFile, ReadsSampleImages) {
  const std::string corpus = std::string(PROJECT_SOURCE_DIR) + "/fuzz/corpus/fuzz_ppm/";
  unsigned char* pixels = load(corpus + "stb-cdfn2c08.ppm");  // comment line, 8 x 32
  ASSERT_NE(pixels, nullptr) << err;
  EXPECT_EQ(width, 8);
  EXPECT_EQ(height, 32);
  EXPECT_EQ(pixels[0], 0xff);
  EXPECT_EQ(pixels[1], 0x00);
  std::free(pixels);

  pixels = load(corpus + "stb-cdun2c08.ppm");  // blank line after the magic, 32 x 32
  ASSERT_NE(pixels, nullptr) << err;
  EXPECT_EQ(width, 32);
  EXPECT_EQ(height, 32);
  std::free(pixels);

  std::string path = corpus + "stb-basi2c16.ppm";  // maxval 65535
  EXPECT_EQ(load(path), nullptr);
  EXPECT_EQ(err, path + ": unsupported PPM maxval 65535 (1 to 255 supported)\n");
}

// Writing is the reader's pair: what it writes reads back byte for byte.
TEST_F(PpmFile, WrittenImageReadsBackAndReplacesTheOldFileWhole) {
  std::string rgb;
  for (int i = 0; i < 3 * 5 * 3; i++) rgb += static_cast<char>(i * 37);
  const std::string path = write(std::string(1000, '@'));
  glmWritePPM(path.c_str(), reinterpret_cast<const unsigned char*>(rgb.data()), 5, 3);
  unsigned char* pixels = load(path);
  ASSERT_NE(pixels, nullptr) << err;
  EXPECT_EQ(width, 5);
  EXPECT_EQ(height, 3);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(pixels), rgb.size()), rgb);
  EXPECT_EQ(testutil::fileContents(path).size(), 11 + rgb.size());
  std::free(pixels);
}

TEST_F(PpmFile, WriteFailureIsFatalWithTheSystemsReason) {
  const unsigned char black[3] = {0, 0, 0};
  const std::string path = dir + "/missing/shot.ppm";
  ::testing::internal::CaptureStderr();
  EXPECT_THROW(glmWritePPM(path.c_str(), black, 1, 1), testutil::Failure);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "glmWritePPM() failed: can't open file \"" + path +
                "\" to write: " + std::strerror(ENOENT) + ".\n");
  ::testing::internal::CaptureStderr();
  EXPECT_THROW(glmWritePPM("/dev/full", black, 1, 1), testutil::Failure);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            std::string("glmWritePPM() failed: can't write file \"/dev/full\": ") +
                std::strerror(ENOSPC) + "\n");
}

// The variants that hand their failure back print nothing and end nothing.
TEST_F(PpmFile, HandedBackFailuresCarryTheMessageAndPrintNothing) {
  GLMerror error{7, "stale", EINTR};
  width = height = -7;
  const std::string bad = write("P5\n2 1\n255\n" + kSixBytes);
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(glmLoadPPMFrom(bad.c_str(), &width, &height, 0, &error), nullptr);
  EXPECT_EQ(glmLoadPPMFrom(bad.c_str(), &width, &height, 0, nullptr), nullptr);
  const unsigned char black[3] = {0, 0, 0};
  const std::string missing = dir + "/missing/shot.ppm";
  GLMerror written{};
  EXPECT_FALSE(glmWritePPMTo(missing.c_str(), black, 1, 1, &written));
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(std::string(error.message), bad + ": Not a raw PPM file");
  EXPECT_EQ(error.line, 0u);
  EXPECT_EQ(error.errnum, 0);  // a malformed file, no system failure
  EXPECT_EQ(width, -7);
  EXPECT_EQ(std::string(written.message), "glmWritePPM() failed: can't open file \"" + missing +
                                              "\" to write: " + std::strerror(ENOENT) + ".");
  EXPECT_EQ(written.errnum, ENOENT);

  const std::string good = dir + "/good.ppm";
  EXPECT_TRUE(glmWritePPMTo(good.c_str(), black, 1, 1, &written));
  EXPECT_EQ(std::string(written.message), "");
  unsigned char* pixels = glmLoadPPMFrom(good.c_str(), &width, &height, 1, &error);
  ASSERT_NE(pixels, nullptr);
  EXPECT_EQ(std::string(error.message), "");
  EXPECT_EQ(width, 1);
  std::free(pixels);
}

// A header larger than the caller takes is refused before any pixel is
// read: here the file holds none, so a read would report them short.
TEST_F(PpmFile, SizeLimitIsCheckedOnTheHeaderBeforeThePixels) {
  const std::string path = write("P6\n3 3 255\n");
  GLMerror error{};
  EXPECT_EQ(glmLoadPPMFrom(path.c_str(), &width, &height, 8, &error), nullptr);
  EXPECT_EQ(std::string(error.message), path + ": PPM image of 3 x 3 pixels is too large");
}

}  // namespace
