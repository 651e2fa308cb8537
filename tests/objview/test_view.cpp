// objview's modes, view and input handling, without a window.
#include <gtest/gtest.h>

#include <cmath>

#include "glm.h"
#include "mesh.h"
#include "view.h"

using namespace objview;

TEST(ObjviewKeys, EachKeyChangesItsModeAndAsksForTheWorkItNeeds) {
  Modes m;
  View v;
  const Has none{}, file{.texcoords = true, .materials = true};
  EXPECT_EQ(onKey(m, v, 'f', none), Action::Recompile);
  EXPECT_FALSE(m.smooth);
  EXPECT_EQ(onKey(m, v, 'f', none), Action::None);
  // Without coordinates in the file t steps through the generated kinds.
  EXPECT_EQ(onKey(m, v, 't', none), Action::Texcoords);
  EXPECT_EQ(m.texture, Texture::Planar);
  EXPECT_EQ(onKey(m, v, 't', none), Action::Texcoords);
  EXPECT_EQ(m.texture, Texture::Spherical);
  EXPECT_EQ(onKey(m, v, 't', none), Action::Recompile);
  EXPECT_EQ(m.texture, Texture::Off);
  EXPECT_EQ(onKey(m, v, 't', file), Action::Recompile);
  EXPECT_EQ(m.texture, Texture::File);
  // Colour and material exclude each other; a second press turns one off.
  onKey(m, v, 'c', file);
  EXPECT_EQ(onKey(m, v, 'm', file), Action::Recompile);
  EXPECT_EQ(m.paint, Paint::Material);
  onKey(m, v, 'm', file);
  EXPECT_EQ(m.paint, Paint::Plain);
  EXPECT_EQ(onKey(m, v, 'w', file), Action::Reload);
  EXPECT_TRUE(m.weld);
  EXPECT_EQ(onKey(m, v, ']', file), Action::Normals);
  EXPECT_EQ(m.angle, 105);
  for (int i = 0; i < 20; i++) onKey(m, v, '[', file);
  EXPECT_EQ(m.angle, 0);
  EXPECT_EQ(onKey(m, v, '[', file), Action::None);
  EXPECT_EQ(onKey(m, v, 'h', file), Action::Redraw);
  EXPECT_TRUE(m.help);
  EXPECT_EQ(onKey(m, v, 'l', file), Action::Redraw);
  EXPECT_TRUE(m.level);
  EXPECT_EQ(onKey(m, v, 27, file), Action::Quit);
  EXPECT_EQ(onKey(m, v, 'x', file), Action::None);
}

TEST(ObjviewDrawMode, AsksOnlyForWhatTheModelHas) {
  Modes m{.smooth = false, .texture = Texture::File, .paint = Paint::Color, .outline = true};
  EXPECT_EQ(drawMode(m, Has{}), DRAW_FLAT | DRAW_OUTLINE);
  EXPECT_EQ(drawMode(m, Has{.texcoords = true, .materials = true}),
            DRAW_FLAT | DRAW_TEXTURE | DRAW_COLOR | DRAW_OUTLINE);
  m.texture = Texture::Planar;
  EXPECT_EQ(drawMode(m, Has{.image = false}), DRAW_FLAT | DRAW_OUTLINE);
  const std::string t = title("dir/cube.obj", 8, 12, m, Has{.materials = true});
  EXPECT_EQ(
      t, "cube.obj - 8 vertices, 12 triangles - flat, planar texture, colour, outline, crease 90");
}

