// OBJ reader. Every statement is one line, and every reader parses each
// statement with the same routines, so readers cannot disagree on what a
// line holds. The one pass reads a regular file as it goes, into arrays that
// grow, on one thread or two; anything it would have to report, it leaves
// to the two passes, which read the file whole: a count that sizes every
// array, then the filling. They report failures and warnings in file order.
#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>


#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "glm_internal.h"
#include "scan.h"

using namespace glm_internal;
using namespace glm_scan;

namespace {

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

// A group, and the room of its list of triangles: what the count gave it,
// which the filling must respect, or what has been allocated.
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

// Thrown where a reader that must not report (the one pass, or a part of it
// on another thread) meets what the two passes report or warn about: the
// work is given up and the two passes read the file, reporting in file order.
struct GiveUp {};

// The whole file's reading: the model, and the names only the whole file
// settles.
struct Reader {
  ObjModel* model;
  const char* path;
  Text text;
  NameTable<GroupSlot> groups;
  NameTable<MaterialSlot> materials;

  // Counted only for a message, so it may be slow; but files of more than
  // 2^32 lines exist.
  unsigned long long lineAt(const char* p) const {
    return glm_internal::glmLineAt(text.begin, std::min(p, text.end));
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

  // Makes the model's materials known to "usemtl", which takes the first
  // material of a name.
  void indexMaterials() {
    for (unsigned i = 0; i < model->materialcount; i++) {
      const char* name = model->materials[i].name;
      if (!name) continue;
      MaterialSlot* slot = materials.place(name);
      if (!slot->key) {
        *slot = {name, i};
        materials.used++;
      }
    }
  }

  // The material a "usemtl" name selects; 0, told, for an unknown name.
  unsigned findMaterial(std::string_view name) const {
    const MaterialSlot* slot = materials.find(name);
    if (slot && slot->key) return slot->index;
    glmSay(stdout, "glmFindMaterial():  can't find material \"%.*s\".\n",
                static_cast<int>(name.size()), name.data());
    return 0;
  }
};

// Every library's materials are kept; the model names the first. A line
// that names no file has nothing to read.
void readLibrary(ObjModel* model, std::string_view library) {
  if (library.empty()) return;
  std::unique_ptr<char, FreeDeleter> name(copyText(library, "glmReadOBJ"));
  if (!model->mtllib) model->mtllib = glmStrdup(name.get(), "glmReadOBJ");
  glmReadMTL(model, name.get());
}

// The readers. Each walks lines with readLines, which hands every statement
// to the reader's role: the one pass, or the count and the filling of the two
// passes. The roles differ only where a line's meaning depends on other
// lines.

// The text is read once, from start to end, faster than the hardware
// fetches it unasked.
inline void prefetchAhead(const char* p) { __builtin_prefetch(p + 1024); }

// The statement at p (at its keyword), which is not one of the usual
// lines; returns where its reading stopped, on its line. Keywords are whole
// words, read as C strings.
template <typename Role>
const char* readStatement(Role& role, const char* p) {
  const char* keyword = p;
  p = isSpace(p[1]) ? p + 1 : wordEnd(p + 1);
  std::string_view word = cString(keyword, p);
  if (word == "v") return role.vertex(p);
  if (word == "vn") return role.normal(p);
  if (word == "vt") return role.texcoord(p);
  if (word == "f") return role.face(keyword, p);
  if (word == "g") {
    const char *begin, *end;  // the name is the rest of the line, blanks included
    restOfLine(p, &begin, &end);
    role.group(cString(begin, end));
  } else if (word == "mtllib") {
    role.library(firstWord(p, nextLine(p)));
  } else if (word == "usemtl") {
    role.usemtl(firstWord(p, nextLine(p)));
  } else if (!word.empty() && word[0] == 'v') {
    role.unknown(word);
  }
  return p;  // comments and every keyword without meaning here
}

// Every line of [p, end), the usual ones straight to the role.
template <typename Role>
void readLines(Role& role, const char* p, const char* end) {
  for (; (p = skipSpace(p)) < end; p = nextLine(p)) {
    prefetchAhead(p);
    if (isBlank(p[1]) && p[0] == 'v')
      p = role.vertex(p + 1);
    else if (isBlank(p[1]) && p[0] == 'f')
      p = role.face(p, p + 1);
    else if (p[0] == 'v' && (p[1] == 'n' || p[1] == 't') && isBlank(p[2]))
      p = p[1] == 'n' ? role.normal(p + 2) : role.texcoord(p + 2);
    else
      p = readStatement(role, p);
  }
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
// newline that ends the line.
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
      return end;
    }
    before = (solid >> 63) | (m.slash >> 63) << 1;
  }
}

