// Real OBJ and MTL files from other projects (tests/data/corpus): the
// well-formed ones read with the right counts and values, the malformed ones
// are rejected with a message or read sanely, and none of them crashes.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "glm.h"
#include "model_util.h"

namespace {

namespace fs = std::filesystem;

using namespace testutil;

const std::string kCorpus = std::string(TEST_DATA_DIR) + "/corpus/";
const std::string kTiny = kCorpus + "tinyobjloader/models/";
const std::string kAssimp = kCorpus + "assimp/test/models/OBJ/";

class Corpus : public FileTest {
 protected:
  Model read(const std::string& path) { return readFile(path); }

  // The file with its lines that start with `dropPrefix` removed, written to a
  // temp directory: reaches past a missing material library to the faces.
  std::string without(const std::string& path, const std::string& dropPrefix) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream kept;
    std::string line;
    while (std::getline(in, line))
      if (line.rfind(dropPrefix, 0) != 0) kept << line << "\n";
    std::string copy = dir + "/" + fs::path(path).filename().string();
    std::ofstream(copy, std::ios::binary) << kept.str();
    return copy;
  }
};

std::vector<unsigned> vertexIndices(const ObjModel* m, unsigned t) {
  const unsigned* v = m->triangles[t].vertexidx;
  return {v[0], v[1], v[2]};
}

void expectIndicesInRange(const ObjModel* m) {
  for (unsigned t = 0; t < m->trianglecount; t++)
    for (unsigned v : m->triangles[t].vertexidx) EXPECT_TRUE(v >= 1 && v <= m->vertexcount);
}

TEST_F(Corpus, CornellBoxResolvesNegativeIndicesAndFiveMaterials) {
  Model m = read(kTiny + "cornell_box.obj");
  ASSERT_TRUE(m) << err;
  EXPECT_EQ(m->vertexcount, 76u);
  EXPECT_EQ(m->trianglecount, 36u);  // 18 quads; the front wall's face is commented out
  ASSERT_EQ(m->materialcount, 6u);
  EXPECT_STREQ(m->materials[5].name, "light");
  EXPECT_FLOAT_EQ(m->materials[5].ambient[0], 20.0f);
  EXPECT_FLOAT_EQ(m->materials[2].diffuse[0], 1.0f);  // red
  EXPECT_FLOAT_EQ(m->materials[2].diffuse[1], 0.0f);
  // The light, "f -4 -3 -2 -1" after vertices 13..16.
  EXPECT_EQ(vertexIndices(m.get(), 6), (std::vector<unsigned>{13, 14, 15}));
  EXPECT_EQ(vertexIndices(m.get(), 7), (std::vector<unsigned>{13, 15, 16}));
  // The last face uses the last four vertices.
  EXPECT_EQ(vertexIndices(m.get(), 35), (std::vector<unsigned>{73, 75, 76}));
  expectIndicesInRange(m.get());
  EXPECT_EQ(m->groupcount, 1u);        // "o" lines make no groups
  EXPECT_EQ(m->groups->material, 1u);  // the last usemtl: white
  EXPECT_EQ(out, "");
}

TEST_F(Corpus, SmoothingGroupCubeReadsFacesGroupsAndMaterials) {
  Model m = read(kTiny + "issue-162-smoothing-group.obj");
  ASSERT_TRUE(m) << err;
  EXPECT_EQ(m->vertexcount, 8u);
  EXPECT_EQ(m->normalcount, 6u);
  EXPECT_EQ(m->texcoordcount, 4u);
  EXPECT_EQ(m->trianglecount, 12u);
  ASSERT_EQ(m->groupcount, 3u);
  EXPECT_STREQ(m->groups->name, " test2");
  EXPECT_EQ(m->groups->trianglecount, 10u);
  EXPECT_STREQ(m->groups->next->name, " test1");
  EXPECT_EQ(m->groups->next->trianglecount, 2u);
  EXPECT_STREQ(m->groups->next->next->name, "default");
  ASSERT_EQ(m->materialcount, 3u);
  // "usemtl test2" comes while " test1" is still current.
  EXPECT_EQ(m->groups->next->material, 2u);
  EXPECT_EQ(m->groups->material, 2u);
  const ObjMaterial& test1 = m->materials[1];
  EXPECT_FLOAT_EQ(test1.diffuse[0], 0.5f);
  EXPECT_FLOAT_EQ(test1.diffuse[1], 0.2f);
  EXPECT_FLOAT_EQ(test1.shininess, 1.28f);  // Ns 10; the Ni after it is ignored
  const ObjTriangle& last = m->triangles[11];
  EXPECT_EQ(vertexIndices(m.get(), 11), (std::vector<unsigned>{5, 1, 3}));
  EXPECT_EQ(last.texcoordidx[2], 4u);
  EXPECT_EQ(last.normalidx[0], 6u);
}

