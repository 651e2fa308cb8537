// The model table, filled from the data directory (the tests run from the
// project root). The file names themselves are checked end to end.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "scene.h"

namespace {

const bool modelsLoaded = (loadModels(), true);  // as the scene does at start-up

TEST(ModelTable, HoldsNineDistinctFilesLoadedInSlotOrderAndANullTenthSlot) {
  std::set<std::string> distinct;
  for (int slot = 0; slot < 9; slot++) {
    ASSERT_NE(models[slot], nullptr) << "slot " << slot;
    // Read from the working directory's data/, under the table's own name.
    EXPECT_STREQ(models[slot]->path, modelFiles[slot]);
    EXPECT_EQ(std::string(modelFiles[slot]).rfind("data/", 0), 0u) << modelFiles[slot];
    distinct.insert(modelFiles[slot]);
    EXPECT_GT(models[slot]->vertexcount, 0u) << modelFiles[slot];
    EXPECT_GT(models[slot]->trianglecount, 0u) << modelFiles[slot];
    ASSERT_NE(models[slot]->vertices, nullptr);
    // Kept as read: nothing is computed for them after loading.
    EXPECT_EQ(models[slot]->facetnorms, nullptr) << modelFiles[slot];
  }
  EXPECT_EQ(distinct.size(), 9u);
  EXPECT_EQ(models[9], nullptr);
}

TEST(ModelTable, OnlyADataDirectoryHoldingModelsCounts) {
  char pattern[] = "/tmp/scene-roots-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::string base = pattern;
  for (const char* root : {"/unrelated/data", "/partial/data"})
    std::filesystem::create_directories(base + root);
  std::ofstream(base + "/unrelated/data/notes.txt") << "not a model";
  // One model of nine: it counts, so the reader names the missing ones.
  std::ofstream(base + "/partial/" + modelFiles[4]) << "v 0 0 0\n";
  EXPECT_EQ(findDataRoot({base + "/unrelated", base + "/partial"}), base + "/partial");
  EXPECT_EQ(findDataRoot({base + "/unrelated"}), "");
  std::filesystem::remove_all(base);
}

}  // namespace
