// OBJ reading: keywords, groups, faces and their forms, index resolution and
// rejection, line ends, over-long text, truncated and binary input.
#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <clocale>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <malloc.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "glm.h"
#include "glm_internal.h"
#include "model_util.h"
#include "scan.h"

using namespace glm_scan;

namespace {

namespace fs = std::filesystem;

using namespace testutil;

class ObjReader : public FileTest {
 protected:
  // Reads `text` as an OBJ file; null when the reader failed. The messages
  // are kept in out and err.
  Model read(const std::string& text, const std::string& name = "model.obj") {
    return readFile(write(name, text));
  }
};

std::vector<unsigned> groupTriangles(const ObjGroup* group) {
  return std::vector<unsigned>(group->triangles, group->triangles + group->trianglecount);
}

std::vector<unsigned> vertexIndices(const ObjModel* model, unsigned t) {
  const unsigned* v = model->triangles[t].vertexidx;
  return {v[0], v[1], v[2]};
}

const char* kSquare =
    "v 0 0 0\n"
    "v 1 0 0\n"
    "v 1 1 0\n"
    "v 0 1 0\n"
    "v 0.5 1.5 0\n";

TEST_F(ObjReader, FileWithoutGroupsPutsEveryTriangleInDefault) {
  Model m = read(std::string(kSquare) + "f 1 2 3\nf 1 3 4\n# done\n");
  ASSERT_TRUE(m) << err;
  EXPECT_EQ(m->vertexcount, 5u);
  EXPECT_EQ(m->trianglecount, 2u);
  EXPECT_EQ(m->normalcount, 0u);
  EXPECT_EQ(m->normals, nullptr);
  EXPECT_EQ(m->texcoords, nullptr);
  EXPECT_EQ(m->facetnorms, nullptr);
  EXPECT_EQ(m->materials, nullptr);
  EXPECT_EQ(m->mtllib, nullptr);
  ASSERT_EQ(groupNames(m.get()), std::vector<std::string>{"default"});
  EXPECT_EQ(groupTriangles(m->groups), (std::vector<unsigned>{0, 1}));
  EXPECT_FLOAT_EQ(m->vertices[3 * 5 + 0], 0.5f);
  EXPECT_FLOAT_EQ(m->vertices[3 * 5 + 1], 1.5f);
  // Entry 0 is never written and reads as zero.
  EXPECT_EQ(m->vertices[0], 0.0f);
  EXPECT_EQ(m->vertices[2], 0.0f);
  EXPECT_EQ(m->path, dir + "/model.obj");
  EXPECT_EQ(out, "");
  EXPECT_EQ(err, "");
}

TEST_F(ObjReader, GroupsListMostRecentFirstWithDefaultLast) {
  Model m = read(std::string(kSquare) +
                 "f 1 2 3\n"
                 "g wheel\n"
                 "f 1 3 4\n"
                 "g  two words \n"
                 "f 2 3 4\n"
                 "g wheel\n"
                 "f 1 2 4\n"
                 "g Wheel\n");
  ASSERT_TRUE(m) << err;
  // The blank after the keyword belongs to the name, and so do inner and
  // trailing blanks; names differing in case are different groups.
  EXPECT_EQ(groupNames(m.get()),
            (std::vector<std::string>{" Wheel", "  two words ", " wheel", "default"}));
  EXPECT_EQ(m->groupcount, 4u);
  const ObjGroup* wheel = m->groups->next->next;
  EXPECT_EQ(groupTriangles(wheel), (std::vector<unsigned>{1, 3}));
  EXPECT_EQ(groupTriangles(m->groups->next), std::vector<unsigned>{2});
  EXPECT_EQ(m->groups->trianglecount, 0u);
  EXPECT_EQ(groupTriangles(m->groups->next->next->next), std::vector<unsigned>{0});
}

TEST_F(ObjReader, GroupLineAtEndOfFileKeepsItsLastCharacter) {
  Model m = read(std::string(kSquare) + "f 1 2 3\ng wheel");
  ASSERT_TRUE(m) << err;
  EXPECT_STREQ(m->groups->name, " wheel");
  m = read("g\n");
  ASSERT_TRUE(m) << err;
  EXPECT_EQ(groupNames(m.get()), (std::vector<std::string>{"", "default"}));
}

TEST_F(ObjReader, FanTriangulatesPolygons) {
  Model m = read(std::string(kSquare) + "f 1 2 3 4\nf 1 2 3 4 5\n");
  ASSERT_TRUE(m) << err;
  ASSERT_EQ(m->trianglecount, 5u);
  EXPECT_EQ(vertexIndices(m.get(), 0), (std::vector<unsigned>{1, 2, 3}));
  EXPECT_EQ(vertexIndices(m.get(), 1), (std::vector<unsigned>{1, 3, 4}));
  EXPECT_EQ(vertexIndices(m.get(), 2), (std::vector<unsigned>{1, 2, 3}));
  EXPECT_EQ(vertexIndices(m.get(), 3), (std::vector<unsigned>{1, 3, 4}));
  EXPECT_EQ(vertexIndices(m.get(), 4), (std::vector<unsigned>{1, 4, 5}));
}

TEST_F(ObjReader, CornerFormsFillTheirIndexFields) {
  std::string data = std::string(kSquare) + kSquare + kSquare +
                     "vt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\nvt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\n"
                     "vn 0 0 1\nvn 0 0 1\nvn 0 0 1\nvn 0 0 1\nvn 0 0 1\nvn 0 0 1\n"
                     "vn 0 0 1\nvn 0 0 1\nvn 0 0 1\n";
  Model m = read(data +
                 "f 1/2/3 4/5/6 7/8/9\n"
                 "f 1//2 3//4 5//6 7//8\n"
                 "f 3/1 4/2 5/3\n"
                 "f 9 8 7\n");
  ASSERT_TRUE(m) << err;
  ASSERT_EQ(m->trianglecount, 5u);
  const ObjTriangle* t = m->triangles;
  EXPECT_EQ(vertexIndices(m.get(), 0), (std::vector<unsigned>{1, 4, 7}));
  EXPECT_EQ(std::vector<unsigned>(t[0].texcoordidx, t[0].texcoordidx + 3),
            (std::vector<unsigned>{2, 5, 8}));
  EXPECT_EQ(std::vector<unsigned>(t[0].normalidx, t[0].normalidx + 3),
            (std::vector<unsigned>{3, 6, 9}));
  // v//n: vertex and normal, texture indices untouched (zero).
  EXPECT_EQ(vertexIndices(m.get(), 2), (std::vector<unsigned>{1, 5, 7}));
  EXPECT_EQ(std::vector<unsigned>(t[2].normalidx, t[2].normalidx + 3),
            (std::vector<unsigned>{2, 6, 8}));
  EXPECT_EQ(std::vector<unsigned>(t[2].texcoordidx, t[2].texcoordidx + 3),
            (std::vector<unsigned>{0, 0, 0}));
  // v/t: no normals.
  EXPECT_EQ(std::vector<unsigned>(t[3].texcoordidx, t[3].texcoordidx + 3),
            (std::vector<unsigned>{1, 2, 3}));
  EXPECT_EQ(std::vector<unsigned>(t[3].normalidx, t[3].normalidx + 3),
            (std::vector<unsigned>{0, 0, 0}));
  EXPECT_EQ(vertexIndices(m.get(), 4), (std::vector<unsigned>{9, 8, 7}));
  EXPECT_EQ(t[4].facetnormidx, 0u);
}

TEST_F(ObjReader, FirstCornerDecidesTheFormOfTheWholeFace) {
  // The later corners are read with "%d/%d": a bare number converts only the
  // vertex and keeps the texture index of the corner before it.
  Model m = read(std::string(kSquare) + "vt 0 0\nvt 1 1\nf 1/2 2 3\n");
  ASSERT_TRUE(m) << err;
  ASSERT_EQ(m->trianglecount, 1u);
  EXPECT_EQ(vertexIndices(m.get(), 0), (std::vector<unsigned>{1, 2, 3}));
  const unsigned* tex = m->triangles[0].texcoordidx;
  EXPECT_EQ(std::vector<unsigned>(tex, tex + 3), (std::vector<unsigned>{2, 2, 2}));
}

TEST_F(ObjReader, ShortFacesRepeatTheirLastCorner) {
  Model m = read(std::string(kSquare) + "f 1 2\nf 4\n");
  ASSERT_TRUE(m) << err;
  ASSERT_EQ(m->trianglecount, 2u);
  EXPECT_EQ(vertexIndices(m.get(), 0), (std::vector<unsigned>{1, 2, 2}));
  EXPECT_EQ(vertexIndices(m.get(), 1), (std::vector<unsigned>{4, 4, 4}));
}

TEST_F(ObjReader, FacesEndAtTheirLine) {
  Model m = read(std::string(kSquare) + "f 1 2\n3 4\n\n5\ng next\nf 1 2 3\n");
  ASSERT_TRUE(m) << err;
  ASSERT_EQ(m->trianglecount, 2u);
  EXPECT_EQ(vertexIndices(m.get(), 0), (std::vector<unsigned>{1, 2, 2}));
  EXPECT_EQ(groupNames(m.get()), (std::vector<std::string>{" next", "default"}));
}

TEST_F(ObjReader, NumericLinesReadOnlyTheirNumbers) {
  Model m = read(
      "v 1 2 3 4\n"
      "vt 0.25 0.5 0.75\n"
      "vn 0 -1 0\n"
      "v -1e2 +2.5 .5\n"
      "f 1/1/1 2/1/1 1/1/1\n");
  ASSERT_TRUE(m) << err;
  EXPECT_EQ(m->vertexcount, 2u);
  EXPECT_EQ(m->texcoordcount, 1u);
  EXPECT_EQ(m->normalcount, 1u);
  EXPECT_EQ(std::vector<float>(m->vertices + 3, m->vertices + 9),
            (std::vector<float>{1, 2, 3, -100, 2.5f, 0.5f}));
  EXPECT_EQ(std::vector<float>(m->texcoords + 2, m->texcoords + 4),
            (std::vector<float>{0.25f, 0.5f}));
  EXPECT_EQ(m->normals[4], -1.0f);
  EXPECT_EQ(m->trianglecount, 1u);
}

TEST_F(ObjReader, NumbersAreReadFromTheirOwnLineOnly) {
  // A number missing from its line reads as 0; the next line is a statement
  // of its own, never the rest of the numbers.
  Model m = read("v 1 2\n3 f 1 1 1\nv 4\n5 6 g side\nvt 0.5\nf 2 2 1\n");
  ASSERT_TRUE(m) << err;
  EXPECT_EQ(m->vertexcount, 2u);
  EXPECT_EQ(std::vector<float>(m->vertices + 3, m->vertices + 9),
            (std::vector<float>{1, 2, 0, 4, 0, 0}));
  EXPECT_EQ(std::vector<float>(m->texcoords + 2, m->texcoords + 4), (std::vector<float>{0.5f, 0}));
  ASSERT_EQ(m->trianglecount, 1u);
  EXPECT_EQ(groupNames(m.get()), (std::vector<std::string>{"default"}));
}

TEST_F(ObjReader, MalformedNumbersLeaveTheirFieldsZero) {
  Model m = read("v 1 x 3\nv 4 5 6\nf 1 2 2\n");
  ASSERT_TRUE(m) << err;
  EXPECT_EQ(m->vertexcount, 2u);
  EXPECT_EQ(std::vector<float>(m->vertices + 3, m->vertices + 9),
            (std::vector<float>{1, 0, 0, 4, 5, 6}));
}

TEST_F(ObjReader, UnlistedKeywordsAreSkipped) {
  // Keywords are whole words: mg, maplib and usemap are not g, mtllib and
  // usemtl. A byte-order mark is no part of the first keyword.
  Model m = read("\xEF\xBB\xBF" + std::string(kSquare) +
                 "s 1\no thing\nl 1 2\n# f 1 2 3\n12 v 3\n-f\nx\n f 1 2 3\n"
                 "mg 1 2\nmaplib absent.map\nusemap absent\nfo 1 2 3\ngroup x\n");
  ASSERT_TRUE(m) << err;
  EXPECT_EQ(m->vertexcount, 5u);
  EXPECT_EQ(m->vertices[3], 0.0f);
  EXPECT_EQ(m->trianglecount, 1u);
  EXPECT_EQ(m->groupcount, 1u);
  EXPECT_EQ(out, "");
}

TEST_F(ObjReader, UnknownVertexKeywordIsFatalOnStandardOutput) {
  Model m = read(std::string(kSquare) + "vp 0.5 0.5\n");
  EXPECT_FALSE(m);
  EXPECT_EQ(out, "glmFirstPass(): Unknown token \"vp\".\n");
  EXPECT_EQ(err, "");
  std::string path = write("vp.obj", "v 1 2 3\nvp 1\n");
  glmSetFailureHandler(nullptr);
  EXPECT_EXIT(glmReadOBJ(path.c_str()), ::testing::ExitedWithCode(1), "");
}

TEST_F(ObjReader, MissingFileIsFatalOnStandardError) {
  std::string path = dir + "/absent.obj";
  Model m = readFile(path);
  EXPECT_FALSE(m);
  EXPECT_EQ(err, "glmReadOBJ() failed: can't open data file \"" + path + "\".\n");
  glmSetFailureHandler(nullptr);
  EXPECT_EXIT(glmReadOBJ(path.c_str()), ::testing::ExitedWithCode(1),
              "^glmReadOBJ\\(\\) failed: can't open data file \".*absent.obj\"\\.\n$");
  // A directory opens on Linux but cannot be read as a file.
  EXPECT_EXIT(glmReadOBJ(dir.c_str()), ::testing::ExitedWithCode(1), "can't open data file");
  // A device may never end.
  EXPECT_EXIT(glmReadOBJ("/dev/zero"), ::testing::ExitedWithCode(1),
              "^glmReadOBJ\\(\\) failed: \"/dev/zero\" is a device, not a file\\.\n$");
}

TEST_F(ObjReader, NegativeIndicesCountBackFromTheLatestEntry) {
  Model m = read(std::string(kSquare) +
                 "vt 0 0\nvt 1 0\nvn 0 0 1\n"
                 "f -3/-1/-1 -2/-2/-1 -1/-1/-1\n"
                 "v 2 2 2\n"
                 "f -1 -2 1\n");
  ASSERT_TRUE(m) << err;
  ASSERT_EQ(m->trianglecount, 2u);
  const ObjTriangle& t = m->triangles[0];
  EXPECT_EQ(vertexIndices(m.get(), 0), (std::vector<unsigned>{3, 4, 5}));
  EXPECT_EQ(std::vector<unsigned>(t.texcoordidx, t.texcoordidx + 3),
            (std::vector<unsigned>{2, 1, 2}));
  EXPECT_EQ(std::vector<unsigned>(t.normalidx, t.normalidx + 3), (std::vector<unsigned>{1, 1, 1}));
  EXPECT_EQ(vertexIndices(m.get(), 1), (std::vector<unsigned>{6, 5, 1}));
}

TEST_F(ObjReader, BadIndicesAreFatalNamingFileLineAndIndex) {
  struct Case {
    std::string face;
    std::string message;
  } cases[] = {
      {"f 0 1 2\n", "line 8: vertex index 0 is out of range"},
      {"f 1 2 6\n", "line 8: vertex index 6 is out of range"},
      {"f 1 2 -6\n", "line 8: vertex index -6 is out of range"},
      {"f 1/1 2/2 3/3\n", "line 8: texture coordinate index 2 is out of range"},
      {"f 1//1 2//2 3//0\n", "line 8: normal index 2 is out of range"},
      {"f 1/1/2 2/1/1 3/1/1\n", "line 8: normal index 2 is out of range"},
      {"f 1 2 4294967297\n", "line 8: vertex index 4294967297 is out of range"},
      {"f x\n", "line 8: vertex index is missing"},
      {"f / / /\n", "line 8: vertex index is missing"},
      {"f 1//\n", "line 8: normal index is missing"},
      {"f", "line 8: vertex index is missing"},
      {"f 1 2 " + std::string(5000, '9'),
       "line 8: vertex index 99999999999999999999... is out of range"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.face);
    std::string path = write("bad.obj", std::string(kSquare) + "vt 0 0\nvn 0 0 1\n" + c.face);
    Model m = readFile(path);
    EXPECT_FALSE(m);
    EXPECT_EQ(err, "glmReadOBJ() failed: \"" + path + "\" " + c.message + ".\n");
  }
  std::string path = write("zero.obj", std::string(kSquare) + "f 1 0 2\n");
  glmSetFailureHandler(nullptr);
  EXPECT_EXIT(
      glmReadOBJ(path.c_str()), ::testing::ExitedWithCode(1),
      "^glmReadOBJ\\(\\) failed: \".*zero.obj\" line 6: vertex index 0 is out of range\\.\n$");
}

// The failure comes back with the message glmReadOBJ prints and its line;
// failed reads, in halves or whole, leave nothing allocated behind (the
// sanitizer build's leak check sees the same).
TEST_F(ObjReader, FailedReadsHandTheFailureBackAndReleaseEverything) {
  std::string text;
  for (int i = 0; i < 20000; i++) text += "v 1 2 3\nvt 0 1\nf 1/1 2/1 3/1\ng g" + std::to_string(i % 9) + "\n";
  text += "f 1 2 99999\n";
  std::string path = write("bad.obj", text);
  auto inUse = [] { return mallinfo2().uordblks + mallinfo2().hblkhd; };
  GLMerror error;
  EXPECT_EQ(glmReadOBJFrom(path.c_str(), nullptr, &error), nullptr);  // warms up what a thread keeps
  std::size_t before = inUse();
  for (std::size_t split : {std::size_t{0}, text.size() / 2}) {
    glm_internal::glmSetReadChunking(split ? 0 : glm_internal::kReadTwoThreadsFrom, split);
    EXPECT_EQ(glmReadOBJFrom(path.c_str(), nullptr, &error), nullptr);
    EXPECT_EQ(error.line, 80001u);
    EXPECT_EQ(std::string(error.message),
              "glmReadOBJ() failed: \"" + path + "\" line 80001: vertex index 99999 is out of range.");
    EXPECT_FALSE(readFile(path));  // the throwing failure handler, through glmReadOBJ
    EXPECT_EQ(err, std::string(error.message) + "\n");
  }
  glm_internal::glmSetReadChunking(glm_internal::kReadTwoThreadsFrom, 0);
  EXPECT_EQ(error.errnum, 0);
  // A file that cannot be opened says why in the system's terms.
  EXPECT_EQ(glmReadOBJFrom((dir + "/absent.obj").c_str(), nullptr, &error), nullptr);
  EXPECT_EQ(error.errnum, ENOENT);
  EXPECT_EQ(glmReadOBJFrom(dir.c_str(), nullptr, &error), nullptr);
  EXPECT_EQ(error.errnum, EISDIR);
  // A read of this file holds about 2 MB; the allocator's own books and a
  // thread's start may keep a few hundred bytes.
  EXPECT_LT(inUse(), before + (64 << 10));
}

// With a handler, every message reaches it in order, warnings and the
// failure alike, and none is printed.
TEST_F(ObjReader, MessageHandlerTakesEveryMessageAndNothingIsPrinted) {
  std::vector<std::pair<std::string, bool>> taken;
  glmSetMessageHandler(
      [](const char* message, bool failure, void* user) {
        static_cast<decltype(taken)*>(user)->push_back({message, failure});
      },
      &taken);
  Model m = read("mtllib none.mtl\nv 0 0 0\nusemtl x\nf 1 1 1\nusemtl y\nf 1 1 2\n");
  glmSetMessageHandler(nullptr, nullptr);
  EXPECT_FALSE(m);
  EXPECT_EQ(out + err, "");
  ASSERT_EQ(taken.size(), 4u);
  EXPECT_EQ(taken[0].first, "glmReadMTL() warning: can't open material file \"" + dir +
                                "/none.mtl\": No such file or directory.");
  EXPECT_EQ(taken[1].first, "glmFindMaterial():  can't find material \"x\".");
  EXPECT_EQ(taken[2].first, "glmFindMaterial():  can't find material \"y\".");
  EXPECT_EQ(taken[3], std::make_pair("glmReadOBJ() failed: \"" + dir +
                                         "/model.obj\" line 6: vertex index 2 is out of range.",
                                     true));
}

TEST_F(ObjReader, CarriageReturnsBelongToTheLineEnd) {
  write("m.mtl", "newmtl red\r\nKd 1 0 0\r\n");
  Model m = read(std::string("mtllib m.mtl\r\n") + "v 0 0 0\r\nv 1 0 0\r\nv 1\r1\r0\r\n" +
                 "g wheel\r\nusemtl red\r\nf 1 2 3\r\ng hub\r\r\n");
  ASSERT_TRUE(m) << err;
  EXPECT_STREQ(m->mtllib, "m.mtl");
  EXPECT_EQ(groupNames(m.get()), (std::vector<std::string>{" hub", " wheel", "default"}));
  EXPECT_EQ(m->groups->next->material, 1u);
  EXPECT_STREQ(m->materials[1].name, "red");
  EXPECT_EQ(m->vertices[3 * 3 + 1], 1.0f);  // a lone CR separates numbers
  EXPECT_EQ(out, "");
}

TEST_F(ObjReader, MaterialCarriesIntoLaterGroups) {
  write("m.mtl", "newmtl red\nnewmtl green\nnewmtl blue\n");
  Model m = read(std::string("mtllib m.mtl\n") + kSquare +
                 "usemtl green\n"
                 "g a\nf 1 2 3\n"
                 "g b\nf 1 2 3\nusemtl blue\nf 1 3 4\nusemtl red\n"
                 "g c\n"
                 "usemtl nothing\nf 1 2 3\n");
  ASSERT_TRUE(m) << err;
  ASSERT_EQ(m->materialcount, 4u);
  EXPECT_EQ(groupNames(m.get()), (std::vector<std::string>{" c", " b", " a", "default"}));
  EXPECT_EQ(m->groups->next->next->material, 2u);        // a: green
  EXPECT_EQ(m->groups->next->material, 1u);              // b: the last one in effect, red
  EXPECT_EQ(m->groups->material, 0u);                    // c: the unknown name gives 0
  EXPECT_EQ(m->groups->next->next->next->material, 2u);  // default: green
  EXPECT_EQ(out, "glmFindMaterial():  can't find material \"nothing\".\n");
  // Each triangle keeps the material in force when its face was read.
  std::vector<unsigned> materials;
  for (unsigned i = 0; i < m->trianglecount; i++) materials.push_back(m->triangles[i].material);
  EXPECT_EQ(materials, (std::vector<unsigned>{2, 2, 3, 0}));
}

TEST_F(ObjReader, LaterMaterialLibrariesAppend) {
  write("one.mtl", "newmtl a\nnewmtl b\n");
  write("two.mtl", "newmtl c\nnewmtl a\n");
  Model m = read(
      "mtllib one.mtl extra words\ng x\nusemtl b\nmtllib two.mtl\n"
      "g y\nusemtl c\ng z\nusemtl a\n");
  ASSERT_TRUE(m) << err;
  EXPECT_STREQ(m->mtllib, "one.mtl");
  ASSERT_EQ(m->materialcount, 5u);
  EXPECT_STREQ(m->materials[3].name, "c");
  EXPECT_EQ(groupNames(m.get()), (std::vector<std::string>{" z", " y", " x", "default"}));
  EXPECT_EQ(m->groups->material, 1u);  // the first "a" wins
  EXPECT_EQ(m->groups->next->material, 3u);
  EXPECT_EQ(m->groups->next->next->material, 2u);
}

TEST_F(ObjReader, MissingMaterialLibraryIsAWarningAndItsNamesAreUnknown) {
  Model m = read("mtllib nowhere.mtl\nv 0 0 0\nusemtl red\nf 1 1 1\n");
  ASSERT_TRUE(m) << err;
  EXPECT_EQ(out, "glmReadMTL() warning: can't open material file \"" + dir +
                     "/nowhere.mtl\": No such file or directory.\n"
                     "glmFindMaterial():  can't find material \"red\".\n");
  EXPECT_STREQ(m->mtllib, "nowhere.mtl");
  EXPECT_EQ(m->materialcount, 0u);
  EXPECT_EQ(m->triangles[0].material, 0u);
  // A line that names no library has nothing to read.
  m = read("mtllib \nv 0 0 0\n");
  ASSERT_TRUE(m) << err;
  EXPECT_EQ(out, "");
  EXPECT_EQ(m->mtllib, nullptr);
}

TEST_F(ObjReader, NamesAndFileNamesAreKeptWhole) {
  std::string longName(5000, 'n'), name200(200, 'n');
  write(name200.substr(0, 127), "newmtl x\n");
  write(name200, "newmtl " + longName + "\n");
  // The rest of a long comment is not read as keywords.
  Model m = read(std::string(kSquare) + "# " + std::string(198, '.') + " vertex\n" + "g " +
                 std::string(5000, 'g') + "\n" + "f 1 2 3\n" + "mtllib " + name200 + " second\n" +
                 "usemtl " + longName + "\n" + std::string(5000, 'k') + " f 1 2 3\n" + "#" +
                 std::string(5000, ' ') + "v\n");
  ASSERT_TRUE(m) << err << out;
  EXPECT_EQ(m->trianglecount, 1u);
  EXPECT_EQ(std::string(m->groups->name), " " + std::string(5000, 'g'));
  EXPECT_EQ(std::string(m->mtllib), name200);
  ASSERT_EQ(m->materialcount, 2u);
  EXPECT_EQ(std::string(m->materials[1].name), longName);
  EXPECT_EQ(m->groups->material, 1u);
  EXPECT_EQ(out, "");
  // A long library name opens that file or none, never one of its prefix.
  m = read("mtllib " + std::string(128, 'n') + "\n");
  EXPECT_EQ(out, "glmReadMTL() warning: can't open material file \"" + dir + "/" +
                     std::string(128, 'n') + "\": No such file or directory.\n");

  // An over-long unknown keyword is quoted cut to 127 characters.
  m = read("v" + std::string(300, 'p') + "\n");
  EXPECT_FALSE(m);
  EXPECT_EQ(out, "glmFirstPass(): Unknown token \"v" + std::string(126, 'p') + "\".\n");
}

// Everything a read produced, for comparing two reads.
std::string describe(const ObjModel* m) {
  std::string text = std::to_string(m->vertexcount) + " " + std::to_string(m->normalcount) + " " +
                     std::to_string(m->texcoordcount) + " " + std::to_string(m->trianglecount) +
                     " " + std::to_string(m->materialcount) + "\n";
  auto floats = [&](const float* values, unsigned count) {
    for (unsigned i = 0; values && i < count; i++) {
      char number[32];
      std::snprintf(number, sizeof number, "%a ", static_cast<double>(values[i]));
      text += number;
    }
    text += "\n";
  };
  floats(m->vertices, 3 * (m->vertexcount + 1));
  floats(m->normals, 3 * (m->normalcount + 1));
  floats(m->texcoords, 2 * (m->texcoordcount + 1));
  for (unsigned t = 0; t < m->trianglecount; t++) {
    const ObjTriangle& tri = m->triangles[t];
    for (int k = 0; k < 3; k++)
      text += std::to_string(tri.vertexidx[k]) + "/" + std::to_string(tri.texcoordidx[k]) + "/" +
              std::to_string(tri.normalidx[k]) + " ";
    text += "\n";
  }
  for (const ObjGroup* g = m->groups; g; g = g->next) {
    text += std::string(g->name) + " " + std::to_string(g->material) + ":";
    for (unsigned i = 0; i < g->trianglecount; i++)
      (text += ' ') += std::to_string(g->triangles[i]);
    text += "\n";
  }
  return text;
}

// Lines in their usual shape (plain numbers, corners all written alike) are
// recognised and read without the general rules; the same lines made
// unusual by whitespace that changes nothing (a long run of blanks, a
// vertical tab) go the general way. Both must give the same model and the
// same messages, also where the usual shape is only nearly met.
TEST_F(ObjReader, UsualLinesReadAsTheGeneralRulesReadThem) {
  write("m.mtl", "newmtl red\nKd 1 0 0\n");
  const std::string head =
      "mtllib m.mtl\nv 1 2 3\nv 4 5 6\nv 7 8 9\nvt 0 0\nvt 1 1\nvn 0 0 1\nvn 0 1 0\nusemtl red\n";
  for (const char* lines : {"v 1 2 3",
                            "v -1.5 +2.25 .5",
                            "v 0.1 0.2 0.30000001",
                            "v 16777217 0.1 1e3",
                            "v 1.2.3 4 5",
                            "v 1 2 3 4",
                            "v 1 2",
                            "v 1-2 3",
                            "v 1..2 3 -",
                            "v - - -",
                            "v . + 1",
                            "v 1 2 3 vp",
                            "v 1 2 3 f 1 2 3",
                            "vt 0.5 0.25 0",
                            "vt 1",
                            "vn 0 0 1 x",
                            "vn 0 0\n1\nf 1 2 3",
                            "v 1 2\n3 f 1 2 3",
                            "f 1 2 3",
                            "f 1/1 2/2 3/1 1/2",
                            "f 1//1 2//2 3//1",
                            "f 1/1/1 2/2/2 3/1/1",
                            "f 1/1/1 2/2/2\n3/1/1",
                            "f 1/1/1 2/2/2 3/1/1\n-1/-1/-1 s",
                            "f 1/1/1 2/2/2 3/1/1/1",
                            "f 1/1/1 2//2 3/1/1",
                            "f 1/1 2/2 /1 3/1",
                            "f 1//1 2//2 //2",
                            "f 1//2//3 1/1 2/2 3/3",
                            "f 1/2/3/1 2//2 3//3",
                            "f 1/1/1 2/2 3/1/1 1",
                            "f 1 2 3\n-x",
                            "f -3 -2 -1 +1",
                            "f 1/1/1 2/2/2 3/1/1 x",
                            "f 1 2 0",
                            "f 1 2 99",
                            "f 1/-1/1 2/2/-9 3/1/1",
                            "f 1 2 3\r\nf 3 2 1\r\r\n"}) {
    std::string usual = head + lines + "\nf 1 2 3\n", general;
    // Blanks past the 64 bytes a numeric line is checked in, a vertical tab
    // where a face line must have blanks, and zeros in front of the first
    // number of a face, past the 32 bytes a corner is checked in.
    std::istringstream in(usual);
    for (std::string line; std::getline(in, line);) {
      size_t digits = line.find_first_not_of("+-", 2);
      if (line.compare(0, 2, "f ") == 0 && digits <= 3 && std::isdigit(line[digits]))
        line.insert(digits, 32, '0');
      general += line + std::string(70, ' ') + "\v\n";
    }
    SCOPED_TRACE(lines);
    Model a = read(usual);
    std::string outA = out, errA = err;
    Model b = read(general);
    ASSERT_EQ(a == nullptr, b == nullptr);
    EXPECT_EQ(out, outA);
    EXPECT_EQ(err, errA);
    if (a) {
      EXPECT_EQ(describe(a.get()), describe(b.get()));
    }
  }
}

// The text must end in the appended newline whether the file fills its last
// page exactly, all but a byte, or spills a byte into the next.
TEST_F(ObjReader, FilesEndingAtPageBoundariesKeepTheirLastLine) {
  const std::string tail = "v 7 8 -9.5";  // no newline at the end
  // Large files too: past the size from which files are read on two threads.
  for (size_t size : {4095, 4096, 4097, 8191, 8192, 8193}) {
    size += glm_internal::kReadTwoThreadsFrom;
    std::string text = "# " + std::string(size - tail.size() - 3, 'x') + "\n" + tail;
    ASSERT_EQ(text.size(), size);
    Model m = read(text);
    ASSERT_TRUE(m) << size << out << err;
    ASSERT_EQ(m->vertexcount, 1u) << size;
    EXPECT_EQ(m->vertices[3], 7.0f);
    EXPECT_EQ(m->vertices[4], 8.0f);
    EXPECT_EQ(m->vertices[5], -9.5f);
  }
}

// Whatever its size says, a file is read to its end: a pipe, with more text
// than a first read takes, gives the model the same file gives.
TEST_F(ObjReader, PipesReadLikeFiles) {
  std::string text = "v 0 0 0\nv 1 0 0\nv 1 1 0\nvn 0 0 1\ng g\n";
  for (int i = 0; i < 2000; i++) text += "f 1//1 2//1 3//1\n";
  text += "v -0.5 0.5 0";  // no newline at the end
  Model file = read(text);
  ASSERT_TRUE(file) << out << err;
  std::string path = dir + "/pipe.obj";
  ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
  std::thread writer([&] { std::ofstream(path, std::ios::binary) << text; });
  Model pipe = readFile(path);
  writer.join();
  ASSERT_TRUE(pipe) << out << err;
  EXPECT_EQ(describe(pipe.get()), describe(file.get()));
  EXPECT_EQ(pipe->vertexcount, 4u);
  EXPECT_EQ(pipe->trianglecount, 2000u);
}

// Every pass reads one copy of the file: changing the file afterwards, even
// cutting it short under a large read, changes nothing that was read.
TEST_F(ObjReader, ReadTextIsACopyLaterChangesCannotReach) {
  std::string text;  // past the size read in two halves at once; no two lines alike
  for (int i = 0; text.size() < (std::size_t{5} << 20); i++)
    text += "# " + std::to_string(i) + "\n";
  text += "v 1 2 3\n";
  std::string path = write("big.obj", text);
  Source source;
  ASSERT_EQ(source.open(path.c_str(), nullptr), Source::Opened::done);
  Text loaded;
  ASSERT_TRUE(readAll(source, loaded, "test"));
  std::ofstream(path, std::ios::trunc) << "v 9 9 9\n";  // the same file, rewritten shorter
  EXPECT_TRUE(std::string_view(loaded.begin, loaded.end) == text);
}

// Line numbers in messages count past 2^32 lines: here 2049 * 2^21 newlines,
// one 2 MiB block of them mapped again and again, so the test needs only
// that much memory.
TEST(ObjReaderLines, LineNumbersCountPast32Bits) {
  constexpr std::size_t kBlock = std::size_t{2} << 20, kBlocks = 2049;
  int fd = memfd_create("newlines", 0);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(ftruncate(fd, kBlock), 0);
  void* block = mmap(nullptr, kBlock, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  ASSERT_NE(block, MAP_FAILED);
  std::memset(block, '\n', kBlock);
  munmap(block, kBlock);
  char* text = static_cast<char*>(mmap(nullptr, kBlock * kBlocks, PROT_NONE,
                                       MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0));
  ASSERT_NE(text, MAP_FAILED);
  for (std::size_t i = 0; i < kBlocks; i++)
    ASSERT_NE(mmap(text + i * kBlock, kBlock, PROT_READ, MAP_SHARED | MAP_FIXED, fd, 0),
              MAP_FAILED);
  EXPECT_EQ(glm_internal::glmLineAt(text, text + kBlock * kBlocks), 1 + kBlock * kBlocks);
  EXPECT_EQ(glm_internal::glmLineAt(text, text + 3), 4u);
  munmap(text, kBlock * kBlocks);
  close(fd);
}

// Numbers read the same in every locale, as strtof reads them in the C
// locale: a German one, whose decimal point is a comma, changes nothing.
TEST_F(ObjReader, NumbersReadAlikeInEveryLocale) {
  const std::vector<std::string> numbers = {"1.5e-50",   "3.5e40",  "-1e-45",
                                            "0.1",       "0x1.8p1", "0x1p-150",
                                            "7.006e-46", "1e-40",   "123456.789e3"};
  std::string text;
  for (const std::string& number : numbers) text += "v " + number + "\n";
  std::unique_ptr<char, void (*)(void*)> saved(strdup(std::setlocale(LC_ALL, nullptr)), std::free);
  if (!std::setlocale(LC_ALL, "de_DE.UTF-8")) GTEST_SKIP() << "no de_DE.UTF-8 locale here";
  Model m = read(text);
  std::setlocale(LC_ALL, saved.get());
  ASSERT_TRUE(m) << out << err;
  for (std::size_t i = 0; i < numbers.size(); i++) {
    float expected = std::strtof(numbers[i].c_str(), nullptr);
    EXPECT_EQ(std::memcmp(&m->vertices[3 * (i + 1)], &expected, sizeof expected), 0) << numbers[i];
  }
}

// A valid file with every feature, cut after each byte, must read or fail
// cleanly (under the sanitizers: without touching memory it does not own and
// without leaking on the failure path).
TEST_F(ObjReader, EveryPrefixOfAValidFileReadsOrFailsCleanly) {
  write("m.mtl", "newmtl red\nKd 1 0 0\nNs 100\n");
  std::string text =
      "# every feature\r\nmtllib m.mtl\nv 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\n"
      "vt 0 0\nvt 1 1\nvn 0 0 1\nvn 0 0 -1e+1\ng front\nusemtl red\n"
      "f 1/1/1 2/2/1 3/1/2 4/2/2\ng back side\nf -1//-1 -2//-2 -3//-1\n"
      "s off\nf 1/2 2/1 3/2\nf 4 3 2 1\nvp 1\n";
  size_t readCount = 0;
  for (size_t length = 0; length <= text.size(); length++) {
    Model m = read(text.substr(0, length));
    if (m) {
      readCount++;
      const ObjGroup* last = m->groups;
      while (last->next) last = last->next;
      EXPECT_STREQ(last->name, "default");
      for (unsigned t = 0; t < m->trianglecount; t++)
        for (unsigned v : m->triangles[t].vertexidx) EXPECT_TRUE(v >= 1 && v <= m->vertexcount);
    } else {
      EXPECT_FALSE(out.empty() && err.empty()) << "failure without a message at " << length;
    }
  }
  EXPECT_GT(readCount, text.size() / 2);
}

TEST_F(ObjReader, BinaryJunkNeverCrashes) {
  std::mt19937 random(12345);
  const char kJunk[] = "vtnfgmu#/ -+.0123456789eEpxXinf\n\r\t\0\xff";
  const std::string alphabet(kJunk, sizeof kJunk - 1);
  write("x", "newmtl x\n");
  for (int round = 0; round < 400; round++) {
    std::string text;
    size_t length = random() % 300;
    for (size_t i = 0; i < length; i++) {
      text += round % 2 ? static_cast<char>(random() & 0xff) : alphabet[random() % alphabet.size()];
    }
    Model m = read(text);
    if (m) {
      for (unsigned t = 0; t < m->trianglecount; t++)
        for (unsigned v : m->triangles[t].vertexidx) ASSERT_TRUE(v >= 1 && v <= m->vertexcount);
    }
  }
}

// The scanner must consume exactly what glibc's fscanf consumes, and convert
// to the same values: what a read leaves decides what the next read sees.
class Scanner : public ::testing::Test {
 protected:
  // Reads stay on their line: both sides see the text up to its newline.
  static void compare(const std::string& text) {
    const std::string input = text.substr(0, text.find('\n'));
    std::string buffer = input + "\n";
    buffer.append(16, '\0');  // the zero padding the readers' text has
    FILE* file = fmemopen(const_cast<char*>(input.data()), input.size(), "r");
    ASSERT_NE(file, nullptr);
    float expected = -7.0f;
    int converted = std::fscanf(file, "%f", &expected);
    long consumed = std::ftell(file);
    std::fclose(file);

    const char* p = buffer.data();
    float value = -7.0f;
    bool ok = scanFloat(p, value);
    SCOPED_TRACE("\"" + input + "\"");
    EXPECT_EQ(ok, converted == 1);
    // fscanf cannot consume the end of the input; the scanner may step onto
    // the appended newline, which its callers take as the end.
    EXPECT_EQ(std::min<long>(p - buffer.data(), static_cast<long>(input.size())), consumed);
    if (ok && converted == 1) {
      if (std::isnan(expected)) {
        EXPECT_TRUE(std::isnan(value));
      } else {
        EXPECT_EQ(value, expected);
        EXPECT_EQ(std::signbit(value), std::signbit(expected));
      }
    }

    file = fmemopen(const_cast<char*>(input.data()), input.size(), "r");
    int a = -7, b = -7, c = -7;
    converted = std::fscanf(file, "%d/%d/%d", &a, &b, &c);
    consumed = std::ftell(file);
    std::fclose(file);
    p = buffer.data();
    long long values[3] = {-7, -7, -7};
    int ours = 0;
    if (scanInt(p, values[0])) {
      ours = 1;
      if (scanLiteral(p, '/') && scanInt(p, values[1])) {
        ours = 2;
        if (scanLiteral(p, '/') && scanInt(p, values[2])) ours = 3;
      }
    }
    EXPECT_EQ(ours, std::max(converted, 0));
    EXPECT_EQ(std::min<long>(p - buffer.data(), static_cast<long>(input.size())), consumed);
    int theirs[3] = {a, b, c};
    for (int i = 0; i < ours; i++) {
      if (values[i] >= INT32_MIN && values[i] <= INT32_MAX) {
        EXPECT_EQ(values[i], theirs[i]);
      }
    }
  }
};

TEST_F(Scanner, MatchesTheCLibraryOnTrickyNumbers) {
  for (const char* text : {"1e",
                           "1e+",
                           "1e+x",
                           "-",
                           "+",
                           ".",
                           " -.",
                           "-.x",
                           "inf",
                           "infinity",
                           "infx",
                           "in",
                           "inx",
                           "nan",
                           "nan(12)",
                           "0x",
                           "0x1p",
                           "0x1p+",
                           "0x1.8p3",
                           "0xg",
                           "1.5e3",
                           ".5",
                           "5.",
                           "1..2",
                           "--1",
                           "+1",
                           "1,5",
                           "0x.p1",
                           "0x.",
                           "INF",
                           "NaN",
                           "1e5x",
                           "1.e2",
                           "e5",
                           "3E4570711268",
                           "-0",
                           "1e-50",
                           "0X1P-3",
                           "infin",
                           "-0x",
                           "0e5",
                           "00x1",
                           "0x1e5",
                           "1e-46",
                           "3.4028236e38",
                           "0.1",
                           "16777217",
                           "1/2/3",
                           "1//3",
                           "1/ 2/\n3",
                           "1/-/3",
                           "-5/+6",
                           "  \t\v\f\r 7",
                           "\x01",
                           "2147483648",
                           "-2147483648",
                           "0x1.fffffep127",
                           "0x1.ffffffp127",
                           "0x1p-149",
                           "0x1.8p-149",
                           "0x3p-151",
                           "0x0.000000000000000000000000000001000000001p-30",
                           "0x123456789abcdef0123456789p-40",
                           "0x1p99999999999",
                           "16777216.5",
                           "0.33333334",
                           "9999999999.5",
                           "123456789012345678901234567890",
                           ".000000000000000000000000000000000000000000001"})
    compare(text);
}

TEST_F(Scanner, MatchesTheCLibraryOnRandomText) {
  std::mt19937 random(7);
  const std::string alphabet = "0123456789+-.eEpPxXaAfFiInNtTyY/ \n";
  for (int round = 0; round < 20000; round++) {
    std::string text;
    size_t length = 1 + random() % 12;
    for (size_t i = 0; i < length; i++) text += alphabet[random() % alphabet.size()];
    compare(text);
    if (HasFailure()) break;
  }
}

}  // namespace
