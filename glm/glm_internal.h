// Internals shared by the library's sources: failure routing, checked
// allocation, owned blocks, the hash lookup, model array replacement and
// always-on assertions. Not part of the public interface.
#ifndef GLM_INTERNAL_H
#define GLM_INTERNAL_H

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>

#include "glm.h"

// Hidden from the shared library like everything not in glm.h; the namespace
// keeps the internals apart from the public names in a static link too.
namespace glm_internal {

// A fatal failure on its way to the caller: the message as it would be
// printed (with its newline), where it would be printed, and its line in
// the file read (0 when it has none).
struct Failure {
  std::string message;
  FILE* stream = stderr;
  unsigned long long line = 0;
  int errnum = 0;  // the system's reason, for a failure to open, read or write
};

// The end of a failure that is not handed back: the message has been
// given, so either the installed failure handler leaves (throw or longjmp)
// or the program exits with 1.
[[noreturn]] void glmFatal();

// Gives a message: to the message handler when one is set (without its
// final newline), else printed on `stream`.
void glmSay(FILE* stream, const char* format, ...) __attribute__((format(printf, 2, 3)));
void glmGive(FILE* stream, const std::string& message, bool failure);
std::string glmFormat(const char* format, va_list args);

// A fatal failure with the formatted message, at `line` of the file read
// (0: none). Inside glmCatch on this thread it is thrown as a Failure and
// handed back; elsewhere it is given as a failure, then glmFatal().
[[noreturn]] void glmFailAt(unsigned long long line, FILE* stream, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
[[noreturn]] void glmFailf(FILE* stream, const char* format, ...)
    __attribute__((format(printf, 2, 3)));
[[noreturn]] void glmFail(Failure failure);
// A failure whose reason is the system's `errnum`.
[[noreturn]] void glmFailErrno(int errnum, FILE* stream, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

// Runs `operation` so that its failure comes back instead of ending the
// program: true on success; else false with `failure` filled, every
// temporary the operation held released on the way out.
struct Catching {
  Catching();
  ~Catching();
  Catching(const Catching&) = delete;
  Catching& operator=(const Catching&) = delete;
  bool outer;
};
template <typename Operation>
bool glmCatch(Failure& failure, Operation&& operation) {
  Catching catching;
  try {
    operation();
    return true;
  } catch (Failure& caught) {
    failure = std::move(caught);
  } catch (const std::bad_alloc&) {
    failure.message = "out of memory\n";
    failure.errnum = ENOMEM;
  }
  return false;
}

// Copies a failure into a caller's record (null: none), the message cut to
// fit and without its newline; an empty record after success.
void glmHandBack(const Failure* failure, GLMerror* error);

// Runs `operation` so that a failure comes back in `error` (null: dropped)
// instead of ending the program: the variants of the readers and writers that
// hand their failures back. True on success.
template <typename Operation>
bool handingBack(GLMerror* error, Operation&& operation) {
  Failure failure;
  const bool done = glmCatch(failure, operation);
  glmHandBack(done ? nullptr : &failure, error);
  return done;
}

// Zero-filled allocation of count * size bytes; on overflow or exhaustion
// prints "<operation>() failed: out of memory" and fails. Release with free.
void* glmAlloc(std::size_t count, std::size_t size, const char* operation);

// Checked strdup.
char* glmStrdup(const char* text, const char* operation);

// Every map of a material: its MTL keyword and its field, in the order the
// writer writes them.
struct MapField {
  const char* keyword;
  char* ObjMaterial::*field;
};
inline constexpr MapField kMapFields[] = {
    {"map_Ka", &ObjMaterial::ambientmap},   {"map_Kd", &ObjMaterial::diffusemap},
    {"map_Ks", &ObjMaterial::specularmap},  {"map_d", &ObjMaterial::alphamap},
    {"bump", &ObjMaterial::bumpmap},        {"map_Ke", &ObjMaterial::emissivemap},
    {"map_Pr", &ObjMaterial::roughnessmap}, {"map_Pm", &ObjMaterial::metallicmap},
    {"map_Ps", &ObjMaterial::sheenmap},     {"norm", &ObjMaterial::normalmap},
    {"disp", &ObjMaterial::displacementmap}, {"refl", &ObjMaterial::reflectionmap},
};

// The material's numbers of one keyword each, and the value each has unset.
struct NumberField {
  const char* keyword;
  float ObjMaterial::*field;
  float unset;
};
inline constexpr NumberField kNumberFields[] = {
    {"Ni", &ObjMaterial::ior, 1.0f},          {"Pr", &ObjMaterial::roughness, 0.0f},
    {"Pm", &ObjMaterial::metallic, 0.0f},     {"Ps", &ObjMaterial::sheen, 0.0f},
    {"Pc", &ObjMaterial::clearcoat, 0.0f},    {"Pcr", &ObjMaterial::clearcoatroughness, 0.0f},
    {"aniso", &ObjMaterial::anisotropy, 0.0f}, {"anisor", &ObjMaterial::anisotropyrotation, 0.0f},
};

// Sets a new material to the values it has before its library says anything.
void glmInitMaterial(ObjMaterial& material);

// Clears the mode bits the model cannot honour, printing warnings[i] on
// standard output for each step i that clears one, in this order: flat
// without facet normals, smooth without normals, texture without texture
// coordinates, flat with smooth, colour without materials, material without
// materials, colour with material. Missing data is checked first, so the
// conflict warnings only appear when both sides of a conflict are possible.
unsigned glmCorrectMode(const ObjModel* model, unsigned mode, const char* const warnings[7]);
// And DRAW_VERTEXCOLOR without vertex colours, with `warning`.
unsigned glmCorrectVertexColor(const ObjModel* model, unsigned mode, const char* warning);

// Owns a block from glmAlloc, glmStrdup or malloc: a temporary held this way
// is released when a failure handler leaves by throwing.
struct FreeDeleter {
  void operator()(void* block) const { std::free(block); }
};
template <typename T>
using Owned = std::unique_ptr<T, FreeDeleter>;
using OwnedString = Owned<char>;

// Checked allocation of `count` zeroed T, owned.
template <typename T>
Owned<T> allocOwned(std::size_t count, const char* operation) {
  return Owned<T>(static_cast<T*>(glmAlloc(count, sizeof(T), operation)));
}

// Open addressing with linear probing over a power-of-two table that is
// never full: the slot holding an item equal to `key`, or the empty slot
// where it belongs. `hasher.hash(key)` picks the first slot (reduced by the
// table's mask) and `hasher.equal(item, key)` recognises the item.
template <typename T, typename Key, typename Hasher>
T* hashLookup(T* table, std::size_t buckets, const Hasher& hasher, const Key& key, const T& empty) {
  const std::size_t mask = buckets - 1;
  std::size_t bucket = hasher.hash(key) & mask;
  for (std::size_t probe = 0; probe <= mask; probe++) {
    T& item = table[bucket];
    if (item == empty || hasher.equal(item, key)) return &item;
    bucket = (bucket + 1) & mask;
  }
  return nullptr;  // a full table: the caller keeps it at most 3/4 full
}

// The last step of an operation, once nothing can fail: the model's array
// `slot` is released and `fresh` takes its place.
template <typename T>
void replaceArray(T*& slot, Owned<T> fresh) {
  std::free(slot);
  slot = fresh.release();
}

// Gives back the room past the first `count` 1-based 3-vectors (entry 0
// included) of `array`; when the system does not shrink the block, the
// larger one serves as well. Never fails.
inline Owned<float> shrinkVectors(Owned<float> array, std::size_t count) {
  if (void* shrunk = std::realloc(array.get(), 3 * sizeof(float) * (count + 1))) {
    array.release();
    array.reset(static_cast<float*>(shrunk));
  }
  return array;
}

// A new group named `name` at the head of the model's list, with no
// triangles and material 0.
ObjGroup* glmCreateGroup(ObjModel* model, const char* name, const char* operation);

// Releases the names of entries `firstOwned` to `count` - 1 (the ones before
// belong to someone else) and the array.
void glmFreeMaterials(ObjMaterial* materials, unsigned count, unsigned firstOwned = 0);

[[noreturn]] void glmAssertFailed(const char* expression, const char* file, int line,
                                  const char* function);

// The OBJ reader reads regular files and texts in memory of at least
// `fromBytes` bytes on two threads where there are two cores, the second thread reading from
// the first line start at or after byte `split` on. A `split` of 0 takes the
// middle; any other also splits on a single core, so tests can run every
// input through two threads with their boundary anywhere. Default:
// kReadTwoThreadsFrom, 0. Below 8 MiB, starting a thread and joining the
// halves cost more than the second core gives.
inline constexpr std::size_t kReadTwoThreadsFrom = std::size_t{8} << 20;
void glmSetReadChunking(std::size_t fromBytes, std::size_t split);

// The size of the pieces glmReadOBJ reads a text in (0: 256 KiB), so tests
// can cut lines anywhere.
void glmSetReadWindow(std::size_t bytes);

// The most entries of a kind a model may hold (and one less than the most
// triangles), so tests can pass the limit on small files. 0: 2^32 - 1.
void glmSetReadLimit(std::uint64_t entries);

// glmReadMTL for `name`, opened through `options` (null: by its name).
void glmReadMaterials(ObjModel* model, const char* name, const GLMreadoptions* options);

// glmVertexNormals refuses as too large a model whose corners, one normal
// each at most, could number more than `most`: normal 1..count must fit an
// unsigned index. Tests lower it to try that on small models. Default:
// kMostNormals.
inline constexpr std::size_t kMostNormals = 0xFFFFFFFEu;
void glmSetNormalsBound(std::size_t most);

// The number of the line that holds `at` in the text from `text` on: 1 and
// one more for each newline before it. It counts past 2^32 lines.
unsigned long long glmLineAt(const char* text, const char* at);

}  // namespace glm_internal

// Preconditions stay checked in release builds: a null model is a programming
// error that must stop the program with the expression quoted.
#define GLM_ASSERT(expr)         \
  ((expr) ? static_cast<void>(0) \
          : glm_internal::glmAssertFailed(#expr, __FILE__, __LINE__, __func__))

#endif
