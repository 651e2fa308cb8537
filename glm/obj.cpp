// OBJ reader: one reader that parses, records, then reports. The text is
// read in parts, the whole or two halves at once on two threads, each in
// pieces of whole lines. A part parses its lines into arrays of its own and
// records, in file order, what only the whole file settles: groups,
// materials and libraries, and what must be reported (an unknown keyword, a
// bad index, a reference to an entry not read yet). It never prints.
// Settling, on the calling thread, joins the parts and walks what they
// recorded, giving every message in the order a reader that counts the file
// first and then fills the model would: libraries and an unknown keyword,
// then a file too large, then unknown materials and index failures.
#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <span>
#include <string_view>
#include <thread>
#include <unordered_map>
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

struct ModelDeleter {
  void operator()(ObjModel* model) const { glmFreeModel(model); }
};

// A type of this file's own, so the maps keyed by name are instantiated
// here and not exported with the library.
struct NameHash {
  std::size_t operator()(std::string_view name) const { return std::hash<std::string_view>{}(name); }
};

// A group, and the room its list of triangles has.
struct GroupSlot {
  ObjGroup* group;
  std::size_t capacity;
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
  for (const char* q = word; q + 1 < limit && *q && !normalForm; q++)
    normalForm = q[0] == '/' && q[1] == '/';
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

// What a part records for settling, with the number of the part's triangles
// read before it and, for what is reported, its line in the part.
struct Event {
  enum Kind : std::uint8_t { group, usemtl, library, unknown, badIndex, forward, object, smooth } kind;
  std::uint8_t of = 0;          // an index's kind: vertex, texture coordinate, normal
  std::uint64_t triangles = 0;
  std::uint64_t line = 0;
  std::uint64_t value = 0;      // a forward reference's index, a smoothing group, a material
  std::string text;             // the name, the keyword, or the index as written ("": missing)
};
constexpr const char* kKindNames[] = {"vertex", "texture coordinate", "normal"};
constexpr int kWidth[] = {3, 2, 3};  // floats per entry of each kind

// The arrays a part parses into: entries of each kind 1-based (entry 0
// zero), triangles 0-based; `room[3]` is the triangles'.
struct Arrays {
  float* entries[3] = {};  // vertices, texture coordinates, normals
  ObjTriangle* triangles = nullptr;
  std::uint64_t room[4] = {};

  std::uint64_t bytes() const {
    return (room[0] * 3 + room[1] * 2 + room[2] * 3) * sizeof(float) + room[3] * sizeof(ObjTriangle);
  }
  void release() {
    for (float* array : entries) std::free(array);
    std::free(triangles);
    *this = {};
  }
};

// The arrays a thread's last read parsed into, kept for its next read (up to
// kKeepBytes). A program that reads many files then parses into memory it
// has already, instead of the system mapping and zeroing fresh pages for
// each read, and each model gets a copy of exactly its size. A thread's
// first read hands its arrays to the model itself, so a program that reads
// once pays for no copy.
constexpr std::uint64_t kKeepBytes = std::uint64_t{64} << 20;
struct Kept {
  Arrays sets[2];
  bool again = false;
  ~Kept() {
    for (Arrays& set : sets) set.release();
  }
};
thread_local Kept kept;

// Most entries of a kind (and most triangles plus one) a model may hold.
std::atomic<std::uint64_t> entryLimit{UINT32_MAX};

// A part not at the file's start knows no entries before its own, so it can
// resolve no negative index: it gives up, and the calling thread reads it.
struct GiveUp {};

// The index as written, for a message: its sign and digits, long ones cut.
std::string quoted(const char* written) {
  constexpr std::size_t kShown = 20;
  const char* end = written + (*written == '-' || *written == '+');
  while (isDigit(*end)) ++end;
  std::size_t length = static_cast<std::size_t>(end - written);
  return length > kShown ? std::string(written, kShown) + "..." : std::string(written, length);
}

// The text is read once, from start to end, faster than the hardware
// fetches it unasked.
inline void prefetchAhead(const char* p) { __builtin_prefetch(p + 1024); }

// A vertex's colour, kept apart from the vertices: most files have none,
// and their vertices then cost nothing more.
struct Colour {
  std::uint64_t vertex;  // the part's own entry
  float rgb[3];
};

// The group an "s" line names: "off", 0 and anything but a number are none.
std::uint64_t smoothingGroup(std::string_view word) {
  std::uint64_t group = 0;
  for (char c : word) {
    if (!isDigit(c)) return 0;
    group = std::min<std::uint64_t>(group * 10 + digitValue(c), UINT32_MAX);
  }
  return group;
}

// One part of the file: parses its lines, records, never reports.
struct Part {
  Arrays a;
  std::uint64_t next[3] = {1, 1, 1};  // each kind's next free entry
  std::uint64_t triangles = 0;
  std::uint64_t highest[3] = {};      // the largest positive index of each kind
  std::uint64_t recorded[3] = {};     // the largest forward reference recorded
  std::vector<Event> events;
  std::vector<Colour> colours;
  std::vector<ObjLine> segments;   // each segment's material: the "usemtl" lines before it
  std::vector<unsigned> points;
  std::uint64_t usemtls = 0;       // the part's "usemtl" lines so far
  bool atStart;          // no entries come before it
  std::uint64_t guess;   // the bytes it reads, for its arrays' first room
  bool failed = false;   // an index failure is recorded: nothing later can fail first
  bool tooLarge = false;
  bool stopped = false;  // at an unknown keyword, which ends what is worth reading
  std::uint64_t lines = 0;          // newlines in the pieces read before this one
  const char* counted = nullptr;    // this piece's newlines are counted up to here
  std::uint64_t countedLines = 0;