// Counting: the entries, and a bound of each group's triangles; it makes
// the groups and reads the libraries as it meets them. The usual lines are
// only told apart, never read.
struct Count {
  Reader& r;
  std::uint64_t vertices = 0, normals = 0, texcoords = 0, triangles = 0;
  std::size_t* room = nullptr;  // the current group's bound

  const char* vertex(const char* p) { return vertices++, p; }
  const char* normal(const char* p) { return normals++, p; }
  const char* texcoord(const char* p) { return texcoords++, p; }
  const char* face(const char* keyword, const char*) {
    std::uint64_t bound;
    const char* end = countFace(keyword, bound);
    triangles += bound;
    *room += bound;
    return end;
  }
  void group(std::string_view name) { room = &r.ensureGroup(name)->capacity; }
  void library(std::string_view name) { readLibrary(r.model, name); }
  void usemtl(std::string_view) {}
  [[noreturn]] void unknown(std::string_view word) {
    char name[kNameMax + 1];
    copyName(word.data(), word.data() + word.size(), name);
    glmFailf(stdout, "glmFirstPass(): Unknown token \"%s\".\n", name);
  }
};

// Storing: what the one pass and the filling pass share. It writes the
// model's arrays from their next free entries on, within the room they
// have; only the one pass makes more room.
struct Store {
  const Reader& file;
  ObjModel* model;
  std::uint64_t vertices = 1, normals = 1, texcoords = 1;  // the next free entries
  std::uint64_t triangles = 0, triangleEnd = 0;  // and where the room for triangles ends
  unsigned material = 0;
  unsigned *next = nullptr, *room = nullptr;  // the free part of the current list
  GroupSlot* current = nullptr;               // the current group
  // The one pass: the arrays grow, sized from the text's `bytes` at first;
  // a positive index is checked against the counts at the end, against the
  // largest stored; and a negative one counts back from what it has read
  // only where it `knowsEarlier` entries, from the file's start.
  bool grows = false, knowsEarlier = true;
  std::uint64_t bytes = 0;
  std::uint64_t highest[3] = {};  // vertex, texture coordinate, normal

  explicit Store(const Reader& whole) : file(whole), model(whole.model) {}

  [[noreturn]] void disagree() const {
    if (grows) throw GiveUp{};
    glmFailf(stderr, "glmReadOBJ() failed: \"%s\": the reading passes disagree.\n", file.path);
  }
  void makeRoom();
  void growNumbers(float*& array, unsigned& last, std::uint64_t entry, int width);

  void enterGroup() {
    ObjGroup* g = current->group;
    next = g->triangles + g->trianglecount;
    room = g->triangles + current->capacity;
  }
  void leaveGroup() const {
    current->group->trianglecount = static_cast<unsigned>(next - current->group->triangles);
  }
  // The largest index a corner may hold as it is.
  std::uint64_t limit(unsigned count) const { return grows ? UINT32_MAX : count; }

  const char* vertex(const char* p);
  const char* normal(const char* p);
  const char* texcoord(const char* p);
  const char* face(const char*, const char* p);
};

// Turns a raw index into a 1-based one: negative indices count back from the
// latest entry read so far; a missing index, 0 and anything outside
// 1..total are fatal. The index is quoted as written, long ones cut.
unsigned resolveOtherIndex(const Store& s, long long raw, const char* written,
                           std::uint64_t readSoFar, std::uint64_t total, const char* kind,
                           const char* at) {
  long long index = raw < 0 ? static_cast<long long>(readSoFar) + 1 + raw : raw;
  bool outside = raw == 0 || index < 1 || static_cast<std::uint64_t>(index) > total;
  if (s.grows && (!written || outside || (raw < 0 && !s.knowsEarlier))) throw GiveUp{};
  const char* path = s.file.path;
  if (!written)
    glmFailf(stderr, "glmReadOBJ() failed: \"%s\" line %llu: %s index is missing.\n", path,
             s.file.lineAt(at), kind);
  if (outside) {
    constexpr int kShown = 20;
    const char* end = written + (*written == '-' || *written == '+');
    while (isDigit(*end)) ++end;
    int length = static_cast<int>(end - written);
    glmFailf(stderr, "glmReadOBJ() failed: \"%s\" line %llu: %s index %.*s%s is out of range.\n",
             path, s.file.lineAt(at), kind, length > kShown ? kShown : length, written,
             length > kShown ? "..." : "");
  }
  return static_cast<unsigned>(index);
}

