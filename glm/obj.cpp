// OBJ reader: the file is read into memory once; a counting pass sizes every
// array, a filling pass stores the data. Every statement is one line, and
// both passes parse each statement with the same routine (the counting pass
// only leaves out storing), so they cannot disagree on what a line holds.
#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <string_view>
#include <thread>
#include <vector>

#include <sys/mman.h>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "glm_internal.h"
#include "scan.h"

using namespace glm_internal;
using namespace glm_scan;

namespace {

// The large arrays are written from end to end right after they are
// allocated: having the kernel map all their pages in one call (huge ones
// where sizeModel could ask for them) is far cheaper than a page fault on
// each page. A hint only: without it the pages are mapped as they are
// first written.
void prefault(void* block, std::size_t bytes) {
  if (bytes < (std::size_t{1} << 20)) return;
#ifdef MADV_POPULATE_WRITE
  advise(block, bytes, MADV_POPULATE_WRITE, 4096);
#endif
}

struct ModelDeleter {
  void operator()(ObjModel* model) const { glmFreeModel(model); }
};

// Lookup by name in constant time, so files with very many groups or
// materials are not read in quadratic time. A slot's `key` is the name its
// group or material owns; null marks a free slot.
template <typename Slot>
struct NameTable {
  std::unique_ptr<Slot, FreeDeleter> slots;
  std::size_t mask = 0;
  std::size_t used = 0;

  struct Hasher {
    std::size_t hash(std::string_view name) const {
      std::uint64_t h = 1469598103934665603ull;  // FNV-1a
      for (char c : name) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
      return static_cast<std::size_t>(h);
    }
    bool equal(const Slot& slot, std::string_view name) const { return name == slot.key; }
  };

  // The slot holding `name`, or the free slot where it belongs; null while
  // the table is empty.
  Slot* find(std::string_view name) const {
    return slots ? glm_internal::hashLookup(slots.get(), mask + 1, Hasher{}, name, Slot{})
                 : nullptr;
  }

  // As find, making room for one more name first.
  Slot* place(std::string_view name) {
    if ((used + 1) * 2 > mask + 1) {
      std::size_t size = slots ? (mask + 1) * 2 : 16;
      std::unique_ptr<Slot, FreeDeleter> old(std::move(slots));
      std::size_t oldSize = old ? mask + 1 : 0;
      slots.reset(static_cast<Slot*>(glmAlloc(size, sizeof(Slot), "glmReadOBJ")));
      mask = size - 1;
      for (std::size_t i = 0; i < oldSize; i++)
        if (old.get()[i].key) *find(old.get()[i].key) = old.get()[i];
    }
    return find(name);
  }
};

// A group, and how many triangles the counting pass gave it: the capacity
// the filling pass must respect.
struct GroupSlot {
  const char* key;
  ObjGroup* group;
  std::size_t capacity;
  bool operator==(const GroupSlot&) const = default;
};

struct MaterialSlot {
  const char* key;
  unsigned index;
  bool operator==(const MaterialSlot&) const = default;
};

// The corner forms a face can take, decided by its first corner.
enum class Form { vertex, vertexTexture, vertexNormal, vertexTextureNormal };

// The raw numbers of a corner as read, with where each number is written
// (null while it is missing). A read that converts only some of them leaves
// the others as they were, so a short corner repeats the fields of the
// corner before it.
struct Corner {
  long long v = 0, t = 0, n = 0;
  const char *vAt = nullptr, *tAt = nullptr, *nAt = nullptr;
};

// One scanf-like read with the form's format ("%d", "%d/%d", "%d//%d",
// "%d/%d/%d") on the line; returns the number of conversions.
template <Form form>
[[gnu::always_inline]] inline int scanCorner(const char*& p, Corner& c) {
  if (!scanInt(p, c.v, &c.vAt)) return 0;
  if constexpr (form == Form::vertex) {
    return 1;
  } else if constexpr (form == Form::vertexTexture) {
    if (!scanLiteral(p, '/') || !scanInt(p, c.t, &c.tAt)) return 1;
    return 2;
  } else if constexpr (form == Form::vertexNormal) {
    if (!scanLiteral(p, '/') || !scanLiteral(p, '/') || !scanInt(p, c.n, &c.nAt)) return 1;
    return 2;
  } else {
    if (!scanLiteral(p, '/') || !scanInt(p, c.t, &c.tAt)) return 1;
    if (!scanLiteral(p, '/') || !scanInt(p, c.n, &c.nAt)) return 2;
    return 3;
  }
}

// "%d" inside the first corner's word, which ends at `limit`: there is no
// whitespace to skip, and its C string ends at a NUL (never a digit).
[[gnu::always_inline]] inline bool scanIntIn(const char*& p, const char* limit, long long& value,
                                             const char** at) {
  return p != limit && !isSpace(*p) && scanInt(p, value, at);
}

// The first corner of a face, the word [word, limit): its form, tested in
// this order: "//" anywhere in it, three numbers as v/t/n, two as v/t,
// otherwise a plain vertex index; and its numbers, parsed with the form's
// format. Reading "%d/%d/%d" as far as it goes yields the numbers of the
// v/t/n, v/t and plain forms alike.
[[gnu::always_inline]] inline Form firstCorner(const char* word, const char* limit, Corner& c) {
  const char* p = word;
  bool normalForm = false;
#ifdef __SSE2__
  if (limit - word < 32) {
    // The usual word at once: a slash followed by a slash, within the word
    // and before a NUL, where its C string ends.
    auto is = [word](char ch) {
      auto half = [ch](const char* at) {
        __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
        return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(ch))));
      };
      return half(word) | half(word + 16) << 16;
    };
    std::uint32_t slash = is('/'), nul = is('\0');
    std::uint32_t within = (std::uint32_t{1} << (limit - word)) - 1;
    std::uint32_t beforeNul = (nul & within) ? ((nul & within) & -(nul & within)) - 1 : within;
    normalForm = (slash & (slash >> 1) & beforeNul) != 0;
  } else