  Part(Arrays arrays, bool first, std::uint64_t bytes) : a(arrays), atStart(first), guess(bytes) {}
  Part(const Part&) = delete;
  Part& operator=(const Part&) = delete;
  ~Part() { a.release(); }

  void read(LineStream&& stream) {
    for (const char *begin, *end; !stopped && stream.next(begin, end);) {
      counted = begin;
      countedLines = 0;
      readLines(begin, end);
      lines += countedLines + glmLineAt(counted, end) - 1;
    }
  }

  // The line of `at` in the part, counted on from the last one asked for.
  std::uint64_t lineOf(const char* at) {
    countedLines += glmLineAt(counted, at) - 1;
    counted = at;
    return lines + countedLines + 1;
  }
  Event& record(Event::Kind kind, std::string_view text, const char* at = nullptr) {
    events.push_back({kind, 0, triangles, at ? lineOf(at) : 0, 0, std::string(text)});
    return events.back();
  }

  void readLines(const char* p, const char* end) {
    for (; (p = skipSpace(p)) < end; p = nextLine(p)) {
      prefetchAhead(p);
      if (isBlank(p[1]) && p[0] == 'v')
        p = numbers<0>(p + 1);
      else if (isBlank(p[1]) && p[0] == 'f')
        p = face(p + 1);
      else if (p[0] == 'v' && (p[1] == 'n' || p[1] == 't') && isBlank(p[2]))
        p = p[1] == 'n' ? numbers<2>(p + 2) : numbers<1>(p + 2);
      else
        p = statement(p, end);
    }
  }

  // The statement at p (at its keyword), which is not one of the usual
  // lines; returns where its reading stopped, on its line. Keywords are
  // whole words, read as C strings.
  const char* statement(const char* p, const char* end) {
    const char* keyword = p;
    p = isSpace(p[1]) ? p + 1 : wordEnd(p + 1);
    std::string_view word = cString(keyword, p);
    if (word == "v") return numbers<0>(p);
    if (word == "vn") return numbers<2>(p);
    if (word == "vt") return numbers<1>(p);
    if (word == "f") return face(p);
    if (word == "g") {
      const char *begin, *stop;  // the name is the rest of the line, blanks included
      restOfLine(p, &begin, &stop);
      record(Event::group, cString(begin, stop));
    } else if (word == "mtllib") {
      record(Event::library, firstWord(p, nextLine(p)));
    } else if (word == "usemtl") {
      record(Event::usemtl, firstWord(p, nextLine(p)));
      usemtls++;
    } else if (word == "o") {  // the name without the blanks around it
      const char *begin, *stop;
      restOfLine(p, &begin, &stop);
      while (begin < stop && isBlank(*begin)) ++begin;
      std::string_view name = cString(begin, stop);
      while (!name.empty() && isBlank(name.back())) name.remove_suffix(1);
      record(Event::object, name);
    } else if (word == "s") {
      record(Event::smooth, {}).value = smoothingGroup(firstWord(p, nextLine(p)));
    } else if (word == "l") {
      return polyline(p);
    } else if (word == "p") {
      return pointList(p);
    } else if (!word.empty() && word[0] == 'v') {
      record(Event::unknown, word.substr(0, kNameMax), keyword);
      stopped = true;
      return end - 1;  // the piece's last line: nothing after it is read
    }
    return p;  // comments and every keyword without meaning here
  }