// The usual index, positive and in range, is taken as it is.
[[gnu::always_inline]] inline unsigned resolveIndex(const Store& s, long long raw,
                                                    const char* written, std::uint64_t readSoFar,
                                                    std::uint64_t total, std::uint64_t& highest,
                                                    const char* kind, const char* at) {
  if (raw > 0 && static_cast<std::uint64_t>(raw) <= total && written) {
    highest = std::max(highest, static_cast<std::uint64_t>(raw));
    return static_cast<unsigned>(raw);
  }
  return resolveOtherIndex(s, raw, written, readSoFar, total, kind, at);
}

// Stores the resolved corner into corner k of triangle t, for the fields
// the form carries.
template <Form form>
[[gnu::always_inline]] inline void storeCorner(Store& s, const Corner& c, const char* at,
                                               ObjTriangle& t, int k) {
  const ObjModel* m = s.model;
  t.vertexidx[k] = resolveIndex(s, c.v, c.vAt, s.vertices - 1, s.limit(m->vertexcount),
                                s.highest[0], "vertex", at);
  if constexpr (form == Form::vertexTexture || form == Form::vertexTextureNormal)
    t.texcoordidx[k] = resolveIndex(s, c.t, c.tAt, s.texcoords - 1, s.limit(m->texcoordcount),
                                    s.highest[1], "texture coordinate", at);
  if constexpr (form == Form::vertexNormal || form == Form::vertexTextureNormal)
    t.normalidx[k] = resolveIndex(s, c.n, c.nAt, s.normals - 1, s.limit(m->normalcount),
                                  s.highest[2], "normal", at);
}

// Appends a new triangle, all zero but its material, to the model and the
// current group.
[[gnu::always_inline]] inline ObjTriangle* addTriangle(Store& s) {
  if (s.triangles >= s.triangleEnd || s.next >= s.room) s.makeRoom();
  *s.next++ = static_cast<unsigned>(s.triangles);
  ObjTriangle* t = &s.model->triangles[s.triangles++];
  *t = ObjTriangle{};
  t->material = s.material;
  return t;
}

// A face after its first corner: the second and third corners are read
// whatever they hold (keeping the numbers of the corner before when a read
// falls short), then every further corner read that converts at least one
// number adds a triangle to the fan around the first corner.
template <Form form>
const char* readFaceOfForm(Store& s, const char* p, Corner corner, const char* firstAt) {
  ObjTriangle* t = addTriangle(s);
  storeCorner<form>(s, corner, firstAt, *t, 0);
  for (int k = 1; k < 3; k++) {
    const char* at = p;  // only its line is ever told
    scanCorner<form>(p, corner);
    storeCorner<form>(s, corner, at, *t, k);
  }
  for (;;) {
    const char* at = p;
    if (scanCorner<form>(p, corner) <= 0) break;
    ObjTriangle* next = addTriangle(s);
    // The fan: corner 1 stays, the previous last corner becomes corner 2.
    // Triangles are stored in order, so the previous one is just before.
    const ObjTriangle& previous = *(next - 1);
    next->vertexidx[0] = previous.vertexidx[0];
    next->texcoordidx[0] = previous.texcoordidx[0];
    next->normalidx[0] = previous.normalidx[0];
    next->vertexidx[1] = previous.vertexidx[2];
    next->texcoordidx[1] = previous.texcoordidx[2];
    next->normalidx[1] = previous.normalidx[2];
    storeCorner<form>(s, corner, at, *next, 2);
  }
  return p;
}