#endif
  {
    for (const char* q = word; q + 1 < limit && *q && !normalForm; q++)
      normalForm = q[0] == '/' && q[1] == '/';
  }
  if (normalForm) {
    if (scanIntIn(p, limit, c.v, &c.vAt) && scanLiteral(p, '/') && scanLiteral(p, '/'))
      scanIntIn(p, limit, c.n, &c.nAt);
    return Form::vertexNormal;
  }
  if (!scanIntIn(p, limit, c.v, &c.vAt)) return Form::vertex;
  if (!scanLiteral(p, '/') || !scanIntIn(p, limit, c.t, &c.tAt)) return Form::vertex;
  if (!scanLiteral(p, '/') || !scanIntIn(p, limit, c.n, &c.nAt)) return Form::vertexTexture;
  return Form::vertexTextureNormal;
}

struct Chunk;

// Thrown by a chunk's reader where the whole file's reader would report or
// warn: the chunk is given up and the file read again by one thread, which
// then reports it from the calling thread, in file order.
struct ChunkAbandoned {};

struct Reader {
  ObjModel* model;
  const char* path;
  Text text;
  NameTable<GroupSlot> groups;
  NameTable<MaterialSlot> materials;
  GroupSlot* group = nullptr;  // the current group
  // Counts (first pass) or next free entries (second pass).
  std::uint64_t vertices = 0, normals = 0, texcoords = 0, triangles = 0;
  unsigned material = 0;
  // Filling pass: the room of the current group's triangle list, and where
  // the triangle array's part of this reader ends.
  unsigned *next = nullptr, *room = nullptr;
  std::uint64_t triangleEnd = 0;
  // The chunk this reader reads alone, null for the whole file; and its
  // current run of triangles within one group (filling pass).
  Chunk* chunk = nullptr;
  std::size_t run = 0;
  std::size_t usemtl = 0;  // a chunk's filling: its "usemtl" lines read so far

  void enterGroup() {
    ObjGroup* g = group->group;
    next = g->triangles + g->trianglecount;
    room = g->triangles + group->capacity;
  }
  void leaveGroup() const {
    group->group->trianglecount = static_cast<unsigned>(next - group->group->triangles);
  }
  void enterRun();
  void leaveRun();

  // Counted only for a message, so it may be slow; but files of more than
  // 2^32 lines exist.
  unsigned long long lineAt(const char* p) const {
    unsigned long long line = 1;
    for (const char* q = text.begin; q < p && q < text.end; q++) line += *q == '\n';
    return line;
  }

  [[noreturn]] void disagree() const {
    if (chunk) throw ChunkAbandoned{};
    glmFailf(stderr, "glmReadOBJ() failed: \"%s\": the reading passes disagree.\n", path);
  }

  // The group named `name`, created at the head of the model's group list
  // (as glmEnsureGroup does) when there is none.
  GroupSlot* ensureGroup(std::string_view name) {
    GroupSlot* slot = groups.place(name);
    if (slot->group) return slot;
    std::unique_ptr<char, FreeDeleter> copy(copyText(name, "glmReadOBJ"));
    ObjGroup* group = static_cast<ObjGroup*>(glmAlloc(1, sizeof(ObjGroup), "glmReadOBJ"));
    group->name = copy.release();
    group->next = model->groups;
    model->groups = group;
    model->groupcount++;
    *slot = {group->name, group, 0};
    groups.used++;
    return slot;
  }
};

// A line of a chunk whose meaning depends on what came before it, kept in
// file order while the chunk is counted and applied by the calling thread
// afterwards.
struct ChunkEvent {
  enum Kind { group, library, usemtl } kind;
  std::string_view name;
  GroupSlot count{};           // group: its triangles until the chunk's next group line
  ObjGroup* target = nullptr;  // group: the model's group of that name
};

// A run of a chunk's triangles that all go to one group: to `count` entries
// of its list from `start` on.
struct Run {
  ObjGroup* group;
  unsigned start, count;
  unsigned filled = 0;  // how many the filling pass stored
};

