// OBJ reader: the file is read into memory once; a counting pass sizes every
// array, a filling pass stores the data. Every statement is one line, and
// both passes parse each statement with the same routine (the counting pass
// only leaves out storing), so they cannot disagree on what a line holds.
#include <algorithm>
#include <string>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <string_view>
#include <thread>
#include <utility>
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

// Thrown where a reader that must not report (a chunk's, or the one pass
// over the whole file) meets what the whole file's two passes report or
// warn about, or settle only once everything is counted: the work is given
// up and the two passes read the file, reporting in file order.
struct GiveUp {};

// The whole file's reading: the model, and the names only the whole file
// settles.
struct Reader {
  ObjModel* model;
  const char* path;
  Text text;
  NameTable<GroupSlot> groups;
  NameTable<MaterialSlot> materials;
  // The "mtllib" names the one pass has read, so the two passes skip them.
  std::vector<std::string> librariesRead;
  std::size_t expectedBytes = 0;  // the file's size as it was opened

  // Counted only for a message, so it may be slow; but files of more than
  // 2^32 lines exist.
  unsigned long long lineAt(const char* p) const {
    unsigned long long line = 1;
    for (const char* q = text.begin; q < p && q < text.end; q++) line += *q == '\n';
    return line;
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

  // Makes the model's materials from `first` on known to "usemtl", which
  // takes the first material of a name.
  void indexMaterials(unsigned first) {
    for (unsigned i = first; i < model->materialcount; i++) {
      const char* name = model->materials[i].name;
      if (!name) continue;
      MaterialSlot* slot = materials.place(name);
      if (!slot->key) {
        *slot = {name, i};
        materials.used++;
      }
    }
  }
};

[[noreturn]] void unknownToken(std::string_view word) {
  char name[kNameMax + 1];
  copyName(word.data(), word.data() + word.size(), name);
  glmFailf(stdout, "glmFirstPass(): Unknown token \"%s\".\n", name);
}

// Every library's materials are kept; the model names the first. A line
// that names no file has nothing to read.
void readLibrary(ObjModel* model, std::string_view library) {
  if (library.empty()) return;
  std::unique_ptr<char, FreeDeleter> name(copyText(library, "glmReadOBJ"));
  if (!model->mtllib) model->mtllib = glmStrdup(name.get(), "glmReadOBJ");
  glmReadMTL(model, name.get());
}

// The readers. Each walks lines with readLines, which hands every statement
// to the reader's role: counting (entries, and a bound of each group's
// triangles) or storing; for the whole file or for one chunk of it. The
// roles differ only where a line's meaning depends on earlier lines.

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

// Counting: the entries, and a bound of each group's triangles. The usual
// lines are only told apart, never read.
struct Count {
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
};

// Thrown where the two passes find the file other than the one pass found
// it: it changed between their reads.
struct Changed {};

// The whole file's count makes the groups and reads the libraries as it
// meets them.
struct CountFile : Count {
  Reader& r;
  std::size_t skipped = 0;  // of the libraries the one pass has read

  void group(std::string_view name) { room = &r.ensureGroup(name)->capacity; }
  void library(std::string_view name) {
    if (skipped == r.librariesRead.size())
      readLibrary(r.model, name);
    else if (name != r.librariesRead[skipped++])
      throw Changed{};
  }
  void usemtl(std::string_view) {}
  [[noreturn]] void unknown(std::string_view word) { unknownToken(word); }
};

// A chunk's count records what it cannot settle, for the calling thread.
struct CountChunk : Count {
  Chunk& c;