// A face: its first corner, read as a word, decides the form of the whole
// face.
const char* Store::face(const char*, const char* p) {
  p = skipBlanks(p);
  const char* firstAt = p;
  const char* end = wordEnd(p);
  Corner corner;
  switch (firstCorner(p, end, corner)) {
    case Form::vertex:
      return readFaceOfForm<Form::vertex>(*this, end, corner, firstAt);
    case Form::vertexTexture:
      return readFaceOfForm<Form::vertexTexture>(*this, end, corner, firstAt);
    case Form::vertexNormal:
      return readFaceOfForm<Form::vertexNormal>(*this, end, corner, firstAt);
    case Form::vertexTextureNormal:
      break;
  }
  return readFaceOfForm<Form::vertexTextureNormal>(*this, end, corner, firstAt);
}

// Numeric lines: each adds one entry whatever it holds; a number missing
// from the line stays 0.
[[gnu::always_inline]] inline const char* readNumbers(Store& s, const char* p, float*& array,
                                                      std::uint64_t& entry, unsigned& last,
                                                      int count) {
  if (entry > last || !array) s.growNumbers(array, last, entry, count);
  float* values = array + count * entry++;
  for (int i = 0; i < count; i++) values[i] = 0.0f;
  scanFloats(p, values, count);
  return p;
}

const char* Store::vertex(const char* p) {
  return readNumbers(*this, p, model->vertices, vertices, model->vertexcount, 3);
}
const char* Store::normal(const char* p) {
  return readNumbers(*this, p, model->normals, normals, model->normalcount, 3);
}
const char* Store::texcoord(const char* p) {
  return readNumbers(*this, p, model->texcoords, texcoords, model->texcoordcount, 2);
}

// Resizes a growing array to `entries` of `entryBytes` each, at most as
// many as a count field holds; gives up when that is no more than `needed`
// or there is no memory for it. Entry 0 of a new array is zero.
template <typename T>
void resize(T*& array, std::uint64_t entries, std::uint64_t needed,
            std::size_t entryBytes = sizeof(T)) {
  entries = std::min<std::uint64_t>(entries, UINT32_MAX);
  bool fresh = !array;
  void* block = entries > needed ? std::realloc(array, entries * entryBytes) : nullptr;
  if (!block) throw GiveUp{};
  if (fresh) std::memset(block, 0, entryBytes);
  array = static_cast<T*>(block);
  preferHugePages(block, entries * entryBytes);
}

// The one pass doubles an array that is full. It starts with room for most
// files at once, which is only address space until written.
void Store::growNumbers(float*& array, unsigned& last, std::uint64_t entry, int width) {
  if (!grows) disagree();
  std::uint64_t entries = array ? entry * 2 : bytes / 24 + 64;
  resize(array, entries, entry, width * sizeof(float));
  last = static_cast<unsigned>(std::min<std::uint64_t>(entries, UINT32_MAX) - 1);
}

void Store::makeRoom() {
  if (!grows) disagree();
  if (triangles >= triangleEnd) {
    std::uint64_t entries = triangleEnd ? triangleEnd * 2 : bytes / 12 + 64;
    resize(model->triangles, entries, triangles);
    triangleEnd = std::min<std::uint64_t>(entries, UINT32_MAX);
  }
  // The one pass's list is scratch, written over: settling makes the lists.
  if (next >= room) next = current->group->triangles;
}

// The filling pass, after the count: every array has its size and every
// group its room.
struct Fill : Store {
  Reader& r;
  explicit Fill(Reader& whole) : Store(whole), r(whole) {}

  void group(std::string_view name) {
    leaveGroup();
    current = r.groups.find(name);
    if (!current || !current->group) disagree();
    enterGroup();
    current->group->material = material;
  }
  // An unknown name is told here, in file order with the failures.
  void usemtl(std::string_view name) {
    material = r.findMaterial(name);
    current->group->material = material;
  }
  void library(std::string_view) {}
  [[noreturn]] void unknown(std::string_view) { disagree(); }  // the count failed on it first
};

// Checks the counts and allocates every array at its final size.
void sizeModel(Reader& r, const Count& count) {
  ObjModel* model = r.model;
  if (count.vertices >= UINT32_MAX || count.normals >= UINT32_MAX ||
      count.texcoords >= UINT32_MAX || count.triangles > UINT32_MAX)
    glmFailf(stderr, "glmReadOBJ() failed: \"%s\" is too large.\n", r.path);
  model->vertexcount = static_cast<unsigned>(count.vertices);
  model->normalcount = static_cast<unsigned>(count.normals);
  model->texcoordcount = static_cast<unsigned>(count.texcoords);
  model->trianglecount = static_cast<unsigned>(count.triangles);
  for (ObjGroup* group = model->groups; group; group = group->next) {
    GroupSlot* slot = r.groups.find(group->name);
    group->triangles =
        static_cast<unsigned*>(glmAlloc(slot->capacity, sizeof(unsigned), "glmReadOBJ"));
  }
  r.indexMaterials();
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
}