// A part of the file, from a line start to a line start.
struct Chunk {
  const char *begin, *end;
  std::uint64_t vertices = 0, normals = 0, texcoords = 0, triangles = 0;  // counts
  std::uint64_t firstVertex = 0, firstNormal = 0, firstTexcoord = 0, firstTriangle = 0;
  GroupSlot head{};                 // the triangles before its first group line
  std::deque<ChunkEvent> events{};  // stays in place: the counting pass counts into the last
  std::vector<Run> runs{};          // the head's, then one per group line
  unsigned firstMaterial = 0;       // the material in force where the chunk starts
  std::vector<unsigned> usemtls{};  // the material each of its "usemtl" lines selects
  std::uint64_t filled = 0;         // its triangles, as the filling pass found them
  bool abandoned = false;
};

void Reader::enterRun() {
  if (run >= chunk->runs.size()) disagree();
  const Run& at = chunk->runs[run];
  next = at.group->triangles + at.start;
  room = next + at.count;
}

void Reader::leaveRun() {
  Run& at = chunk->runs[run];
  at.filled = static_cast<unsigned>(next - (at.group->triangles + at.start));
}

// Turns a raw index into a 1-based one: negative indices count back from the
// latest entry read so far; a missing index, 0 and anything outside
// 1..total are fatal. The index is quoted as written, long ones cut.
unsigned resolveOtherIndex(const Reader& r, long long raw, const char* written,
                           std::uint64_t readSoFar, std::uint64_t total, const char* kind,
                           const char* at) {
  long long index = raw < 0 ? static_cast<long long>(readSoFar) + 1 + raw : raw;
  bool outside = raw == 0 || index < 1 || static_cast<std::uint64_t>(index) > total;
  if (r.chunk && (!written || outside)) throw ChunkAbandoned{};
  if (!written)
    glmFailf(stderr, "glmReadOBJ() failed: \"%s\" line %llu: %s index is missing.\n", r.path,
             r.lineAt(at), kind);
  if (outside) {
    constexpr int kShown = 20;
    const char* end = written + (*written == '-' || *written == '+');
    while (isDigit(*end)) ++end;
    int length = static_cast<int>(end - written);
    glmFailf(stderr, "glmReadOBJ() failed: \"%s\" line %llu: %s index %.*s%s is out of range.\n",
             r.path, r.lineAt(at), kind, length > kShown ? kShown : length, written,
             length > kShown ? "..." : "");
  }
  return static_cast<unsigned>(index);
}

// The usual index, positive and in range, is taken as it is.
[[gnu::always_inline]] inline unsigned resolveIndex(const Reader& r, long long raw,
                                                    const char* written, std::uint64_t readSoFar,
                                                    std::uint64_t total, const char* kind,
                                                    const char* at) {
  if (raw > 0 && static_cast<std::uint64_t>(raw) <= total && written)
    return static_cast<unsigned>(raw);
  return resolveOtherIndex(r, raw, written, readSoFar, total, kind, at);
}

// Stores the resolved corner into corner k of triangle t, for the fields
// the form carries.
template <Form form>
[[gnu::always_inline]] inline void storeCorner(const Reader& r, const Corner& c, const char* at,
                                               ObjTriangle& t, int k) {
  const ObjModel* m = r.model;
  t.vertexidx[k] = resolveIndex(r, c.v, c.vAt, r.vertices - 1, m->vertexcount, "vertex", at);
  if constexpr (form == Form::vertexTexture || form == Form::vertexTextureNormal)
    t.texcoordidx[k] =
        resolveIndex(r, c.t, c.tAt, r.texcoords - 1, m->texcoordcount, "texture coordinate", at);
  if constexpr (form == Form::vertexNormal || form == Form::vertexTextureNormal)
    t.normalidx[k] = resolveIndex(r, c.n, c.nAt, r.normals - 1, m->normalcount, "normal", at);
}

// Appends a new triangle to the model and the current group, within the
// room the counting pass gave them.
[[gnu::always_inline]] inline ObjTriangle* addTriangle(Reader& r) {
  if (r.triangles >= r.triangleEnd || r.next >= r.room) r.disagree();
  *r.next++ = static_cast<unsigned>(r.triangles);
  ObjTriangle* t = &r.model->triangles[r.triangles++];
  t->material = r.material;
  return t;
}

// The set bits of x; the build cannot count on a popcount instruction.
inline unsigned bitCount(std::uint64_t x) {
  x -= (x >> 1) & 0x5555555555555555ull;
  x = (x & 0x3333333333333333ull) + ((x >> 2) & 0x3333333333333333ull);
  x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0Full;
  return static_cast<unsigned>((x * 0x0101010101010101ull) >> 56);
}

// The bytes at p as masks, bit i for p[i], 16 at a time up to the first
// newline or 64: newlines, blanks (or any other byte up to ' ', which only
// ever splits a word in two), signs and slashes. Bits past what was looked
// at are 0: the caller looks no further than a newline.
struct ByteMasks {
  std::uint64_t newline = 0, blank = 0, sign = 0, slash = 0;
  explicit ByteMasks(const char* p) {
    for (int i = 0; i < 64; i += 16) {
#ifdef __SSE2__
      __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
      auto mask = [i](__m128i set) {
        return std::uint64_t{static_cast<unsigned>(_mm_movemask_epi8(set))} << i;
      };
      auto is = [bytes](char ch) { return _mm_cmpeq_epi8(bytes, _mm_set1_epi8(ch)); };
      newline |= mask(is('\n'));
      blank |= mask(_mm_cmpeq_epi8(_mm_min_epu8(bytes, _mm_set1_epi8(' ')), bytes));
      sign |= mask(_mm_or_si128(is('+'), is('-')));
      slash |= mask(is('/'));
      if (newline) break;
#else
      for (int k = i; k < i + 16; k++) {
        auto bit = [k](bool set) { return std::uint64_t{set} << k; };
        newline |= bit(p[k] == '\n');
        blank |= bit(static_cast<unsigned char>(p[k]) <= ' ');
        sign |= bit(p[k] == '+' || p[k] == '-');
        slash |= bit(p[k] == '/');
      }
#endif
    }
  }
};

