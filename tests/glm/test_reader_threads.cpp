// The OBJ reader's second thread: whatever fails there, the calling thread
// reads the file itself and gives exactly what a read on one thread gives.
#include <gtest/gtest.h>

#include <sched.h>

#include <malloc.h>

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
  // Reads the file at `path` in two halves, the second from the line start
  // at or after byte `split` on, then as usual.
  Model readInHalves(const std::string& path, std::size_t split) {
    glm_internal::glmSetReadChunking(0, split);
    Model model = readFile(path);
    glm_internal::glmSetReadChunking(glm_internal::kReadTwoThreadsFrom, 0);
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
    text += "g part" + std::to_string(i % 7) + "\nf 1 2 3 4\n";  // halves record groups
  std::string path = write("parts.obj", text);
  Model whole = readFile(path);
  ASSERT_TRUE(whole) << out << err;

  failOtherThreads = true;
  Model halves = readInHalves(path, text.size() / 2);
  failOtherThreads = false;
  EXPECT_GT(refused.load(), 0) << "the second thread never allocated";
  ASSERT_TRUE(halves) << out << err;
  EXPECT_EQ(out + err, "");
  expectSameTriangles(halves.get(), whole.get());
}

// The second half's triangles follow the first's, in the model and in every
// group's list, and a negative index there, which only the calling thread
// can resolve, leaves that half to it.
TEST_F(ReaderThreads, TwoHalvesReadAsOne) {
  std::string text = "v 0 0 0\nv 1 0 0\nv 1 1 0\n";
  for (int i = 0; i < 50; i++)
    text += "g g" + std::to_string(i % 3) + "\nf 1 2 3 # no corner\nf 3 2 1 x 2\n";
  std::string relative = text + "v 2 2 0\nf -1 -2 -3\n";
  for (const std::string& file : {text, relative}) {
    std::string path = write("halves.obj", file);
    Model whole = readFile(path);
    ASSERT_TRUE(whole) << out << err;
    for (std::size_t split : {std::size_t{1}, std::size_t{40}, file.size() / 2, file.size() - 12}) {
      Model halves = readInHalves(path, split);
      ASSERT_TRUE(halves) << out << err;
      expectSameTriangles(halves.get(), whole.get());
    }
  }
}

// threads = 1 keeps a read that would take two halves on the calling thread.
TEST_F(ReaderThreads, OneThreadReadsOnTheCallersThreadAlone) {
  std::string text = "v 0 0 0\nv 1 0 0\nv 1 1 0\n";
  for (int i = 0; i < 1000; i++) text += "f 1 2 3\n";
  GLMreadoptions options{};
  options.threads = 1;
  glm_internal::glmSetReadChunking(0, text.size() / 2);
  refused = 0;
  failOtherThreads = true;
  GLMerror error;
  Model m(glmReadOBJMemory(text.data(), text.size(), "m.obj", &options, &error));
  failOtherThreads = false;
  glm_internal::glmSetReadChunking(glm_internal::kReadTwoThreadsFrom, 0);
  ASSERT_TRUE(m) << error.message;
  EXPECT_EQ(m->trianglecount, 1000u);
  EXPECT_EQ(refused.load(), 0);
}

// Each half within the limit, the two together past it: too large, not an
// array written past its end.
TEST_F(ReaderThreads, HalvesTogetherPastTheLimitAreTooLarge) {
  std::string half = "v 0 0 0\nv 1 0 0\nv 1 1 0\nf 1 2 3 1 2 3\n";  // 4 triangles
  std::string text = half + half;
  glm_internal::glmSetReadLimit(7);
  glm_internal::glmSetReadChunking(0, half.size());
  GLMerror error;
  Model m(glmReadOBJMemory(text.data(), text.size(), "big.obj", nullptr, &error));
  glm_internal::glmSetReadChunking(glm_internal::kReadTwoThreadsFrom, 0);
  Model alone(glmReadOBJMemory(half.data(), half.size(), "half.obj", nullptr, nullptr));
  glm_internal::glmSetReadLimit(0);
  EXPECT_FALSE(m);
  EXPECT_STREQ(error.message, "glmReadOBJ() failed: \"big.obj\" is too large.");
  EXPECT_TRUE(alone);
}

}  // namespace

// A read started inside another read's callback (a program that builds the
// material library from a model of its own) shares the thread's kept
// memory with it: neither may lose the other's.
TEST_F(ReaderThreads, AReadInsideAReadsCallbackLeavesNothingBehind) {
  static std::string inner;
  for (int i = 0; i < 20000; i++) inner += "v 1 2 3\nf 1 1 1\n";
  GLMreadoptions options{};
  options.open = [](const char*, void*) -> void* {
    GLMreadoptions one{};
    one.threads = 1;
    glmFreeModel(glmReadOBJMemory(inner.data(), inner.size(), "inner.obj", &one, nullptr));
    return nullptr;  // no library after all
  };
  options.read = [](void*, void*, unsigned long long, void*) { return 0LL; };
  options.threads = 1;
  const std::string outer = "mtllib m.mtl\nv 0 0 0\nf 1 1 1\n";
  auto readOuter = [&] {
    run([&] { glmFreeModel(glmReadOBJMemory(outer.data(), outer.size(), "o.obj", &options, nullptr)); });
  };
  readOuter();  // warms up what the thread keeps
  auto inUse = [] { return mallinfo2().uordblks + mallinfo2().hblkhd; };
  const std::size_t before = inUse();
  for (int i = 0; i < 8; i++) readOuter();
  EXPECT_LT(inUse(), before + (64 << 10));  // each inner read holds about 560 KB
}
