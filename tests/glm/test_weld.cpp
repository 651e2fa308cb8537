#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <vector>

#include "glm.h"
#include "model_util.h"

// Allocation failures on demand: the library allocates its arrays with
// calloc, which this program replaces (not under AddressSanitizer, which
// owns calloc itself).
#if !defined(__SANITIZE_ADDRESS__)
namespace {
int callocsBeforeFailure = -1;  // -1: never fail
}
extern "C" void* __libc_calloc(std::size_t count, std::size_t size);
extern "C" void* calloc(std::size_t count, std::size_t size) noexcept {
  if (callocsBeforeFailure == 0) return nullptr;
  if (callocsBeforeFailure > 0) callocsBeforeFailure--;
  return __libc_calloc(count, size);
}
#endif

namespace {

using namespace testutil;

ModelPtr makeModel(const std::vector<Vec>& vertices,
                   const std::vector<std::vector<unsigned>>& triangles) {
  auto* model = emptyModel();
  model->vertexcount = static_cast<unsigned>(vertices.size());
  model->vertices = vectorArray(vertices);
  model->trianglecount = static_cast<unsigned>(triangles.size());
  model->triangles =
      static_cast<ObjTriangle*>(std::calloc(triangles.size() + 1, sizeof(ObjTriangle)));
  for (std::size_t i = 0; i < triangles.size(); i++)
    for (int k = 0; k < 3; k++) model->triangles[i].vertexidx[k] = triangles[i][k];
  return ModelPtr(model);
}

std::vector<unsigned> corners(const ObjModel* model) {
  std::vector<unsigned> result;
  for (unsigned i = 0; i < model->trianglecount; i++)
    result.insert(result.end(), model->triangles[i].vertexidx, model->triangles[i].vertexidx + 3);
  return result;
}

// The plain scan: each vector joins the first kept vector within epsilon on
// every axis, or is kept itself.
struct Welded {
  std::vector<Vec> kept;
  std::vector<unsigned> index;  // 1-based new index of each input vector
};

Welded referenceWeld(const std::vector<Vec>& input, float epsilon) {
  auto close = [epsilon](const Vec& a, const Vec& b) {
    return std::fabs(a.x - b.x) < epsilon && std::fabs(a.y - b.y) < epsilon &&
           std::fabs(a.z - b.z) < epsilon;
  };
  Welded result;
  for (const Vec& v : input) {
    unsigned found = 0;
    for (unsigned j = 0; j < result.kept.size() && !found; j++)
      if (close(v, result.kept[j])) found = j + 1;
    if (!found) {
      result.kept.push_back(v);
      found = static_cast<unsigned>(result.kept.size());
    }
    result.index.push_back(found);
  }
  return result;
}

bool sameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Welds `input` with the library and compares everything with the plain scan:
// the kept vectors bit for bit, the count, and each input's rewritten x.
void expectWeldMatchesScan(const std::vector<Vec>& input, float epsilon) {
  const Welded expected = referenceWeld(input, epsilon);
  float* vectors = vectorArray(input);
  unsigned count = static_cast<unsigned>(input.size());
  float* kept = glmMergeVectors(vectors, &count, epsilon);
  ASSERT_EQ(expected.kept.size(), count);
  for (unsigned j = 0; j < count; j++)
    for (int axis = 0; axis < 3; axis++)
      ASSERT_TRUE(sameBits((&expected.kept[j].x)[axis], kept[3 * (j + 1) + axis]))
          << "kept vector " << j + 1;
  for (unsigned i = 0; i < input.size(); i++) {
    ASSERT_EQ(static_cast<float>(expected.index[i]), vectors[3 * (i + 1)])
        << "input vector " << i + 1;
    ASSERT_TRUE(sameBits(input[i].y, vectors[3 * (i + 1) + 1]));
  }
  std::free(kept);
  std::free(vectors);
}

// Random clustered points for a given epsilon: clusters wider than epsilon,
// chains with links of 0.8 epsilon, pairs exactly epsilon apart and a hair
// either side of it, duplicates, and NaN and infinite coordinates.
std::vector<Vec> clusteredPoints(std::mt19937& random, float epsilon, float spread) {
  auto unit = [&random] {
    return static_cast<float>(random() % 2000001) / 1000000.0f - 1.0f;
  };  // [-1, 1]
  auto pick = [&random](std::size_t n) { return static_cast<std::size_t>(random() % n); };
  std::vector<Vec> points;
  for (int cluster = 0; cluster < 40; cluster++) {
    const Vec centre{unit() * spread, unit() * spread, unit() * spread};
    for (int i = 0; i < 8; i++)
      points.push_back({centre.x + unit() * 1.5f * epsilon, centre.y + unit() * 1.5f * epsilon,
                        centre.z + unit() * 1.5f * epsilon});
  }
  for (int chain = 0; chain < 10; chain++) {
    Vec p{unit() * spread, unit() * spread, unit() * spread};
    const std::size_t axis = pick(3);
    for (int link = 0; link < 6; link++) {
      points.push_back(p);
      (&p.x)[axis] += 0.8f * epsilon;
    }
  }
  for (int pair = 0; pair < 30; pair++) {
    const Vec p = points[pick(points.size())];
    Vec q = p;
    float& moved = (&q.x)[pick(3)];
    const float base = moved;
    moved = base + epsilon;
    if (pair % 3 == 1) moved = std::nextafter(moved, base);
    if (pair % 3 == 2) moved = std::nextafter(moved, 2 * moved - base);
    points.push_back(q);
  }
  for (int duplicate = 0; duplicate < 40; duplicate++)
    points.push_back(points[pick(points.size())]);
  for (int odd = 0; odd < 12; odd++) {
    Vec p = points[pick(points.size())];
    (&p.x)[pick(3)] = odd % 3 == 0 ? kNaN : odd % 3 == 1 ? kInf : -kInf;
    points.push_back(p);
  }
  std::shuffle(points.begin(), points.end(), random);
  return points;
}

}  // namespace