  // Room for one more entry of `kind` (3: triangle), at `at`. Past the
  // limit the part is too large, and goes on over its first entries only to
  // find what is reported before that.
  void makeRoom(int kind, std::uint64_t& at) {
    std::uint64_t& room = a.room[kind];
    const std::uint64_t limit = std::max<std::uint64_t>(entryLimit, 2);
    if (at >= limit) {
      tooLarge = true;
      at = 1;
      return;
    }
    std::uint64_t first = guess / (kind == 3 ? 12 : 24) + 64;
    std::uint64_t entries = std::min(limit, room ? room * 2 : first);
    std::size_t item = kind == 3 ? sizeof(ObjTriangle) : kWidth[kind] * sizeof(float);
    void*& array = kind == 3 ? reinterpret_cast<void*&>(a.triangles)
                             : reinterpret_cast<void*&>(a.entries[kind]);
    void* block = std::realloc(array, entries * item);
    if (!block) throw std::bad_alloc();
    if (!room) std::memset(block, 0, item);  // entry 0
    array = block;
    room = entries;
    // Huge pages behind the whole 2 MiB units of a large block: filling it
    // then takes one page fault where it took 512. A hint; a kernel may refuse.
    constexpr std::uintptr_t kUnit = std::uintptr_t{1} << 21;
    std::uintptr_t from = (reinterpret_cast<std::uintptr_t>(block) + kUnit - 1) & ~(kUnit - 1);
    std::uintptr_t to = (reinterpret_cast<std::uintptr_t>(block) + entries * item) & ~(kUnit - 1);
    if (to > from) ::madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
  }

  // Numeric lines: each adds one entry whatever it holds; a number missing
  // from the line stays 0.
  template <int kind>
  [[gnu::always_inline]] const char* numbers(const char* p) {
    if (next[kind] >= a.room[kind]) makeRoom(kind, next[kind]);
    float* values = a.entries[kind] + kWidth[kind] * next[kind]++;
    for (int i = 0; i < kWidth[kind]; i++) values[i] = 0.0f;
    if (scanFloats(p, values, kWidth[kind]) == 3 && kind == 0 && *skipBlanks(p) != '\n')
      colour(p);
    return p;
  }

  // "v x y z r g b": three more numbers are the vertex's colour.
  [[gnu::noinline]] void colour(const char*& p) {
    Colour c{next[0] - 1, {}};
    if (scanFloats(p, c.rgb, 3) == 3) colours.push_back(c);
  }

  // "l": a polyline of corners "v" or "v/t", kept as its segments.
  const char* polyline(const char* p) {
    ObjLine segment{};
    for (int corners = 0;; corners++) {
      const char* at = skipBlanks(p);
      Corner c;
      if (!scanInt(p, c.v, &c.vAt)) break;
      const unsigned v = index<0>(c.v, c.vAt, at);
      unsigned t = 0;
      if (*p == '/') {
        ++p;
        if (!scanInt(p, c.t, &c.tAt)) c.t = 0;
        t = index<1>(c.t, c.tAt, at);
      }
      if (corners > 0) {
        segment.vertexidx[1] = v;
        segment.texcoordidx[1] = t;
        segment.material = static_cast<unsigned>(usemtls);
        segments.push_back(segment);
      }
      segment.vertexidx[0] = v;
      segment.texcoordidx[0] = t;
    }
    return p;
  }

  // "p": vertices, each as "v" (anything after a "/" passed over).
  const char* pointList(const char* p) {
    for (;;) {
      const char* at = skipBlanks(p);
      long long v;
      const char* written = nullptr;
      if (!scanInt(p, v, &written)) break;
      points.push_back(index<0>(v, written, at));
      while (!isSpace(*p) && *p) ++p;
    }
    return p;
  }

  // A face: its first corner, read as a word, decides the form of the whole
  // face.
  const char* face(const char* p) {
    p = skipBlanks(p);
    const char* firstAt = p;
    const char* end = wordEnd(p);
    Corner corner;
    switch (firstCorner(p, end, corner)) {
      case Form::vertex:
        return faceOfForm<Form::vertex>(end, corner, firstAt);
      case Form::vertexTexture:
        return faceOfForm<Form::vertexTexture>(end, corner, firstAt);
      case Form::vertexNormal:
        return faceOfForm<Form::vertexNormal>(end, corner, firstAt);
      case Form::vertexTextureNormal:
        break;
    }
    return faceOfForm<Form::vertexTextureNormal>(end, corner, firstAt);
  }

