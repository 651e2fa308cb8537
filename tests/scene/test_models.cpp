// The model table, filled before main from the data directory (the tests run
// from the project root).
#include <gtest/gtest.h>

#include "scene.h"

namespace {

TEST(ModelTable, HoldsTheNineFilesLoadedInSlotOrderAndANullTenthSlot) {
  const char* const expected[9] = {
      "data/boat.obj",   "data/나무1.obj", "data/나무2.obj", "data/가로등.obj",   "data/버스.obj",
      "data/기둥축.obj", "data/웨곤.obj",  "data/차.obj",    "data/픽업트럭.obj",
  };
  for (int slot = 0; slot < 9; slot++) {
    ASSERT_NE(models[slot], nullptr) << "slot " << slot;
    EXPECT_STREQ(modelFiles[slot], expected[slot]);
    EXPECT_STREQ(models[slot]->path, expected[slot]);
    EXPECT_GT(models[slot]->vertexcount, 0u) << expected[slot];
    EXPECT_GT(models[slot]->trianglecount, 0u) << expected[slot];
    ASSERT_NE(models[slot]->vertices, nullptr);
    // Kept as read: nothing is computed for them after loading.
    EXPECT_EQ(models[slot]->facetnorms, nullptr) << expected[slot];
  }
  EXPECT_EQ(models[9], nullptr);
}

}  // namespace