TEST(VectorsClose, StrictPerAxisAndNeverForNaN) {
  const float a[3] = {1, 1, 1};
  const float near[3] = {1.0005f, 0.9995f, 1};
  const float offByEpsilon[3] = {1, 1.25f, 1};
  const float diagonal[3] = {1.09f, 1.09f, 1.09f};  // a box, not a distance
  const float notANumber[3] = {1, 1, kNaN};
  EXPECT_TRUE(glmVectorsClose(a, near, 0.001f));
  EXPECT_FALSE(glmVectorsClose(a, offByEpsilon, 0.25f));
  EXPECT_TRUE(glmVectorsClose(a, offByEpsilon, std::nextafter(0.25f, 1.0f)));
  EXPECT_TRUE(glmVectorsClose(a, diagonal, 0.1f));
  EXPECT_FALSE(glmVectorsClose(a, notANumber, 1e30f));
  EXPECT_FALSE(glmVectorsClose(notANumber, notANumber, kInf));
  EXPECT_FALSE(glmVectorsClose(a, a, 0.0f));
}

TEST(MergeVertices, DistinctVerticesStayAsTheyAre) {
  ModelPtr model = makeModel({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{1, 2, 3}, {3, 2, 1}});
  glmMergeVertices(model.get(), 0.001f);
  ASSERT_EQ(3u, model->vertexcount);
  EXPECT_EQ(1.0f, model->vertices[6]);
  EXPECT_EQ(1.0f, model->vertices[10]);
  EXPECT_EQ((std::vector<unsigned>{1, 2, 3, 3, 2, 1}), corners(model.get()));
}

TEST(MergeVertices, NearCopyJoinsTheFirstAndKeepsItsPosition) {
  ModelPtr model = makeModel({{1, 2, 3}, {1, 2.0005f, 3}, {5, 5, 5}}, {{1, 2, 3}, {2, 3, 2}});
  glmMergeVertices(model.get(), 0.001f);
  ASSERT_EQ(2u, model->vertexcount);
  EXPECT_EQ(2.0f, model->vertices[4]);
  EXPECT_EQ(5.0f, model->vertices[6]);
  EXPECT_EQ((std::vector<unsigned>{1, 1, 2, 1, 2, 1}), corners(model.get()));
}

TEST(MergeVectors, ExactlyEpsilonApartAndEpsilonZeroDoNotMerge) {
  std::vector<Vec> input = {{0.5f, 0, 0}, {0.75f, 0, 0}};
  float* vectors = vectorArray(input);
  unsigned count = 2;
  float* kept = glmMergeVectors(vectors, &count, 0.25f);
  EXPECT_EQ(2u, count);
  EXPECT_EQ(1.0f, vectors[3]);
  EXPECT_EQ(2.0f, vectors[6]);
  std::free(kept);
  std::free(vectors);

  // Not even exact duplicates are strictly closer than 0.
  ModelPtr model = makeModel({{1, 1, 1}, {1, 1, 1}}, {{1, 2, 2}});
  glmMergeVertices(model.get(), 0.0f);
  EXPECT_EQ(2u, model->vertexcount);
  EXPECT_EQ((std::vector<unsigned>{1, 2, 2}), corners(model.get()));
}

