// Small helpers for tests that build models by hand.
#ifndef MODEL_UTIL_H
#define MODEL_UTIL_H

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "glm.h"

namespace testutil {

struct Vec {
  float x, y, z;
};

struct ModelDeleter {
  void operator()(ObjModel* model) const { glmFreeModel(model); }
};
using ModelPtr = std::unique_ptr<ObjModel, ModelDeleter>;
using Model = ModelPtr;

inline const float kNaN = std::numeric_limits<float>::quiet_NaN();
inline const float kInf = std::numeric_limits<float>::infinity();

// A 1-based array of 3-vectors as the library keeps them (entry 0 zeroed),
// allocated so that glmFreeModel or free can release it.
inline float* vectorArray(const std::vector<Vec>& entries) {
  auto* array = static_cast<float*>(std::calloc(entries.size() + 1, 3 * sizeof(float)));
  for (std::size_t i = 0; i < entries.size(); i++)
    std::memcpy(&array[3 * (i + 1)], &entries[i], 3 * sizeof(float));
  return array;
}

// The whole file at `path`, byte for byte.
inline std::string fileContents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The names of the model's groups in list order.
inline std::vector<std::string> groupNames(const ObjModel* model) {
  std::vector<std::string> names;
  for (const ObjGroup* g = model->groups; g; g = g->next) names.push_back(g->name);
  return names;
}

// An empty model record, as the reader creates one before reading.
inline ObjModel* emptyModel() { return static_cast<ObjModel*>(std::calloc(1, sizeof(ObjModel))); }

// The library's fatal failures end the program; tests install a handler that
// throws this instead, so a failure can be observed and the test goes on.
struct Failure {};
[[noreturn]] inline void throwFailure() { throw Failure{}; }

// A fixture with a fresh temporary directory, removed afterwards.
class TempDirTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/glm-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(dir); }

  // Writes `text` byte for byte to `name` in the temporary directory.
  std::string write(const std::string& name, const std::string& text) {
    std::string path = dir + "/" + name;
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }

  std::string dir;
};

// The temporary directory with the throwing failure handler installed;
// `run` captures what an operation prints.
class FileTest : public TempDirTest {
 protected:
  void SetUp() override {
    TempDirTest::SetUp();
    glmSetFailureHandler(throwFailure);
  }
  void TearDown() override {
    glmSetFailureHandler(nullptr);
    TempDirTest::TearDown();
  }

  // Runs `operation` with standard output and error captured into out and
  // err; false when it failed through the failure handler.
  template <typename Operation>
  bool run(Operation&& operation) {
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    bool succeeded = true;
    try {
      operation();
    } catch (const Failure&) {
      succeeded = false;
    }
    out = ::testing::internal::GetCapturedStdout();
    err = ::testing::internal::GetCapturedStderr();
    return succeeded;
  }

  // Reads the OBJ file at `path`; null when the reader failed.
  Model readFile(const std::string& path) {
    Model model;
    run([&] { model.reset(glmReadOBJ(path.c_str())); });
    return model;
  }

  std::string out, err;
};

}  // namespace testutil

#endif