// At most the triangles the face line at p (at its keyword) gives, without
// reading its numbers: one, and one more for each corner read after the
// third. A corner read starts at a word; within one only at a sign ("1-2"),
// or, in a face of the "v//n" form, at a digit after a lone slash (a read of
// "1/2" stops at the 2). Counting those (the keyword and the first corner
// among them) bounds it; for the usual face the bound is exact. Returns the
// next line.
[[gnu::always_inline]] inline const char* countFace(const char* p, std::uint64_t& triangles) {
  const char* line = p;
  std::uint64_t starts = 0;
  bool slashPair = false;
  std::uint64_t before = 0;  // the last byte before: bit 0 no blank, bit 1 a slash
  for (;; p += 64) {
    ByteMasks m(p);
    std::uint64_t within = m.newline ? (m.newline & -m.newline) - 1 : ~std::uint64_t{0};
    std::uint64_t solid = ~m.blank & within;
    starts += bitCount(solid & (~(solid << 1 | (before & 1)) | m.sign));
    slashPair |= (m.slash & (m.slash << 1 | before >> 1) & within) != 0;
    if (m.newline) {
      const char* end = p + __builtin_ctzll(m.newline);
      if (slashPair)  // the v//n form, where "1/2" holds two corner starts
        for (const char* q = line + 2; q < end; q++)
          starts += isDigit(*q) && q[-1] == '/' && q[-2] != '/';
      triangles = starts > 4 ? starts - 3 : 1;
      return end + 1;
    }
    before = (solid >> 63) | (m.slash >> 63) << 1;
  }
}

// A face after its first corner: the second and third corners are read
// whatever they hold (keeping the numbers of the corner before when a read
// falls short), then every further corner read that converts at least one
// number adds a triangle to the fan around the first corner.
template <Form form>
const char* readFaceOfForm(Reader& r, const char* p, Corner corner, const char* firstAt) {
  ObjTriangle* t = addTriangle(r);
  storeCorner<form>(r, corner, firstAt, *t, 0);
  for (int k = 1; k < 3; k++) {
    const char* at = p;  // only its line is ever told
    scanCorner<form>(p, corner);
    storeCorner<form>(r, corner, at, *t, k);
  }
  for (;;) {
    const char* at = p;
    if (scanCorner<form>(p, corner) <= 0) break;
    ObjTriangle* next = addTriangle(r);
    // The fan: corner 1 stays, the previous last corner becomes corner 2.
    // Triangles are stored in order, so the previous one is just before.
    const ObjTriangle& previous = *(next - 1);
    next->vertexidx[0] = previous.vertexidx[0];
    next->texcoordidx[0] = previous.texcoordidx[0];
    next->normalidx[0] = previous.normalidx[0];
    next->vertexidx[1] = previous.vertexidx[2];
    next->texcoordidx[1] = previous.texcoordidx[2];
    next->normalidx[1] = previous.normalidx[2];
    storeCorner<form>(r, corner, at, *next, 2);
  }
  return p;
}

// A face: its first corner, read as a word, decides the form of the whole
// face.
const char* readFace(Reader& r, const char* p) {
  p = skipBlanks(p);
  const char* firstAt = p;
  const char* end = wordEnd(p);
  Corner corner;
  Form form = firstCorner(p, end, corner);
  switch (form) {
    case Form::vertex:
      return readFaceOfForm<Form::vertex>(r, end, corner, firstAt);
    case Form::vertexTexture:
      return readFaceOfForm<Form::vertexTexture>(r, end, corner, firstAt);
    case Form::vertexNormal:
      return readFaceOfForm<Form::vertexNormal>(r, end, corner, firstAt);
    case Form::vertexTextureNormal:
      break;
  }
  return readFaceOfForm<Form::vertexTextureNormal>(r, end, corner, firstAt);
}

// Numeric lines: each adds one entry whatever it holds; the filling pass
// reads the numbers, and a number missing from the line stays 0.
template <bool Fill>
const char* readNumbers(Reader& r, const char* p, float* array, std::uint64_t& counter,
                        unsigned last, int count) {
  if constexpr (Fill) {
    if (counter > last || !array) r.disagree();
    scanFloats(p, array + count * counter, count);
  }
  counter++;
  return p;
}

// Every library's materials are kept; the model names the first. A line
// that names no file has nothing to read.
void readLibrary(ObjModel* model, std::string_view library) {
  if (library.empty()) return;
  std::unique_ptr<char, FreeDeleter> name(copyText(library, "glmReadOBJ"));
  if (!model->mtllib) model->mtllib = glmStrdup(name.get(), "glmReadOBJ");
  glmReadMTL(model, name.get());
}