TEST(MergeVectors, ClosenessIsNotTransitive) {
  // B joins A; C is 1.6 epsilon from A and B is not kept, so C is kept.
  // D is close to both A and C and joins the lower-numbered, A.
  const float e = 0.125f;
  std::vector<Vec> input = {{0, 0, 0}, {0.8f * e, 0, 0}, {1.6f * e, 0, 0}, {0.9f * e, 0, 0}};
  float* vectors = vectorArray(input);
  unsigned count = 4;
  float* kept = glmMergeVectors(vectors, &count, e);
  ASSERT_EQ(2u, count);
  EXPECT_EQ(0.0f, kept[3]);
  EXPECT_EQ(1.6f * e, kept[6]);
  EXPECT_EQ(1.0f, vectors[3]);
  EXPECT_EQ(1.0f, vectors[6]);
  EXPECT_EQ(2.0f, vectors[9]);
  EXPECT_EQ(1.0f, vectors[12]);
  std::free(kept);
  std::free(vectors);
}

TEST(MergeVectors, NonFiniteVectorsAreNeverMerged) {
  std::vector<Vec> input = {{kNaN, 0, 0}, {kNaN, 0, 0}, {kInf, 0, 0},
                            {kInf, 0, 0}, {0, 0, 0},    {0, 0, 0}};
  for (float epsilon : {0.5f, kInf}) {
    float* vectors = vectorArray(input);
    unsigned count = 6;
    float* kept = glmMergeVectors(vectors, &count, epsilon);
    EXPECT_EQ(5u, count);
    EXPECT_TRUE(std::isnan(kept[3]));
    EXPECT_EQ(kInf, kept[12]);
    EXPECT_EQ(5.0f, vectors[18]);
    std::free(kept);
    std::free(vectors);
  }
}

TEST(MergeVectors, MatchesThePlainScanOnClusteredPoints) {
  std::mt19937 random(20240611);
  // Epsilons of every kind, each with points spread over about 40 of them.
  for (float epsilon : {0.01f, 1.0f / 64, 0.3f, 1e-30f, 1e-45f, 1e30f}) {
    SCOPED_TRACE(epsilon);
    for (int round = 0; round < 4; round++)
      expectWeldMatchesScan(clusteredPoints(random, epsilon, 20 * epsilon), epsilon);
  }
  // Epsilons with which nothing or everything finite is close.
  for (float epsilon : {0.0f, -1.0f, kNaN, kInf}) {
    SCOPED_TRACE(epsilon);
    expectWeldMatchesScan(clusteredPoints(random, 0.01f, 0.2f), epsilon);
  }
}

TEST(MergeVectors, MatchesThePlainScanFarFromTheOrigin) {
  std::mt19937 random(7);
  std::vector<Vec> points;
  // Coordinates whose cell number would not fit an integer, ones where the
  // spacing of floats passes epsilon, and the largest floats.
  for (float base : {1e30f, -1e30f, 3e38f, -3.4e38f, 5.4e6f, 1.6e6f, 2.7e6f, 1e4f}) {
    float value = base;
    for (int i = 0; i < 20; i++) {
      points.push_back({value, base, 1});
      points.push_back({value, base, 1});
      points.push_back({base, value, static_cast<float>(i % 3)});
      value = std::nextafter(value, kInf);
      if (i % 4 == 0) value = std::nextafter(value, kInf);
    }
  }
  points.push_back({3.4e38f, 3.4e38f, 3.4e38f});
  points.push_back({-3.4e38f, -3.4e38f, -3.4e38f});
  std::shuffle(points.begin(), points.end(), random);
  for (float epsilon : {0.01f, 0.26f, 1.0f, 1e-30f, 1e37f, 3e38f}) {
    SCOPED_TRACE(epsilon);
    expectWeldMatchesScan(points, epsilon);
  }
}

TEST(MergeVertices, RepointsTrianglesLikeTheScan) {
  std::mt19937 random(99);
  const float epsilon = 0.05f;
  const std::vector<Vec> points = clusteredPoints(random, epsilon, 1.0f);
  std::vector<std::vector<unsigned>> triangles;
  for (int i = 0; i < 300; i++)
    triangles.push_back({static_cast<unsigned>(random() % points.size() + 1),
                         static_cast<unsigned>(random() % points.size() + 1),
                         static_cast<unsigned>(random() % points.size() + 1)});
  ModelPtr model = makeModel(points, triangles);
  glmMergeVertices(model.get(), epsilon);

  const Welded expected = referenceWeld(points, epsilon);
  ASSERT_EQ(expected.kept.size(), model->vertexcount);
  std::vector<unsigned> expectedCorners;
  for (const auto& triangle : triangles)
    for (unsigned v : triangle) expectedCorners.push_back(expected.index[v - 1]);
  EXPECT_EQ(expectedCorners, corners(model.get()));
  EXPECT_EQ(0, std::memcmp(expected.kept.data(), model->vertices + 3,
                           expected.kept.size() * sizeof(Vec)));
}