TEST(ObjviewMouse, DragsOrbitPanAndZoomAndResetRestoresTheStart) {
  View v;
  v.home = v.distance = 5;
  Drag d;
  onButton(d, v, kLeft, true, false, 100, 100);
  EXPECT_TRUE(onMotion(d, v, 140, 80, 500));
  EXPECT_FLOAT_EQ(v.yaw, 20);
  EXPECT_FLOAT_EQ(v.pitch, -10);
  onButton(d, v, kLeft, false, false, 140, 80);
  EXPECT_FALSE(onMotion(d, v, 200, 200, 500));
  onButton(d, v, kLeft, true, true, 0, 0);  // shift + left pans, as the middle button does
  onMotion(d, v, 100, 0, 500);
  EXPECT_GT(v.panX, 0);
  EXPECT_EQ(v.yaw, 20);
  EXPECT_TRUE(onButton(d, v, kWheelUp, true, false, 0, 0));
  EXPECT_LT(v.distance, 5);
  onButton(d, v, kRight, true, false, 0, 0);
  onMotion(d, v, 0, 300, 500);
  EXPECT_GT(v.distance, 5);
  EXPECT_TRUE(onArrow(v, kArrowLeft) && onArrow(v, kArrowDown));
  EXPECT_FLOAT_EQ(v.yaw, 15);
  EXPECT_FLOAT_EQ(v.pitch, -5);
  EXPECT_FALSE(onArrow(v, 'x'));
  Modes m;
  EXPECT_EQ(onKey(m, v, 'r', Has{}), Action::Redraw);
  EXPECT_EQ(v.distance, 5);
  EXPECT_EQ(v.yaw, 0);
  EXPECT_EQ(v.panX, 0);
}

TEST(ObjviewNormals, NSwitchesToTheFilesOnlyWhenItHasThemAndACreaseAngleMeansComputed) {
  Modes m;
  View v;
  EXPECT_EQ(onKey(m, v, 'n', Has{}), Action::None);
  EXPECT_EQ(m.normals, Normals::File);
  const Has file{.normals = true};
  EXPECT_EQ(title("a.obj", 3, 1, m, file),
            "a.obj - 3 vertices, 1 triangles - smooth, file normals");
  EXPECT_EQ(onKey(m, v, 'n', file), Action::Normals);
  EXPECT_EQ(m.normals, Normals::Compute);
  EXPECT_EQ(onKey(m, v, 'n', file), Action::Normals);
  EXPECT_EQ(onKey(m, v, ']', file), Action::Normals);
  EXPECT_EQ(m.normals, Normals::Compute);
  EXPECT_EQ(title("a.obj", 3, 1, m, file), "a.obj - 3 vertices, 1 triangles - smooth, crease 105");
  // Smoothing groups are the author's normals where the file gives none.
  Modes s;
  const Has smoothing{.smoothing = true}, both{.normals = true, .smoothing = true};
  EXPECT_EQ(normalSource(s, smoothing), NormalSource::Smoothing);
  EXPECT_EQ(normalSource(s, both), NormalSource::File);
  EXPECT_EQ(normalSource(s, Has{}), NormalSource::Crease);
  EXPECT_EQ(title("s.obj", 3, 1, s, smoothing),
            "s.obj - 3 vertices, 1 triangles - smooth, smoothing groups");
  EXPECT_EQ(onKey(s, v, 'n', smoothing), Action::Normals);
  EXPECT_EQ(normalSource(s, smoothing), NormalSource::Crease);
}

TEST(ObjviewViews, AxisKeysAndTheOpeningViewShowTheSideAskedForAndResetReturnsToIt) {
  View v;
  v.home = 5;
  // Digits: front, back, right, left, top, bottom; seen from the right the
  // model turns left about the up axis, from above it tips towards the eye.
  const float want[6][2] = {{0, 0}, {-180, 0}, {-90, 0}, {90, 0}, {0, 90}, {0, -90}};
  Modes m;
  for (int k = 0; k < 6; k++) {
    v.distance = 9;
    EXPECT_EQ(onKey(m, v, static_cast<unsigned char>('1' + k), Has{}), Action::Redraw);
    EXPECT_FLOAT_EQ(v.yaw, want[k][0]);
    EXPECT_FLOAT_EQ(v.pitch, want[k][1]);
    EXPECT_EQ(v.distance, 5);
  }
  float azimuth = 0, elevation = 0;
  const float cube[3] = {2, 2, 2}, rug[3] = {2, 0.02f, 1}, board[3] = {0.1f, 2, 1.5f};
  openingView(cube, azimuth, elevation);
  EXPECT_EQ(azimuth * 100 + elevation, 0);
  openingView(rug, azimuth, elevation);
  EXPECT_GT(elevation, 0);
  openingView(board, azimuth, elevation);
  EXPECT_NE(azimuth, 0);
  look(v, azimuth, elevation);
  v.homeYaw = v.yaw;
  v.homePitch = v.pitch;
  onArrow(v, kArrowLeft);
  onKey(m, v, 'r', Has{});
  EXPECT_FLOAT_EQ(v.yaw, -azimuth);
  EXPECT_FLOAT_EQ(v.pitch, elevation);
}

