// Drawing through the recording GL stand-in: what is sent per corner, per
// triangle and per group for each render mode, and how impossible modes are
// corrected.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "glfake.h"
#include "glm.h"
#include "model_util.h"

namespace {

using testutil::Model;

template <typename T>
T* copyArray(std::initializer_list<T> values) {
  T* array = static_cast<T*>(std::calloc(values.size(), sizeof(T)));
  std::copy(values.begin(), values.end(), array);
  return array;
}

ObjGroup* addGroup(ObjModel* m, const char* name, std::initializer_list<unsigned> triangles,
                   unsigned material) {
  ObjGroup* g = glmEnsureGroup(m, name);
  g->trianglecount = static_cast<unsigned>(triangles.size());
  g->triangles = triangles.size() ? copyArray(triangles) : nullptr;
  g->material = material;
  return g;
}

// Four vertices, two triangles; the group list is "b" (triangle 1),
// "empty", "a" (triangle 0), "default" (no triangles), in drawing order.
// Every attribute value encodes where it came from, so the log shows which
// entry was sent.
Model makeModel(bool normals, bool facetnorms, bool texcoords, bool materials) {
  Model m(static_cast<ObjModel*>(std::calloc(1, sizeof(ObjModel))));
  m->vertexcount = 4;
  m->vertices = copyArray<float>({0, 0, 0, 11, 12, 13, 21, 22, 23, 31, 32, 33, 41, 42, 43});
  m->trianglecount = 2;
  m->triangles = copyArray<ObjTriangle>(
      {{{1, 2, 3}, {3, 2, 1}, {1, 1, 2}, 1, 1}, {{1, 3, 4}, {2, 2, 2}, {2, 2, 1}, 2, 0}});
  if (normals) {
    m->normalcount = 3;
    m->normals = copyArray<float>({0, 0, 0, 0.1f, 0, 0, 0.2f, 0, 0, 0.3f, 0, 0});
  }
  if (facetnorms) {
    m->facetnormcount = 2;
    m->facetnorms = copyArray<float>({0, 0, 0, 0, 0.5f, 0, 0, 0.6f, 0});
  }
  if (texcoords) {
    m->texcoordcount = 2;
    m->texcoords = copyArray<float>({0, 0, 0.25f, 0.75f, 0.5f, 0.5f});
  }
  if (materials) {
    m->materialcount = 2;
    m->materials = static_cast<ObjMaterial*>(std::calloc(2, sizeof(ObjMaterial)));
    for (unsigned i = 0; i < 2; i++) {
      ObjMaterial& mat = m->materials[i];
      mat.name = strdup(i ? "paint" : "default");
      for (int k = 0; k < 3; k++) {
        mat.ambient[k] = 0.1f * (i + 1);
        mat.diffuse[k] = 0.2f * (i + 1) + 0.01f * k;
        mat.specular[k] = 0.3f * (i + 1);
      }
      mat.ambient[3] = mat.diffuse[3] = mat.specular[3] = 1;
      mat.shininess = 10.0f * (i + 1);
    }
  }
  addGroup(m.get(), "default", {}, 0);
  addGroup(m.get(), "a", {0}, 1);
  addGroup(m.get(), "empty", {}, 0);
  addGroup(m.get(), "b", {1}, 0);
  return m;
}

// Draws and returns the call names in order, with the warnings printed.
std::vector<std::string> draw(ObjModel* model, unsigned mode, std::string* warnings) {
  glfake::reset();
  ::testing::internal::CaptureStdout();
  glmDraw(model, mode);
  *warnings = ::testing::internal::GetCapturedStdout();
  std::vector<std::string> names;
  for (const glfake::Call& c : glfake::calls()) names.push_back(c.name);
  return names;
}

std::vector<double> args(const char* name, size_t index) {
  std::vector<glfake::Call> calls = glfake::named(name);
  return index < calls.size() ? calls[index].args : std::vector<double>{};
}

using Names = std::vector<std::string>;

const char* kFlatNoFacet =
    "glmDraw() warning: flat render mode requested with no facet normals defined.\n";
const char* kSmoothNoNormals =
    "glmDraw() warning: smooth render mode requested with no normals defined.\n";
const char* kTextureNone =
    "glmDraw() warning: texture render mode requested with no texture coordinates defined.\n";
const char* kFlatAndSmooth =
    "glmDraw() warning: flat render mode requested and smooth render mode requested (using "
    "smooth).\n";
const char* kColorNone =
    "glmDraw() warning: color render mode requested with no materials defined.\n";
const char* kMaterialNone =
    "glmDraw() warning: material render mode requested with no materials defined.\n";
const char* kColorAndMaterial =
    "glmDraw() warning: color and material render mode requested using only material mode.\n";

TEST(Draw, NoneModeBatchesEveryGroupInListOrder) {
  Model m = makeModel(true, true, true, true);
  std::string warnings;
  Names names = draw(m.get(), DRAW_NONE, &warnings);
  EXPECT_EQ(warnings, "");
  const Names triangle = {"glVertex3fv", "glVertex3fv", "glVertex3fv"};
  Names expected;
  for (int group = 0; group < 4; group++) {
    expected.push_back("glBegin");
    if (group == 0 || group == 2) expected.insert(expected.end(), triangle.begin(), triangle.end());
    expected.push_back("glEnd");
  }
  EXPECT_EQ(names, expected);
  for (const glfake::Call& c : glfake::named("glBegin")) EXPECT_EQ(c.args[0], GL_TRIANGLES);
  // Group "b" comes first: triangle 1, vertices 1, 3, 4.
  EXPECT_EQ(args("glVertex3fv", 0), (std::vector<double>{11, 12, 13}));
  EXPECT_EQ(args("glVertex3fv", 1), (std::vector<double>{31, 32, 33}));
  EXPECT_EQ(args("glVertex3fv", 2), (std::vector<double>{41, 42, 43}));
  EXPECT_EQ(args("glVertex3fv", 4), (std::vector<double>{21, 22, 23}));
  EXPECT_FALSE(glfake::isEnabled(GL_COLOR_MATERIAL));
}

TEST(Draw, OutlineModeLoopsEachTriangle) {
  Model m = makeModel(false, false, false, false);
  std::string warnings;
  Names names = draw(m.get(), DRAW_OUTLINE, &warnings);
  EXPECT_EQ(warnings, "");
  const Names loop = {"glBegin", "glVertex3fv", "glVertex3fv", "glVertex3fv", "glEnd"};
  Names expected = loop;
  expected.insert(expected.end(), loop.begin(), loop.end());
  EXPECT_EQ(names, expected);
  for (const glfake::Call& c : glfake::named("glBegin")) EXPECT_EQ(c.args[0], GL_LINE_LOOP);
}

TEST(Draw, AttributesPrecedeEachVertexInOrder) {
  Model m = makeModel(true, false, true, false);
  std::string warnings;
  Names names = draw(m.get(), DRAW_SMOOTH | DRAW_TEXTURE | DRAW_OUTLINE, &warnings);
  EXPECT_EQ(warnings, "");
  Names corner = {"glNormal3fv", "glTexCoord2fv", "glVertex3fv"};
  Names expected = {"glBegin"};
  for (int k = 0; k < 3; k++) expected.insert(expected.end(), corner.begin(), corner.end());
  expected.push_back("glEnd");
  ASSERT_EQ(Names(names.begin(), names.begin() + 11), expected);
  // Triangle 1 (group "b"): normals 2, 2, 2 and texture coordinates 2, 2, 1.
  EXPECT_EQ(args("glNormal3fv", 0), (std::vector<double>{0.2f, 0, 0}));
  EXPECT_EQ(args("glTexCoord2fv", 0), (std::vector<double>{0.5, 0.5}));
  EXPECT_EQ(args("glTexCoord2fv", 2), (std::vector<double>{0.25, 0.75}));
  // Triangle 0: normals 3, 2, 1.
  EXPECT_EQ(args("glNormal3fv", 3), (std::vector<double>{0.3f, 0, 0}));
  EXPECT_EQ(args("glNormal3fv", 5), (std::vector<double>{0.1f, 0, 0}));
}

TEST(Draw, FlatSendsOneFacetNormalBeforeTheCorners) {
  Model m = makeModel(false, true, false, false);
  std::string warnings;
  Names names = draw(m.get(), DRAW_FLAT, &warnings);
  EXPECT_EQ(warnings, "");
  EXPECT_EQ(glfake::count("glNormal3fv"), 2);
  EXPECT_EQ(Names(names.begin(), names.begin() + 3),
            (Names{"glBegin", "glNormal3fv", "glVertex3fv"}));
  EXPECT_EQ(args("glNormal3fv", 0), (std::vector<double>{0, 0.6f, 0}));
  EXPECT_EQ(args("glNormal3fv", 1), (std::vector<double>{0, 0.5f, 0}));
}

TEST(Draw, FlatAndSmoothPrefersSmooth) {
  Model both = makeModel(true, true, false, false);
  std::string warnings;
  draw(both.get(), DRAW_FLAT | DRAW_SMOOTH, &warnings);
  EXPECT_EQ(warnings, kFlatAndSmooth);
  EXPECT_EQ(glfake::count("glNormal3fv"), 6);
  EXPECT_EQ(args("glNormal3fv", 0), (std::vector<double>{0.2f, 0, 0}));

  Model noFacets = makeModel(true, false, false, false);
  draw(noFacets.get(), DRAW_FLAT | DRAW_SMOOTH, &warnings);
  EXPECT_EQ(warnings, kFlatNoFacet);
  EXPECT_EQ(glfake::count("glNormal3fv"), 6);
}

TEST(Draw, MissingArraysDropTheirModesWithWarningsInOrder) {
  Model m = makeModel(false, false, false, false);
  std::string warnings;
  Names names =
      draw(m.get(), DRAW_FLAT | DRAW_SMOOTH | DRAW_TEXTURE | DRAW_COLOR | DRAW_MATERIAL, &warnings);
  EXPECT_EQ(warnings, std::string(kFlatNoFacet) + kSmoothNoNormals + kTextureNone + kColorNone +
                          kMaterialNone);
  EXPECT_EQ(glfake::count("glNormal3fv") + glfake::count("glTexCoord2fv") +
                glfake::count("glColor3fv") + glfake::count("glMaterialfv") +
                glfake::count("glMaterialf") + glfake::count("glEnable") +
                glfake::count("glDisable"),
            0);
  EXPECT_EQ(glfake::count("glVertex3fv"), 6);
  // Each call warns again.
  draw(m.get(), DRAW_TEXTURE, &warnings);
  EXPECT_EQ(warnings, kTextureNone);
}

TEST(Draw, ColorModeEnablesColorMaterialAndColoursEachGroup) {
  Model m = makeModel(false, false, false, true);
  std::string warnings;
  Names names = draw(m.get(), DRAW_COLOR, &warnings);
  EXPECT_EQ(warnings, "");
  ASSERT_GE(names.size(), 2u);
  EXPECT_EQ(names[0], "glEnable");
  EXPECT_EQ(args("glEnable", 0), std::vector<double>{GL_COLOR_MATERIAL});
  EXPECT_TRUE(glfake::isEnabled(GL_COLOR_MATERIAL));
  EXPECT_EQ(names[1], "glColor3fv");
  ASSERT_EQ(glfake::count("glColor3fv"), 4);  // empty groups too
  const float* d0 = m->materials[0].diffuse;
  const float* d1 = m->materials[1].diffuse;
  EXPECT_EQ(args("glColor3fv", 0), (std::vector<double>{d0[0], d0[1], d0[2]}));  // b: 0
  EXPECT_EQ(args("glColor3fv", 2), (std::vector<double>{d1[0], d1[1], d1[2]}));  // a: 1
  // The vertices of group "a" are drawn in its colour.
  const glfake::Call vertex = glfake::named("glVertex3fv")[3];
  EXPECT_FLOAT_EQ(vertex.color[0], 0.4f);
}

TEST(Draw, MaterialModeSetsEachGroupsMaterialAndDisablesColorMaterial) {
  Model m = makeModel(false, false, false, true);
  std::string warnings;
  glfake::reset();
  glEnable(GL_COLOR_MATERIAL);
  ::testing::internal::CaptureStdout();
  glmDraw(m.get(), DRAW_COLOR | DRAW_MATERIAL);
  warnings = ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(warnings, kColorAndMaterial);
  EXPECT_FALSE(glfake::isEnabled(GL_COLOR_MATERIAL));
  EXPECT_EQ(glfake::count("glColor3fv"), 0);
  EXPECT_EQ(glfake::count("glMaterialfv"), 12);
  EXPECT_EQ(glfake::count("glMaterialf"), 4);
  // Group "a" (third in the list) uses material 1: ambient, diffuse,
  // specular, then shininess, front and back.
  EXPECT_EQ(args("glMaterialfv", 6),
            (std::vector<double>{GL_FRONT_AND_BACK, GL_AMBIENT, 0.2f, 0.2f, 0.2f, 1}));
  EXPECT_EQ(args("glMaterialfv", 7),
            (std::vector<double>{GL_FRONT_AND_BACK, GL_DIFFUSE, m->materials[1].diffuse[0],
                                 m->materials[1].diffuse[1], m->materials[1].diffuse[2], 1}));
  EXPECT_EQ(args("glMaterialfv", 8),
            (std::vector<double>{GL_FRONT_AND_BACK, GL_SPECULAR, 0.6f, 0.6f, 0.6f, 1}));
  EXPECT_EQ(args("glMaterialf", 2), (std::vector<double>{GL_FRONT_AND_BACK, GL_SHININESS, 20}));
}

TEST(Draw, EachTriangleTakesItsOwnMaterialWithCallsOnlyWhereItChanges) {
  // Group "a" holds four triangles in materials 1, 1, 0, 0; its own material
  // is 0, the last in force, as the reader leaves it.
  Model m = makeModel(false, false, false, true);
  const ObjTriangle t0 = m->triangles[0], t1 = m->triangles[1];
  std::free(m->triangles);
  m->triangles = copyArray<ObjTriangle>({t0, t0, t1, t1});
  m->trianglecount = 4;
  ObjGroup* a = glmLookupGroup(m.get(), "a");
  std::free(a->triangles);
  a->triangles = copyArray<unsigned>({0, 1, 2, 3});
  a->trianglecount = 4;
  a->material = 0;
  glmLookupGroup(m.get(), "b")->trianglecount = 0;
  std::string warnings;
  draw(m.get(), DRAW_COLOR, &warnings);
  std::vector<glfake::Call> vertices = glfake::named("glVertex3fv");
  ASSERT_EQ(vertices.size(), 12u);
  for (int i = 0; i < 12; i++)
    EXPECT_FLOAT_EQ(vertices[i].color[0], m->materials[i < 6 ? 1 : 0].diffuse[0]) << i;
  EXPECT_EQ(glfake::count("glColor3fv"), 5);  // "a" twice, each other group once
}

TEST(Draw, ColorMaterialIsLeftAloneWithoutColourModes) {
  Model m = makeModel(false, false, false, true);
  glfake::reset();
  glEnable(GL_COLOR_MATERIAL);
  glmDraw(m.get(), DRAW_NONE);
  EXPECT_TRUE(glfake::isEnabled(GL_COLOR_MATERIAL));
  EXPECT_EQ(glfake::count("glEnable"), 1);
  EXPECT_EQ(glfake::count("glDisable"), 0);
}

TEST(Draw, UnknownBitsAreIgnored) {
  Model m = makeModel(false, false, false, false);
  std::string warnings;
  Names plain = draw(m.get(), DRAW_NONE, &warnings);
  Names unknown = draw(m.get(), 128 | 256, &warnings);
  EXPECT_EQ(unknown, plain);
  EXPECT_EQ(warnings, "");
}

TEST(Draw, ModelWithoutGroupsSendsOnlyTheColourState) {
  Model m = makeModel(false, false, false, true);
  while (ObjGroup* g = m->groups) {
    m->groups = g->next;
    std::free(g->name);
    std::free(g->triangles);
    std::free(g);
  }
  m->groupcount = 0;
  std::string warnings;
  EXPECT_EQ(draw(m.get(), DRAW_NONE, &warnings), Names{});
  EXPECT_EQ(draw(m.get(), DRAW_MATERIAL, &warnings), Names{"glDisable"});
}

TEST(Draw, CompiledListHoldsExactlyOneDraw) {
  Model m = makeModel(false, false, false, false);
  std::string direct;
  Names drawn = draw(m.get(), DRAW_SMOOTH | DRAW_OUTLINE, &direct);

  glfake::reset();
  glfake::setNextListName(7);
  ::testing::internal::CaptureStdout();
  unsigned list = glmCompileDisplayList(m.get(), DRAW_SMOOTH | DRAW_OUTLINE);
  std::string warnings = ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(list, 7u);
  EXPECT_EQ(warnings, kSmoothNoNormals);
  Names names;
  for (const glfake::Call& c : glfake::calls()) names.push_back(c.name);
  Names expected = {"glGenLists", "glNewList"};
  expected.insert(expected.end(), drawn.begin(), drawn.end());
  expected.push_back("glEndList");
  EXPECT_EQ(names, expected);
  EXPECT_EQ(args("glGenLists", 0), std::vector<double>{1});
  EXPECT_EQ(args("glNewList", 0), (std::vector<double>{7, GL_COMPILE}));

  // A failed glGenLists is passed on, 0 included.
  glfake::reset();
  glfake::setNextListName(0);
  EXPECT_EQ(glmCompileDisplayList(m.get(), DRAW_NONE), 0u);
}

TEST(DrawDeathTest, PreconditionsQuoteTheirExpressions) {
  EXPECT_DEATH(glmDraw(nullptr, DRAW_NONE), "Assertion `model' failed");
  Model m = makeModel(false, false, false, false);
  std::free(m->vertices);
  m->vertices = nullptr;
  EXPECT_DEATH(glmDraw(m.get(), DRAW_NONE), "Assertion `model->vertices' failed");
}

}  // namespace