// "g": the name is the rest of the line, the separating blank included. A
// chunk's counting only records it, for the calling thread to settle in file
// order.
template <bool Fill>
void readGroup(Reader& r, const char* p) {
  const char *begin, *end;
  restOfLine(p, &begin, &end);
  std::string_view name = cString(begin, end);
  if (r.chunk) {
    if constexpr (Fill) {
      r.leaveRun();
      r.run++;
      r.enterRun();
    } else {
      r.chunk->events.push_back({ChunkEvent::group, name});
      r.group = &r.chunk->events.back().count;
    }
  } else if constexpr (Fill) {
    r.leaveGroup();
    r.group = r.groups.find(name);
    if (!r.group || !r.group->group) r.disagree();
    r.enterGroup();
    r.group->group->material = r.material;
  } else {
    r.group = r.ensureGroup(name);
  }
}

// "usemtl": a chunk's counting records it and its filling takes the material
// the calling thread found for it (a miss prints a warning, which must come
// out in file order, so only the whole file's filling pass looks names up).
template <bool Fill>
void readUsemtl(Reader& r, const char* p) {
  if (!Fill && r.chunk) {
    r.chunk->events.push_back({ChunkEvent::usemtl, firstWord(p, nextLine(p))});
  } else if (Fill && r.chunk) {
    if (r.usemtl >= r.chunk->usemtls.size()) r.disagree();
    r.material = r.chunk->usemtls[r.usemtl++];
  } else if (Fill) {
    std::string_view name = firstWord(p, nextLine(p));
    const MaterialSlot* slot = r.materials.find(name);
    if (slot && slot->key) {
      r.material = slot->index;
    } else {
      std::printf("glmFindMaterial():  can't find material \"%.*s\".\n",
                  static_cast<int>(name.size()), name.data());
      r.material = 0;
    }
    r.group->group->material = r.material;
  }
}

// The statement at p (at its keyword); returns where its reading stopped,
// on its line.
template <bool Fill>
const char* readStatement(Reader& r, const char* p) {
  ObjModel* model = r.model;
  const char* keyword = p;
  p = isSpace(p[1]) ? p + 1 : wordEnd(p + 1);  // most keywords are one letter
  // Keywords are whole words, read as C strings.
  std::string_view word(keyword, static_cast<std::size_t>(p - keyword));
  if (word.size() == 2) {  // vn, vt: no library call for two bytes
    if (!word[1]) word = word.substr(0, 1);
  } else if (word.size() > 2) {
    word = cString(keyword, p);
  }
  switch (word.empty() ? '\0' : word[0]) {
    case 'v':
      if (word.size() == 1) {
        p = readNumbers<Fill>(r, p, model->vertices, r.vertices, model->vertexcount, 3);
      } else if (word == "vn") {
        p = readNumbers<Fill>(r, p, model->normals, r.normals, model->normalcount, 3);
      } else if (word == "vt") {
        p = readNumbers<Fill>(r, p, model->texcoords, r.texcoords, model->texcoordcount, 2);
      } else {
        if (r.chunk) throw ChunkAbandoned{};
        char name[kNameMax + 1];
        copyName(word.data(), word.data() + word.size(), name);
        glmFailf(stdout, "glmFirstPass(): Unknown token \"%s\".\n", name);
      }
      break;
    case 'f':
      if (word.size() != 1) break;
      if constexpr (Fill) {
        p = readFace(r, p);
      } else {
        std::uint64_t triangles;
        p = countFace(keyword, triangles) - 1;
        r.triangles += triangles;
        r.group->capacity += triangles;
      }
      break;
    case 'g':
      if (word.size() == 1) readGroup<Fill>(r, p);
      break;
    case 'm':
      if (!Fill && word == "mtllib") {
        std::string_view name = firstWord(p, nextLine(p));
        if (r.chunk)
          r.chunk->events.push_back({ChunkEvent::library, name});
        else
          readLibrary(model, name);
      }
      break;
    case 'u':
      if (word == "usemtl") readUsemtl<Fill>(r, p);
      break;
    default:  // comments and every keyword without meaning here
      break;
  }
  return p;
}

// The text is read once, from start to end, faster than the hardware
// fetches it unasked.
inline void prefetchAhead(const char* p) { __builtin_prefetch(p + 1024); }

// The usual lines, "v" and "f", go to their readers directly.
void fillPass(Reader& r) {
  ObjModel* m = r.model;
  for (const char* p = r.text.begin; (p = skipSpace(p)) < r.text.end;) {
    prefetchAhead(p);
    if (isBlank(p[1]) && p[0] == 'v')
      p = readNumbers<true>(r, p + 1, m->vertices, r.vertices, m->vertexcount, 3);
    else if (isBlank(p[1]) && p[0] == 'f')
      p = readFace(r, p + 1);
    else
      p = readStatement<true>(r, p);
    p = nextLine(p);
  }
}