  void group(std::string_view name) {
    c.events.push_back({ChunkEvent::group, name});
    room = &c.events.back().count.capacity;
  }
  void library(std::string_view name) { c.events.push_back({ChunkEvent::library, name}); }
  void usemtl(std::string_view name) { c.events.push_back({ChunkEvent::usemtl, name}); }
  [[noreturn]] void unknown(std::string_view) { throw GiveUp{}; }
};

// Storing: what every filling role shares. It writes the model's arrays
// from their next free entries on, within the room they have; only the one
// pass makes more room.
struct Store {
  const Reader& file;
  ObjModel* model;
  std::uint64_t vertices = 1, normals = 1, texcoords = 1;  // the next free entries
  std::uint64_t triangles = 0, triangleEnd = 0;  // and where this store's triangles end
  unsigned material = 0;
  unsigned *next = nullptr, *room = nullptr;  // the free part of the current list
  GroupSlot* current = nullptr;               // the current group (whole file)
  bool grows = false;    // the arrays grow, and an index may name only what came before
  bool reports = true;   // false: what would be reported gives the work up

  Store(const Reader& whole, bool oneWithTheFile) : file(whole), model(whole.model) {
    reports = oneWithTheFile;
  }

  [[noreturn]] void disagree() const {
    if (!reports) throw GiveUp{};
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

  // The entries an index may name: all the file has, or in the one pass
  // those read so far (a later entry sends the file to the two passes).
  std::uint64_t vertexLimit() const { return grows ? vertices - 1 : model->vertexcount; }
  std::uint64_t normalLimit() const { return grows ? normals - 1 : model->normalcount; }
  std::uint64_t texcoordLimit() const { return grows ? texcoords - 1 : model->texcoordcount; }

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
  if (!s.reports && (!written || outside)) throw GiveUp{};
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
                                                    std::uint64_t total, const char* kind,
                                                    const char* at) {
  if (raw > 0 && static_cast<std::uint64_t>(raw) <= total && written)
    return static_cast<unsigned>(raw);
  return resolveOtherIndex(s, raw, written, readSoFar, total, kind, at);
}

// Stores the resolved corner into corner k of triangle t, for the fields
// the form carries.
template <Form form>
[[gnu::always_inline]] inline void storeCorner(const Store& s, const Corner& c, const char* at,
                                               ObjTriangle& t, int k) {
  t.vertexidx[k] = resolveIndex(s, c.v, c.vAt, s.vertices - 1, s.vertexLimit(), "vertex", at);
  if constexpr (form == Form::vertexTexture || form == Form::vertexTextureNormal)
    t.texcoordidx[k] = resolveIndex(s, c.t, c.tAt, s.texcoords - 1, s.texcoordLimit(),
                                    "texture coordinate", at);
  if constexpr (form == Form::vertexNormal || form == Form::vertexTextureNormal)
    t.normalidx[k] = resolveIndex(s, c.n, c.nAt, s.normals - 1, s.normalLimit(), "normal", at);
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
// many as a count field holds; false when that is no more than `needed` or
// there is no memory for it. Entry 0 of a new array is zero.
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

// The room a growing array starts with, in entries per byte of the file:
// enough for most files at once, and only address space until written.
std::uint64_t startingRoom(const Store& s, std::uint64_t bytesPerEntry) {
  return s.file.expectedBytes / bytesPerEntry + 64;
}

// The one pass doubles an array that is full; where that cannot be done the
// two passes read the file, which size every array first.
void Store::growNumbers(float*& array, unsigned& last, std::uint64_t entry, int width) {
  if (!grows) disagree();
  std::uint64_t entries = array ? entry * 2 : startingRoom(*this, 24);
  resize(array, entries, entry, width * sizeof(float));
  last = static_cast<unsigned>(std::min<std::uint64_t>(entries, UINT32_MAX) - 1);
}

void Store::makeRoom() {
  if (!grows) disagree();
  if (triangles >= triangleEnd) {
    std::uint64_t entries = triangleEnd ? triangleEnd * 2 : startingRoom(*this, 12);
    resize(model->triangles, entries, triangles);
    triangleEnd = std::min<std::uint64_t>(entries, UINT32_MAX);
  }
  if (next >= room) {
    ObjGroup* g = current->group;
    std::size_t used = static_cast<std::size_t>(next - g->triangles);
    std::uint64_t entries = std::min<std::uint64_t>(std::max<std::size_t>(current->capacity * 2, 64), UINT32_MAX);
    resize(g->triangles, entries, used);
    current->capacity = entries;
    next = g->triangles + used;
    room = g->triangles + entries;
  }
}

// The whole file's filling, after its count: every array has its size and
// every group its room.
struct FillFile : Store {
  Reader& r;
  explicit FillFile(Reader& whole) : Store(whole, true), r(whole) {}

  void group(std::string_view name) {
    leaveGroup();
    current = r.groups.find(name);
    if (!current || !current->group) disagree();
    enterGroup();
    current->group->material = material;
  }
  // An unknown name is told here, in file order with the failures.
  void usemtl(std::string_view name) {
    const MaterialSlot* slot = r.materials.find(name);
    if (slot && slot->key) {
      material = slot->index;
    } else {
      std::printf("glmFindMaterial():  can't find material \"%.*s\".\n",
                  static_cast<int>(name.size()), name.data());
      material = 0;
    }
    current->group->material = material;
  }
  void library(std::string_view) {}
  [[noreturn]] void unknown(std::string_view) { disagree(); }  // the count failed on it first
};

// The one pass: counting and storing at once, into arrays that grow. It
// reports nothing a count would not: a bad index, an index to a later entry
// or a name only a later library defines sends the file to the two passes.
// Unknown names are told at the end, after every library's messages, as the
// two passes tell them.
struct OnePass : Store {
  Reader& r;
  std::vector<std::string> unknownNames;
  explicit OnePass(Reader& whole) : Store(whole, false), r(whole) { grows = true; }

  void group(std::string_view name) {
    leaveGroup();
    current = r.ensureGroup(name);
    enterGroup();
    current->group->material = material;
  }
  void usemtl(std::string_view name) {
    const MaterialSlot* slot = r.materials.find(name);
    material = slot && slot->key ? slot->index : 0;
    if (!slot || !slot->key) unknownNames.emplace_back(name);
    current->group->material = material;
  }
  void library(std::string_view name) {
    unsigned first = r.model->materials ? r.model->materialcount : 0;
    readLibrary(r.model, name);
    r.indexMaterials(first);
    r.librariesRead.emplace_back(name);
  }
  [[noreturn]] void unknown(std::string_view word) { unknownToken(word); }
};

// A chunk's filling: its groups and materials are those the calling thread
// settled for it.
struct FillChunk : Store {
  Chunk& c;
  std::size_t run = 0, usemtls = 0;  // the current run, and "usemtl" lines read
  FillChunk(const Reader& whole, Chunk& chunk) : Store(whole, false), c(chunk) {}

  void enterRun() {
    if (run >= c.runs.size()) disagree();
    const Run& at = c.runs[run];
    next = at.group->triangles + at.start;
    room = next + at.count;
  }
  void leaveRun() {
    Run& at = c.runs[run];
    at.filled = static_cast<unsigned>(next - (at.group->triangles + at.start));
  }
  void group(std::string_view) {
    leaveRun();
    run++;
    enterRun();
  }
  void usemtl(std::string_view) {
    if (usemtls >= c.usemtls.size()) disagree();
    material = c.usemtls[usemtls++];
  }
  void library(std::string_view) {}
  [[noreturn]] void unknown(std::string_view) { throw GiveUp{}; }
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
  r.indexMaterials(0);
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

// Prefaults the entries [first, first + count) of each large array, first
// and count in the order vertices, normals, texture coordinates, triangles.
void prefaultEntries(const ObjModel* m, const std::uint64_t (&first)[4],
                     const std::uint64_t (&count)[4]) {
  if (m->vertices) prefault(m->vertices + 3 * first[0], count[0] * 3 * sizeof(float));
  if (m->normals) prefault(m->normals + 3 * first[1], count[1] * 3 * sizeof(float));
  if (m->texcoords) prefault(m->texcoords + 2 * first[2], count[2] * 2 * sizeof(float));
  if (m->triangles) prefault(m->triangles + first[3], count[3] * sizeof(ObjTriangle));
}

// Gives back the room of an array past its first `count` entries (one
// entry's worth stays for none).
template <typename T>
void shrinkTo(T*& array, std::uint64_t count) {
  if (array)
    if (void* shrunk = std::realloc(array, std::max<std::uint64_t>(count, 1) * sizeof(T)))
      array = static_cast<T*>(shrunk);
}

// Once the `triangles` the model holds are stored, the triangle array and
// every group's list end at their size.
void fitTriangles(ObjModel* model, std::uint64_t triangles) {
  shrinkTo(model->triangles, triangles);
  model->trianglecount = static_cast<unsigned>(triangles);
  for (ObjGroup* group = model->groups; group; group = group->next) {
    if (!group->triangles)  // a group of the one pass that got no triangle
      group->triangles = static_cast<unsigned*>(glmAlloc(1, sizeof(unsigned), "glmReadOBJ"));
    shrinkTo(group->triangles, group->trianglecount);
  }
}

// The two passes over the whole file: a count sizes every array, then the
// filling stores the data; entry 0 of each data array stays zero.
void fillWhole(Reader& r) {
  const ObjModel* m = r.model;
  prefaultEntries(
      m, {0, 0, 0, 0},
      {m->vertexcount + 1ull, m->normalcount + 1ull, m->texcoordcount + 1ull, m->trianglecount});
  FillFile fill(r);
  fill.triangleEnd = r.model->trianglecount;
  fill.current = r.groups.find("default");
  fill.enterGroup();
  readLines(fill, r.text.begin, r.text.end);
  fill.leaveGroup();
  fitTriangles(r.model, fill.triangles);
}

void readTwice(Reader& r) {
  CountFile count{{}, r};
  count.room = &r.ensureGroup("default")->capacity;
  readLines(count, r.text.begin, r.text.end);
  sizeModel(r, count);
  fillWhole(r);
}

// Frees what the one pass stored; the materials stay, with the count of
// libraries read, so no library is read twice.
void forgetStored(Reader& r) {
  ObjModel* m = r.model;
  for (float** array : {&m->vertices, &m->normals, &m->texcoords}) {
    std::free(*array);
    *array = nullptr;
  }
  std::free(m->triangles);
  m->triangles = nullptr;
  m->vertexcount = m->normalcount = m->texcoordcount = m->trianglecount = 0;
  while (ObjGroup* group = m->groups) {
    m->groups = group->next;
    std::free(group->name);
    std::free(group->triangles);
    std::free(group);
  }
  m->groupcount = 0;
  r.groups = {};
  r.materials = {};
}

// Read in pieces of a size that stays in the cache until parsed.
std::atomic<std::size_t> windowBytes{std::size_t{1} << 18};

// A regular file read through a window that holds its latest lines: the
// one pass parses each piece of whole lines while it is still in the cache,
// and memory holds no copy of the whole file.
class LineStream {
 public:
  LineStream() = default;
  LineStream(const LineStream&) = delete;
  LineStream& operator=(const LineStream&) = delete;
  ~LineStream() {
    if (fd_ >= 0) ::close(fd_);
  }

  // False for anything but a regular file that opens (stat first: opening
  // some devices waits).
  bool open(const char* path) {
    if (::stat(path, &info_) != 0 || !S_ISREG(info_.st_mode)) return false;
    fd_ = ::open(path, O_RDONLY | O_CLOEXEC);
    return fd_ >= 0 && ::fstat(fd_, &info_) == 0 && S_ISREG(info_.st_mode);
  }
  std::size_t size() const { return static_cast<std::size_t>(info_.st_size); }

  // The next piece of whole lines, [begin, end); the file's last line ends
  // in the newline the text always ends in. False when there is no more;
  // a read that fails gives up.
  bool next(const char*& begin, const char*& end) {
    if (ended_) return false;
    std::size_t carried = filled_ - used_;  // the line the last piece cut off
    std::memmove(window_.get(), window_.get() + used_, carried);
    filled_ = carried;
    used_ = 0;
    for (;;) {
      while (filled_ < capacity_ && !ended_) {
        ssize_t got;
        while ((got = ::read(fd_, window_.get() + filled_, capacity_ - filled_)) < 0 &&
               errno == EINTR) {
        }
        if (got < 0) throw GiveUp{};
        filled_ += static_cast<std::size_t>(got);
        ended_ = got == 0;
      }
      char* data = window_.get();
      if (ended_) {
        data[filled_] = '\n';
        data[filled_ + 1] = '\0';
        used_ = filled_;
      } else if (const void* newline = memrchr(data, '\n', filled_)) {
        used_ = static_cast<std::size_t>(static_cast<const char*>(newline) + 1 - data);
      } else {  // a line longer than the window
        char* larger = static_cast<char*>(glmAlloc(capacity_ * 2 + 2 + kPadding, 1, "glmReadOBJ"));
        std::memcpy(larger, data, filled_);
        window_.reset(larger);
        capacity_ *= 2;
        continue;
      }
      begin = data;
      end = data + used_;
      if (first_ && filled_ >= 3 && std::memcmp(data, "\xEF\xBB\xBF", 3) == 0) begin += 3;
      first_ = false;
      return true;
    }
  }

  // The whole file, read again from its start, for the two passes.
  Load readWhole(Text& text) {
    if (::lseek(fd_, 0, SEEK_SET) != 0) return Load::unreadable;
    return readText(fd_, info_, text, "glmReadOBJ");
  }

 private:
  int fd_ = -1;
  struct stat info_ {};
  std::size_t capacity_ = windowBytes, filled_ = 0, used_ = 0;
  std::unique_ptr<char, FreeDeleter> window_{
      static_cast<char*>(glmAlloc(capacity_ + 2 + kPadding, 1, "glmReadOBJ"))};
  bool ended_ = false, first_ = true;
};

// The one pass over the pieces of whole lines `next` gives; false when the
// two passes must read the file (what it stored is freed then).
template <typename Pieces>
bool readOnce(Reader& r, Pieces next) {
  OnePass once(r);
  try {
    once.current = r.ensureGroup("default");
    once.enterGroup();
    for (const char *begin, *end; next(begin, end);) readLines(once, begin, end);
    once.leaveGroup();
    for (const std::string& name : once.unknownNames)
      if (const MaterialSlot* slot = r.materials.find(name); slot && slot->key) throw GiveUp{};
  } catch (const GiveUp&) {
    forgetStored(r);
    return false;
  }
  ObjModel* m = r.model;
  m->vertexcount = static_cast<unsigned>(once.vertices - 1);
  m->normalcount = static_cast<unsigned>(once.normals - 1);
  m->texcoordcount = static_cast<unsigned>(once.texcoords - 1);
  auto fit = [](float*& array, std::uint64_t entries, int width) {
    if (array)
      if (void* shrunk = std::realloc(array, entries * width * sizeof(float)))
        array = static_cast<float*>(shrunk);
  };
  fit(m->vertices, once.vertices, 3);
  fit(m->normals, once.normals, 3);
  fit(m->texcoords, once.texcoords, 2);
  // Entry 0 of the vertices, and a triangle array, even when the file has none.
  if (!m->vertices) m->vertices = static_cast<float*>(glmAlloc(1, 3 * sizeof(float), "glmReadOBJ"));
  if (!m->triangles)
    m->triangles = static_cast<ObjTriangle*>(glmAlloc(1, sizeof(ObjTriangle), "glmReadOBJ"));
  fitTriangles(m, once.triangles);
  for (const std::string& name : once.unknownNames)
    std::printf("glmFindMaterial():  can't find material \"%.*s\".\n",
                static_cast<int>(name.size()), name.data());
  return true;
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
std::atomic<bool> onePass{true};

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

// Applies the chunks' group and library lines in file order, as the
// whole file's count does, and sums their counts. (A new group may move the
// table's slots, so only the groups themselves are kept.)
Count settleCounts(Reader& r, std::vector<Chunk>& chunks) {
  Count total;
  ObjGroup* current = r.ensureGroup("default")->group;
  for (Chunk& c : chunks) {
    c.firstVertex = total.vertices;
    c.firstNormal = total.normals;
    c.firstTexcoord = total.texcoords;
    c.firstTriangle = total.triangles;
    total.vertices += c.vertices;
    total.normals += c.normals;
    total.texcoords += c.texcoords;
    total.triangles += c.triangles;
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
  return total;
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
  bool counted = onChunks(chunks, [](Chunk& c) {
    CountChunk count{{}, c};
    count.room = &c.head.capacity;
    readLines(count, c.begin, c.end);
    c.vertices = count.vertices;
    c.normals = count.normals;
    c.texcoords = count.texcoords;
    c.triangles = count.triangles;
  });
  if (!counted) return false;
  sizeModel(r, settleCounts(r, chunks));
  bool filled = planRuns(r, chunks) && onChunks(chunks, [&r](Chunk& c) {
                  FillChunk fill(r, c);
                  fill.vertices = c.firstVertex + 1;
                  fill.normals = c.firstNormal + 1;
                  fill.texcoords = c.firstTexcoord + 1;
                  fill.triangles = c.firstTriangle;
                  fill.triangleEnd = c.firstTriangle + c.triangles;
                  fill.material = c.firstMaterial;
                  fill.enterRun();
                  // Each thread maps the pages it is going to write.
                  prefaultEntries(r.model, {fill.vertices, fill.normals, fill.texcoords, fill.triangles},
                                  {c.vertices, c.normals, c.texcoords, c.triangles});
                  readLines(fill, c.begin, c.end);
                  fill.leaveRun();
                  c.filled = fill.triangles - c.firstTriangle;
                });
  if (filled) {
    fitTriangles(r.model, closeGaps(r.model, chunks));
  } else {
    forgetFilling(r.model);
    fillWhole(r);
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

void glm_internal::glmSetReadOnePass(bool on, std::size_t window) {
  onePass = on;
  windowBytes = window ? window : std::size_t{1} << 20;
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

ObjModel* glmReadOBJ(const char* path) {
  GLM_ASSERT(path);
  Reader r{};
  r.path = path;
  // A file that two threads read in chunks, or that is no regular file, is
  // read whole first; any other is read by the one pass as it goes.
  LineStream stream;
  bool streamed = onePass && stream.open(path) &&
                  !(stream.size() >= chunkingFrom && (cores() >= 2 || chunkBytes));
  if (!streamed) loadWhole(r, loadText(path, r.text, "glmReadOBJ"));

  std::unique_ptr<ObjModel, ModelDeleter> model(
      static_cast<ObjModel*>(glmAlloc(1, sizeof(ObjModel), "glmReadOBJ")));
  model->path = glmStrdup(path, "glmReadOBJ");
  r.model = model.get();
  r.expectedBytes = streamed ? stream.size() : static_cast<std::size_t>(r.text.end - r.text.begin);

  if (streamed) {
    if (readOnce(r, [&stream](const char*& begin, const char*& end) {
          return stream.next(begin, end);
        }))
      return model.release();
    loadWhole(r, stream.readWhole(r.text));
  } else {
    bool chunks = r.expectedBytes >= chunkingFrom && (cores() >= 2 || chunkBytes);
    if (chunks && readInChunks(r)) return model.release();
    auto whole = [&r, given = false](const char*& begin, const char*& end) mutable {
      begin = r.text.begin;
      end = r.text.end;
      return !std::exchange(given, true);
    };
    if (onePass && readOnce(r, whole)) return model.release();
  }
  try {
    readTwice(r);
  } catch (const Changed&) {
    // The file changed after the one pass read it: read it from scratch.
    forgetStored(r);
    glmFreeMaterials(model->materials, model->materialcount);
    model->materials = nullptr;
    model->materialcount = 0;
    std::free(model->mtllib);
    model->mtllib = nullptr;
    r.librariesRead.clear();
    readTwice(r);
  }
  return model.release();
}
