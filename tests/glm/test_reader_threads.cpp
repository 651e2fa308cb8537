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
// one the tests run on. (The library's operator delete releases with free.)
void* operator new(std::size_t size) {
  if (failOtherThreads && std::this_thread::get_id() != kMainThread) {
    refused++;
    throw std::bad_alloc();
  }
  if (void* block = std::malloc(size ? size : 1)) return block;
  throw std::bad_alloc();
}

namespace {

class ReaderThreads : public FileTest {};

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

  glmSetReadChunking(0, 4096);  // room for many group lines a chunk
  failOtherThreads = true;
  Model chunked = readFile(path);
  failOtherThreads = false;
  glmSetReadChunking(std::size_t{1} << 20, 0);
  EXPECT_GT(refused.load(), 0) << "the second thread never allocated";
  ASSERT_TRUE(chunked) << out << err;
  EXPECT_EQ(out + err, "");
  ASSERT_EQ(chunked->trianglecount, whole->trianglecount);
  EXPECT_EQ(
      std::memcmp(chunked->triangles, whole->triangles, sizeof(ObjTriangle) * whole->trianglecount),
      0);
  EXPECT_EQ(groupNames(chunked.get()), groupNames(whole.get()));
  for (const ObjGroup *a = chunked->groups, *b = whole->groups; a && b; a = a->next, b = b->next) {
    ASSERT_EQ(a->trianglecount, b->trianglecount) << a->name;
    EXPECT_EQ(std::memcmp(a->triangles, b->triangles, sizeof(unsigned) * a->trianglecount), 0);
  }
}

}  // namespace