  // A new triangle, all zero: settling gives it its material.
  [[gnu::always_inline]] ObjTriangle* addTriangle() {
    if (triangles >= a.room[3]) makeRoom(3, triangles);
    ObjTriangle* t = &a.triangles[triangles++];
    *t = ObjTriangle{};
    return t;
  }

  // A face after its first corner: the second and third corners are read
  // whatever they hold (keeping the numbers of the corner before when a read
  // falls short), then every further corner read that converts at least one
  // number adds a triangle to the fan around the first corner.
  template <Form form>
  const char* faceOfForm(const char* p, Corner corner, const char* firstAt) {
    ObjTriangle* t = addTriangle();
    storeCorner<form>(corner, firstAt, *t, 0);
    for (int k = 1; k < 3; k++) {
      const char* at = p;
      scanCorner<form>(p, corner);
      storeCorner<form>(corner, at, *t, k);
    }
    for (;;) {
      const char* at = p;
      if (scanCorner<form>(p, corner) <= 0) break;
      ObjTriangle* next = addTriangle();
      // The fan: corner 1 stays, the previous last corner becomes corner 2.
      // Triangles are stored in order, so the previous one is just before.
      const ObjTriangle& previous = *(next - 1);
      for (unsigned(ObjTriangle::*field)[3] : {&ObjTriangle::vertexidx, &ObjTriangle::texcoordidx,
                                           &ObjTriangle::normalidx}) {
        (next->*field)[0] = (previous.*field)[0];
        (next->*field)[1] = (previous.*field)[2];
      }
      storeCorner<form>(corner, at, *next, 2);
    }
    return p;
  }

  template <Form form>
  [[gnu::always_inline]] void storeCorner(const Corner& c, const char* at, ObjTriangle& t, int k) {
    t.vertexidx[k] = index<0>(c.v, c.vAt, at);
    if constexpr (form == Form::vertexTexture || form == Form::vertexTextureNormal)
      t.texcoordidx[k] = index<1>(c.t, c.tAt, at);
    if constexpr (form == Form::vertexNormal || form == Form::vertexTextureNormal)
      t.normalidx[k] = index<2>(c.n, c.nAt, at);
  }

  // The usual index, positive and of an entry read before, is taken as it
  // is. A part not at the start takes any positive one: the calling thread
  // checks its largest against the totals.
  template <int kind>
  [[gnu::always_inline]] unsigned index(long long raw, const char* written, const char* at) {
    std::uint64_t u = static_cast<std::uint64_t>(raw);
    if (raw > 0 && written && u < (atStart ? next[kind] : std::uint64_t{UINT32_MAX} + 1)) {
      highest[kind] = std::max(highest[kind], u);
      return static_cast<unsigned>(u);
    }
    return otherIndex(kind, raw, written, at);
  }

  // A negative index counts back from the latest entry read; a missing
  // index, 0 and one before the first entry are failures; a positive one
  // past the entries read so far must be found by the file's end.
  [[gnu::noinline]] unsigned otherIndex(int kind, long long raw, const char* written,
                                        const char* at) {
    if (raw < 0 && written) {
      if (!atStart) throw GiveUp{};
      long long resolved = static_cast<long long>(next[kind]) + raw;
      if (resolved >= 1) return static_cast<unsigned>(resolved);
    }
    if (!written || raw <= 0) {
      if (!failed) record(Event::badIndex, written ? quoted(written) : "", at).of = kind;
      failed = true;
      return 0;
    }
    std::uint64_t u = static_cast<std::uint64_t>(raw);
    highest[kind] = std::max(highest[kind], u);
    if (atStart && !failed && u > recorded[kind]) {
      Event& e = record(Event::forward, quoted(written), at);
      e.of = kind;
      e.value = recorded[kind] = u;
    }
    return static_cast<unsigned>(u);
  }
};

// The whole file's reading: the model, and the names only the whole file
// settles.
struct Reader {
  ObjModel* model;
  const char* path;
  const GLMreadoptions* options;
  // By name in constant time, so files with very many groups or materials
  // are not read in quadratic time; the keys are the names the groups and
  // materials own.
  std::unordered_map<std::string_view, GroupSlot, NameHash> groups;
  std::unordered_map<std::string_view, unsigned, NameHash> materials;

