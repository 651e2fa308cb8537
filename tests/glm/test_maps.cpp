// Finding the image file a material's map names, as exporters write them.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "glm.h"
#include "model_util.h"

namespace {

namespace fs = std::filesystem;

class MapLookup : public testutil::TempDirTest {
 protected:
  void SetUp() override {
    TempDirTest::SetUp();
    fs::create_directories(dir + "/lib/Tex");
    model->path = strdup((dir + "/m.obj").c_str());
    model->mtllib = strdup("lib/m.mtl");  // maps are relative to lib/
  }

  // The path found, or "!" and the reason.
  std::string find(const std::string& map) {
    GLMerror error{};
    char* path = glmFindMap(model.get(), map.c_str(), &error);
    std::string result = path ? std::string(path) : std::string("!").append(error.message);
    EXPECT_EQ(path ? std::string(error.message) : "", "");
    std::free(path);
    return result;
  }

  testutil::Model model{testutil::emptyModel()};
};

TEST_F(MapLookup, FindsTheFileAnExporterMeant) {
  const std::string lib = dir + "/lib/";
  write("lib/Tex/Wood.PNG", "x");
  write("lib/bark.jpg", "x");
  EXPECT_EQ(find("Tex/Wood.PNG"), lib + "Tex/Wood.PNG");
  EXPECT_EQ(find("Tex\\Wood.PNG"), lib + "Tex/Wood.PNG");
  EXPECT_EQ(find("Tex\\wood.png"), lib + "Tex/Wood.PNG");
  EXPECT_EQ(find("BARK.JPG"), lib + "bark.jpg");
  EXPECT_EQ(find("C:\\Models\\Bark.JPG"), lib + "bark.jpg");
  EXPECT_EQ(find(lib + "bark.jpg"), lib + "bark.jpg");  // absolute
  EXPECT_EQ(find("leaf.png"), std::string("!").append(std::strerror(ENOENT)));
  EXPECT_EQ(find(""), std::string("!").append(std::strerror(ENOENT)));
}

// Only a regular file is an image; anything else is named for what it is.
TEST_F(MapLookup, AnythingButARegularFileIsRefusedWithItsReason) {
  ASSERT_EQ(mkfifo((dir + "/lib/pipe.png").c_str(), 0600), 0);
  fs::create_symlink("/dev/zero", dir + "/lib/zero.png");
  fs::create_symlink("loop.png", dir + "/lib/loop.png");
  EXPECT_EQ(find("Tex"), "!a directory");
  EXPECT_EQ(find("pipe.png"), "!a FIFO");
  EXPECT_EQ(find("zero.png"), "!a device");
  EXPECT_EQ(find("loop.png"), std::string("!").append(std::strerror(ELOOP)));
  // A later candidate that is there gives the reason when the name as
  // written is missing.
  EXPECT_EQ(find("C:\\x\\Pipe.png"), "!a FIFO");
  EXPECT_EQ(glmFindMap(model.get(), "Tex", nullptr), nullptr);
}

}  // namespace
