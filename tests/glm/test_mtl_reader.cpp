// MTL reading, material lookup and the directory rule that places libraries.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "glm.h"
#include "model_util.h"

namespace {

namespace fs = std::filesystem;

using namespace testutil;

class MtlReader : public FileTest {
 protected:
  // A bare model whose path lies in the temp directory, as the OBJ reader
  // makes it before reading the library.
  Model model(const std::string& objName = "model.obj") {
    Model m(emptyModel());
    m->path = strdup((dir + "/" + objName).c_str());
    return m;
  }

  // Reads `text` as the library of a fresh model; null on failure.
  Model readLibrary(const std::string& text) {
    write("lib.mtl", text);
    Model m = model();
    if (!run([&] { glmReadMTL(m.get(), "lib.mtl"); })) m.reset();
    return m;
  }
};

void expectColor(const float* color, float r, float g, float b) {
  EXPECT_FLOAT_EQ(color[0], r);
  EXPECT_FLOAT_EQ(color[1], g);
  EXPECT_FLOAT_EQ(color[2], b);
  EXPECT_FLOAT_EQ(color[3], 1.0f);
}

TEST_F(MtlReader, DefaultComesFirstWithInitialValues) {
  Model m = readLibrary(
      "# three materials\n"
      "newmtl red\nKd 1 0 0\n"
      "newmtl green extra words\nKa 0 0.5 0\n"
      "newmtl blue\nKs 0 0 1\n");
  ASSERT_TRUE(m) << err;
  ASSERT_EQ(m->materialcount, 4u);
  EXPECT_STREQ(m->materials[0].name, "default");
  EXPECT_STREQ(m->materials[1].name, "red");
  EXPECT_STREQ(m->materials[2].name, "green");
  EXPECT_STREQ(m->materials[3].name, "blue");
  const ObjMaterial& d = m->materials[0];
  expectColor(d.diffuse, 0.8f, 0.8f, 0.8f);
  expectColor(d.ambient, 0.2f, 0.2f, 0.2f);
  expectColor(d.specular, 0, 0, 0);
  EXPECT_FLOAT_EQ(d.shininess, 65.0f);
  expectColor(m->materials[1].diffuse, 1, 0, 0);
  expectColor(m->materials[1].ambient, 0.2f, 0.2f, 0.2f);
  expectColor(m->materials[2].ambient, 0, 0.5f, 0);
  expectColor(m->materials[3].specular, 0, 0, 1);
  EXPECT_FLOAT_EQ(m->materials[3].shininess, 65.0f);
  EXPECT_EQ(out + err, "");
}

TEST_F(MtlReader, PropertiesBeforeTheFirstNewmtlApplyToDefault) {
  Model m = readLibrary("Kd 0.1 0.2 0.3\nnewmtl a\n");
  ASSERT_TRUE(m) << err;
  expectColor(m->materials[0].diffuse, 0.1f, 0.2f, 0.3f);
  expectColor(m->materials[1].diffuse, 0.8f, 0.8f, 0.8f);
}

TEST_F(MtlReader, OnlyNsSetsShininessOnTheGlScale) {
  Model m = readLibrary(
      "newmtl a\nNs 96\n"
      "newmtl b\nNs 1000\nNi 1.45\n"
      "newmtl c\nNi 3\nNx 7\n"
      "newmtl d\nNs x\n");
  ASSERT_TRUE(m) << err;
  EXPECT_FLOAT_EQ(m->materials[1].shininess, 12.288f);
  EXPECT_FLOAT_EQ(m->materials[2].shininess, 128.0f);
  EXPECT_FLOAT_EQ(m->materials[3].shininess, 65.0f);
  // A number that does not convert leaves the shininess as it was.
  EXPECT_FLOAT_EQ(m->materials[4].shininess, 65.0f);
}

TEST_F(MtlReader, UnusedStatementsLeaveTheMaterialUnchanged) {
  Model m = readLibrary(
      "newmtl a\nKe 1 1 1\nillum 2\nd 0.5\nTr 0.1\nTf 1 1 1\nmap_Kd tex.ppm\nKx 5 5 5\n");
  ASSERT_TRUE(m) << err;
  ASSERT_EQ(m->materialcount, 2u);
  const ObjMaterial& a = m->materials[1];
  expectColor(a.diffuse, 0.8f, 0.8f, 0.8f);
  expectColor(a.ambient, 0.2f, 0.2f, 0.2f);
  expectColor(a.specular, 0, 0, 0);
  EXPECT_FLOAT_EQ(a.shininess, 65.0f);
}

TEST_F(MtlReader, MalformedNumbersStopTheReadAndKeepLaterFields) {
  // "x" stops the read: green and blue keep 0.8, and the rest of the line
  // is read as further keywords.
  Model m = readLibrary("newmtl a\nKd 0.5 x 0.3\nnewmtl b\nKd 1 1\n0 newmtl c\n");
  ASSERT_TRUE(m) << err;
  expectColor(m->materials[1].diffuse, 0.5f, 0.8f, 0.8f);
  // The third number of b's Kd is on the next line; the "newmtl" after it
  // is a keyword to both passes, so counting and filling agree.
  ASSERT_EQ(m->materialcount, 4u);
  expectColor(m->materials[2].diffuse, 1, 1, 0);
  EXPECT_STREQ(m->materials[3].name, "c");
}

TEST_F(MtlReader, NamesLoseTheirLineEndAndAreCutTo127Characters) {
  Model m = readLibrary("newmtl red\r\nKd 1 0 0\r\nnewmtl " + std::string(5000, 'x') +
                        "\nnewmtl\n");
  ASSERT_TRUE(m) << err;
  ASSERT_EQ(m->materialcount, 4u);
  EXPECT_STREQ(m->materials[1].name, "red");
  expectColor(m->materials[1].diffuse, 1, 0, 0);
  EXPECT_EQ(std::string(m->materials[2].name), std::string(127, 'x'));
  EXPECT_STREQ(m->materials[3].name, "");
}

TEST_F(MtlReader, SecondLibraryReplacesTheFirst) {
  Model m = readLibrary("newmtl a\nnewmtl b\n");
  ASSERT_TRUE(m);
  std::ofstream(dir + "/other.mtl") << "newmtl c\n";
  glmReadMTL(m.get(), "other.mtl");
  ASSERT_EQ(m->materialcount, 2u);
  EXPECT_STREQ(m->materials[1].name, "c");
}

TEST_F(MtlReader, MissingLibraryIsFatalNamingTheBuiltPath) {
  Model m = model("sub/model.obj");
  ::testing::internal::CaptureStderr();
  EXPECT_THROW(glmReadMTL(m.get(), "absent.mtl"), Failure);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "glmReadMTL() failed: can't open material file \"" + dir + "/sub/absent.mtl\".\n");
  EXPECT_EQ(m->materials, nullptr);
  glmSetFailureHandler(nullptr);
  EXPECT_EXIT(glmReadMTL(m.get(), "absent.mtl"), ::testing::ExitedWithCode(1),
              "^glmReadMTL\\(\\) failed: can't open material file \".*/sub/absent\\.mtl\"\\.\n$");
}