TEST(ObjviewFiles, PageKeysStepThroughTheFilesWithoutWrappingAndF5ReadsTheShownOneAgain) {
  EXPECT_EQ(fileKey(kPageDown, 0, 2), 1u);
  EXPECT_EQ(fileKey(kPageDown, 1, 2), kNoFile);
  EXPECT_EQ(fileKey(kPageUp, 1, 2), 0u);
  EXPECT_EQ(fileKey(kPageUp, 0, 2), kNoFile);
  EXPECT_EQ(fileKey(kF5, 1, 2), 1u);
  EXPECT_EQ(fileKey(kArrowLeft, 1, 2), kNoFile);
  Options o;
  std::string error;
  const char* two[] = {"objview", "a.obj", "--no-lod", "b.obj"};
  ASSERT_TRUE(parseOptions(4, two, o, error)) << error;
  EXPECT_EQ(o.files, (std::vector<std::string>{"a.obj", "b.obj"}));
  EXPECT_EQ(o.file, "a.obj");
}

TEST(ObjviewOptions, ParsesTheCommandLineAndRejectsMistakes) {
  Options o;
  std::string error;
  const char* good[] = {"objview", "m.obj",   "--angle",      "45",
                        "--weld",  "0.01",    "--screenshot", "s.ppm",
                        "--size",  "640x480", "--mode",       "flat,outline,help",
                        "--no-lod"};
  ASSERT_TRUE(parseOptions(13, good, o, error)) << error;
  EXPECT_FALSE(o.lod);
  EXPECT_EQ(o.file, "m.obj");
  EXPECT_EQ(o.modes.angle, 45);
  EXPECT_TRUE(o.modes.weld && o.modes.outline && o.modes.help && !o.modes.smooth);
  EXPECT_EQ(o.width * 1000 + o.height, 640480);
  EXPECT_FALSE(o.everything);  // --mode names the modes
  EXPECT_EQ(o.files, std::vector<std::string>{"m.obj"});
  EXPECT_TRUE(std::isnan(o.azimuth));
  const char* more[] = {"objview", "m.obj",     "--mode", "help,all",    "--normals",
                        "compute", "--azimuth", "-45",    "--elevation", "90"};
  Options p;
  ASSERT_TRUE(parseOptions(10, more, p, error)) << error;
  EXPECT_TRUE(p.everything && p.modes.help);
  EXPECT_EQ(p.modes.normals, Normals::Compute);
  EXPECT_EQ(p.azimuth * 1000 + p.elevation, -44910);
  const std::vector<std::vector<const char*>> bad = {{"objview"},
                                                     {"objview", "a.obj", "--angle", "181"},
                                                     {"objview", "a.obj", "--size", "640"},
                                                     {"objview", "a.obj", "--mode", "shiny"},
                                                     {"objview", "a.obj", "--frob"},
                                                     {"objview", "a.obj", "--normals", "x"},
                                                     {"objview", "a.obj", "--elevation", "91"},
                                                     {"objview", "a.obj", "--texture"}};
  for (const auto& args : bad) {
    Options fresh;
    error.clear();
    EXPECT_FALSE(parseOptions(static_cast<int>(args.size()), args.data(), fresh, error))
        << args.back();
    EXPECT_FALSE(error.empty());
  }
}

TEST(ObjviewSize, TheHelpOverlayGivesTheBoundingBoxAsRead) {
  float vertices[] = {0, 0, 0, 2, -1, 5, 4.5f, 3, 5, 3, 0, 5.25f};  // entry 0 unused
  ObjModel model{};
  model.vertexcount = 3;
  model.vertices = vertices;
  EXPECT_EQ(sizeNote(model), "size 2.5 x 4 x 0.25");
}