  // The group named `name`, created at the head of the model's group list
  // (as glmEnsureGroup does) when there is none.
  GroupSlot* ensureGroup(std::string_view name) {
    auto found = groups.find(name);
    if (found != groups.end()) return &found->second;
    OwnedString copy(copyText(name, "glmReadOBJ"));
    ObjGroup* group = static_cast<ObjGroup*>(glmAlloc(1, sizeof(ObjGroup), "glmReadOBJ"));
    group->name = copy.release();
    group->next = model->groups;
    model->groups = group;
    model->groupcount++;
    return &groups.try_emplace({group->name, name.size()}, GroupSlot{group, 0}).first->second;
  }

  // Every library's materials are kept; the model names the first. A line
  // that names no file has nothing to read.
  void readLibrary(const std::string& name) {
    if (name.empty()) return;
    if (!model->mtllib) model->mtllib = glmStrdup(name.c_str(), "glmReadOBJ");
    glmReadMaterials(model, name.c_str(), options);
  }

  // Makes the model's materials known to "usemtl", which takes the first
  // material of a name.
  void indexMaterials() {
    for (unsigned i = 0; i < model->materialcount; i++)
      if (const char* name = model->materials[i].name) materials.try_emplace(name, i);
  }

  // The material a "usemtl" name selects; 0, told, for an unknown name.
  unsigned findMaterial(std::string_view name) const {
    auto found = materials.find(name);
    if (found != materials.end()) return found->second;
    glmSay(stdout, "glmFindMaterial():  can't find material \"%.*s\".\n",
           static_cast<int>(name.size()), name.data());
    return 0;
  }
};

// One array of the model: `n1 + n2` items after `head` leading ones (entry
// 0 of the 1-based arrays). Part one's own array, shrunk to size, when it is
// taken; else a copy of both parts' items, of exactly that size.
void* place(void*& one, std::uint64_t n1, const void* two, std::uint64_t n2, std::size_t item,
            std::size_t head, bool take) {
  std::size_t bytes = item * static_cast<std::size_t>(std::max<std::uint64_t>(head + n1 + n2, 1));
  if (take && one) {
    void* array = std::exchange(one, nullptr);
    void* shrunk = std::realloc(array, bytes);
    return shrunk ? shrunk : array;
  }
  char* block = static_cast<char*>(std::malloc(bytes));
  if (!block) glmFailErrno(ENOMEM, stderr, "glmReadOBJ() failed: out of memory\n");
  std::memset(block, 0, item * head);
  if (n1) std::memcpy(block + item * head, static_cast<const char*>(one) + item * head, item * n1);
  if (n2)
    std::memcpy(block + item * (head + n1), static_cast<const char*>(two) + item * head, item * n2);
  return block;
}

template <typename T>
T* allocRecords(std::uint64_t count) {
  return static_cast<T*>(glmAlloc(static_cast<std::size_t>(count), sizeof(T), "glmReadOBJ"));
}

// The records beside groups and materials: vertex colours, objects,
// smoothing groups, lines and points. `firstVertices` is the number of
// vertices the first part read (a part numbers its colours from its own).
void settleRecords(ObjModel* m, std::span<Part* const> parts, std::uint64_t firstVertices,
                   std::uint64_t segments, std::uint64_t points) {
  const std::uint64_t triangles = m->trianglecount;
  std::uint64_t objects = 0;
  bool smoothed = false, coloured = false;
  for (const Part* part : parts) {
    coloured |= !part->colours.empty();
    for (const Event& e : part->events) {
      objects += e.kind == Event::object;
      smoothed |= e.kind == Event::smooth && e.value != 0;
    }
  }
  if (coloured) {
    m->colors = allocRecords<float>(3 * (std::uint64_t{m->vertexcount} + 1));
    std::fill(m->colors + 3, m->colors + 3 * (std::uint64_t{m->vertexcount} + 1), 1.0f);
    for (const Part* part : parts)
      for (const Colour& c : part->colours)
        std::copy(c.rgb, c.rgb + 3, m->colors + 3 * (c.vertex + (part == parts[0] ? 0 : firstVertices)));
  }
  if (objects) m->objects = allocRecords<ObjObject>(objects);
  if (smoothed) m->smoothing = allocRecords<unsigned>(std::max<std::uint64_t>(triangles, 1));
  if (segments) m->lines = allocRecords<ObjLine>(segments);
  if (points) m->points = allocRecords<unsigned>(points);

  std::uint64_t smoothFrom = 0, group = 0, before = 0;
  auto closeObject = [m](std::uint64_t at) {
    if (m->objectcount) {
      ObjObject& last = m->objects[m->objectcount - 1];
      last.trianglecount = static_cast<unsigned>(at - last.firsttriangle);
    }
  };
  auto smoothTo = [&](std::uint64_t to) {
    if (m->smoothing) std::fill(m->smoothing + smoothFrom, m->smoothing + to, static_cast<unsigned>(group));
    smoothFrom = to;
  };
  std::vector<unsigned> materials;  // in force after each "usemtl" line, from the first part's start
  materials.push_back(0);
  for (const Part* part : parts) {
    const std::size_t usedBefore = materials.size() - 1;
    for (const Event& e : part->events) {
      const std::uint64_t at = before + e.triangles;
      if (e.kind == Event::usemtl) materials.push_back(static_cast<unsigned>(e.value));
      if (e.kind == Event::smooth) {
        smoothTo(at);
        group = e.value;
      }
      if (e.kind == Event::object) {
        closeObject(at);
        ObjObject& o = m->objects[m->objectcount];
        o.name = copyText(e.text, "glmReadOBJ");
        o.firsttriangle = static_cast<unsigned>(at);
        m->objectcount++;
      }
    }
    for (const ObjLine& line : part->segments) {
      ObjLine& settled = m->lines[m->linecount++] = line;
      settled.material = materials[usedBefore + line.material];
    }
    if (!part->points.empty())
      std::copy(part->points.begin(), part->points.end(), m->points + m->pointcount);
    m->pointcount += static_cast<unsigned>(part->points.size());
    before += part->triangles;
  }
  smoothTo(triangles);
  if (m->smoothing &&
      std::all_of(m->smoothing, m->smoothing + triangles, [](unsigned group) { return group == 0; })) {
    std::free(m->smoothing);  // the groups named no triangle
    m->smoothing = nullptr;
  }
  closeObject(triangles);
}

// Makes the parts a model: every library is read, in file order, and an
// unknown keyword reported; then the counts are checked, the arrays joined,
// and the groups, materials and indices settled in file order.
void settle(Reader& r, Part& first, Part* second) {
  ObjModel* m = r.model;
  Part* both[] = {&first, second};
  const std::span<Part* const> parts(both, second ? 2 : 1);
  auto lineIn = [&first](const Part* part, const Event& e) -> unsigned long long {
    return e.line + (part == &first ? 0 : first.lines);
  };
  for (Part* part : parts)
    for (const Event& e : part->events) {
      if (e.kind == Event::library) r.readLibrary(e.text);
      if (e.kind == Event::unknown)
        glmFailAt(lineIn(part, e), stdout, "glmFirstPass(): Unknown token \"%s\".\n", e.text.c_str());
    }

  std::uint64_t totals[3], limit = entryLimit;
  bool tooLarge = first.tooLarge || (second && second->tooLarge);
  for (int k = 0; k < 3; k++) {
    totals[k] = first.next[k] - 1 + (second ? second->next[k] - 1 : 0);
    tooLarge |= totals[k] >= limit;
  }
  const std::uint64_t triangles = first.triangles + (second ? second->triangles : 0);
  std::uint64_t segments = 0, points = 0;
  for (const Part* part : parts) {
    segments += part->segments.size();
    points += part->points.size();
  }
  if (tooLarge || triangles > limit || segments > limit || points > limit)
    glmFailf(stderr, "glmReadOBJ() failed: \"%s\" is too large.\n", r.path);

  // Unknown materials are told and index failures found in file order,
  // before anything is built.
  r.indexMaterials();
  for (Part* part : parts)
    for (Event& e : part->events) {
      if (e.kind == Event::usemtl) e.value = r.findMaterial(e.text);
      if (e.kind == Event::badIndex && e.text.empty())
        glmFailAt(lineIn(part, e), stderr, "glmReadOBJ() failed: \"%s\" line %llu: %s index is missing.\n",
                  r.path, lineIn(part, e), kKindNames[e.of]);
      if (e.kind == Event::badIndex || (e.kind == Event::forward && e.value > totals[e.of]))
        glmFailAt(lineIn(part, e), stderr,
                  "glmReadOBJ() failed: \"%s\" line %llu: %s index %s is out of range.\n", r.path,
                  lineIn(part, e), kKindNames[e.of], e.text.c_str());
    }

  // Copies where the arrays are kept for the thread's next read, or two
  // parts join.
  bool take = !second && !(kept.again && first.a.bytes() <= kKeepBytes);
  kept.again = true;
  Arrays none;
  const Arrays& two = second ? second->a : none;
  auto join = [&](void*& one, const void* other, int kind, std::size_t item, std::size_t head) {
    std::uint64_t n1 = kind < 3 ? first.next[kind] - 1 : first.triangles;
    std::uint64_t n2 = !second ? 0 : kind < 3 ? second->next[kind] - 1 : second->triangles;
    return n1 + n2 || kind == 0 || kind == 3 ? place(one, n1, other, n2, item, head, take) : nullptr;
  };
  float** models[] = {&m->vertices, &m->texcoords, &m->normals};
  for (int k = 0; k < 3; k++)
    *models[k] = static_cast<float*>(join(reinterpret_cast<void*&>(first.a.entries[k]),
                                          two.entries[k], k, kWidth[k] * sizeof(float), 1));
  m->triangles = static_cast<ObjTriangle*>(
      join(reinterpret_cast<void*&>(first.a.triangles), two.triangles, 3, sizeof(ObjTriangle), 0));
  m->vertexcount = static_cast<unsigned>(totals[0]);
  m->texcoordcount = static_cast<unsigned>(totals[1]);
  m->normalcount = static_cast<unsigned>(totals[2]);
  m->trianglecount = static_cast<unsigned>(triangles);
  // The parts took what was kept; a read inside this one's callbacks may
  // have kept its own since, which gives way.
  for (std::size_t i = 0; i < parts.size(); i++)
    if (!take && parts[i]->a.bytes() <= kKeepBytes) {
      kept.sets[i].release();
      kept.sets[i] = std::exchange(parts[i]->a, {});
    }

  GroupSlot* current = r.ensureGroup("default");
  unsigned material = 0;
  std::uint64_t from = 0;
  // Triangles [from, to) go to the current group, in the current material.
  auto flush = [&](std::uint64_t to) {
    ObjGroup* g = current->group;
    std::uint64_t needed = g->trianglecount + (to - from);
    if (needed > current->capacity) {
      std::uint64_t capacity = std::max<std::uint64_t>(needed, current->capacity * 2);
      void* list = std::realloc(g->triangles, capacity * sizeof(unsigned));
      if (!list) glmFailErrno(ENOMEM, stderr, "glmReadOBJ() failed: out of memory\n");
      g->triangles = static_cast<unsigned*>(list);
      current->capacity = capacity;
    }
    for (std::uint64_t i = from; i < to; i++) g->triangles[g->trianglecount++] = static_cast<unsigned>(i);
    if (material)
      for (std::uint64_t i = from; i < to; i++) m->triangles[i].material = material;
    from = to;
  };
  for (Part* part : parts) {
    std::uint64_t before = part == &first ? 0 : first.triangles;
    for (const Event& e : part->events) {
      if (e.kind != Event::group && e.kind != Event::usemtl) continue;
      flush(before + e.triangles);
      if (e.kind == Event::group)
        current = r.ensureGroup(e.text);
      else
        material = static_cast<unsigned>(e.value);
      current->group->material = material;
    }
  }
  flush(triangles);
  for (ObjGroup* group = m->groups; group; group = group->next) {
    void* list = std::realloc(group->triangles, std::max(group->trianglecount, 1u) * sizeof(unsigned));
    if (!list) glmFailErrno(ENOMEM, stderr, "glmReadOBJ() failed: out of memory\n");
    group->triangles = static_cast<unsigned*>(list);
  }
  settleRecords(m, parts, first.next[0] - 1, segments, points);
}

std::atomic<std::size_t> twoThreadsFrom{kReadTwoThreadsFrom};
std::atomic<std::size_t> splitAt{0};

// The start of the first line that begins at or after byte `at` (at least
// 1), looking at most 64 KiB on; 0 when there is none.
std::uint64_t lineStartFrom(const Source& source, std::uint64_t at) {
  char probe[1 << 16];
  at = std::max<std::uint64_t>(at, 1) - 1;
  long long got = source.read(probe, sizeof probe, at);
  const void* newline = got > 0 ? std::memchr(probe, '\n', static_cast<std::size_t>(got)) : nullptr;
  return newline ? at + static_cast<std::uint64_t>(static_cast<const char*>(newline) - probe) + 1 : 0;
}

// Reads the opened `source` into a new model, on the calling thread, and
// for a large file where there are two cores, with another thread that
// reads its second half at the same time. Whatever fails there (a negative
// index, which it cannot resolve, an index it cannot check, or memory)
// leaves its half to the calling thread.
ObjModel* readSource(const char* path, const Source& source, const GLMreadoptions* options) {
  std::unique_ptr<ObjModel, ModelDeleter> model(
      static_cast<ObjModel*>(glmAlloc(1, sizeof(ObjModel), "glmReadOBJ")));
  model->path = glmStrdup(path, "glmReadOBJ");
  Reader r{model.get(), path, options, {}, {}};
  const std::uint64_t size = source.size();
  const unsigned threads = options && options->threads ? options->threads : 2;
  std::uint64_t split = 0;
  if (source.seekable() && threads >= 2 && size >= twoThreadsFrom && (cores() >= 2 || splitAt)) {
    split = lineStartFrom(source, splitAt ? splitAt.load() : size / 2);
    if (split >= size) split = 0;
  }
  Part second(std::exchange(kept.sets[1], {}), false, size - split);
  Part first(std::exchange(kept.sets[0], {}), true, split ? split : size);
  bool secondRead = false;
  try {
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
          other = std::thread([&second, &secondRead, &source, split] {
            Catching catching;
            try {
              second.read(LineStream(source, split, UINT64_MAX, false));
              secondRead = true;
            } catch (...) {
              // The calling thread reads this half.
            }
          });
        } catch (...) {
          // No thread to be had: this one reads it all.
        }
      }
      first.read(LineStream(source, 0, split ? split : UINT64_MAX, true));
    }
    for (int k = 0; secondRead && k < 3; k++)
      secondRead = second.highest[k] < first.next[k] + second.next[k] - 1;
    if (split && !secondRead && !first.stopped)
      first.read(LineStream(source, split, UINT64_MAX, false));
  } catch (const ReadError& error) {
    glmFailErrno(error.errnum, stderr, "glmReadOBJ() failed: can't open data file \"%s\".\n", path);
  } catch (const std::bad_alloc&) {
    glmFailErrno(ENOMEM, stderr, "glmReadOBJ() failed: out of memory\n");
  }
  settle(r, first, secondRead ? &second : nullptr);
  return model.release();
}

