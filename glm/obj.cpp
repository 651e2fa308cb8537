// OBJ reader: the file is read into memory once; a counting pass sizes every
// array, a filling pass stores the data. The passes share one scanner and one
// face parser, so they consume the text identically and never disagree on
// what they counted. The counting pass passes over lines in their usual
// shape without the general rules, only where that provably leaves it where
// the general rules would.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>

#include <sys/mman.h>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "glm_internal.h"
#include "scan.h"

namespace {

// The large arrays are written from end to end right after they are
// allocated: having the kernel map all their pages in one call is far
// cheaper than a page fault on each page. A hint only: a kernel without it
// refuses, and the pages are then mapped as they are first written.
void prefault(void* block, std::size_t bytes) {
#ifdef MADV_POPULATE_WRITE
  constexpr std::size_t kWorthIt = std::size_t{1} << 20;
  constexpr std::uintptr_t kPage = 4096;  // only rounds the range inwards
  if (!block || bytes < kWorthIt) return;
  std::uintptr_t begin = (reinterpret_cast<std::uintptr_t>(block) + kPage - 1) & ~(kPage - 1);
  std::uintptr_t end = (reinterpret_cast<std::uintptr_t>(block) + bytes) & ~(kPage - 1);
  if (end > begin)
    ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_POPULATE_WRITE);
#else
  (void)block;
  (void)bytes;
#endif
}

struct ModelDeleter {
  void operator()(ObjModel* model) const { glmFreeModel(model); }
};

// Group lookup by name in constant time, so a file with very many groups is
// not read in quadratic time. Each slot also remembers how many triangles the
// counting pass gave its group, the capacity the filling pass must respect.
struct GroupSlot {
  ObjGroup* group;
  std::size_t capacity;
};

struct GroupTable {
  std::unique_ptr<GroupSlot, FreeDeleter> slots;
  std::size_t mask = 0;
  std::size_t used = 0;

  static std::uint64_t hash(std::string_view name) {
    std::uint64_t h = 1469598103934665603ull;  // FNV-1a
    for (char c : name) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    return h;
  }

  GroupSlot* find(std::string_view name) {
    if (!slots) return nullptr;
    for (std::size_t i = hash(name) & mask;; i = (i + 1) & mask) {
      GroupSlot& slot = slots.get()[i];
      if (!slot.group) return &slot;
      if (name == slot.group->name) return &slot;
    }
  }

  void grow() {
    std::size_t size = slots ? (mask + 1) * 2 : 16;
    std::unique_ptr<GroupSlot, FreeDeleter> old(std::move(slots));
    std::size_t oldSize = old ? mask + 1 : 0;
    slots.reset(static_cast<GroupSlot*>(glmAlloc(size, sizeof(GroupSlot), "glmReadOBJ")));
    mask = size - 1;
    for (std::size_t i = 0; i < oldSize; i++)
      if (old.get()[i].group) *find(old.get()[i].group->name) = old.get()[i];
  }

  // The slot of the group named `name`, created at the head of the model's
  // group list (as glmEnsureGroup does) when there is none.
  GroupSlot* ensure(ObjModel* model, const char* name) {
    if ((used + 1) * 2 > mask + 1) grow();
    GroupSlot* slot = find(name);
    if (slot->group) return slot;
    std::unique_ptr<char, FreeDeleter> copy(glmStrdup(name, "glmReadOBJ"));
    ObjGroup* group = static_cast<ObjGroup*>(glmAlloc(1, sizeof(ObjGroup), "glmReadOBJ"));
    group->name = copy.release();
    group->next = model->groups;
    model->groups = group;
    model->groupcount++;
    slot->group = group;
    used++;
    return slot;
  }
};

// The corner forms a face can take, decided by its first corner.
enum class Form { vertex, vertexTexture, vertexNormal, vertexTextureNormal };

// The raw numbers of a corner as read: scanf's destination variables. A read
// that converts only some of them leaves the others as they were, so a short
// corner repeats the fields of the corner before it.
struct Corner {
  long long v = 0, t = 0, n = 0;
};