TEST(MergeVertices, IndicesBeyondTwoToThe24thAreExact) {
  // 2^24 + 8 vertices on an integer lattice; vertex 2 repeats vertex 1, so
  // every later vertex moves down by one. From 2^24 + 1 on, those indices are
  // not all floats.
  const unsigned count = (1u << 24) + 8;
  auto* model = emptyModel();
  ModelPtr owner(model);
  model->vertexcount = count;
  model->vertices =
      static_cast<float*>(std::malloc((static_cast<std::size_t>(count) + 1) * 3 * sizeof(float)));
  auto lattice = [](unsigned i) {
    return Vec{static_cast<float>(i % 512), static_cast<float>(i / 512 % 512),
               static_cast<float>(i / 262144)};
  };
  for (unsigned i = 2; i <= count; i++) {
    const Vec position = lattice(i);
    std::memcpy(&model->vertices[3 * std::size_t{i}], &position, sizeof(Vec));
  }
  std::memcpy(&model->vertices[3], &model->vertices[6], sizeof(Vec));
  const unsigned high = (1u << 24) + 2;
  model->trianglecount = 2;
  model->triangles = static_cast<ObjTriangle*>(std::calloc(2, sizeof(ObjTriangle)));
  model->triangles[0] = {{high, high + 1, high + 2}, {}, {}, 0, 0};
  model->triangles[1] = {{1, 2, count}, {}, {}, 0, 0};

  glmMergeVertices(model, 0.5f);
  ASSERT_EQ(count - 1, model->vertexcount);
  EXPECT_EQ((std::vector<unsigned>{high - 1, high, high + 1, 1, 1, count - 1}), corners(model));
  const Vec moved = lattice(high + 1);
  EXPECT_EQ(0, std::memcmp(&moved, &model->vertices[3 * std::size_t{high}], sizeof(Vec)));
}

TEST(WeldDeathTest, VertexIndexOutsideTheModelIsAsserted) {
  ModelPtr model = makeModel({{0, 0, 0}, {1, 0, 0}}, {{1, 2, 3}});
  EXPECT_DEATH(glmMergeVertices(model.get(), 0.1f), "vertexidx");
  EXPECT_DEATH(glmMergeVertices(nullptr, 0.1f), "Assertion `model' failed");
}

// Welding, and every other operation that replaces a model array, allocates
// before it changes the model: when an allocation fails and the failure
// handler throws, the model is exactly as it was (no dangling array, no
// count that disagrees with its array).
TEST(ArrayReplacement, FailedAllocationLeavesTheModelAsItWas) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "calloc belongs to AddressSanitizer";
#else
  using Operation = void (*)(ObjModel*);
  const Operation operations[] = {
      [](ObjModel* m) { glmMergeVertices(m, 0.5f); }, glmComputeFaceNormals,
      [](ObjModel* m) { glmVertexNormals(m, 90.0f); }, glmPlanarTexCoords, glmSphericalTexCoords};
  glmSetFailureHandler(throwFailure);
  for (Operation operation : operations) {
    int failures = 0;
    for (int allowed = 0; allowed < 3; allowed++) {
      ModelPtr model =
          makeModel({{0, 0, 0}, {0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{1, 3, 4}, {2, 4, 3}});
      glmComputeFaceNormals(model.get());
      glmVertexNormals(model.get(), 90.0f);
      glmPlanarTexCoords(model.get());
      ObjModel before;
      std::memcpy(&before, model.get(), sizeof before);
      std::vector<ObjTriangle> triangles(model->triangles, model->triangles + 2);
      callocsBeforeFailure = allowed;
      try {
        operation(model.get());
      } catch (const Failure&) {
        failures++;
        EXPECT_EQ(std::memcmp(&before, model.get(), sizeof before), 0);
        EXPECT_EQ(std::memcmp(triangles.data(), model->triangles, 2 * sizeof(ObjTriangle)), 0);
      }
      callocsBeforeFailure = -1;
    }
    EXPECT_GT(failures, 0);
  }
  glmSetFailureHandler(nullptr);
#endif
}