// The usual lines are only told apart, never read: every "v", "vn" and "vt"
// line is an entry, and a face's triangles are bounded by its words.
void countPass(Reader& r) {
  for (const char* p = r.text.begin; (p = skipSpace(p)) < r.text.end;) {
    prefetchAhead(p);
    if (isBlank(p[1]) && (p[0] == 'v' || p[0] == 'f')) {
      if (p[0] == 'v') {
        r.vertices++;
      } else {
        std::uint64_t triangles;
        p = countFace(p, triangles);
        r.triangles += triangles;
        r.group->capacity += triangles;
        continue;
      }
    } else if (p[0] == 'v' && (p[1] == 'n' || p[1] == 't') && isBlank(p[2])) {
      (p[1] == 'n' ? r.normals : r.texcoords)++;
    } else {
      p = readStatement<false>(r, p);
    }
    p = nextLine(p);
  }
}

// Counts entries and triangles, creates the groups, reads the material
// library; then allocates every array at its final size.
void sizeModel(Reader& r);

// Prefaults the entries [first, first + count) of each large array, first
// and count in the order vertices, normals, texture coordinates, triangles.
void prefaultEntries(const ObjModel* m, const std::uint64_t (&first)[4],
                     const std::uint64_t (&count)[4]) {
  if (m->vertices) prefault(m->vertices + 3 * first[0], count[0] * 3 * sizeof(float));
  if (m->normals) prefault(m->normals + 3 * first[1], count[1] * 3 * sizeof(float));
  if (m->texcoords) prefault(m->texcoords + 2 * first[2], count[2] * 2 * sizeof(float));
  if (m->triangles) prefault(m->triangles + first[3], count[3] * sizeof(ObjTriangle));
}

void glmFirstPass(Reader& r) {
  r.group = r.ensureGroup("default");
  countPass(r);
  sizeModel(r);
  const ObjModel* m = r.model;
  prefaultEntries(
      m, {0, 0, 0, 0},
      {m->vertexcount + 1ull, m->normalcount + 1ull, m->texcoordcount + 1ull, m->trianglecount});
}

// Checks the counts and allocates every array at its final size.
void sizeModel(Reader& r) {
  ObjModel* model = r.model;
  if (r.vertices >= UINT32_MAX || r.normals >= UINT32_MAX || r.texcoords >= UINT32_MAX ||
      r.triangles > UINT32_MAX)
    glmFailf(stderr, "glmReadOBJ() failed: \"%s\" is too large.\n", r.path);
  model->vertexcount = static_cast<unsigned>(r.vertices);
  model->normalcount = static_cast<unsigned>(r.normals);
  model->texcoordcount = static_cast<unsigned>(r.texcoords);
  model->trianglecount = static_cast<unsigned>(r.triangles);
  for (ObjGroup* group = model->groups; group; group = group->next) {
    GroupSlot* slot = r.groups.find(group->name);
    group->triangles =
        static_cast<unsigned*>(glmAlloc(slot->capacity, sizeof(unsigned), "glmReadOBJ"));
  }
  // "usemtl" finds the first material of its name.
  for (unsigned i = 0; i < model->materialcount; i++) {
    const char* name = model->materials[i].name;
    if (!name) continue;
    MaterialSlot* slot = r.materials.place(name);
    if (!slot->key) {
      *slot = {name, i};
      r.materials.used++;
    }
  }
  model->vertices =
      static_cast<float*>(glmAlloc(model->vertexcount + 1ull, 3 * sizeof(float), "glmReadOBJ"));
  model->triangles =
      static_cast<ObjTriangle*>(glmAlloc(model->trianglecount, sizeof(ObjTriangle), "glmReadOBJ"));
  if (model->normalcount)
    model->normals =
        static_cast<float*>(glmAlloc(model->normalcount + 1ull, 3 * sizeof(float), "glmReadOBJ"));
  if (model->texcoordcount)
    model->texcoords =
        static_cast<float*>(glmAlloc(model->texcoordcount + 1ull, 2 * sizeof(float), "glmReadOBJ"));
  // Asked once for each whole array: asking for a chunk's part splits the
  // array's mapping, and the threads then wait on each other.
  preferHugePages(model->vertices, (model->vertexcount + 1ull) * 3 * sizeof(float));
  preferHugePages(model->normals, (model->normalcount + 1ull) * 3 * sizeof(float));
  preferHugePages(model->texcoords, (model->texcoordcount + 1ull) * 2 * sizeof(float));
  preferHugePages(model->triangles, model->trianglecount * sizeof(ObjTriangle));
}

// Gives back the room of a bounded array past its first `count` entries
// (none when it holds none: its block stays as allocated).
template <typename T>
void shrinkTo(T*& array, std::uint64_t count) {
  if (count)
    if (void* shrunk = std::realloc(array, count * sizeof(T))) array = static_cast<T*>(shrunk);
}

// The counting pass bounds the triangles; once the filling pass has stored
// the `triangles` the model holds, every triangle list ends at its size.
void fitTriangles(ObjModel* model, std::uint64_t triangles) {
  if (triangles < model->trianglecount) shrinkTo(model->triangles, triangles);
  model->trianglecount = static_cast<unsigned>(triangles);
  for (ObjGroup* group = model->groups; group; group = group->next)
    shrinkTo(group->triangles, group->trianglecount);
}