TEST_F(Corpus, AbsentMaterialLibrariesAreWarningsAndTheModelReads) {
  for (const std::string& path :
       {kTiny + "issue-161-inconsistent-f.obj", kAssimp + "concave_polygon.obj",
        kAssimp + "cube_mtllib_after_g.obj"}) {
    SCOPED_TRACE(path);
    Model m = read(path);
    ASSERT_TRUE(m) << err;
    EXPECT_GT(m->trianglecount, 0u);
    EXPECT_EQ(m->materials, nullptr);
    EXPECT_EQ(out.rfind("glmReadMTL() warning: can't open material file \"", 0), 0u) << out;
  }
  // The CRLF file's library name has no carriage return.
  EXPECT_EQ(out.substr(0, out.find('\n') + 1),
            "glmReadMTL() warning: can't open material file \"" + kAssimp +
                "cube_mtllib_after_g.mat\": No such file or directory.\n");
}

TEST_F(Corpus, MixedFaceFormsKeepEachFacesOwnForm) {
  Model m = read(without(kTiny + "issue-161-inconsistent-f.obj", "mtllib"));
  ASSERT_TRUE(m) << err;
  EXPECT_EQ(m->vertexcount, 8u);
  EXPECT_EQ(m->texcoordcount, 4u);
  ASSERT_EQ(m->trianglecount, 12u);
  const ObjTriangle& vt = m->triangles[10];  // f 7/1 1/2 5/3
  EXPECT_EQ(std::vector<unsigned>(vt.texcoordidx, vt.texcoordidx + 3),
            (std::vector<unsigned>{1, 2, 3}));
  const ObjTriangle& v = m->triangles[11];  // f 5 1 3
  EXPECT_EQ(vertexIndices(m.get(), 11), (std::vector<unsigned>{5, 1, 3}));
  EXPECT_EQ(std::vector<unsigned>(v.texcoordidx, v.texcoordidx + 3),
            (std::vector<unsigned>{0, 0, 0}));
  EXPECT_STREQ(m->groups->name, " cube");
  EXPECT_EQ(out, "glmFindMaterial():  can't find material \"cube\".\n");
}

TEST_F(Corpus, ZeroFaceIndexIsRejected) {
  std::string path = without(kTiny + "issue-140-zero-face-idx.obj", "mtllib");
  EXPECT_FALSE(read(path));
  EXPECT_EQ(err,
            "glmReadOBJ() failed: \"" + path + "\" line 15: vertex index 0 is out of range.\n");
}

TEST_F(Corpus, RelativeIndexWithoutVerticesIsRejected) {
  std::string path = kTiny + "invalid-relative-vertex-index.obj";
  EXPECT_FALSE(read(path));
  EXPECT_EQ(err,
            "glmReadOBJ() failed: \"" + path + "\" line 1: vertex index -4 is out of range.\n");
}

TEST_F(Corpus, OneAndTwoCornerFacesRepeatTheirLastCorner) {
  Model m = read(without(kTiny + "invalid-face-definition.obj", "mtllib"));
  ASSERT_TRUE(m) << err;
  ASSERT_EQ(m->trianglecount, 2u);
  EXPECT_EQ(vertexIndices(m.get(), 0), (std::vector<unsigned>{1, 1, 1}));
  EXPECT_EQ(vertexIndices(m.get(), 1), (std::vector<unsigned>{8, 7, 7}));
  EXPECT_STREQ(m->groups->name, " back cube");
  EXPECT_EQ(m->groups->triangles[0], 1u);
  EXPECT_STREQ(m->groups->next->name, " front cube");
}

TEST_F(Corpus, HugeExponentAndNulByteReadAsInfinity) {
  Model m = read(kCorpus +
                 "tinyobjloader/fuzzer/regressions/"
                 "clusterfuzz-testcase-minimized-fuzz_ParseFromString-4877060179886080");
  ASSERT_TRUE(m) << err;
  ASSERT_EQ(m->vertexcount, 1u);
  EXPECT_TRUE(std::isinf(m->vertices[3]));
  EXPECT_EQ(m->vertices[4], 0.0f);
  EXPECT_EQ(m->vertices[5], 0.0f);
  EXPECT_EQ(m->trianglecount, 0u);
}

