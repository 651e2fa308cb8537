// Write-then-read round trips: what the reader gives back from the writer's
// output in every output mode.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "glm.h"
#include "model_util.h"

namespace {

namespace fs = std::filesystem;

// Numbers with at most six decimals survive "%f" exactly.
const char* const kModel =
    "mtllib parts.mtl\n"
    "v 0 0 0\n"
    "v 1.5 0 0\n"
    "v 1.5 2.25 0\n"
    "v 0 2.25 -0.125\n"
    "v 7 8 9\n"
    "vt 0 0\n"
    "vt 1 0\n"
    "vt 1 1\n"
    "vn 0 0 1\n"
    "vn 0 0.6 0.8\n"
    "f 1/1/1 2/2/1 3/3/2 4/1/2\n"
    "g wheel\n"
    "usemtl shiny\n"
    "f 2/2/2 5/3/1 3/1/1\n"
    "f -4/-3/-2 -3/-2/-1 -2/-1/-1\n"
    "usemtl dull\n"  // a material change inside a group, as Blender writes it
    "f 1/1/1 3/3/2 5/2/1\n";

const char* const kLibrary =
    "newmtl shiny\n"
    "Ka 0.25 0.5 0.75\n"
    "Kd 0.1 0.2 0.3\n"
    "Ks 1 1 1\n"
    "Ns 96\n"
    "newmtl dull\n";

using testutil::fileContents;
using testutil::groupNames;

// The triangles of the named group, in list order.
std::vector<ObjTriangle> groupTriangles(const ObjModel* model, const char* name) {
  std::vector<ObjTriangle> result;
  for (const ObjGroup* g = model->groups; g; g = g->next)
    if (std::strcmp(g->name, name) == 0)
      for (unsigned i = 0; i < g->trianglecount; i++)
        result.push_back(model->triangles[g->triangles[i]]);
  return result;
}

class RoundTrip : public testutil::TempDirTest {
 protected:
  void SetUp() override {
    TempDirTest::SetUp();
    write("source.obj", kModel);
    write("parts.mtl", kLibrary);
    original = read("source.obj");
  }
  void TearDown() override {
    glmFreeModel(original);
    if (copy) glmFreeModel(copy);
    TempDirTest::TearDown();
  }

  ObjModel* read(const std::string& name) {
    ::testing::internal::CaptureStdout();
    ObjModel* model = glmReadOBJ((dir + "/" + name).c_str());
    ::testing::internal::GetCapturedStdout();
    return model;
  }

  // Writes `model` as written.obj with `mode` and reads it back into `copy`.
  void writeAndRead(ObjModel* model, unsigned mode) {
    if (copy) glmFreeModel(copy);
    ::testing::internal::CaptureStdout();
    glmWriteOBJ(model, (dir + "/written.obj").c_str(), mode);
    warnings = ::testing::internal::GetCapturedStdout();
    copy = read("written.obj");
  }

  void expectSameVertices() {
    ASSERT_EQ(copy->vertexcount, original->vertexcount);
    for (unsigned i = 3; i < 3 * (original->vertexcount + 1); i++)
      EXPECT_EQ(copy->vertices[i], original->vertices[i]) << i;
  }

  // Each written group comes back under its own name, holding the same
  // triangles in the same order; `check` compares each pair.
  template <class Check>
  void expectSameTriangles(Check check) {
    ASSERT_EQ(copy->trianglecount, original->trianglecount);
    for (const ObjGroup* g = original->groups; g; g = g->next) {
      SCOPED_TRACE(g->name);
      std::vector<ObjTriangle> before = groupTriangles(original, g->name);
      std::vector<ObjTriangle> after = groupTriangles(copy, g->name);
      ASSERT_EQ(after.size(), before.size());
      for (std::size_t i = 0; i < before.size(); i++) {
        for (int c = 0; c < 3; c++) EXPECT_EQ(after[i].vertexidx[c], before[i].vertexidx[c]);
        check(before[i], after[i]);
      }
    }
  }