// Stores vertices, normals, texture coordinates and triangles; entry 0 of
// each data array stays zero.
void glmFillPass(Reader& r) {
  r.vertices = r.normals = r.texcoords = 1;
  r.triangles = 0;
  r.triangleEnd = r.model->trianglecount;
  r.material = 0;
  r.group = r.groups.find("default");
  r.enterGroup();
  fillPass(r);
  r.leaveGroup();
  fitTriangles(r.model, r.triangles);
}

// Reading on two threads. Every statement is one line, so the file splits at
// line starts into chunks that read alike wherever they start. Both passes
// read their chunks in parallel; what depends on earlier lines (groups,
// libraries, materials, where each count starts) is settled by the calling
// thread in file order between them. A chunk that meets a failure or a
// warning is given up and the file is read again by one thread, which
// reports it exactly as it always does.

std::atomic<std::size_t> chunkingFrom{std::size_t{1} << 20};
std::atomic<std::size_t> chunkBytes{0};

// Splits [begin, end) after the line that holds each `size`th byte; by
// default in 32 parts, so that the two threads share the work evenly even
// where one part of the file costs more than another (a file's faces
// often all follow its vertices).
std::vector<Chunk> splitText(const char* begin, const char* end, std::size_t size) {
  if (!size) size = static_cast<std::size_t>(end - begin) / 32 + 1;
  std::vector<Chunk> chunks;
  for (const char* p = begin; p < end;) {
    const char* stop =
        static_cast<std::size_t>(end - p) <= size ? end : std::min(nextLine(p + size - 1), end);
    chunks.push_back({p, stop});
    p = stop;
  }
  return chunks;
}

// Runs `work` on every chunk, on the calling thread and, when there are two
// cores, on another: each takes the next chunk nobody has taken. A chunk
// whose work throws is marked abandoned; returns whether none was.
template <typename Work>
bool onChunks(std::vector<Chunk>& chunks, Work work) {
  std::atomic<std::size_t> taken{0};
  auto take = [&chunks, &work, &taken] {
    for (std::size_t i; (i = taken.fetch_add(1, std::memory_order_relaxed)) < chunks.size();) {
      try {
        work(chunks[i]);
      } catch (...) {
        chunks[i].abandoned = true;
      }
    }
  };
  std::thread other;
  try {
    if (cores() >= 2 && chunks.size() > 1) other = std::thread(take);
  } catch (...) {
    // No thread to be had: this one does it all.
  }
  take();
  if (other.joinable()) other.join();
  return std::none_of(chunks.begin(), chunks.end(), [](const Chunk& c) { return c.abandoned; });
}

// A reader of one chunk, with the model's arrays but none of its names.
Reader chunkReader(const Reader& whole, Chunk& chunk) {
  Reader r{};
  r.model = whole.model;
  r.path = whole.path;
  r.text.begin = chunk.begin;
  r.text.end = chunk.end;
  r.chunk = &chunk;
  return r;
}

// Applies the chunks' group and library lines in file order, as the
// counting pass does, and sums their counts. (A new group may move the
// table's slots, so only the groups themselves are kept.)
void settleCounts(Reader& r, std::vector<Chunk>& chunks) {
  ObjGroup* current = r.ensureGroup("default")->group;
  for (Chunk& c : chunks) {
    c.firstVertex = r.vertices;
    c.firstNormal = r.normals;
    c.firstTexcoord = r.texcoords;
    c.firstTriangle = r.triangles;
    r.vertices += c.vertices;
    r.normals += c.normals;
    r.texcoords += c.texcoords;
    r.triangles += c.triangles;
    r.groups.find(current->name)->capacity += c.head.capacity;
    for (ChunkEvent& e : c.events) {
      if (e.kind == ChunkEvent::group) {
        GroupSlot* slot = r.ensureGroup(e.name);
        slot->capacity += e.count.capacity;
        current = e.target = slot->group;
      } else if (e.kind == ChunkEvent::library) {
        readLibrary(r.model, e.name);
      }
    }
  }
}

// Gives every chunk its runs within the groups' lists and sets the groups'
// materials and triangle counts, as the filling pass does. False when a
// material is not found: its warning must come out in turn with the
// filling pass's failures, so one thread reads that file.
bool planRuns(Reader& r, std::vector<Chunk>& chunks) {
  ObjGroup* current = r.groups.find("default")->group;
  unsigned material = 0;
  auto run = [](Chunk& c, ObjGroup* group, std::size_t count) {
    c.runs.push_back({group, group->trianglecount, static_cast<unsigned>(count)});
    group->trianglecount += static_cast<unsigned>(count);
  };
  for (Chunk& c : chunks) {
    c.firstMaterial = material;
    run(c, current, c.head.capacity);
    for (ChunkEvent& e : c.events) {
      if (e.kind == ChunkEvent::group) {
        current = e.target;
        run(c, current, e.count.capacity);
      } else if (e.kind == ChunkEvent::usemtl) {
        const MaterialSlot* slot = r.materials.find(e.name);
        if (!slot || !slot->key) return false;
        material = slot->index;
        c.usemtls.push_back(material);
      } else {
        continue;
      }
      current->material = material;
    }
  }
  return true;
}

void forgetFilling(ObjModel* model) {
  for (ObjGroup* group = model->groups; group; group = group->next)
    group->trianglecount = group->material = 0;
}

