// The OBJ reader's second thread: whatever fails there, the calling thread
// reads the file itself and gives exactly what a read on one thread gives.
#include <gtest/gtest.h>

#include <sched.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <thread>

#include "glm.h"
#include "glm_internal.h"
#include "model_util.h"

namespace {

using namespace testutil;

const std::thread::id kMainThread = std::this_thread::get_id();
std::atomic<bool> failOtherThreads{false};
std::atomic<int> refused{0};

}  // namespace

// While failOtherThreads is set, allocation fails on every thread but the
// one the tests run on.
void* operator new(std::size_t size) {
  if (failOtherThreads && std::this_thread::get_id() != kMainThread) {
    refused++;
    throw std::bad_alloc();
  }
  if (void* block = std::malloc(size ? size : 1)) return block;
  throw std::bad_alloc();
}
// The pair of the operator new above, which allocates with malloc.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
#pragma GCC diagnostic pop

namespace {

class ReaderThreads : public FileTest {
 protected:
  // Reads the file at `path` in chunks of `bytes`, then as usual.
  Model readInChunks(const std::string& path, std::size_t bytes) {
    glm_internal::glmSetReadChunking(0, bytes);
    Model model = readFile(path);
    glm_internal::glmSetReadChunking(std::size_t{1} << 20, 0);
    return model;
  }
};

// The triangles, and every group's list of them, are the same.
void expectSameTriangles(const ObjModel* a, const ObjModel* b) {
  ASSERT_EQ(a->trianglecount, b->trianglecount);
  EXPECT_EQ(std::memcmp(a->triangles, b->triangles, sizeof(ObjTriangle) * a->trianglecount), 0);
  EXPECT_EQ(groupNames(a), groupNames(b));
  for (const ObjGroup *g = a->groups, *h = b->groups; g && h; g = g->next, h = h->next) {
    ASSERT_EQ(g->trianglecount, h->trianglecount) << g->name;
    EXPECT_EQ(std::memcmp(g->triangles, h->triangles, sizeof(unsigned) * g->trianglecount), 0);
  }
}

TEST_F(ReaderThreads, AllocationFailingOnTheSecondThreadLeavesTheReadToTheCaller) {
  cpu_set_t set;
  if (sched_getaffinity(0, sizeof set, &set) != 0 || CPU_COUNT(&set) < 2)
    GTEST_SKIP() << "one core: the reader starts no second thread";
  std::string text = "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\n";
  for (int i = 0; i < 200000; i++)
    text += "g part" + std::to_string(i % 7) + "\nf 1 2 3 4\n";  // chunks record groups
  std::string path = write("parts.obj", text);
  Model whole = readFile(path);
  ASSERT_TRUE(whole) << out << err;

  failOtherThreads = true;
  Model chunked = readInChunks(path, 4096);  // room for many group lines a chunk
  failOtherThreads = false;
  EXPECT_GT(refused.load(), 0) << "the second thread never allocated";
  ASSERT_TRUE(chunked) << out << err;
  EXPECT_EQ(out + err, "");
  expectSameTriangles(chunked.get(), whole.get());
}

// Counting bounds a face's triangles by its words: where trailing words
// give none, each chunk's part of the arrays closes up to the one before.
TEST_F(ReaderThreads, ChunksCloseUpWhereFacesGaveFewerTrianglesThanCounted) {
  std::string text = "v 0 0 0\nv 1 0 0\nv 1 1 0\n";
  for (int i = 0; i < 50; i++)
    text += "g g" + std::to_string(i % 3) + "\nf 1 2 3 # no corner\nf 3 2 1 x 2\n";
  std::string path = write("words.obj", text);
  Model whole = readFile(path);
  ASSERT_TRUE(whole) << out << err;
  EXPECT_EQ(whole->trianglecount, 100u);
  for (std::size_t bytes : {1, 40}) {
    Model chunked = readInChunks(path, bytes);
    ASSERT_TRUE(chunked) << out << err;
    expectSameTriangles(chunked.get(), whole.get());
  }
}

}  // namespace