// Read in pieces of a size that stays in the cache until parsed.
std::atomic<std::size_t> windowBytes{std::size_t{1} << 18};

// Part of a regular file read through a window that holds its latest lines:
// each piece of whole lines is parsed while it is still in the cache, and
// memory holds no copy of the whole file. Reads at explicit offsets, so two
// threads can read one file.
class LineStream {
 public:
  // The lines from byte `from` (a line start) on, up to byte `to`, where a
  // line cut off ends; the first part of a file may begin with a UTF-8
  // byte-order mark, which is no part of its first line.
  LineStream(int fd, std::size_t from, std::size_t to, bool first)
      : fd_(fd), offset_(from), to_(to), first_(first) {}

  // The next piece of whole lines, [begin, end); the last line ends in the
  // newline the text always ends in. False when there is no more.
  bool next(const char*& begin, const char*& end) {
    if (ended_) return false;
    std::size_t carried = filled_ - used_;  // the line the last piece cut off
    std::memmove(window_.get(), window_.get() + used_, carried);
    filled_ = carried;
    used_ = 0;
    for (;;) {
      while (filled_ < capacity_ && !ended_) {
        std::size_t want = std::min(capacity_ - filled_, to_ - offset_);
        ssize_t got;
        while ((got = ::pread(fd_, window_.get() + filled_, want, static_cast<off_t>(offset_))) <
                   0 &&
               errno == EINTR) {
        }
        if (got < 0) throw GiveUp{};
        filled_ += static_cast<std::size_t>(got);
        offset_ += static_cast<std::size_t>(got);
        ended_ = got == 0 || offset_ >= to_;
      }
      char* data = window_.get();
      if (ended_) {
        data[filled_] = '\n';
        data[filled_ + 1] = '\0';
        used_ = filled_;
      } else if (const void* newline = memrchr(data, '\n', filled_)) {
        used_ = static_cast<std::size_t>(static_cast<const char*>(newline) + 1 - data);
      } else {  // a line longer than the window
        std::unique_ptr<char, FreeDeleter> larger(allocate(capacity_ * 2));
        std::memcpy(larger.get(), data, filled_);
        window_ = std::move(larger);
        capacity_ *= 2;
        continue;
      }
      begin = data;
      end = data + used_;
      if (first_) begin += byteOrderMark(data, filled_);
      first_ = false;
      return true;
    }
  }

 private:
  static char* allocate(std::size_t capacity) {
    char* block = static_cast<char*>(std::calloc(capacity + 2 + kPadding, 1));
    if (!block) throw GiveUp{};
    return block;
  }

  int fd_;
  std::size_t offset_, to_;
  bool first_, ended_ = false;
  std::size_t capacity_ = windowBytes, filled_ = 0, used_ = 0;
  std::unique_ptr<char, FreeDeleter> window_{allocate(capacity_)};
};

// A statement of a part whose meaning depends on other lines, kept for the
// calling thread to settle in file order, with the number of the part's
// triangles read before it.
struct Event {
  enum Kind { group, usemtl, library } kind;
  std::string name;
  std::uint64_t triangles;
};

// The one pass over a part of the file: the whole file, or one of two
// halves read at once. It stores entries and triangles into arrays that
// grow (the model's, or its own for the second half) and keeps what the
// whole file settles. It reports nothing: whatever the two passes would
// report gives it up, before anything is told.
struct Part : Store {
  ObjModel own{};    // the arrays of a part read beside the model's
  ObjGroup list{};   // scratch: settling makes the groups' lists
  GroupSlot listSlot{};
  std::vector<Event> events;