// One scanf call with the form's format ("%d", "%d/%d", "%d//%d",
// "%d/%d/%d") on the text; returns the number of conversions.
template <Form form>
[[gnu::always_inline]] inline int scanCorner(const char*& p, Corner& corner) {
  if (!scanInt(p, corner.v)) return 0;
  if constexpr (form == Form::vertex) {
    return 1;
  } else if constexpr (form == Form::vertexTexture) {
    if (!scanLiteral(p, '/') || !scanInt(p, corner.t)) return 1;
    return 2;
  } else if constexpr (form == Form::vertexNormal) {
    if (!scanLiteral(p, '/') || !scanLiteral(p, '/') || !scanInt(p, corner.n)) return 1;
    return 2;
  } else {
    if (!scanLiteral(p, '/') || !scanInt(p, corner.t)) return 1;
    if (!scanLiteral(p, '/') || !scanInt(p, corner.n)) return 2;
    return 3;
  }
}

// "%d" inside the first word of a face, which is read as a C string of at
// most kNameMax characters: at its end there is nothing more to read, no
// whitespace to skip. `limit` is where the kept characters end.
[[gnu::always_inline]] inline bool scanIntIn(const char*& p, const char* limit, long long& value) {
  return p != limit && !isSpace(*p) && scanInt(p, value);
}

// The first corner of a face, the word at `word` (in the text, or a copy
// ending at `limit`): its form, tested in this order: "//" anywhere (up to a
// NUL, where the word's C string ends), three numbers as v/t/n, two as v/t,
// otherwise a plain vertex index; and its numbers (`corner` starts zeroed),
// parsed with the form's format. Reading "%d/%d/%d" as far as it goes yields
// the numbers of the v/t/n, v/t and plain forms alike, and the text it passes
// holds no "//", so only the rest of the word needs searching. *searched is
// where the search stopped, at or before the word's end.
Form firstCorner(const char* word, const char* limit, Corner& corner, const char** searched) {
  Corner read = corner;
  const char* p = word;
  int count = 0;
  if (scanIntIn(p, limit, read.v)) {
    count = 1;
    if (scanLiteral(p, '/') && scanIntIn(p, limit, read.t)) {
      count = 2;
      if (scanLiteral(p, '/') && scanIntIn(p, limit, read.n)) count = 3;
    }
  }
  const char* q = p > word ? p - 1 : word;
  for (; q + 1 < limit && *q && !isSpace(*q); q++) {
    if (q[0] == '/' && q[1] == '/') {
      *searched = q;
      p = word;
      if (scanIntIn(p, limit, corner.v) && scanLiteral(p, '/') && scanLiteral(p, '/'))
        scanIntIn(p, limit, corner.n);
      return Form::vertexNormal;
    }
  }
  *searched = q;
  corner = read;
  if (count == 3) return Form::vertexTextureNormal;
  return count == 2 ? Form::vertexTexture : Form::vertex;
}

// The counting pass recognises lines in their usual shape and passes over
// them without the general rules; anything else is read the general way.

// Passes over a numeric line in its usual shape, p just past its keyword:
// nothing but number characters (digits, points, signs) and whitespace up
// to the newline, in at least `count` words, within 64 bytes. Each word
// gives at least one read, so the reads of the numbers all start on the line
// and none runs past it (a number never spans whitespace); whatever they
// leave on the line starts with a number character and is skipped as a line
// of its own. Either way the next word is on the next line. Null for any
// other line. The line is checked on bit masks of its characters, one bit
// per byte, 16 bytes at a time where the processor allows.
const char* skipPlainNumbers(const char* p, int count) {
  static_assert(kPadding >= 64, "the look-ahead must stay inside the text's block");
  std::uint64_t newline = 0, space = 0, number = 0;
  auto classify16 = [&](int block) {
    const char* at = p + 16 * block;
    int shift = 16 * block;
#ifdef __SSE2__
    __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    auto bits = [shift](__m128i match) {
      return static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(match))) << shift;
    };
    auto is = [x](char c) { return _mm_cmpeq_epi8(x, _mm_set1_epi8(c)); };
    // Unsigned "x - low <= span" as "min(x - low, span) == x - low".
    auto within = [x](char low, char span) {
      __m128i offset = _mm_sub_epi8(x, _mm_set1_epi8(low));
      return _mm_cmpeq_epi8(_mm_min_epu8(offset, _mm_set1_epi8(span)), offset);
    };
    newline |= bits(is('\n'));
    space |= bits(_mm_or_si128(is(' '), within('\t', '\r' - '\t')));
    // '+', '-' and '.' are 0x2B, 0x2D and 0x2E; ',' (0x2C) is not one.
    number |= bits(_mm_andnot_si128(is(','), _mm_or_si128(within('0', 9), within('+', 3))));