TEST(ObjviewHiddenFaces, OnlyAClosedConsistentMeshHidesFacesAndItsWindingSaysWhich) {
  float vertices[] = {0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1};  // entry 0 unused
  ObjTriangle tetrahedron[] = {{{1, 3, 2}, {}, {}, 0, 0},
                               {{1, 2, 4}, {}, {}, 0, 0},
                               {{1, 4, 3}, {}, {}, 0, 0},
                               {{2, 3, 4}, {}, {}, 0, 0}};
  ObjModel model{};
  model.vertexcount = 4;
  model.vertices = vertices;
  model.trianglecount = 4;
  model.triangles = tetrahedron;
  EXPECT_EQ(hiddenFaces(hiddenSides(model)), Hidden::Back);
  for (ObjTriangle& t : tetrahedron) std::swap(t.vertexidx[0], t.vertexidx[2]);
  EXPECT_EQ(hiddenFaces(hiddenSides(model)), Hidden::Front);
  model.trianglecount = 3;  // open
  EXPECT_EQ(hiddenFaces(hiddenSides(model)), Hidden::None);
  std::swap(tetrahedron[3].vertexidx[0], tetrahedron[3].vertexidx[2]);
  model.trianglecount = 4;  // closed, one face wound the other way
  EXPECT_EQ(hiddenFaces(hiddenSides(model)), Hidden::None);
}

TEST(ObjviewHiddenFaces, EachClosedPieceHidesItsOwnSideAndAnOpenOneNone) {
  // A tetrahedron wound outwards, one wound inwards, and a lone triangle
  // touching each at a corner only.
  float vertices[3 * 10] = {};
  for (int p = 0; p < 2; p++)
    for (int k = 0; k < 3; k++)
      vertices[3 * (2 + 4 * p + k) + k] = 1;                  // 2 3 4 and 6 7 8 on the axes
  for (int k = 0; k < 3; k++) vertices[3 * (5 + 4) + k] = 2;  // 9, off the first
  ObjTriangle triangles[] = {
      {{1, 3, 2}, {}, {}, 0, 0}, {{1, 2, 4}, {}, {}, 0, 0}, {{1, 4, 3}, {}, {}, 0, 0},
      {{2, 3, 4}, {}, {}, 0, 0}, {{6, 7, 5}, {}, {}, 0, 0}, {{8, 6, 5}, {}, {}, 0, 0},
      {{7, 8, 5}, {}, {}, 0, 0}, {{8, 7, 6}, {}, {}, 0, 0}, {{2, 9, 7}, {}, {}, 0, 0}};
  ObjModel model{};
  model.vertexcount = 9;
  model.vertices = vertices;
  model.trianglecount = 9;
  model.triangles = triangles;
  const std::vector<Hidden> sides = hiddenSides(model);
  using enum Hidden;
  EXPECT_EQ(sides, (std::vector<Hidden>{Back, Back, Back, Back, Front, Front, Front, Front, None}));
  EXPECT_EQ(hiddenFaces(sides), None);
}

namespace {

// Three objects of 1, 0 and 2 triangles in two groups that interleave them.
struct Objects {
  float vertices[15] = {0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0};
  float normals[6] = {0, 0, 0, 0, 0, 1};
  ObjTriangle triangles[3] = {{{1, 2, 3}, {1, 1, 1}, {}, 0, 0},
                              {{2, 4, 3}, {1, 1, 1}, {}, 0, 0},
                              {{1, 2, 4}, {1, 1, 1}, {}, 0, 0}};
  unsigned first[2] = {0, 2}, second[1] = {1};
  ObjGroup b{nullptr, 1, second, 0, nullptr}, a{nullptr, 2, first, 0, &b};
  char names[3][8] = {"base", "empty", "roof"};
  ObjObject objects[3] = {{names[0], 0, 1}, {names[1], 1, 0}, {names[2], 1, 2}};
  ObjModel model{};
  Objects() {
    model.vertexcount = 4, model.vertices = vertices, model.normalcount = 1;
    model.normals = normals, model.trianglecount = 3, model.triangles = triangles;
    model.groups = &a, model.objectcount = 3, model.objects = objects;
  }
};

}  // namespace