TEST_F(Corpus, MaterialLibraryInASubfolder) {
  Model m = read(kAssimp + "mtl_different_folder.obj");
  ASSERT_TRUE(m) << err;
  EXPECT_STREQ(m->mtllib, "folder/mtl_different_folder.mtl");
  ASSERT_EQ(m->materialcount, 2u);
  EXPECT_STREQ(m->materials[1].name, "Whatever");
  EXPECT_FLOAT_EQ(m->materials[1].diffuse[0], 0.141176f);
  EXPECT_FLOAT_EQ(m->materials[1].diffuse[2], 0.411765f);
  EXPECT_FLOAT_EQ(m->materials[1].shininess, 51.2f);  // Ns 400; Ni 1 before it is ignored
  EXPECT_EQ(m->groups->material, 1u);
  EXPECT_EQ(m->trianglecount, 12u);
  EXPECT_EQ(out, "");
}

TEST_F(Corpus, CrlfFileKeepsNamesFreeOfCarriageReturns) {
  // Point the library line at the library that exists beside the file.
  std::string copy = without(kAssimp + "cube_mtllib_after_g.obj", "mtllib");
  fs::copy_file(kAssimp + "cube_mtllib_after_g.mtl", dir + "/cube_mtllib_after_g.mtl");
  std::ifstream in(copy, std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::ofstream(copy, std::ios::binary) << "mtllib cube_mtllib_after_g.mtl\r\n" << text;
  Model m = read(copy);
  ASSERT_TRUE(m) << err;
  EXPECT_STREQ(m->mtllib, "cube_mtllib_after_g.mtl");
  EXPECT_STREQ(m->groups->name, " Object");
  ASSERT_EQ(m->materialcount, 2u);
  EXPECT_STREQ(m->materials[1].name, "MyMaterial");
  EXPECT_FLOAT_EQ(m->materials[1].shininess, 25.6f);
  EXPECT_FLOAT_EQ(m->materials[1].specular[0], 0.05f);
  EXPECT_EQ(m->groups->material, 1u);
  EXPECT_EQ(m->normalcount, 6u);
  ASSERT_EQ(m->trianglecount, 12u);
  EXPECT_EQ(vertexIndices(m.get(), 0), (std::vector<unsigned>{1, 7, 5}));
  EXPECT_EQ(m->triangles[11].normalidx[2], 1u);
  EXPECT_EQ(out, "");
}

TEST_F(Corpus, SixtySixCornerPolygonFansIntoSixtyFourTriangles) {
  Model m = read(without(kAssimp + "concave_polygon.obj", "mtllib"));
  ASSERT_TRUE(m) << err;
  EXPECT_EQ(m->vertexcount, 64u);
  ASSERT_EQ(m->trianglecount, 64u);
  // "g default" names " default", a group of its own.
  EXPECT_STREQ(m->groups->name, " default");
  EXPECT_EQ(m->groups->trianglecount, 64u);
  EXPECT_STREQ(m->groups->next->name, "default");
  EXPECT_EQ(vertexIndices(m.get(), 63), (std::vector<unsigned>{27, 32, 31}));
  for (unsigned t = 0; t < 64; t++) EXPECT_EQ(m->triangles[t].normalidx[1], 1u);
}

TEST_F(Corpus, LongLineFaceReadsEveryCorner) {
  Model m = read(kAssimp + "box_longline.obj");
  ASSERT_TRUE(m) << err;
  EXPECT_EQ(m->vertexcount, 8u);
  EXPECT_EQ(m->trianglecount, 934u + 10u);
  expectIndicesInRange(m.get());
  EXPECT_EQ(out, "glmFindMaterial():  can't find material \"Defauli\".\n");
}

TEST_F(Corpus, FileEndingMidLineKeepsItsLastFace) {
  Model m = read(kAssimp + "box_without_lineending.obj");
  ASSERT_TRUE(m) << err;
  ASSERT_EQ(m->trianglecount, 12u);
  EXPECT_EQ(vertexIndices(m.get(), 11), (std::vector<unsigned>{6, 8, 5}));
}

TEST_F(Corpus, FuzzerJunkWithNulBytesDoesNotCrash) {
  Model m = read(kAssimp + "clusterfuzz-testcase-minimized-assimp_fuzzer-5912277674622976");
  if (m) {
    expectIndicesInRange(m.get());
    EXPECT_EQ(m->vertexcount, 0u);  // every "v" in it is glued to other bytes
  } else {
    EXPECT_FALSE(err.empty() && out.empty());
  }
}

}  // namespace