#else
    for (int i = 0; i < 16; i++) {
      std::uint64_t bit = std::uint64_t{1} << (shift + i);
      char c = at[i];
      if (c == '\n') newline |= bit;
      if (isSpace(c)) space |= bit;
      if (isDigit(c) || c == '+' || c == '-' || c == '.') number |= bit;
    }
#endif
  };
  classify16(0);
  classify16(1);
  if (!newline) {
    classify16(2);
    classify16(3);
    if (!newline) return nullptr;
  }
  int length = __builtin_ctzll(newline);
  std::uint64_t word = ((std::uint64_t{1} << length) - 1) & ~space;
  if ((word & ~number) != 0) return nullptr;
  std::uint64_t starts = word & ~(word << 1);
  for (int i = 0; i < count; i++, starts &= starts - 1)
    if (!starts) return nullptr;
  return p + length + 1;
}

// A face corner in its usual shape: numbers of digits with an optional sign
// in front, separated by slashes, within 32 bytes. Its bit masks, one bit
// per byte from its start: the slashes, and the bytes it spans.
struct CornerShape {
  std::uint32_t slashes = 0;
  int length = 0;  // 0 when the text at p is no such corner
};

inline CornerShape cornerShape(const char* p) {
  static_assert(kPadding >= 32, "the look-ahead must stay inside the text's block");
  std::uint32_t slash = 0, sign = 0, digit = 0;
#ifdef __SSE2__
  for (int block = 0; block < 2; block++) {
    __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * block));
    auto bits = [block](__m128i match) {
      return static_cast<std::uint32_t>(_mm_movemask_epi8(match)) << (16 * block);
    };
    __m128i offset = _mm_sub_epi8(x, _mm_set1_epi8('0'));
    digit |= bits(_mm_cmpeq_epi8(_mm_min_epu8(offset, _mm_set1_epi8(9)), offset));
    slash |= bits(_mm_cmpeq_epi8(x, _mm_set1_epi8('/')));
    sign |= bits(_mm_or_si128(_mm_cmpeq_epi8(x, _mm_set1_epi8('-')),
                              _mm_cmpeq_epi8(x, _mm_set1_epi8('+'))));
  }
#else
  for (int i = 0; i < 32; i++) {
    std::uint32_t bit = std::uint32_t{1} << i;
    if (isDigit(p[i])) digit |= bit;
    if (p[i] == '/') slash |= bit;
    if (p[i] == '-' || p[i] == '+') sign |= bit;
  }
#endif
  std::uint32_t beyond = ~(digit | slash | sign);
  if (!beyond) return {};
  CornerShape shape;
  shape.length = __builtin_ctz(beyond);
  std::uint32_t within = (std::uint32_t{1} << shape.length) - 1;
  shape.slashes = slash & within;
  sign &= within;
  // Numbers start at the front and after each slash that a slash does not
  // follow; each is an optional sign and digits, and the corner ends in one.
  std::uint32_t starts = (1u | shape.slashes << 1) & ~shape.slashes & within;
  std::uint32_t firstDigits = (starts & ~sign) | (sign << 1);
  if (!shape.length || (shape.slashes & 1) || (sign & ~starts) != 0 ||
      (firstDigits & ~digit) != 0 || !(digit >> (shape.length - 1) & 1))
    return {};
  return shape;
}

// Whether a corner of this shape is written in `form` ("1", "1/2", "1//3",
// "1/2/3"). The form of a face's first corner follows from its shape too.
inline bool hasForm(CornerShape shape, Form form) {
  std::uint32_t s = shape.slashes, first = s & -s, rest = s & (s - 1);
  switch (form) {
    case Form::vertex:
      return shape.length && !s;
    case Form::vertexTexture:
      return first && !rest;
    case Form::vertexNormal:
      return first && rest == first << 1;
    case Form::vertexTextureNormal:
      break;
  }
  return first && rest && !(rest & (rest - 1)) && rest != first << 1;
}

