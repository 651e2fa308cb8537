// Small helpers for tests that build models by hand.
#ifndef MODEL_UTIL_H
#define MODEL_UTIL_H

#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
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

// An empty model record, as the reader creates one before reading.
inline ObjModel* emptyModel() { return static_cast<ObjModel*>(std::calloc(1, sizeof(ObjModel))); }

}  // namespace testutil

#endif