// Where the counting pass's bounds were above the triangles a chunk holds,
// its part of the triangle array and of its groups' lists ends in a gap:
// every chunk's triangles move down to follow the previous chunk's (their
// numbers in the lists with them), and each group's runs close up. Returns
// the number of triangles.
std::uint64_t closeGaps(ObjModel* model, std::vector<Chunk>& chunks) {
  std::uint64_t at = 0;
  for (const Chunk& c : chunks) {
    if (unsigned shift = static_cast<unsigned>(c.firstTriangle - at)) {
      std::memmove(model->triangles + at, model->triangles + c.firstTriangle,
                   c.filled * sizeof(ObjTriangle));
      for (const Run& run : c.runs)
        for (unsigned i = 0; i < run.filled; i++) run.group->triangles[run.start + i] -= shift;
    }
    at += c.filled;
  }
  for (ObjGroup* group = model->groups; group; group = group->next) group->trianglecount = 0;
  for (const Chunk& c : chunks)  // a group's runs lie in file order
    for (const Run& run : c.runs) {
      unsigned* list = run.group->triangles;
      if (run.start != run.group->trianglecount)
        std::memmove(list + run.group->trianglecount, list + run.start, run.filled * sizeof *list);
      run.group->trianglecount += run.filled;
    }
  return at;
}

// Both passes in chunks; false when the file must be read by one thread
// from the start (nothing has been done to the model then).
bool readInChunks(Reader& r) {
  std::vector<Chunk> chunks = splitText(r.text.begin, r.text.end, chunkBytes.load());
  bool counted = onChunks(chunks, [&r](Chunk& c) {
    Reader w = chunkReader(r, c);
    w.group = &c.head;
    countPass(w);
    c.vertices = w.vertices;
    c.normals = w.normals;
    c.texcoords = w.texcoords;
    c.triangles = w.triangles;
  });
  if (!counted) return false;
  settleCounts(r, chunks);
  sizeModel(r);
  bool filled = planRuns(r, chunks) && onChunks(chunks, [&r](Chunk& c) {
                  Reader w = chunkReader(r, c);
                  w.vertices = c.firstVertex + 1;
                  w.normals = c.firstNormal + 1;
                  w.texcoords = c.firstTexcoord + 1;
                  w.triangles = c.firstTriangle;
                  w.triangleEnd = c.firstTriangle + c.triangles;
                  w.material = c.firstMaterial;
                  w.enterRun();
                  // Each thread maps the pages it is going to write.
                  prefaultEntries(w.model, {w.vertices, w.normals, w.texcoords, w.triangles},
                                  {c.vertices, c.normals, c.texcoords, c.triangles});
                  fillPass(w);
                  w.leaveRun();
                  c.filled = w.triangles - c.firstTriangle;
                });
  if (filled) {
    fitTriangles(r.model, closeGaps(r.model, chunks));
  } else {
    forgetFilling(r.model);
    glmFillPass(r);
  }
  return true;
}

// The other thread's part of readHalves. A type of this file's own, so the
// thread made from it is no symbol of the shared library.
struct ReadPart {
  int fd;
  char* into;
  std::size_t at, bytes;
  bool* done;
  void operator()() const { *done = readAt(fd, into, at, bytes); }
};

}  // namespace

bool glm_scan::readHalves(int fd, char* into, std::size_t size) {
  constexpr std::size_t kWorthIt = std::size_t{4} << 20;
  if (size < kWorthIt || cores() < 2) return false;
  std::size_t half = size / 2;
  bool second = false;
  ReadPart part{fd, into, half, size - half, &second};
  std::thread other;
  try {
    other = std::thread(part);
  } catch (...) {
    part();  // no thread to be had
  }
  bool first = readAt(fd, into, 0, half);
  if (other.joinable()) other.join();
  char probe;
  return first && second && ::pread(fd, &probe, 1, static_cast<off_t>(size)) == 0;
}

void glm_internal::glmSetReadChunking(std::size_t fromBytes, std::size_t bytes) {
  chunkingFrom = fromBytes;
  chunkBytes = bytes;
}

ObjModel* glmReadOBJ(const char* path) {
  GLM_ASSERT(path);
  Reader r{};
  r.path = path;
  switch (loadText(path, r.text, "glmReadOBJ")) {
    case Load::done:
      break;
    case Load::unreadable:
      glmFailf(stderr, "glmReadOBJ() failed: can't open data file \"%s\".\n", path);
    case Load::device:
      glmFailf(stderr, "glmReadOBJ() failed: \"%s\" is a device, not a file.\n", path);
  }

  std::unique_ptr<ObjModel, ModelDeleter> model(
      static_cast<ObjModel*>(glmAlloc(1, sizeof(ObjModel), "glmReadOBJ")));
  model->path = glmStrdup(path, "glmReadOBJ");
  r.model = model.get();

  std::size_t size = static_cast<std::size_t>(r.text.end - r.text.begin);
  bool chunked = size >= chunkingFrom && (cores() >= 2 || chunkBytes) && readInChunks(r);
  if (!chunked) {
    glmFirstPass(r);
    glmFillPass(r);
  }
  return model.release();
}
