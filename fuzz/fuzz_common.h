// Shared by the fuzz targets: a scratch directory for the files an input is
// written to, and a failure handler that turns the library's fatal failures
// into an exception the entry point catches, so a rejected input is an
// ordinary return and not a crash.
#ifndef FUZZ_COMMON_H
#define FUZZ_COMMON_H

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "glm.h"

namespace fuzz {

struct Rejected {};

[[noreturn]] inline void throwRejected() { throw Rejected{}; }

// The process's scratch directory, created on first use and removed at exit.
inline const std::string& scratchDir() {
  static const std::string dir = [] {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/glm-fuzz-XXXXXX";
    if (!mkdtemp(pattern.data())) {
      std::perror("mkdtemp");
      std::abort();
    }
    glmSetFailureHandler(throwRejected);
    return pattern;
  }();
  static const struct Cleanup {
    ~Cleanup() { rmdir(scratchDir().c_str()); }
  } cleanup;
  return dir;
}

// Writes bytes to a file of the scratch directory and returns its path.
inline std::string writeScratch(const char* name, const std::uint8_t* data, std::size_t size) {
  std::string path = scratchDir() + "/" + name;
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file || (size && std::fwrite(data, 1, size, file) != size) || std::fclose(file) != 0) {
    std::perror(path.c_str());
    std::abort();
  }
  return path;
}

// A broken invariant in what a reader returned: report it as a crash.
#define FUZZ_CHECK(expr)                                                        \
  do {                                                                          \
    if (!(expr)) {                                                              \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #expr); \
      std::abort();                                                             \
    }                                                                           \
  } while (0)

}  // namespace fuzz

#endif
