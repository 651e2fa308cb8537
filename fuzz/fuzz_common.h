// Shared by the fuzz targets: a scratch directory for the files an input is
// written to, and a failure handler that turns the library's fatal failures
// into an exception the entry point catches, so a rejected input is an
// ordinary return and not a crash.
#ifndef FUZZ_COMMON_H
#define FUZZ_COMMON_H

#include <unistd.h>

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

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

// Only files of the scratch directory may be read: an input that could name
// another file (an absolute path, or one that climbs out with "..") is
// skipped, since a name like /dev/zero would never end.
inline bool staysInScratch(std::string_view text) {
  if (text.find("..") != std::string_view::npos) return false;
  for (std::size_t i = 0; i < text.size(); i++) {
    if (text[i] != '/') continue;
    unsigned char before = i ? static_cast<unsigned char>(text[i - 1]) : ' ';
    if (before == '\0' || std::isspace(before)) return false;
  }
  return true;
}

// Collects what the library prints on standard output and standard error
// while it lives, so a target can check the messages: a rejected input must
// say why, and an internal inconsistency ("the reading passes disagree") is a
// bug even though the library reports it as a fatal failure. text() passes
// the messages on to the real standard error.
inline char* messageBuffer = nullptr;
inline std::size_t messageLength = 0;

inline FILE* messageStream() {
  static FILE* stream = open_memstream(&messageBuffer, &messageLength);
  return stream;
}

struct Messages {
  FILE* savedOut = stdout;
  FILE* savedErr = stderr;

  Messages() {
    std::fflush(stdout);
    std::fseek(messageStream(), 0, SEEK_SET);
    stdout = messageStream();
    stderr = messageStream();
  }
  Messages(const Messages&) = delete;
  Messages& operator=(const Messages&) = delete;
  ~Messages() { restore(); }

  void restore() {
    stdout = savedOut;
    stderr = savedErr;
  }

  std::string text() {
    restore();
    std::fflush(messageStream());
    long length = std::ftell(messageStream());
    std::string result(messageBuffer, length > 0 ? static_cast<std::size_t>(length) : 0);
    std::fwrite(result.data(), 1, result.size(), stderr);
    return result;
  }
};

// A broken invariant in what a reader returned: report it as a crash.
#define FUZZ_CHECK(expr)                                                              \
  do {                                                                                \
    if (!(expr)) {                                                                    \
      dprintf(STDERR_FILENO, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #expr); \
      std::abort();                                                                   \
    }                                                                                 \
  } while (0)

// Every index of every triangle names an entry of its array (0: none).
inline void checkTriangles(const ObjModel* model) {
  for (unsigned i = 0; i < model->trianglecount; i++) {
    const ObjTriangle& t = model->triangles[i];
    for (int c = 0; c < 3; c++) {
      FUZZ_CHECK(t.vertexidx[c] >= 1 && t.vertexidx[c] <= model->vertexcount);
      FUZZ_CHECK(t.normalidx[c] <= model->normalcount);
      FUZZ_CHECK(t.texcoordidx[c] <= model->texcoordcount);
    }
    FUZZ_CHECK(t.facetnormidx <= model->facetnormcount);
    FUZZ_CHECK(t.material < (model->materialcount ? model->materialcount : 1));
  }
}

// Every message ends its line; a rejected input printed at least one; no
// message tells of the reader contradicting itself.
inline void checkMessages(const std::string& text, bool rejected) {
  FUZZ_CHECK(text.empty() || text.back() == '\n');
  FUZZ_CHECK(!rejected || text.rfind("glm", 0) == 0 || text.find("\nglm") != std::string::npos);
  FUZZ_CHECK(text.find("passes disagree") == std::string::npos);
}

}  // namespace fuzz

#endif