// Reads the file at `path` through `options`.
ObjModel* readPath(const char* path, const GLMreadoptions* options) {
  Source source;
  switch (source.open(path, options)) {
    case Source::Opened::done:
      break;
    case Source::Opened::device:
      glmFailf(stderr, "glmReadOBJ() failed: \"%s\" is a device, not a file.\n", path);
    default:
      glmFailErrno(errno ? errno : ENOENT, stderr, "glmReadOBJ() failed: can't open data file \"%s\".\n",
                   path);
  }
  return readSource(path, source, options);
}

}  // namespace

unsigned long long glm_internal::glmLineAt(const char* text, const char* at) {
  unsigned long long line = 1;
  const char* p = text;
#ifdef __SSE2__
  while (at - p >= 16) {  // 16 bytes at once, counted in bytes up to 255 times
    __m128i counts = _mm_setzero_si128();
    for (int i = 0; i < 255 && at - p >= 16; i++, p += 16)
      counts = _mm_sub_epi8(counts, _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)),
                                                   _mm_set1_epi8('\n')));
    __m128i sums = _mm_sad_epu8(counts, _mm_setzero_si128());
    line += static_cast<unsigned long long>(_mm_cvtsi128_si64(sums)) +
            static_cast<unsigned long long>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(sums, sums)));
  }
