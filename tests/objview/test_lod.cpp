// The levels of detail: which level a frame draws, and what the coarse level
// and the vertex-cache order keep of the full mesh.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <set>
#include <vector>

#include "lod.h"

using namespace objview;

namespace {

// A wavy n x n grid as two parts (two materials), each corner stored once.
Mesh grid(unsigned n) {
  Mesh mesh;
  for (unsigned y = 0; y <= n; y++)
    for (unsigned x = 0; x <= n; x++)
      mesh.corners.insert(mesh.corners.end(),
                          {float(x), float(y), float((x * y) % 7) * 0.1f, 0, 0, 1, 0, 0});
  for (unsigned part = 0; part < 2; part++) {
    const auto first = static_cast<unsigned>(mesh.indices.size());
    for (unsigned y = part * n / 2; y < (part + 1) * n / 2; y++)
      for (unsigned x = 0; x < n; x++) {
        const unsigned a = y * (n + 1) + x, b = a + 1, c = a + n + 1, d = c + 1;
        mesh.indices.insert(mesh.indices.end(), {a, b, d, a, d, c});
      }
    mesh.parts.push_back({first, static_cast<unsigned>(mesh.indices.size()) - first, 7 + part});
  }
  return mesh;
}

// A part's triangles as corner triples turned to start at their least corner,
// which keeps the winding.
std::multiset<std::array<unsigned, 3>> triangles(const Mesh& mesh, const Mesh::Part& part) {
  std::multiset<std::array<unsigned, 3>> set;
  for (unsigned i = part.first; i < part.first + part.count; i += 3) {
    const unsigned* t = &mesh.indices[i];
    const int k = static_cast<int>(std::min_element(t, t + 3) - t);
    set.insert({t[k], t[(k + 1) % 3], t[(k + 2) % 3]});
  }
  return set;
}

std::set<unsigned> corners(const Mesh& mesh, const Mesh::Part& part) {
  return {mesh.indices.begin() + part.first, mesh.indices.begin() + part.first + part.count};
}

}  // namespace

TEST(ObjviewLevel, CoarseOnlyWhileTheViewMovesAndOnlyWhenBuiltAndWanted) {
  Detail d;
  EXPECT_EQ(d.level(10), Level::Full);  // no input yet
  d.input(10);
  EXPECT_EQ(d.level(10.1), Level::Full);  // not built
  d.built = true;
  EXPECT_EQ(d.level(10.1), Level::Coarse);
  EXPECT_NEAR(d.stillIn(10.1), Detail::kSettle - 0.1, 1e-9);
  EXPECT_EQ(d.level(10 + Detail::kSettle + 1e-6),
            Level::Full);  // full detail after the settle time
  EXPECT_LE(Detail::kSettle, 0.3);
  EXPECT_EQ(d.stillIn(11), 0);
  d.input(12);
  d.enabled = false;  // --no-lod
  EXPECT_EQ(d.level(12), Level::Full);
  EXPECT_NE(levelNote(d, Level::Full, 5, 50, false).find("off"), std::string::npos);
  d.enabled = true;
  EXPECT_EQ(levelNote(d, Level::Coarse, 5, 50, false), " - moving: 5 of 50 triangles");
}

TEST(ObjviewLevel, CoarseLevelIsNearItsAimAndKeepsEachPartsCornersAndMaterial) {
  Mesh full = grid(400);  // 320000 triangles
  std::atomic<bool> cancel{false};
  const Mesh coarse = simplifyMesh(full, 30000, true, cancel);
  const std::size_t count = coarse.indices.size() / 3;
  EXPECT_GT(count, 20000u);
  EXPECT_LT(count, 45000u);
  EXPECT_EQ(coarse.planes.size(), 4 * count);
  ASSERT_EQ(coarse.parts.size(), 2u);
  for (int p = 0; p < 2; p++) {
    EXPECT_EQ(coarse.parts[p].material, full.parts[p].material);
    const std::set<unsigned> kept = corners(coarse, coarse.parts[p]),
                             all = corners(full, full.parts[p]);
    EXPECT_TRUE(std::includes(all.begin(), all.end(), kept.begin(), kept.end()));
  }
  cancel = true;
  EXPECT_TRUE(simplifyMesh(full, 30000, true, cancel).indices.empty());
}

TEST(ObjviewLevel,
     AFrameThatWouldSendManyTrianglesGetsACoarseLevelSendingAFewAsAnOpenOrClosedMesh) {
  EXPECT_EQ(coarseTarget(kLevelsFrom, 0), 0u);
  EXPECT_EQ(coarseTarget(2 * kLevelsFrom, 2 * kLevelsFrom), 0u);  // a closed mesh sends half
  EXPECT_EQ(coarseTarget(116501, 0), kMovingSent);
  EXPECT_EQ(coarseTarget(1000000, 1000000), 2 * kMovingSent);
  EXPECT_EQ(coarseTarget(300000, 200000), kMovingSent * 3 / 2);
}

TEST(ObjviewLevel, BuilderOrdersShuffledPartsForTheCacheKeepingTheirTrianglesAndHandsOverOnce) {
  Mesh full = grid(40);
  // The first part's triangles shuffled (each keeps its corners); the second
  // already in an order that shares corners, which is kept.
  const Mesh::Part& shuffled = full.parts[0];
  for (unsigned t = 0; t < shuffled.count / 3; t++)
    std::swap_ranges(&full.indices[3 * t], &full.indices[3 * t + 3],
                     &full.indices[3 * ((t * 7919) % (shuffled.count / 3))]);
  LevelBuilder builder;
  builder.start(full, true, full.indices.size() / 6);
  builder.wait();
  EXPECT_TRUE(builder.ready());
  EXPECT_FALSE(builder.ready());
  const auto second = full.indices.begin() + full.parts[1].first;
  EXPECT_FALSE(std::equal(full.indices.begin(), second, builder.ordered.indices.begin()));
  EXPECT_TRUE(std::equal(second, full.indices.end(),
                         builder.ordered.indices.begin() + full.parts[1].first));
  EXPECT_EQ(triangles(builder.ordered, full.parts[0]), triangles(full, full.parts[0]));
  EXPECT_EQ(builder.ordered.planes.size(), full.indices.size() / 3 * 4);
  EXPECT_FALSE(builder.level.indices.empty());
  builder.start(full, false, 0);  // only the order
  builder.wait();
  EXPECT_TRUE(builder.ready() && builder.level.indices.empty());
  builder.stop();
  EXPECT_TRUE(builder.ordered.indices.empty());
  EXPECT_FALSE(builder.ready());
}