TEST(ObjviewObjects, TheObjectKeysStepThroughEveryObjectAndBackAndTheMeshHoldsOnlyItsTriangles) {
  Objects o;
  Modes m;
  View v;
  const Has has{.objects = 3};
  std::vector<unsigned> shown;
  for (int i = 0; i < 4; i++) {
    EXPECT_EQ(onKey(m, v, '.', has), Action::Recompile);
    shown.push_back(m.object);
  }
  EXPECT_EQ(shown, (std::vector<unsigned>{0, 1, 2, kAllObjects}));
  onKey(m, v, ',', has);
  EXPECT_EQ(m.object, 2u);
  EXPECT_EQ(title("h.obj", 4, 3, m, has, o.objects[2].name),
            "h.obj - 4 vertices, 3 triangles - smooth, crease 90 - object 3 of 3: roof");
  EXPECT_EQ(objectLabel(o.model, m.object), "object 3 of 3: roof, 2 triangles");
  // The roof's triangles, 1 and 2, lie in both groups, 2 drawn first.
  const ObjectModel roof(o.model, m.object);
  Mesh mesh;
  ASSERT_TRUE(buildMesh(roof.model(), DRAW_SMOOTH, mesh));
  std::vector<float> drawn;
  for (unsigned c : mesh.indices)
    drawn.insert(drawn.end(), &mesh.corners[Mesh::kStride * c],
                 &mesh.corners[Mesh::kStride * c + 3]);
  EXPECT_EQ(drawn, (std::vector<float>{0, 0, 0, 1, 0, 0, 1, 1, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0}));
  EXPECT_EQ(roof.model().linecount, 0u);
  ASSERT_TRUE(buildMesh(ObjectModel(o.model, 1).model(), DRAW_SMOOTH, mesh));
  EXPECT_TRUE(mesh.indices.empty());
  EXPECT_EQ(onKey(m, v, 'a', has), Action::Recompile);
  EXPECT_EQ(m.object, kAllObjects);
  EXPECT_EQ(objectLabel(o.model, m.object), "");
  EXPECT_EQ(onKey(m, v, 'a', has), Action::None);
  EXPECT_EQ(onKey(m, v, '.', Has{}), Action::None);
}

TEST(ObjviewObjects, TheOverlayListsAWindowOfObjectsAroundTheOneShown) {
  std::vector<ObjObject> objects(30);
  std::vector<std::string> names(30);
  for (unsigned i = 0; i < 30; i++) {
    // (Appended, not "o" + ...: GCC 12 at -O3 warns falsely of the concatenation.)
    names[i] = i == 7 ? std::string(40, 'x') : std::string("o").append(std::to_string(i));
    objects[i] = {names[i].data(), i, i};
  }
  ObjModel model{};
  model.objectcount = 30;
  model.objects = objects.data();
  const std::vector<std::string> all = objectLines(model, kAllObjects, 10);
  ASSERT_EQ(all.size(), 12u);
  EXPECT_EQ(all.front(), "30 objects (triangles):");
  EXPECT_EQ(all[8], "  " + std::string(21, 'x') + "...        7");
  EXPECT_EQ(all.back(), "  ... 20 more");
  const std::vector<std::string> around = objectLines(model, 20, 10);
  ASSERT_EQ(around.size(), 13u);
  EXPECT_EQ(around[1], "  ... 15 before");
  EXPECT_EQ(around[7], "> o20                            20");
  EXPECT_EQ(around.back(), "  ... 5 more");
  EXPECT_EQ(objectLines(model, 29, 10)[1], "  ... 20 before");
  model.objectcount = 0;
  EXPECT_TRUE(objectLines(model, kAllObjects, 10).empty());
}

TEST(ObjviewColours, KTurnsVertexColoursOnAndOffWhereTheModelHasThem) {
  Modes m;
  View v;
  EXPECT_EQ(onKey(m, v, 'k', Has{}), Action::None);
  const Has colours{.colors = true};
  EXPECT_EQ(onKey(m, v, 'k', colours), Action::Recompile);
  EXPECT_EQ(drawMode(m, colours), DRAW_SMOOTH | DRAW_VERTEXCOLOR);
  EXPECT_EQ(drawMode(m, Has{}), DRAW_SMOOTH);
  EXPECT_EQ(title("c.obj", 4, 2, m, colours),
            "c.obj - 4 vertices, 2 triangles - smooth, vertex colours, crease 90");
  onKey(m, v, 'k', colours);
  EXPECT_EQ(drawMode(m, colours), DRAW_SMOOTH);
  Options o;
  std::string error;
  const char* args[] = {"objview", "c.obj", "--mode", "vertexcolour"};
  ASSERT_TRUE(parseOptions(4, args, o, error)) << error;
  EXPECT_TRUE(o.modes.vertexColors);
}
