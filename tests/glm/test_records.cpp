// The records beside faces and groups (vertex colours, objects, smoothing
// groups, lines, points, the material parameters past the classic ones):
// read, welded, given normals, drawn and written back.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "glfake.h"
#include "glm.h"
#include "model_util.h"

namespace {

namespace fs = std::filesystem;
using namespace testutil;

// Every record of these kinds, as text: what a round trip must keep.
std::string records(const ObjModel* m) {
  std::ostringstream text;
  text << "vertices " << m->vertexcount << " triangles " << m->trianglecount << "\n";
  if (m->colors)
    for (unsigned i = 1; i <= m->vertexcount; i++)
      text << "c " << m->colors[3 * i] << " " << m->colors[3 * i + 1] << " " << m->colors[3 * i + 2] << "\n";
  for (unsigned i = 0; i < m->objectcount; i++)
    text << "o " << m->objects[i].name << "|" << m->objects[i].firsttriangle << "+"
         << m->objects[i].trianglecount << "\n";
  for (unsigned i = 0; m->smoothing && i < m->trianglecount; i++) text << "s " << m->smoothing[i] << "\n";
  for (unsigned i = 0; i < m->linecount; i++) {
    const ObjLine& l = m->lines[i];
    text << "l " << l.vertexidx[0] << "/" << l.texcoordidx[0] << " " << l.vertexidx[1] << "/"
         << l.texcoordidx[1] << " " << (m->materials ? m->materials[l.material].name : "-") << "\n";
  }
  for (unsigned i = 0; i < m->pointcount; i++) text << "p " << m->points[i] << "\n";
  for (unsigned i = 0; i < m->materialcount; i++) {
    const ObjMaterial& x = m->materials[i];
    text << "m " << x.name << " Ke " << x.emissive[0] << " " << x.emissive[1] << " " << x.emissive[2]
         << " Ni " << x.ior << " illum " << x.illum << " Tf " << x.transmission[0] << " "
         << x.transmission[1] << " " << x.transmission[2] << " P " << x.roughness << " "
         << x.metallic << " " << x.sheen << " " << x.clearcoat << " " << x.clearcoatroughness << " "
         << x.anisotropy << " " << x.anisotropyrotation;
    for (const char* map : {x.emissivemap, x.roughnessmap, x.metallicmap, x.sheenmap, x.normalmap,
                            x.displacementmap, x.reflectionmap})
      text << " " << (map ? map : "-");
    text << "\n";
  }
  return text.str();
}

class Records : public FileTest {
 protected:
  Model read(const std::string& text, const std::string& mtl = "") {
    if (!mtl.empty()) write("r.mtl", mtl);
    return readFile(write("r.obj", text));
  }
  // Writes `m` with everything it has, reads it back, and writes that again.
  void roundTrip(ObjModel* m, const std::string& name) {
    unsigned mode = DRAW_MATERIAL | (m->texcoords ? DRAW_TEXTURE : 0) | (m->normals ? DRAW_SMOOTH : 0);
    if (!m->materials) mode &= ~DRAW_MATERIAL;
    const std::string once = dir + "/once.obj", twice = dir + "/twice.obj";
    ASSERT_TRUE(run([&] { glmWriteOBJ(m, once.c_str(), mode); })) << name << err;
    Model back = readFile(once);
    ASSERT_TRUE(back) << name << err;
    EXPECT_EQ(records(back.get()), records(m)) << name;
    ASSERT_TRUE(run([&] { glmWriteOBJ(back.get(), twice.c_str(), mode); }));
    EXPECT_EQ(fileContents(twice), fileContents(once)) << name;
  }
};

TEST_F(Records, ReadAsTheFileSaysThem) {
  Model m = read(
      "mtllib r.mtl\n"
      "v 0 0 0 1 0 0\nv 1 0 0\nv 1 1 0 0 0 1 9\nv 0 1 0 0.5 0.5\nvt 0 0\nvt 1 1\n"
      "f 1 2 3\n"                  // before any object
      "o  the box \ns 1\nusemtl red\nf 1 3 4\n"
      "l 1/1 2/2 3\n"              // a polyline: two segments
      "o empty\no last\ns off\nf 2 3 4\nusemtl blue\nl 1 -1\np 1 2 -2\n",
      "newmtl red\nKe 0.1 0.2 0.3\nNi 1.45\nillum 2\nTf 0.5 0.6 0.7\nPr 0.25\nPm 1\nPs 0.1\n"
      "Pc 0.2\nPcr 0.3\naniso 0.4\nanisor 0.5\nmap_Ke -bm 1 glow.png\nmap_Pr r.png\nmap_Pm m.png\n"
      "map_Ps s.png\nnorm -bm 2 n map.png\ndisp d.png\nrefl -type sphere e.png\nnewmtl blue\n");
  ASSERT_TRUE(m) << err;
  EXPECT_EQ(records(m.get()),
            "vertices 4 triangles 3\n"
            "c 1 0 0\nc 1 1 1\nc 0 0 1\nc 1 1 1\n"  // six numbers make a colour; 4, 5 or none do not
            "o the box|1+1\no empty|2+0\no last|2+1\n"
            "s 0\ns 1\ns 0\n"
            "l 1/1 2/2 red\nl 2/2 3/0 red\nl 1/0 4/0 blue\n"
            "p 1\np 2\np 3\n"
            "m default Ke 0 0 0 Ni 1 illum -1 Tf 1 1 1 P 0 0 0 0 0 0 0 - - - - - - -\n"
            "m red Ke 0.1 0.2 0.3 Ni 1.45 illum 2 Tf 0.5 0.6 0.7 P 0.25 1 0.1 0.2 0.3 0.4 0.5 "
            "glow.png r.png m.png s.png n map.png d.png e.png\n"
            "m blue Ke 0 0 0 Ni 1 illum -1 Tf 1 1 1 P 0 0 0 0 0 0 0 - - - - - - -\n");
  EXPECT_EQ(m->materials[1].emissive[3], 1.0f);
  // What the classic records say is unchanged: one group, materials per face.
  EXPECT_EQ(m->groupcount, 1u);
  EXPECT_EQ(m->triangles[1].material, 1u);

  // Nothing of these kinds: every record absent, "s off" alone included.
  Model plain = read("v 0 0 0\nv 1 0 0\nv 0 1 0 1\ns off\nf 1 2 3\n");
  ASSERT_TRUE(plain);
  EXPECT_FALSE(plain->colors || plain->objects || plain->smoothing || plain->lines || plain->points);
}

TEST_F(Records, LineAndPointIndicesFailAsFaceIndicesDo) {
  const std::pair<const char*, const char*> cases[] = {
      {"v 0 0 0\nv 1 0 0\nl 1 0\n", "line 3: vertex index 0 is out of range"},
      {"v 0 0 0\nl 1/\n", "line 2: texture coordinate index is missing"},
      {"v 0 0 0\np 1\np 3\nv 1 1 1\n", "line 3: vertex index 3 is out of range"},
      {"v 0 0 0\np -2\n", "line 2: vertex index -2 is out of range"},
  };
  for (const auto& [text, message] : cases) {
    EXPECT_FALSE(read(text)) << text;
    EXPECT_NE(err.find(message), std::string::npos) << text << err;
  }
  // A point may name a vertex read later, as a face may.
  Model later = read("p 2\nv 0 0 0\nv 1 1 1\n");
  ASSERT_TRUE(later);
  EXPECT_EQ(later->points[0], 2u);
}

// Real files: the assimp test models that carry colours, lines, points and
// smoothing groups, and the truck's 38 objects, smoothing and Ke/Ni/illum.
TEST_F(Records, RealFilesKeepTheirRecordsThroughWriteAndRead) {
  const std::string records = std::string(TEST_DATA_DIR) + "/records/assimp-testmodels/";
  const std::string truck = std::string(TEST_DATA_DIR) + "/models/blendswap-cc-0/peterbilt/";
  struct Expect {
    std::string path;
    unsigned colours, objects, lines, points;
    bool smoothing;
  };
  const Expect files[] = {
      {records + "cube_with_vertexcolors.obj", 8, 0, 0, 0, false},
      {records + "testline.obj", 0, 0, 18, 0, false},
      {records + "testpoints.obj", 0, 0, 0, 24, false},
      {records + "testmixed.obj", 0, 0, 18, 24, false},
      {records + "spider.obj", 0, 0, 0, 0, true},
      {truck + "peterbilt.obj", 0, 38, 4, 0, true},
  };
  for (const Expect& e : files) {
    fs::copy(fs::path(e.path).parent_path(), dir + "/in",
             fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    Model m = readFile(dir + "/in/" + fs::path(e.path).filename().string());
    ASSERT_TRUE(m) << e.path << err;
    EXPECT_EQ(m->colors ? m->vertexcount : 0, e.colours) << e.path;
    EXPECT_EQ(m->objectcount, e.objects) << e.path;
    EXPECT_EQ(m->linecount, e.lines) << e.path;
    EXPECT_EQ(m->pointcount, e.points) << e.path;
    EXPECT_EQ(m->smoothing != nullptr, e.smoothing) << e.path;
    roundTrip(m.get(), e.path);
  }
  Model m = readFile(dir + "/in/peterbilt.obj");
  ASSERT_TRUE(m);
  unsigned lit = 0;
  for (unsigned i = 0; i < m->materialcount; i++) lit += m->materials[i].illum == 2;
  EXPECT_GT(lit, 0u);
}

// Generated files that use every record among groups and materials, with
// groups that do not interleave (so triangles keep their order).
TEST_F(Records, GeneratedFilesRoundTripWithEveryRecord) {
  write("r.mtl", "newmtl a\nKd 1 0 0\nPr 0.5\nnewmtl b\nKe 1 1 0\nillum 7\nmap_Pm m.png\n");
  std::mt19937 random(20261209);
  for (int file = 0; file < 200; file++) {
    std::string text = "mtllib r.mtl\n";
    const bool colours = random() % 2;
    unsigned vertices = 0, groups = 0;
    for (int line = 0, lines = 5 + random() % 40; line < lines; line++) {
      auto vertex = [&] { return std::to_string(1 + random() % vertices); };
      switch (vertices < 3 ? 0 : random() % 9) {
        case 0:
          text += "v " + std::to_string(random() % 9) + " " + std::to_string(random() % 9) + " 0.5" +
                  (colours && random() % 4 ? " 0.25 0.5 1" : "") + "\n";
          vertices++;
          break;
        case 1:
          text += "o obj" + std::to_string(random() % 4) + "\n";
          break;
        case 2:
          text += random() % 3 ? "s " + std::to_string(random() % 3) + "\n" : "s off\n";
          break;
        case 3:
          text += "l " + vertex() + " " + vertex() + (random() % 2 ? " " + vertex() : "") + "\n";
          break;
        case 4:
          text += "p " + vertex() + " -1\n";
          break;
        case 5:
          text += random() % 2 ? "usemtl a\n" : "usemtl b\n";
          break;
        case 6:
          text += "g part" + std::to_string(groups++) + "\n";
          break;
        default:
          text += "f " + vertex() + " " + vertex() + " " + vertex() + "\n";
      }
    }
    Model m = read(text);
    ASSERT_TRUE(m) << text << err;
    roundTrip(m.get(), text);
    if (HasFailure()) break;
  }
}

TEST_F(Records, WeldingKeepsColoursAndRepointsLinesAndPoints) {
  Model m = read("v 0 0 0 1 0 0\nv 1 0 0 0 1 0\nv 0 0 0 0 0 1\nv 1 1 0\nf 1 2 4\nl 3 2\np 3 4\n");
  ASSERT_TRUE(m);
  glmMergeVertices(m.get(), 0.001f);
  ASSERT_EQ(m->vertexcount, 3u);
  EXPECT_EQ(records(m.get()),
            "vertices 3 triangles 1\nc 1 0 0\nc 0 1 0\nc 1 1 1\nl 1/0 2/0 -\np 1\np 3\n");
}

TEST_F(Records, SmoothingGroupNormalsFollowTheGroups) {
  // Two triangles folded along the edge 1-2, then the same fold in two
  // groups, then with no smoothing at all.
  const std::string fold = "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 0 0 1\n";
  auto normalsAt = [&](const std::string& faces) {
    Model m = read(fold + faces);
    glmSmoothingGroupNormals(m.get());
    std::vector<std::vector<float>> corners;
    for (unsigned i = 0; i < m->trianglecount; i++)
      for (int k = 0; k < 3; k++) {
        const float* n = &m->normals[3 * m->triangles[i].normalidx[k]];
        corners.push_back({n[0], n[1], n[2]});
      }
    return corners;
  };
  const float h = 1.0f / std::sqrt(2.0f);
  auto shared = normalsAt("s 1\nf 1 2 3\nf 2 1 4\n");
  EXPECT_NEAR(shared[0][1], h, 1e-6);  // vertex 1: the average of +z and +y
  EXPECT_NEAR(shared[0][2], h, 1e-6);
  EXPECT_EQ(shared[0], shared[4]);      // vertex 1 in the second triangle
  EXPECT_EQ(shared[2], (std::vector<float>{0, 0, 1}));  // vertex 3 is the first's alone
  for (const std::string& faces : {std::string("s 1\nf 1 2 3\ns 2\nf 2 1 4\n"), std::string("f 1 2 3\nf 2 1 4\n")}) {
    auto apart = normalsAt(faces);
    EXPECT_EQ(apart[0], (std::vector<float>{0, 0, 1})) << faces;
    EXPECT_EQ(apart[4], (std::vector<float>{0, 1, 0})) << faces;
  }
}

TEST_F(Records, DrawingGivesColoursAndLinesOnlyWhereTheModelHasThem) {
  Model m = read("mtllib r.mtl\nv 0 0 0 1 0 0\nv 1 0 0\nv 0 1 0\nusemtl red\nf 1 2 3\nl 1 2 3\np 2\n",
                 "newmtl red\nKd 1 0 0\n");
  ASSERT_TRUE(m);
  glfake::reset();
  glmDraw(m.get(), DRAW_VERTEXCOLOR | DRAW_MATERIAL);
  EXPECT_EQ(glfake::count("glColor3fv"), 3 + 1 + 4 + 1);  // corners, line colour, line and point vertices
  EXPECT_TRUE(glfake::isEnabled(GL_COLOR_MATERIAL));
  EXPECT_EQ(glfake::count("glBegin"), 3);
  EXPECT_EQ(glfake::count("glPushAttrib"), 1);
  EXPECT_EQ(glfake::count("glVertex3fv"), 3 + 4 + 1);

  // The same model without its lines and points and without the flag: not
  // one call more than a model that never had them.
  m->linecount = m->pointcount = 0;
  glfake::reset();
  glmDraw(m.get(), DRAW_MATERIAL);
  EXPECT_EQ(glfake::count("glColor3fv"), 0);
  EXPECT_EQ(glfake::count("glPushAttrib"), 0);
  EXPECT_EQ(glfake::count("glBegin"), 1);
}

}  // namespace
