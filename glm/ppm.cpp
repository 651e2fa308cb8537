// Raw ("P6") PPM image reader and writer.
//
// The header is read as whitespace-separated numbers; "#" starts a comment
// that runs to its line end. Every number of the header is checked before any
// pixel is read, and the pixel data is checked against the file's size before
// the buffer is allocated, so a short or hostile file never leads to a large
// allocation or a read outside the buffer.
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "glm_internal.h"
#include "replace.h"

namespace {

using glm_internal::glmFailErrno;
using glm_internal::glmFailf;

// Larger images are refused rather than allocated.
constexpr std::uint64_t kMaxPixelBytes = std::uint64_t{1} << 31;

struct FileCloser {
  void operator()(FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<FILE, FileCloser>;

// The next header byte after whitespace and comments, which run from "#"
// to the end of their line wherever they start.
int skipBlanks(FILE* file) {
  int c = std::getc(file);
  for (;;) {
    if (c == '#') {
      while (c != '\n' && c != '\r' && c != EOF) c = std::getc(file);
    } else if (c != EOF && std::isspace(c)) {
      c = std::getc(file);
    } else {
      return c;
    }
  }
}

// After maxval: the pixels follow its line's end when only blanks stand
// before it, as in "255 \n" or "255\r\n"; otherwise they begin right after
// the one whitespace byte `c` that ended the number. The bytes read past it
// that turn out to be pixels are left in `lead`.
void skipToPixels(FILE* file, int c, std::string& lead) {
  constexpr std::size_t kMaxBlanks = 64;
  for (std::string blanks; c != '\n';) {
    c = std::getc(file);
    if (c == '\n') return;
    if ((c == ' ' || c == '\t' || c == '\r') && blanks.size() < kMaxBlanks) {
      blanks += static_cast<char>(c);
      continue;
    }
    if (c != EOF) blanks += static_cast<char>(c);
    lead = blanks;
    return;
  }
}

// Reads the magic number and the header's width, height and maxval into
// header[0..2]: whitespace-separated decimal numbers, on one line or many,
// with comments anywhere between them. Overlong numbers are clamped, so they
// are later refused instead of wrapping round to a plausible size.
void readHeader(FILE* file, const char* filename, long long header[3], std::string& lead) {
  const int p = std::getc(file), six = std::getc(file), after = std::getc(file);
  if (p != 'P' || six != '6' || !(after == EOF || after == '#' || std::isspace(after)))
    glmFailf(stderr, "%s: Not a raw PPM file\n", filename);
  std::ungetc(after, file);
  for (int found = 0; found < 3; found++) {
    int c = skipBlanks(file);
    if (c == EOF)
      glmFailf(stderr, "%s: PPM header ends before width, height and maxval\n", filename);
    long long value = 0;
    bool digits = false;
    for (; c != EOF && std::isdigit(c); c = std::getc(file), digits = true)
      value = value > (LLONG_MAX - (c - '0')) / 10 ? LLONG_MAX : value * 10 + (c - '0');
    const bool last = found == 2;
    if (!digits || !((!last && c == '#') || (c != EOF && std::isspace(c))))
      glmFailf(stderr, "%s: PPM header holds something other than width, height and maxval\n",
               filename);
    if (c == '#') std::ungetc(c, file);
    if (last) skipToPixels(file, c, lead);
    header[found] = value;
  }
}

// Refuses an image without pixels, with more than `maxPixels`, or with
// samples of more than one byte.
void checkHeader(const char* filename, long long w, long long h, long long maxval,
                 std::uint64_t maxPixels) {
  if (w <= 0 || h <= 0) glmFailf(stderr, "%s: bad PPM size %lld x %lld\n", filename, w, h);
  if (w > INT_MAX || h > INT_MAX ||
      static_cast<std::uint64_t>(w) * static_cast<std::uint64_t>(h) > maxPixels)
    glmFailf(stderr, "%s: PPM image of %lld x %lld pixels is too large\n", filename, w, h);
  // Two bytes per sample would be misread as twice as many pixels.
  if (maxval < 1 || maxval > 255)
    glmFailf(stderr, "%s: unsupported PPM maxval %lld (1 to 255 supported)\n", filename, maxval);
}

// For a regular file the data still to come is known: a file shorter than
// `size` is refused before the pixels are allocated.
void checkFileHolds(FILE* file, const char* filename, std::size_t size) {
  struct stat status;
  long offset = std::ftell(file);
  if (offset >= 0 && fstat(fileno(file), &status) == 0 && S_ISREG(status.st_mode) &&
      static_cast<std::uint64_t>(status.st_size) < static_cast<std::uint64_t>(offset) + size)
    glmFailf(stderr, "%s: PPM pixel data is short: %lld of %zu bytes\n", filename,
             static_cast<long long>(status.st_size) - offset, size);
}

// Spreads samples of 0..maxval over 0..255, so callers can take every image
// as full range; a sample above maxval counts as maxval.
void scaleSamples(unsigned char* samples, std::size_t count, unsigned maxval) {
  if (maxval == 255) return;
  unsigned char table[256];
  for (unsigned v = 0; v < 256; v++)
    table[v] = static_cast<unsigned char>((std::min(v, maxval) * 255 + maxval / 2) / maxval);
  for (std::size_t i = 0; i < count; i++) samples[i] = table[samples[i]];
}

}  // namespace

namespace {

// The pixels of a raw PPM file, or a failure thrown for glmCatch.
unsigned char* loadPPM(const char* filename, int* width, int* height,
                       unsigned long long maxPixels) {
  File file(std::fopen(filename, "rb"));
  if (!file) {
    const int error = errno;
    glmFailErrno(error, stderr, "%s: %s\n", filename, std::strerror(error));
  }
  long long header[3] = {0, 0, 0};
  std::string lead;
  readHeader(file.get(), filename, header, lead);
  const long long w = header[0], h = header[1], maxval = header[2];
  checkHeader(
      filename, w, h, maxval,
      maxPixels > 0 ? std::min<std::uint64_t>(maxPixels, kMaxPixelBytes / 3) : kMaxPixelBytes / 3);
  const std::size_t size = static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 3;
  const std::size_t early = std::min(lead.size(), size);
  checkFileHolds(file.get(), filename, size - early);

  glm_internal::Owned<unsigned char> pixels(static_cast<unsigned char*>(std::malloc(size)));
  if (!pixels) glmFailErrno(ENOMEM, stderr, "%s: out of memory for %zu bytes of PPM pixels\n", filename, size);
  std::memcpy(pixels.get(), lead.data(), early);
  std::size_t got = early + std::fread(pixels.get() + early, 1, size - early, file.get());
  if (got != size)
    glmFailf(stderr, "%s: PPM pixel data is short: %zu of %zu bytes\n", filename, got, size);
  scaleSamples(pixels.get(), size, static_cast<unsigned>(maxval));
  *width = static_cast<int>(w);
  *height = static_cast<int>(h);
  return pixels.release();
}

}  // namespace

unsigned char* glmLoadPPM(const char* filename, int* width, int* height) {
  // A file that cannot be read is no reason to end the program: the
  // message is given as a warning and null returned.
  unsigned char* pixels = nullptr;
  glm_internal::Failure failure;
  if (!glm_internal::glmCatch(failure, [&] { pixels = loadPPM(filename, width, height, 0); }))
    glm_internal::glmGive(failure.stream, failure.message, false);
  return pixels;
}

unsigned char* glmLoadPPMFrom(const char* filename, int* width, int* height,
                              unsigned long long maxpixels, GLMerror* error) {
  unsigned char* pixels = nullptr;
  glm_internal::handingBack(error, [&] { pixels = loadPPM(filename, width, height, maxpixels); });
  return pixels;
}

namespace {

// Puts `header` and then `size` bytes of `data` in place at `filename`, as
// every writer of the library puts its files.
void writeFile(const char* operation, const char* filename, const std::string& header,
               const void* data, std::size_t size) {
  using glm_internal::Output;
  Output out, none;
  if (!openOutput(out, filename)) {
    int error = errno;
    glm_internal::failWith(error, out, none, "%s() failed: can't open file \"%s\" to write: %s.\n",
                           operation, filename, std::strerror(error));
  }
  out.put(header.data(), header.size());
  if (size) out.put(data, size);
  if (!finishOutput(out) || !commitOutput(out)) glm_internal::writeFailed(operation, out, none);
}

}  // namespace

void glmWritePPM(const char* filename, const unsigned char* pixels, int width, int height) {
  GLM_ASSERT(filename);
  GLM_ASSERT(pixels);
  GLM_ASSERT(width > 0 && height > 0);
  char header[64];
  std::snprintf(header, sizeof header, "P6\n%d %d\n255\n", width, height);
  writeFile("glmWritePPM", filename, header, pixels,
            static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3);
}

bool glmWriteFileTo(const char* filename, const void* data, unsigned long long size, GLMerror* error) {
  GLM_ASSERT(filename);
  GLM_ASSERT(data || size == 0);
  return glm_internal::handingBack(
      error, [&] { writeFile("glmWriteFileTo", filename, "", data, static_cast<std::size_t>(size)); });
}

bool glmWritePPMTo(const char* filename, const unsigned char* pixels, int width, int height,
                   GLMerror* error) {
  return glm_internal::handingBack(error, [&] { glmWritePPM(filename, pixels, width, height); });
}