  Part(const Reader& whole, bool intoModel, std::uint64_t textBytes) : Store(whole) {
    if (!intoModel) model = &own;
    grows = true;
    knowsEarlier = intoModel;
    bytes = textBytes;
    constexpr std::size_t kScratch = 1024;
    resize(list.triangles, kScratch, 0);
    listSlot = {nullptr, &list, kScratch};
    current = &listSlot;
    enterGroup();
  }
  Part(const Part&) = delete;
  Part& operator=(const Part&) = delete;
  ~Part() {
    for (void* block : {static_cast<void*>(own.vertices), static_cast<void*>(own.normals),
                        static_cast<void*>(own.texcoords), static_cast<void*>(own.triangles),
                        static_cast<void*>(list.triangles)})
      std::free(block);
  }

  void read(LineStream lines) {
    for (const char *begin, *end; lines.next(begin, end);) readLines(*this, begin, end);
  }
  void group(std::string_view name) { events.push_back({Event::group, std::string(name), triangles}); }
  void usemtl(std::string_view name) {
    events.push_back({Event::usemtl, std::string(name), triangles});
  }
  void library(std::string_view name) {
    events.push_back({Event::library, std::string(name), triangles});
  }
  [[noreturn]] void unknown(std::string_view) { throw GiveUp{}; }
};

// Gives back the room of an array past its first `count` entries (one
// entry's worth stays for none).
template <typename T>
void shrinkTo(T*& array, std::uint64_t count, std::size_t entryBytes = sizeof(T)) {
  if (array)
    if (void* shrunk = std::realloc(array, std::max<std::uint64_t>(count, 1) * entryBytes))
      array = static_cast<T*>(shrunk);
}

// Once the `triangles` the model holds are stored, the triangle array and
// every group's list end at their size.
void fitTriangles(ObjModel* model, std::uint64_t triangles) {
  shrinkTo(model->triangles, triangles);
  model->trianglecount = static_cast<unsigned>(triangles);
  for (ObjGroup* group = model->groups; group; group = group->next) {
    if (!group->triangles)
      group->triangles = static_cast<unsigned*>(glmAlloc(1, sizeof(unsigned), "glmReadOBJ"));
    shrinkTo(group->triangles, group->trianglecount);
  }
}

// Joins the second part's `n2` entries to the first's `n1` (each array's
// entries from `head` on; an entry is `width` Ts) in the first's array.
// Where the first part has none, as in a file whose faces all follow its
// vertices, the second's array is taken as it is.
template <typename T>
void join(T*& first, std::uint64_t n1, T*& second, std::uint64_t n2, int width, int head) {
  if (!n2) return;
  if (!n1) {
    std::free(first);
    first = std::exchange(second, nullptr);
    return;
  }
  std::size_t entry = width * sizeof(T);
  resize(first, head + n1 + n2, head + n1, entry);
  std::memcpy(first + width * (head + n1), second + width * head, n2 * entry);
}

