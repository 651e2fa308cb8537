// MTL reading, material lookup and the directory rule that places libraries.
#include <gtest/gtest.h>

#include <sys/stat.h>

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

TEST_F(MtlReader, MapsKeepTheImageNameAfterTheirOptions) {
  Model m = readLibrary(
      "newmtl a\n"
      "map_Kd -o 0.5 0.5 -s 2 -clamp on -mm 0 1 textures/old wood.png \r\n"
      "map_Ka amb.jpg\nmap_Ks -bm 1 -5.png\nmap_d -imfchan m a.png\nbump -bm 0.5 b.png\n"
      "d -halo 0.25\n"
      "newmtl b\nmap_Kd -s 1 2 3 4.png\nTr 0.25\nmap_Bump\n");
  ASSERT_TRUE(m) << err;
  const ObjMaterial &a = m->materials[1], &b = m->materials[2];
  EXPECT_STREQ(a.diffusemap, "textures/old wood.png");
  EXPECT_STREQ(a.ambientmap, "amb.jpg");
  EXPECT_STREQ(a.specularmap, "-5.png");
  EXPECT_STREQ(a.alphamap, "a.png");
  EXPECT_STREQ(a.bumpmap, "b.png");
  EXPECT_FLOAT_EQ(a.dissolve, 0.25f);
  EXPECT_STREQ(b.diffusemap, "4.png");  // -s takes at most three numbers
  EXPECT_EQ(b.bumpmap, nullptr);
  EXPECT_FLOAT_EQ(b.dissolve, 0.75f);
  EXPECT_EQ(m->materials[0].diffusemap, nullptr);
  EXPECT_FLOAT_EQ(m->materials[0].dissolve, 1.0f);
  EXPECT_FLOAT_EQ(a.diffuse[3], 1.0f);  // drawing does not blend
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
  m->groups->material = m->triangles[0].material = 99;
  glmDraw(m.get(), DRAW_MATERIAL);
  const std::vector<glfake::Call> calls = glfake::named("glMaterialfv");
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[1].args,
            (std::vector<double>{GL_FRONT_AND_BACK, GL_DIFFUSE, 0.8f, 0.8f, 0.8f, 1}));
}

// A library is optional: one that cannot be read, or that is no regular file
// (a device or a FIFO might never end), is one warning and the model goes on
// without it.
TEST_F(MtlReader, UnreadableLibrariesAreWarningsNamingTheBuiltPath) {
  Model m = model("sub/model.obj");
  fs::create_directory(dir + "/sub");
  ASSERT_EQ(mkfifo((dir + "/sub/pipe.mtl").c_str(), 0600), 0);
  const std::string built = "glmReadMTL() warning: can't open material file \"" + dir + "/sub/";
  for (auto [name, reason] :
       {std::pair{"absent.mtl", "No such file or directory"},
        std::pair{"pipe.mtl", "not a regular file"},
        std::pair{"../../../../../../../../dev/zero", "not a regular file"}}) {
    ::testing::internal::CaptureStdout();
    glmReadMTL(m.get(), name);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), built + name + "\": " + reason + ".\n");
    EXPECT_EQ(m->materials, nullptr);
  }
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