#endif
  for (; p < at; p++) line += *p == '\n';
  return line;
}

void glm_internal::glmSetReadChunking(std::size_t fromBytes, std::size_t split) {
  twoThreadsFrom = fromBytes;
  splitAt = split;
}

void glm_internal::glmSetReadWindow(std::size_t bytes) { setWindowBytes(bytes); }

void glm_internal::glmSetReadLimit(std::uint64_t entries) { entryLimit = entries ? entries : UINT32_MAX; }

ObjModel* glmReadOBJFrom(const char* path, const GLMreadoptions* options, GLMerror* error) {
  GLM_ASSERT(path);
  ObjModel* model = nullptr;
  handingBack(error, [&] { model = readPath(path, options); });
  return model;
}

ObjModel* glmReadOBJMemory(const char* text, unsigned long long size, const char* path,
                           const GLMreadoptions* options, GLMerror* error) {
  GLM_ASSERT(text || size == 0);
  ObjModel* model = nullptr;
  handingBack(error, [&] {
    Source source;
    source.openMemory(text ? text : "", size);
    model = readSource(path ? path : "", source, options);
  });
  return model;
}

// The same read, with its failure given as glmReadOBJ has always given it:
// printed (or handed to the message handler), then the end of the program.
ObjModel* glmReadOBJ(const char* path) {
  GLM_ASSERT(path);
  Failure failure;
  ObjModel* model = nullptr;
  if (!glmCatch(failure, [&] { model = readPath(path, nullptr); })) glmFail(std::move(failure));
  return model;
}