TEST_F(MtlReader, LibrariesAreFoundBesideTheObjFile) {
  fs::create_directory(dir + "/data");
  std::ofstream(dir + "/data/boat.mtl") << "newmtl hull\n";
  Model m = model("data/boat.obj");
  glmReadMTL(m.get(), "boat.mtl");
  ASSERT_EQ(m->materialcount, 2u);
  EXPECT_STREQ(m->materials[1].name, "hull");
}

TEST(PathDirectory, KeepsEverythingUpToTheLastSlash) {
  struct {
    const char* path;
    const char* directory;
  } cases[] = {{"data/boat.obj", "data/"}, {"boat.obj", ""},        {"/a/b/c.obj", "/a/b/"},
               {"a/b/", "a/b/"},           {"a\\b.obj", ""},         {"", ""},
               {"/", "/"},                 {"data//x.obj", "data//"}};
  for (const auto& c : cases) {
    char* directory = glmPathDirectory(c.path);
    EXPECT_STREQ(directory, c.directory) << c.path;
    std::free(directory);
  }
}

TEST_F(MtlReader, FindMaterialReturnsTheFirstExactMatchOrZero) {
  Model m = readLibrary("newmtl a\nnewmtl B\nnewmtl a\n");
  ASSERT_TRUE(m);
  EXPECT_EQ(glmFindMaterial(m.get(), "a"), 1u);
  EXPECT_EQ(glmFindMaterial(m.get(), "B"), 2u);
  EXPECT_EQ(glmFindMaterial(m.get(), "default"), 0u);
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(glmFindMaterial(m.get(), "b"), 0u);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(),
            "glmFindMaterial():  can't find material \"b\".\n");

  Model empty = model();
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(glmFindMaterial(empty.get(), "a"), 0u);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(),
            "glmFindMaterial():  can't find material \"a\".\n");
}

}  // namespace