// Counts the corners after the first of a face line in its usual shape:
// corners of the face's form each after blanks, up to the line end. Reading
// such corners consumes each one exactly. Returns -1 for any other line;
// else the count, with *last just past the last corner.
template <Form form>
int countPlainCorners(const char* p, const char** last) {
  int count = 0;
  for (;;) {
    const char* corner = p;
    while (*p == ' ' || *p == '\t') ++p;
    if (*p == '\n' || *p == '\r') {
      while (*p == '\r') ++p;
      if (*p != '\n') return -1;
      *last = corner;
      return count;
    }
    if (p == corner) return -1;  // corners must be separated
    CornerShape shape = cornerShape(p);
    if (!hasForm(shape, form)) return -1;
    p += shape.length;
    count++;
  }
}

struct Reader {
  ObjModel* model;
  const char* path;
  Text text;
  GroupTable groups;
  GroupSlot* group = nullptr;  // the current group
  // Counts (first pass) or next free entries (second pass).
  std::uint64_t vertices = 0, normals = 0, texcoords = 0, triangles = 0;
  unsigned material = 0;

  unsigned lineAt(const char* p) const {
    unsigned line = 1;
    for (const char* q = text.begin; q < p && q < text.end; q++) line += *q == '\n';
    return line;
  }
};

// Turns a raw index into a 1-based one: negative indices count back from the
// latest entry read so far; 0 and anything outside 1..total are fatal.
unsigned resolveOtherIndex(const Reader& r, long long raw, std::uint64_t readSoFar,
                           std::uint64_t total, const char* kind, const char* at) {
  long long index = raw < 0 ? static_cast<long long>(readSoFar) + 1 + raw : raw;
  if (raw == 0 || index < 1 || static_cast<std::uint64_t>(index) > total)
    glmFailf(stderr, "glmReadOBJ() failed: \"%s\" line %u: %s index %lld is out of range.\n",
             r.path, r.lineAt(at), kind, raw);
  return static_cast<unsigned>(index);
}

// The usual index, positive and in range, is taken as it is.
[[gnu::always_inline]] inline unsigned resolveIndex(const Reader& r, long long raw,
                                                    std::uint64_t readSoFar, std::uint64_t total,
                                                    const char* kind, const char* at) {
  if (raw > 0 && static_cast<std::uint64_t>(raw) <= total) return static_cast<unsigned>(raw);
  return resolveOtherIndex(r, raw, readSoFar, total, kind, at);
}

// Stores the resolved corner into corner k of triangle t, for the fields
// the form carries.
template <Form form>
[[gnu::always_inline]] inline void storeCorner(const Reader& r, const Corner& c, const char* at,
                                               ObjTriangle& t, int k) {
  const ObjModel* m = r.model;
  t.vertexidx[k] = resolveIndex(r, c.v, r.vertices - 1, m->vertexcount, "vertex", at);
  if constexpr (form == Form::vertexTexture || form == Form::vertexTextureNormal)
    t.texcoordidx[k] =
        resolveIndex(r, c.t, r.texcoords - 1, m->texcoordcount, "texture coordinate", at);
  if constexpr (form == Form::vertexNormal || form == Form::vertexTextureNormal)
    t.normalidx[k] = resolveIndex(r, c.n, r.normals - 1, m->normalcount, "normal", at);
}

// Appends a new triangle to the model and the current group (second pass),
// or only counts it (first pass).
template <bool Fill>
[[gnu::always_inline]] inline ObjTriangle* addTriangle(Reader& r) {
  if constexpr (!Fill) {
    r.triangles++;
    r.group->capacity++;
    return nullptr;
  } else {
    ObjGroup* group = r.group->group;
    if (r.triangles >= r.model->trianglecount || group->trianglecount >= r.group->capacity)
      glmFailf(stderr, "glmReadOBJ() failed: \"%s\": the reading passes disagree.\n", r.path);
    group->triangles[group->trianglecount++] = static_cast<unsigned>(r.triangles);
    return &r.model->triangles[r.triangles++];
  }
}

