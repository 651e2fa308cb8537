// MTL reading, material lookup and the directory rule that places libraries.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include <GL/gl.h>

#include "glfake.h"
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

TEST_F(MtlReader, NumbersAreReadFromTheirOwnLineOnly) {
  // "x" stops the read: green and blue keep 0.8, the rest of the line is
  // skipped. A number missing from its line leaves its component as it was,
  // and the next line is a statement of its own.
  Model m = readLibrary(
      "\xEF\xBB\xBFnewmtl a\nKd 0.5 x 0.3\nnewmtl b\nKd 1 1\nnewmtl c\n"
      "Ns\nNs 1000 newmtl d\nKs 0 0 0 newmtl e\n");
  ASSERT_TRUE(m) << err;
  ASSERT_EQ(m->materialcount, 4u);
  EXPECT_STREQ(m->materials[1].name, "a");  // the byte-order mark is no part of it
  expectColor(m->materials[1].diffuse, 0.5f, 0.8f, 0.8f);
  expectColor(m->materials[2].diffuse, 1, 1, 0.8f);
  EXPECT_STREQ(m->materials[3].name, "c");
  EXPECT_FLOAT_EQ(m->materials[3].shininess, 128.0f);
}

TEST_F(MtlReader, KeywordsAreWholeWordsAndNamesAreKeptWhole) {
  Model m = readLibrary("newmtl red\r\nKd 1 0 0\r\nnewmtl " + std::string(5000, 'x') +
                        "\nnewmtl\nnewmtlx y\nnew z\nKdx 0 0 0\nNsx 1\n");
  ASSERT_TRUE(m) << err;
  ASSERT_EQ(m->materialcount, 4u);
  EXPECT_STREQ(m->materials[1].name, "red");
  expectColor(m->materials[1].diffuse, 1, 0, 0);
  EXPECT_EQ(std::string(m->materials[2].name), std::string(5000, 'x'));
  EXPECT_STREQ(m->materials[3].name, "");
  expectColor(m->materials[3].diffuse, 0.8f, 0.8f, 0.8f);
  EXPECT_FLOAT_EQ(m->materials[3].shininess, 65.0f);
}

// A later library is appended: every index a group holds stays valid and
// names the same material, however small the later library is; and drawing
// never reads past the array, even with an index set by hand.
TEST_F(MtlReader, LaterLibrariesAppendKeepingEveryIndexValid) {
  write("big.mtl", "newmtl a\nnewmtl b\nnewmtl c\nKd 0 0 1\n");
  write("small.mtl", "newmtl c\nKd 1 0 0\n");
  Model m = readFile(write("m.obj", "mtllib big.mtl\nv 0 0 0\nusemtl c\nf 1 1 1\n"));
  ASSERT_TRUE(m) << err;
  glmReadMTL(m.get(), "small.mtl");
  ASSERT_EQ(m->materialcount, 5u);
  EXPECT_STREQ(m->materials[4].name, "c");
  EXPECT_EQ(m->groups->material, 3u);
  EXPECT_EQ(glmFindMaterial(m.get(), "c"), 3u);  // the first of a name wins
  glfake::reset();
  m->groups->material = 99;
  glmDraw(m.get(), DRAW_MATERIAL);
  const std::vector<glfake::Call> calls = glfake::named("glMaterialfv");
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[1].args,
            (std::vector<double>{GL_FRONT_AND_BACK, GL_DIFFUSE, 0.8f, 0.8f, 0.8f, 1}));
}

TEST_F(MtlReader, DevicesAreRefused) {
  Model m(emptyModel());
  m->path = strdup("/dev/model.obj");
  ::testing::internal::CaptureStderr();
  EXPECT_THROW(glmReadMTL(m.get(), "zero"), Failure);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "glmReadMTL() failed: \"/dev/zero\" is a device, not a file.\n");
  EXPECT_EQ(m->materials, nullptr);
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
  } cases[] = {{"data/boat.obj", "data/"},
               {"boat.obj", ""},
               {"/a/b/c.obj", "/a/b/"},
               {"a/b/", "a/b/"},
               {"a\\b.obj", ""},
               {"", ""},
               {"/", "/"},
               {"data//x.obj", "data//"}};
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
