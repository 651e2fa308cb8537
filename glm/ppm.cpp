// Raw ("P6") PPM image reader.
//
// The header is read line by line through a 70-byte buffer; lines that begin
// with "#" are comments. Every number of the header is checked before any
// pixel is read, and the pixel data is checked against the file's size before
// the buffer is allocated, so a short or hostile file never leads to a large
// allocation or a read outside the buffer.
#include <sys/stat.h>

#include <cctype>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "glm_internal.h"

namespace {

// Larger images are refused rather than allocated.
constexpr std::uint64_t kMaxPixelBytes = std::uint64_t{1} << 31;

struct FileCloser {
  void operator()(FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<FILE, FileCloser>;

// Reads up to `wanted` decimal integers separated by whitespace, as
// sscanf("%d %d %d") does, into values[0..wanted-1]; returns how many were
// converted. Values beyond the range of long long are clamped, so an overlong
// number is later rejected instead of wrapping round to a plausible size.
int scanNumbers(const char* text, long long* values, int wanted) {
  int found = 0;
  while (found < wanted) {
    while (std::isspace(static_cast<unsigned char>(*text))) text++;
    bool negative = *text == '-';
    if (*text == '-' || *text == '+') text++;
    if (!std::isdigit(static_cast<unsigned char>(*text))) break;
    long long value = 0;
    for (; std::isdigit(static_cast<unsigned char>(*text)); text++) {
      int digit = *text - '0';
      value = value > (LLONG_MAX - digit) / 10 ? LLONG_MAX : value * 10 + digit;
    }
    values[found++] = negative ? -value : value;
  }
  return found;
}

// Reads the magic line and the header's width, height and maxval into
// header[0..2], over as many lines as the file spreads them; once a number is
// found, later lines continue from the next one. False after a message.
bool readHeader(FILE* file, const char* filename, long long header[3]) {
  char line[70];
  if (!std::fgets(line, sizeof line, file) || std::strncmp(line, "P6", 2) != 0) {
    std::fprintf(stderr, "%s: Not a raw PPM file\n", filename);
    return false;
  }
  int found = 0;
  while (found < 3) {
    if (!std::fgets(line, sizeof line, file)) {
      std::fprintf(stderr, "%s: PPM header ends before width, height and maxval\n", filename);
      return false;
    }
    if (line[0] == '#') continue;
    found += scanNumbers(line, header + found, 3 - found);
  }
  return true;
}

// False after a message when the image has no pixels, too many, or samples
// of more than one byte.
bool headerAcceptable(const char* filename, long long w, long long h, long long maxval) {
  if (w <= 0 || h <= 0) {
    std::fprintf(stderr, "%s: bad PPM size %lld x %lld\n", filename, w, h);
    return false;
  }
  if (w > INT_MAX || h > INT_MAX ||
      static_cast<std::uint64_t>(w) * static_cast<std::uint64_t>(h) > kMaxPixelBytes / 3) {
    std::fprintf(stderr, "%s: PPM image of %lld x %lld pixels is too large\n", filename, w, h);
    return false;
  }
  if (maxval < 1 || maxval > 255) {
    // Two bytes per sample would be misread as twice as many pixels.
    std::fprintf(stderr, "%s: unsupported PPM maxval %lld (1 to 255 supported)\n", filename,
                 maxval);
    return false;
  }
  return true;
}

// For a regular file the data still to come is known: false after a message
// when it is shorter than `size`, so a short file is refused before the
// pixels are allocated.
bool fileHolds(FILE* file, const char* filename, std::size_t size) {
  struct stat status;
  long offset = std::ftell(file);
  if (offset >= 0 && fstat(fileno(file), &status) == 0 && S_ISREG(status.st_mode) &&
      static_cast<std::uint64_t>(status.st_size) < static_cast<std::uint64_t>(offset) + size) {
    std::fprintf(stderr, "%s: PPM pixel data is short: %lld of %zu bytes\n", filename,
                 static_cast<long long>(status.st_size) - offset, size);
    return false;
  }
  return true;
}

}  // namespace

unsigned char* glmLoadPPM(const char* filename, int* width, int* height) {
  File file(std::fopen(filename, "rb"));
  if (!file) {
    std::perror(filename);
    return nullptr;
  }
  long long header[3] = {0, 0, 0};
  if (!readHeader(file.get(), filename, header)) return nullptr;
  const long long w = header[0], h = header[1], maxval = header[2];
  if (!headerAcceptable(filename, w, h, maxval)) return nullptr;
  const std::size_t size = static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 3;
  if (!fileHolds(file.get(), filename, size)) return nullptr;

  glm_internal::Owned<unsigned char> pixels(static_cast<unsigned char*>(std::malloc(size)));
  if (!pixels) {
    std::fprintf(stderr, "%s: out of memory for %zu bytes of PPM pixels\n", filename, size);
    return nullptr;
  }
  std::size_t got = std::fread(pixels.get(), 1, size, file.get());
  if (got != size) {
    std::fprintf(stderr, "%s: PPM pixel data is short: %zu of %zu bytes\n", filename, got, size);
    return nullptr;
  }
  *width = static_cast<int>(w);
  *height = static_cast<int>(h);
  return pixels.release();
}