  ObjModel* original = nullptr;
  ObjModel* copy = nullptr;
  std::string warnings;
};

TEST_F(RoundTrip, PlainModeKeepsVerticesAndFaces) {
  writeAndRead(original, DRAW_NONE);
  EXPECT_EQ(warnings, "");
  expectSameVertices();
  expectSameTriangles([](const ObjTriangle&, const ObjTriangle&) {});
  EXPECT_EQ(copy->normals, nullptr);
  EXPECT_EQ(copy->texcoords, nullptr);
  EXPECT_EQ(copy->mtllib, nullptr);
  EXPECT_EQ(copy->materials, nullptr);
}

// Everything a model says about its groups and materials, by name: the
// groups in list order with their own material and, triangle by triangle,
// its corners and material; then every material.
std::string describe(const ObjModel* m) {
  std::ostringstream text;
  auto material = [m](unsigned i) { return m->materials ? m->materials[i].name : "-"; };
  for (const ObjGroup* g = m->groups; g; g = g->next) {
    text << "g[" << g->name << "] " << material(g->material) << ":";
    for (unsigned i = 0; i < g->trianglecount; i++) {
      const ObjTriangle& t = m->triangles[g->triangles[i]];
      text << " " << t.vertexidx[0] << "/" << t.vertexidx[1] << "/" << t.vertexidx[2] << "@"
           << material(t.material);
    }
    text << "\n";
  }
  for (unsigned i = 0; i < m->materialcount; i++) {
    const ObjMaterial& mat = m->materials[i];
    text << "m[" << mat.name << "]";
    for (const float* v : {mat.ambient, mat.diffuse, mat.specular})
      text << " " << v[0] << "," << v[1] << "," << v[2];
    text << " " << mat.shininess << " " << mat.dissolve;
    for (const char* map :
         {mat.diffusemap, mat.ambientmap, mat.specularmap, mat.alphamap, mat.bumpmap})
      text << " " << (map ? map : "-");
    text << "\n";
  }
  return text.str();
}

// Writing what was read, reading that and writing again gives the same files
// byte for byte and the same groups, materials and triangle materials: for
// this model (a material change inside a group), every sample file and the
// scene's models.
TEST_F(RoundTrip, WriteReadWriteChangesNothing) {
  std::vector<std::string> paths = {dir + "/source.obj"};
  for (const char* folder : {"/tests/data", "/data"})
    for (const auto& entry :
         fs::recursive_directory_iterator(PROJECT_SOURCE_DIR + std::string(folder)))
      if (entry.path().extension() == ".obj") paths.push_back(entry.path().string());
  glmSetFailureHandler(testutil::throwFailure);
  int compared = 0;
  for (const std::string& path : paths) {
    SCOPED_TRACE(path);
    ObjModel* model = nullptr;
    ::testing::internal::CaptureStdout();
    try {
      model = glmReadOBJ(path.c_str());
    } catch (const testutil::Failure&) {  // the samples of malformed files
    }
    ::testing::internal::GetCapturedStdout();
    if (!model) continue;
    const unsigned mode = (model->normals ? DRAW_SMOOTH : 0) |
                          (model->texcoords ? DRAW_TEXTURE : 0) |
                          (model->materials ? DRAW_MATERIAL : 0);
    std::string texts[2], library = model->mtllib && model->materials ? model->mtllib : "";
    std::string models[2] = {describe(model)};
    for (int round = 0; round < 2; round++) {
      const std::string out = dir + "/round" + std::to_string(round) + "/";
      fs::create_directories(fs::path(out + library).parent_path());
      ::testing::internal::CaptureStdout();
      glmWriteOBJ(model, (out + "m.obj").c_str(), mode);
      glmFreeModel(model);
      model = glmReadOBJ((out + "m.obj").c_str());
      ::testing::internal::GetCapturedStdout();
      texts[round] =
          fileContents(out + "m.obj") + "|" + (library.empty() ? "" : fileContents(out + library));
      if (round == 0) models[1] = describe(model);
    }
    glmFreeModel(model);
    EXPECT_EQ(texts[0], texts[1]);
    EXPECT_EQ(models[0], models[1]);
    compared++;
  }
  glmSetFailureHandler(nullptr);
  EXPECT_GE(compared, 15);
}

// Every group name the reader can make comes back as itself: "g" followed
// by nothing, or by a blank and any bytes (NULs and carriage returns
// included), each group with a face of its own. Seen in exporters' files: a
// bare "g" beside "g ", a tab after "g".
TEST_F(RoundTrip, EveryGroupNameTheReaderMakesComesBackAsItself) {
  std::string text = "v 0 0 0\nv 1 0 0\nv 0 1 0\n";
  std::vector<std::string> tails = {"", " ", "\tname", std::string(" a\r\0b", 5), " a\r\r"};
  const char kBlanks[] = " \t\v\f\r";
  const char kBytes[] = " \t\v\f\r\0a#\xff";
  std::mt19937 random(26);
  while (tails.size() < 400) {
    std::string tail(1, kBlanks[random() % 5]);
    for (unsigned n = random() % 5; n > 0; n--) tail += kBytes[random() % (sizeof kBytes - 1)];
    tails.push_back(tail);
  }
  for (const std::string& tail : tails) text += "g" + tail + "\nf 1 2 3\n";
  write("names.obj", text);
  ObjModel* model = read("names.obj");
  const std::vector<std::string> names = groupNames(model);
  const std::string described = describe(model);
  EXPECT_GT(names.size(), 100u);
  std::string written[2];
  for (int round = 0; round < 2; round++) {
    SCOPED_TRACE(round);
    ::testing::internal::CaptureStdout();
    glmWriteOBJ(model, (dir + "/names" + std::to_string(round) + ".obj").c_str(), DRAW_NONE);
    ::testing::internal::GetCapturedStdout();
    written[round] = fileContents(dir + "/names" + std::to_string(round) + ".obj");
    glmFreeModel(model);
    model = read("names" + std::to_string(round) + ".obj");
    EXPECT_EQ(groupNames(model), names);
    EXPECT_EQ(describe(model), described);
  }
  glmFreeModel(model);
  EXPECT_EQ(written[0], written[1]);
}

TEST_F(RoundTrip, SmoothModeKeepsNormalsAndTheirIndices) {
  writeAndRead(original, DRAW_SMOOTH);
  expectSameVertices();
  ASSERT_EQ(copy->normalcount, 2u);
  for (unsigned i = 3; i < 9; i++) EXPECT_EQ(copy->normals[i], original->normals[i]);
  EXPECT_EQ(copy->texcoords, nullptr);
  expectSameTriangles([](const ObjTriangle& before, const ObjTriangle& after) {
    for (int c = 0; c < 3; c++) EXPECT_EQ(after.normalidx[c], before.normalidx[c]);
  });
}

TEST_F(RoundTrip, TextureModeKeepsTexcoordsAndTheirIndices) {
  writeAndRead(original, DRAW_TEXTURE);
  ASSERT_EQ(copy->texcoordcount, 3u);
  for (unsigned i = 2; i < 8; i++) EXPECT_EQ(copy->texcoords[i], original->texcoords[i]);
  EXPECT_EQ(copy->normals, nullptr);
  expectSameTriangles([](const ObjTriangle& before, const ObjTriangle& after) {
    for (int c = 0; c < 3; c++) EXPECT_EQ(after.texcoordidx[c], before.texcoordidx[c]);
  });
}

TEST_F(RoundTrip, SmoothAndTextureKeepBothIndexKinds) {
  writeAndRead(original, DRAW_SMOOTH | DRAW_TEXTURE);
  EXPECT_EQ(copy->normalcount, 2u);
  EXPECT_EQ(copy->texcoordcount, 3u);
  expectSameTriangles([](const ObjTriangle& before, const ObjTriangle& after) {
    for (int c = 0; c < 3; c++) {
      EXPECT_EQ(after.normalidx[c], before.normalidx[c]);
      EXPECT_EQ(after.texcoordidx[c], before.texcoordidx[c]);
    }
  });
}

TEST_F(RoundTrip, FlatModeWritesFacetNormalsAsTheNormals) {
  glmComputeFaceNormals(original);
  for (unsigned mode : {DRAW_FLAT, DRAW_FLAT | DRAW_TEXTURE}) {
    SCOPED_TRACE(mode);
    writeAndRead(original, mode);
    ASSERT_EQ(copy->normalcount, original->trianglecount);
    for (unsigned i = 3; i < 3 * (original->facetnormcount + 1); i++)
      EXPECT_NEAR(copy->normals[i], original->facetnorms[i], 1e-6) << i;
    expectSameTriangles([&](const ObjTriangle& before, const ObjTriangle& after) {
      for (int c = 0; c < 3; c++) {
        EXPECT_EQ(after.normalidx[c], before.facetnormidx);
        if (mode & DRAW_TEXTURE) {
          EXPECT_EQ(after.texcoordidx[c], before.texcoordidx[c]);
        }
      }
    });
  }
}

// Exporters (3ds Max, Sweet Home 3D) give texture coordinates or normals to
// some faces only: each face is written in the form its own data allows.
TEST_F(RoundTrip, FacesWithAndWithoutTexcoordsOrNormalsKeepTheirOwnData) {
  std::ofstream(dir + "/mixed.obj") << "v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nvt 1 1\nvn 0 0 1\n"
                                       "f 1 2 3\nf 1/1 2/2 3/1\nf 1//1 2//1 3//1\n"
                                       "f 1/2/1 2/1/1 3/2/1\n";
  glmFreeModel(original);
  original = read("mixed.obj");
  glmSetFailureHandler(testutil::throwFailure);
  for (unsigned mode : {DRAW_TEXTURE, DRAW_SMOOTH, DRAW_SMOOTH | DRAW_TEXTURE}) {
    SCOPED_TRACE(mode);
    writeAndRead(original, mode);
    expectSameTriangles([&](const ObjTriangle& before, const ObjTriangle& after) {
      for (int c = 0; c < 3; c++) {
        EXPECT_EQ(after.texcoordidx[c], (mode & DRAW_TEXTURE) ? before.texcoordidx[c] : 0u);
        EXPECT_EQ(after.normalidx[c], (mode & DRAW_SMOOTH) ? before.normalidx[c] : 0u);
      }
    });
  }
  glmSetFailureHandler(nullptr);
}

// "%f" text is kept where it reads back exactly; elsewhere the shortest text
// that does is written, so every float survives.
TEST_F(RoundTrip, EveryFloatComesBackExactly) {
  std::vector<float> values = {1e-7f,           0.1234567f,    0.5f,
                               -0.0f,           1e-40f,        std::numeric_limits<float>::max(),
                               -testutil::kInf, testutil::kNaN};
  std::mt19937 random(8);
  while (values.size() < 3000) {
    std::uint32_t bits = static_cast<std::uint32_t>(random());
    float value;
    std::memcpy(&value, &bits, sizeof value);
    values.push_back(value);
  }
  std::free(original->vertices);
  original->vertexcount = static_cast<unsigned>(values.size() / 3);
  original->vertices = static_cast<float*>(std::calloc(values.size() + 3, sizeof(float)));
  std::memcpy(original->vertices + 3, values.data(), values.size() * sizeof(float));
  writeAndRead(original, DRAW_NONE);
  EXPECT_NE(fileContents(dir + "/written.obj").find("\nv 1e-07 0.1234567 0.500000\n"),
            std::string::npos);
  ASSERT_EQ(copy->vertexcount, original->vertexcount);
  for (std::size_t i = 3; i < values.size() + 3; i++) {
    if (std::isnan(original->vertices[i])) {
      EXPECT_TRUE(std::isnan(copy->vertices[i])) << i;
    } else {
      EXPECT_EQ(std::memcmp(&copy->vertices[i], &original->vertices[i], sizeof(float)), 0) << i;
    }
  }
}

TEST_F(RoundTrip, NegativeIndicesComeBackResolved) {
  writeAndRead(original, DRAW_SMOOTH | DRAW_TEXTURE);
  std::string text = fileContents(dir + "/written.obj");
  EXPECT_NE(text.find("f 2/1/1 3/2/2 4/3/2\n"), std::string::npos) << text;
  EXPECT_EQ(text.find('-', text.find("# 2 groups")), std::string::npos);
}

TEST_F(RoundTrip, ShininessComesOutAsWrittenOnTheFileScale) {
  // Ns 96 is stored as the float nearest 12.288, which is a little above it.
  EXPECT_FLOAT_EQ(original->materials[1].shininess, 12.288f);
  writeAndRead(original, DRAW_MATERIAL);
  std::string library = fileContents(dir + "/parts.mtl");
  EXPECT_NE(library.find("newmtl shiny\nKa 0.250000 0.500000 0.750000\n"
                         "Kd 0.100000 0.200000 0.300000\nKs 1.000000 1.000000 1.000000\n"
                         "Ns 96.000001\n\n"),
            std::string::npos)
      << library;
  EXPECT_NE(library.find("newmtl dull\nKa 0.200000 0.200000 0.200000\n"
                         "Kd 0.800000 0.800000 0.800000\nKs 0.000000 0.000000 0.000000\n"
                         "Ns 507.812500\n\n"),
            std::string::npos);
  // Read again, 96.000001 comes back as the same float.
  EXPECT_EQ(copy->materials[1].shininess, original->materials[1].shininess);
}

TEST_F(RoundTrip, ThirdPartyModelWithNegativeIndicesSurvives) {
  const std::string corpus = std::string(PROJECT_SOURCE_DIR) + "/fuzz/corpus/";
  fs::copy_file(corpus + "fuzz_obj/tinyobjloader-cornell_box.obj", dir + "/cornell_box.obj");
  fs::copy_file(corpus + "fuzz_mtl/tinyobjloader-cornell_box.mtl", dir + "/cornell_box.mtl");
  glmFreeModel(original);
  original = read("cornell_box.obj");
  ASSERT_GT(original->trianglecount, 0u);
  writeAndRead(original, DRAW_MATERIAL);
  expectSameTriangles([](const ObjTriangle&, const ObjTriangle&) {});
  ASSERT_EQ(copy->vertexcount, original->vertexcount);
  for (unsigned i = 3; i < 3 * (original->vertexcount + 1); i++)
    EXPECT_NEAR(copy->vertices[i], original->vertices[i], 1e-3) << i;
  EXPECT_EQ(describe(copy), describe(original));
}

}  // namespace