// Makes the one pass's parts a model, as the two passes would: the second
// part's entries and triangles follow the first's; then every library is
// read, in file order, and the groups and materials are settled in file
// order. Gives up, before anything is told, where an index is out of range
// or an array cannot grow.
void settle(Reader& r, Part& first, Part* second) {
  ObjModel* m = r.model;
  auto count = [&first, second](std::uint64_t Store::*counter) {
    return first.*counter - 1 + (second ? second->*counter - 1 : 0);
  };
  std::uint64_t totals[] = {count(&Store::vertices), count(&Store::texcoords),
                            count(&Store::normals)};
  std::uint64_t triangles = first.triangles + (second ? second->triangles : 0);
  for (const Part* part : {&first, second})
    for (int i = 0; part && i < 3; i++)
      if (part->highest[i] > totals[i]) throw GiveUp{};
  if (totals[0] >= UINT32_MAX || totals[1] >= UINT32_MAX || totals[2] >= UINT32_MAX)
    throw GiveUp{};
  if (second) {
    ObjModel& own = second->own;
    join(m->vertices, first.vertices - 1, own.vertices, second->vertices - 1, 3, 1);
    join(m->texcoords, first.texcoords - 1, own.texcoords, second->texcoords - 1, 2, 1);
    join(m->normals, first.normals - 1, own.normals, second->normals - 1, 3, 1);
    join(m->triangles, first.triangles, own.triangles, second->triangles, 1, 0);
  }
  m->vertexcount = static_cast<unsigned>(totals[0]);
  m->texcoordcount = static_cast<unsigned>(totals[1]);
  m->normalcount = static_cast<unsigned>(totals[2]);
  shrinkTo(m->vertices, totals[0] + 1, 3 * sizeof(float));
  shrinkTo(m->texcoords, totals[1] + 1, 2 * sizeof(float));
  shrinkTo(m->normals, totals[2] + 1, 3 * sizeof(float));
  // Entry 0 of the vertices, and a triangle array, even when the file has none.
  if (!m->vertices) m->vertices = static_cast<float*>(glmAlloc(1, 3 * sizeof(float), "glmReadOBJ"));
  if (!m->triangles)
    m->triangles = static_cast<ObjTriangle*>(glmAlloc(1, sizeof(ObjTriangle), "glmReadOBJ"));

  GroupSlot* current = r.ensureGroup("default");
  for (const Part* part : {&first, second})
    if (part)
      for (const Event& e : part->events)
        if (e.kind == Event::library) readLibrary(m, e.name);
  r.indexMaterials();
  unsigned material = 0;
  std::uint64_t from = 0;
  // Triangles [from, to) go to the current group, in the current material.
  auto flush = [&](std::uint64_t to) {
    ObjGroup* g = current->group;
    std::uint64_t needed = g->trianglecount + (to - from);
    if (needed > current->capacity) {
      std::uint64_t capacity = std::max<std::uint64_t>(needed, current->capacity * 2);
      void* list = std::realloc(g->triangles, capacity * sizeof(unsigned));
      if (!list) glmFailf(stderr, "glmReadOBJ() failed: out of memory\n");
      g->triangles = static_cast<unsigned*>(list);
      current->capacity = capacity;
    }
    for (std::uint64_t i = from; i < to; i++) g->triangles[g->trianglecount++] = static_cast<unsigned>(i);
    if (material)
      for (std::uint64_t i = from; i < to; i++) m->triangles[i].material = material;
    from = to;
  };
  for (const Part* part : {&first, second}) {
    if (!part) continue;
    std::uint64_t before = part == second ? first.triangles : 0;
    for (const Event& e : part->events) {
      if (e.kind == Event::library) continue;
      flush(before + e.triangles);
      if (e.kind == Event::group)
        current = r.ensureGroup(e.name);
      else
        material = r.findMaterial(e.name);
      current->group->material = material;
    }
  }
  flush(triangles);
  fitTriangles(m, triangles);
}

// The two passes over the whole file: a count sizes every array, then the
// filling stores the data; entry 0 of each data array stays zero.
void readTwice(Reader& r) {
  Count count{r};
  count.room = &r.ensureGroup("default")->capacity;
  readLines(count, r.text.begin, r.text.end);
  sizeModel(r, count);
  Fill fill(r);
  fill.triangleEnd = r.model->trianglecount;
  fill.current = r.groups.find("default");
  fill.enterGroup();
  readLines(fill, r.text.begin, r.text.end);
  fill.leaveGroup();
  fitTriangles(r.model, fill.triangles);
}

// A regular file, opened for the one pass (stat first: opening some
// devices waits).
struct OpenFile {
  int fd = -1;
  struct stat info {};
  OpenFile() = default;
  OpenFile(const OpenFile&) = delete;
  OpenFile& operator=(const OpenFile&) = delete;
  ~OpenFile() {
    if (fd >= 0) ::close(fd);
  }
  bool open(const char* path) {
    if (::stat(path, &info) != 0 || !S_ISREG(info.st_mode)) return false;
    fd = ::open(path, O_RDONLY | O_CLOEXEC);
    return fd >= 0 && ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
  }
  std::size_t size() const { return static_cast<std::size_t>(info.st_size); }
};

std::atomic<std::size_t> twoThreadsFrom{kReadTwoThreadsFrom};
std::atomic<std::size_t> splitAt{0};

// The start of the first line that begins at or after byte `at` (at least
// 1), looking at most 64 KiB on; 0 when there is none.
std::size_t lineStartFrom(int fd, std::size_t at) {
  char probe[1 << 16];
  at = std::max<std::size_t>(at, 1) - 1;
  ssize_t got = ::pread(fd, probe, sizeof probe, static_cast<off_t>(at));
  const void* newline = got > 0 ? std::memchr(probe, '\n', static_cast<std::size_t>(got)) : nullptr;
  return newline ? at + static_cast<std::size_t>(static_cast<const char*>(newline) - probe) + 1 : 0;
}

