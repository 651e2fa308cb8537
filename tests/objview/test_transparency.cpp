// Transparent triangles go to GL farthest first, whichever part holds them.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cmath>
#include <map>
#include <random>

#include "glfake.h"
#include "transparency.h"

using namespace objview;

namespace {

// Random triangles in three parts of materials 0 (opaque), 1 and 2.
Mesh scatter() {
  Mesh mesh;
  std::mt19937 random(7);
  std::uniform_real_distribution<float> at(-1, 1);
  for (unsigned material : {1u, 0u, 2u, 1u}) {
    mesh.parts.push_back({static_cast<unsigned>(mesh.indices.size()), 0, material});
    for (int t = 0; t < 40; t++) {
      const float centre[3] = {at(random), at(random), at(random)};
      for (int k = 0; k < 3; k++) {
        mesh.indices.push_back(mesh.cornerCount());
        for (int d = 0; d < 3; d++) mesh.corners.push_back(centre[d] + 0.05f * at(random));
        mesh.corners.insert(mesh.corners.end(), Mesh::kStride - 3, 0.0f);
      }
      mesh.parts.back().count += 3;
    }
  }
  return mesh;
}

// The model-view matrix of a view turned `yaw` about y, then `pitch` about
// x, from 10 away, as objview's frame makes it.
std::vector<float> view(float yaw, float pitch, float panX = 0) {
  glfake::reset();
  glLoadIdentity();
  glTranslatef(panX, 0, -10);
  glRotatef(pitch, 1, 0, 0);
  glRotatef(yaw, 0, 1, 0);
  return {std::begin(glfake::modelview().m), std::end(glfake::modelview().m)};
}

bool clear(const Mesh::Part& part) { return part.material != 0; }

}  // namespace

TEST(ObjviewTransparency, TrianglesAreSentFarthestFirstAcrossAndWithinParts) {
  const Mesh mesh = scatter();
  Transparency transparency;
  transparency.build(mesh, mesh, clear);
  std::mt19937 random(3);
  std::uniform_real_distribution<float> angle(-180, 180);
  for (int v = 0; v < 20; v++) {
    const std::vector<float> m = view(angle(random), angle(random) / 2);
    std::vector<unsigned> setUp;  // the material of each run, in order
    transparency.draw(m.data(), 9, [&](const Mesh::Part& part) { setUp.push_back(part.material); });
    const std::vector<glfake::Call> uploads = glfake::named("glBufferData");
    ASSERT_EQ(uploads.size(), 1u);
    const std::vector<double> sent(uploads[0].args.begin() + 3, uploads[0].args.end());
    ASSERT_EQ(sent.size(), 3u * 120);  // each transparent triangle once, no opaque one
    // The corners came three a triangle, and a triangle's material is its
    // part's: each drawn run must be set up for its own.
    const auto materialOf = [&](double corner) {
      return mesh.parts[static_cast<std::size_t>(corner) / 120].material;
    };
    double last = -1e9;
    std::map<unsigned, int> seen;
    for (std::size_t i = 0; i < sent.size(); i += 3) {
      double depth = 0;
      for (int k = 0; k < 3; k++) {
        const float* p = &mesh.corners[Mesh::kStride * static_cast<std::size_t>(sent[i + k])];
        depth += (m[2] * p[0] + m[6] * p[1] + m[10] * p[2]) / 3;
        EXPECT_EQ(static_cast<unsigned>(sent[i + k]) / 3, static_cast<unsigned>(sent[i]) / 3);
      }
      EXPECT_GE(depth, last - 1e-5) << "triangle " << i / 3 << " of view " << v;
      last = depth;
      EXPECT_NE(materialOf(sent[i]), 0u);
      seen[static_cast<unsigned>(sent[i]) / 3]++;
    }
    EXPECT_EQ(seen.size(), 120u);
    const std::vector<glfake::Call> draws = glfake::named("glDrawElements");
    ASSERT_EQ(draws.size(), setUp.size());
    std::size_t next = 0;
    for (std::size_t r = 0; r < draws.size(); r++) {
      const std::size_t first = static_cast<std::size_t>(draws[r].args[3]) / sizeof(unsigned);
      ASSERT_EQ(first, next);
      next += static_cast<std::size_t>(draws[r].args[1]);
      for (std::size_t i = first; i < next; i++) EXPECT_EQ(materialOf(sent[i]), setUp[r]);
    }
    EXPECT_EQ(next, sent.size());
  }
}

TEST(ObjviewTransparency, OnlyATurnOfTheViewSortsAgain) {
  const Mesh mesh = scatter();
  Transparency transparency;
  transparency.build(mesh, mesh, clear);
  const auto uploads = [&](const std::vector<float>& m) {
    transparency.draw(m.data(), 9, [](const Mesh::Part&) {});
    return glfake::count("glBufferData");
  };
  EXPECT_EQ(uploads(view(30, 10)), 1);
  EXPECT_EQ(uploads(view(30, 10, 0.5f)), 0);  // panned: the same order
  EXPECT_EQ(uploads(view(31, 10)), 1);
}