// Every further corner read that converts at least one number adds a
// triangle to the fan around the first corner. The word that ends the face
// stays unread.
template <bool Fill, Form form>
const char* readMoreCorners(Reader& r, const char* p, Corner corner) {
  for (;;) {
    const char* at = skipSpace(p);
    if (scanCorner<form>(p, corner) <= 0) break;
    ObjTriangle* next = addTriangle<Fill>(r);
    if constexpr (Fill) {
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
  }
  return p;
}

// A face after its first corner: the second and third corners are read
// whatever they hold (across line ends, keeping the numbers of the corner
// before when a read falls short), then any further corners.
template <bool Fill, Form form>
const char* readFaceOfForm(Reader& r, const char* p, Corner corner, const char* firstAt) {
  ObjTriangle* t = addTriangle<Fill>(r);
  if constexpr (Fill) {
    storeCorner<form>(r, corner, firstAt, *t, 0);
  } else {
    // Counting a face line in its usual shape needs no numbers.
    const char* last;
    int more = countPlainCorners<form>(p, &last);
    if (more >= 2) {
      for (int k = 3; k <= more; k++) addTriangle<false>(r);
      return readMoreCorners<false, form>(r, last, corner);
    }
  }
  for (int k = 1; k < 3; k++) {
    const char* at = skipSpace(p);
    scanCorner<form>(p, corner);
    if constexpr (Fill) storeCorner<form>(r, corner, at, *t, k);
  }
  return readMoreCorners<Fill, form>(r, p, corner);
}

// A face: its first corner is read as a word (cut to kNameMax characters,
// as a C string) and decides the form of the whole face. A word within the
// limit is parsed where it stands.
template <bool Fill>
const char* readFace(Reader& r, const char* p) {
  p = skipSpace(p);
  const char* firstAt = p;
  Corner corner{};
  Form form = Form::vertex;
  const char* stop = p;
  // Counting needs only the form of a first corner in its usual shape, and
  // a corner of one of the forms' shapes reads as that form.
  bool usual = false;
  if constexpr (!Fill) {
    CornerShape shape = cornerShape(p);
    for (Form f : {Form::vertex, Form::vertexTexture, Form::vertexNormal,
                   Form::vertexTextureNormal}) {
      if (hasForm(shape, f) && isSpace(p[shape.length])) {
        usual = true;
        form = f;
        stop = p + shape.length;
      }
    }
  }
  if (!usual && p <= r.text.end) {
    const char* searched;
    form = firstCorner(p, p + kNameMax, corner, &searched);
    stop = wordEnd(searched);
    if (static_cast<std::size_t>(stop - p) > kNameMax) {
      char word[kNameMax + 1];
      copyName(p, stop, word);
      corner = Corner{};
      form = firstCorner(word, word + kNameMax, corner, &searched);
    }
  }
  p = stop;
  switch (form) {
    case Form::vertex:
      return readFaceOfForm<Fill, Form::vertex>(r, p, corner, firstAt);
    case Form::vertexTexture:
      return readFaceOfForm<Fill, Form::vertexTexture>(r, p, corner, firstAt);
    case Form::vertexNormal:
      return readFaceOfForm<Fill, Form::vertexNormal>(r, p, corner, firstAt);
    case Form::vertexTextureNormal:
      break;
  }
  return readFaceOfForm<Fill, Form::vertexTextureNormal>(r, p, corner, firstAt);
}

// Group lines: the name is everything after the keyword up to the line end,
// the separating blank included, cut to kNameMax characters.
const char* readGroupName(const Reader& r, const char* p, char (&name)[kNameMax + 1]) {
  const char *begin, *end;
  p = restOfLine(p, r.text, &begin, &end);
  copyName(begin, end, name);
  return p;
}

// Numeric lines: the second pass reads the numbers; the first passes over
// exactly the same characters, so text the numbers run into is seen alike.
template <bool Fill>
const char* readNumbers(Reader& r, const char* p, float* array, std::uint64_t& counter,
                        unsigned last, int count) {
  if constexpr (Fill) {
    if (counter > last || !array)
      glmFailf(stderr, "glmReadOBJ() failed: \"%s\": the reading passes disagree.\n", r.path);
    scanFloats(p, array + count * counter, count);
  } else if (const char* next = skipPlainNumbers(p, count)) {
    p = next;
  } else {
    scanFloats(p, nullptr, count);
  }
  counter++;
  return p;
}

template <bool Fill>
void readPass(Reader& r) {
  ObjModel* model = r.model;
  char name[kNameMax + 1];
  const char* p = r.text.begin;
  for (;;) {
    p = skipSpace(p);
    if (p >= r.text.end) break;
    // The text is read once, from start to end, faster than the hardware
    // fetches it unasked.
    __builtin_prefetch(p + 1024);
    const char* keyword = p;
    p = wordEnd(p);
    char second = p - keyword > 1 ? keyword[1] : '\0';
    switch (keyword[0]) {
      case 'v':
        if (second == '\0') {
          p = readNumbers<Fill>(r, p, model->vertices, r.vertices, model->vertexcount, 3);
        } else if (second == 'n') {
          p = readNumbers<Fill>(r, p, model->normals, r.normals, model->normalcount, 3);
        } else if (second == 't') {
          p = readNumbers<Fill>(r, p, model->texcoords, r.texcoords, model->texcoordcount, 2);
        } else {
          copyName(keyword, p, name);
          glmFailf(stdout, "glmFirstPass(): Unknown token \"%s\".\n", name);
        }
        break;
      case 'm':
        if constexpr (Fill) {
          p = skipLine(p, r.text);
        } else {
          const char *begin, *end;
          p = restOfLine(p, r.text, &begin, &end);
          firstWord(begin, end, name);
          char* copy = glmStrdup(name, "glmReadOBJ");
          std::free(model->mtllib);
          model->mtllib = copy;
          glmReadMTL(model, name);
        }
        break;
      case 'u':
        if constexpr (Fill) {
          const char *begin, *end;
          p = restOfLine(p, r.text, &begin, &end);
          firstWord(begin, end, name);
          r.material = glmFindMaterial(model, name);
          r.group->group->material = r.material;
        } else {
          p = skipLine(p, r.text);
        }
        break;
      case 'g':
        p = readGroupName(r, p, name);
        if constexpr (Fill) {
          r.group = r.groups.find(name);
          if (!r.group->group)
            glmFailf(stderr, "glmReadOBJ() failed: \"%s\": the reading passes disagree.\n",
                     r.path);
          r.group->group->material = r.material;
        } else {
          r.group = r.groups.ensure(model, name);
        }
        break;
      case 'f':
        p = readFace<Fill>(r, p);
        break;
      default:  // comments and every keyword without meaning here
        p = skipLine(p, r.text);
        break;
    }
  }
}

// Counts entries and triangles, creates the groups, reads the material
// library; then allocates every array at its final size.
void glmFirstPass(Reader& r) {
  ObjModel* model = r.model;
  r.group = r.groups.ensure(model, "default");
  readPass<false>(r);
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
  model->vertices =
      static_cast<float*>(glmAlloc(model->vertexcount + 1ull, 3 * sizeof(float), "glmReadOBJ"));
  model->triangles = static_cast<ObjTriangle*>(
      glmAlloc(model->trianglecount, sizeof(ObjTriangle), "glmReadOBJ"));
  if (model->normalcount)
    model->normals =
        static_cast<float*>(glmAlloc(model->normalcount + 1ull, 3 * sizeof(float), "glmReadOBJ"));
  if (model->texcoordcount)
    model->texcoords = static_cast<float*>(
        glmAlloc(model->texcoordcount + 1ull, 2 * sizeof(float), "glmReadOBJ"));
  prefault(model->vertices, (model->vertexcount + 1ull) * 3 * sizeof(float));
  prefault(model->normals, (model->normalcount + 1ull) * 3 * sizeof(float));
  prefault(model->texcoords, (model->texcoordcount + 1ull) * 2 * sizeof(float));
  prefault(model->triangles, model->trianglecount * sizeof(ObjTriangle));
}

// Stores vertices, normals, texture coordinates and triangles; entry 0 of
// each data array stays zero.
void glmFillPass(Reader& r) {
  r.vertices = r.normals = r.texcoords = 1;
  r.triangles = 0;
  r.material = 0;
  r.group = r.groups.find("default");
  readPass<true>(r);
}

}  // namespace

ObjModel* glmReadOBJ(const char* path) {
  GLM_ASSERT(path);
  Reader r{};
  r.path = path;
  if (!loadText(path, r.text, "glmReadOBJ"))
    glmFailf(stderr, "glmReadOBJ() failed: can't open data file \"%s\".\n", path);

  std::unique_ptr<ObjModel, ModelDeleter> model(
      static_cast<ObjModel*>(glmAlloc(1, sizeof(ObjModel), "glmReadOBJ")));
  model->path = glmStrdup(path, "glmReadOBJ");
  r.model = model.get();

  glmFirstPass(r);
  glmFillPass(r);
  return model.release();
}