// The one pass, on the calling thread, and for a large file where there
// are two cores, with another thread that reads the file's second half at
// the same time. Whatever fails on the other thread (a negative index, which
// it cannot resolve, or memory) leaves its half to the calling thread. False
// when the two passes must read the file; nothing is left in the model then.
bool readOnce(Reader& r, const OpenFile& file) {
  std::size_t size = file.size();
  std::size_t split = 0;
  if (size >= twoThreadsFrom && (cores() >= 2 || splitAt)) {
    split = lineStartFrom(file.fd, splitAt ? splitAt.load() : size / 2);
    if (split >= size) split = 0;
  }
  try {
    Part second(r, false, size - split);
    bool secondRead = false;
    Part first(r, true, split ? split : size);
    {
      std::thread other;
      struct Joiner {
        std::thread& thread;
        ~Joiner() {
          if (thread.joinable()) thread.join();
        }
      } joiner{other};
      if (split) {
        try {
          other = std::thread([&second, &secondRead, &file, split] {
            try {
              second.read(LineStream(file.fd, split, SIZE_MAX, false));
              secondRead = true;
            } catch (...) {
              // The calling thread reads this half.
            }
          });
        } catch (...) {
          // No thread to be had: this one reads it all.
        }
      }
      first.read(LineStream(file.fd, 0, split ? split : SIZE_MAX, true));
    }
    if (split && !secondRead) first.read(LineStream(file.fd, split, SIZE_MAX, false));
    settle(r, first, secondRead ? &second : nullptr);
    return true;
  } catch (const GiveUp&) {
  } catch (const std::bad_alloc&) {
  }
  ObjModel* m = r.model;
  for (float** array : {&m->vertices, &m->normals, &m->texcoords}) {
    std::free(*array);
    *array = nullptr;
  }
  std::free(m->triangles);
  m->triangles = nullptr;
  m->vertexcount = m->normalcount = m->texcoordcount = m->trianglecount = 0;
  return false;
}

// The whole file in memory; a failure to read it is fatal.
void loadWhole(Reader& r, Load loaded) {
  switch (loaded) {
    case Load::done:
      return;
    case Load::unreadable:
      glmFailf(stderr, "glmReadOBJ() failed: can't open data file \"%s\".\n", r.path);
    case Load::device:
      glmFailf(stderr, "glmReadOBJ() failed: \"%s\" is a device, not a file.\n", r.path);
  }
}

std::atomic<bool> onePass{true};

}  // namespace

unsigned long long glm_internal::glmLineAt(const char* text, const char* at) {
  unsigned long long line = 1;
  const char* p = text;
  for (; at - p >= 8; p += 8) {  // 8 bytes at once: a newline becomes a zero byte
    std::uint64_t x;
    std::memcpy(&x, p, sizeof x);
    x ^= 0x0A0A0A0A0A0A0A0Aull;
    std::uint64_t high = ((x & 0x7F7F7F7F7F7F7F7Full) + 0x7F7F7F7F7F7F7F7Full) | x;
    line += bitCount(~high & 0x8080808080808080ull);  // the zero bytes' top bits
  }
  for (; p < at; p++) line += *p == '\n';
  return line;
}

void glm_internal::glmSetReadChunking(std::size_t fromBytes, std::size_t split) {
  twoThreadsFrom = fromBytes;
  splitAt = split;
}

void glm_internal::glmSetReadOnePass(bool on, std::size_t window) {
  onePass = on;
  windowBytes = window ? window : std::size_t{1} << 18;
}

ObjModel* glmReadOBJ(const char* path) {
  GLM_ASSERT(path);
  Reader r{};
  r.path = path;
  // A regular file is read by the one pass as it goes; anything else, and
  // a file the one pass gives up, is read whole for the two passes.
  OpenFile file;
  bool once = onePass && file.open(path);
  if (!once) loadWhole(r, loadText(path, r.text, "glmReadOBJ"));

  std::unique_ptr<ObjModel, ModelDeleter> model(
      static_cast<ObjModel*>(glmAlloc(1, sizeof(ObjModel), "glmReadOBJ")));
  model->path = glmStrdup(path, "glmReadOBJ");
  r.model = model.get();
  if (once) {
    if (readOnce(r, file)) return model.release();
    loadWhole(r, readText(file.fd, file.info, r.text, "glmReadOBJ"));
  }
  readTwice(r);
  return model.release();
}
