// The scanner shared by the OBJ and MTL readers. Internal to the library.
//
// A text is read into memory, whole or in pieces of whole lines (source.h).
// A piece ends at a newline, in a block padded past it; a text always ends
// in "\n\0" one past its last byte. So the inner loops need no bounds
// checks: a word or a line stops at the piece's last newline at the latest,
// whitespace skipping stops at a NUL, and the reader takes any position past
// the piece's end as its end.
// NUL bytes inside the file are ordinary characters; names cut at them.
//
// Every statement is one line: its numbers and names are read from that line
// only, and the next line is always a statement of its own. Within a line the
// integer and float rules are those of the C library's formatted input ("%d",
// "%f" with glibc's scanf), character for character, except that no read
// passes the newline that ends the line.
#ifndef GLM_SCAN_H
#define GLM_SCAN_H

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include <fast_float/fast_float.h>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "glm_internal.h"
#include "source.h"

// The readers' scanning tools, shared by the OBJ and MTL readers (and their
// tests) and kept out of the global namespace.
namespace glm_scan {

using glm_internal::glmAlloc;

// Longest keyword quoted in a message.
constexpr std::size_t kNameMax = 127;

// Character classes by table: one load instead of several comparisons.
struct CharClasses {
  bool space[256] = {};  // the C locale's isspace: blank, tab, newline, VT, FF, CR
  bool blank[256] = {};  // the same without the newline
  constexpr CharClasses() {
    for (unsigned char c : {' ', '\t', '\n', '\v', '\f', '\r'}) space[c] = blank[c] = true;
    blank[static_cast<unsigned char>('\n')] = false;
  }
};
inline constexpr CharClasses kClasses{};

inline bool isSpace(char c) { return kClasses.space[static_cast<unsigned char>(c)]; }
inline bool isDigit(char c) { return c >= '0' && c <= '9'; }
// A digit's value; above 9 for any other character.
inline unsigned digitValue(char c) { return static_cast<unsigned char>(c) - unsigned{'0'}; }
inline bool isHexDigit(char c) { return isDigit(c) || ((c | 0x20) >= 'a' && (c | 0x20) <= 'f'); }
inline char lower(char c) { return static_cast<char>(c | 0x20); }  // for letters only

inline const char* skipSpace(const char* p) {
  while (isSpace(*p)) ++p;
  return p;
}

// Whitespace within a line: everything isSpace takes but the newline (a lone
// carriage return separates like a blank).
inline bool isBlank(char c) { return kClasses.blank[static_cast<unsigned char>(c)]; }

inline const char* skipBlanks(const char* p) {
  while (isBlank(*p)) ++p;
  return p;
}

// Just past the newline that ends the line at p (p at most at that newline).
// Lines are short: a library call costs more than looking 16 bytes at once.
inline const char* nextLine(const char* p) {
#ifdef __SSE2__
  for (;; p += 16) {
    __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    unsigned newline =
        static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('\n'))));
    if (newline) return p + __builtin_ctz(newline) + 1;
  }
#else
  return static_cast<const char*>(rawmemchr(p, '\n')) + 1;
#endif
}

// The value of the `length` (1 to 8) digits in the low bytes of x, each
// byte 0..9, the first the most significant. The digits go to the top
// bytes, zeros below; then pairs, quads and the whole combine by
// multiplication.
inline std::uint64_t digitsValue(std::uint64_t x, int length) {
  x <<= 8 * (8 - length);
  x = (x * 2561) >> 8 & 0x00FF00FF00FF00FFull;
  x = (x * 6553601) >> 16 & 0x0000FFFF0000FFFFull;
  return (x * 42949672960001ull) >> 32;
}

// The run of digits at p, looked at 8 bytes at once: returns its length, 8
// when all 8 bytes are digits (the run may go on), and below 8 its value.
inline int digitRun(const char* p, std::uint64_t& value) {
  std::uint64_t x;
  std::memcpy(&x, p, sizeof x);
  x ^= 0x3030303030303030ull;  // digit bytes become 0..9
  // The top bit of each byte that is no digit (a carry only ever reaches
  // bytes after such a byte, which do not count).
  std::uint64_t other = ((x + 0x7676767676767676ull) | x) & 0x8080808080808080ull;
  if (!other) return 8;
  int length = __builtin_ctzll(other) >> 3;
  value = length ? digitsValue(x, length) : 0;
  return length;
}

// [begin, end) as a C string would hold it: up to its first NUL.
inline std::string_view cString(const char* begin, const char* end) {
  const void* nul = std::memchr(begin, '\0', static_cast<std::size_t>(end - begin));
  return {begin, static_cast<std::size_t>((nul ? static_cast<const char*>(nul) : end) - begin)};
}

// A new C string holding `text` whole.
inline char* copyText(std::string_view text, const char* operation) {
  char* copy = static_cast<char*>(glmAlloc(text.size() + 1, 1, operation));
  std::memcpy(copy, text.data(), text.size());
  copy[text.size()] = '\0';
  return copy;
}

// A word starting at p (not whitespace); returns its end. Words are
// short: the first 16 bytes are looked at at once.
inline const char* wordEnd(const char* p) {
#ifdef __SSE2__
  __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  __m128i control = _mm_sub_epi8(bytes, _mm_set1_epi8('\t'));  // '\t'..'\r' become 0..4
  __m128i space = _mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(' ')),
                               _mm_cmpeq_epi8(_mm_min_epu8(control, _mm_set1_epi8(4)), control));
  if (unsigned found = static_cast<unsigned>(_mm_movemask_epi8(space)))
    return p + __builtin_ctz(found);
  p += 16;
#endif
  while (!isSpace(*p)) ++p;
  return p;
}

// The rest of the line from p (at most at its newline), without the line
// end (the newline and any carriage returns before it), in [*lineBegin,
// *lineEnd). Returns the position after the newline.
inline const char* restOfLine(const char* p, const char** lineBegin, const char** lineEnd) {
  const char* next = nextLine(p);
  const char* stop = next - 1;
  while (stop > p && stop[-1] == '\r') --stop;
  *lineBegin = p;
  *lineEnd = stop;
  return next;
}

// The first word of [begin, end), whole, as a C string would hold it.
inline std::string_view firstWord(const char* begin, const char* end) {
  while (begin < end && isSpace(*begin)) ++begin;
  const char* stop = begin;
  while (stop < end && !isSpace(*stop)) ++stop;
  return cString(begin, stop);
}

// "%d": skips blanks, an optional sign, then digits. A sign without digits is
// consumed and the read fails. The value saturates far outside the unsigned
// range instead of wrapping, so an over-long index is reported as out of
// range rather than read as some other index. *start is where the number's
// text begins.
[[gnu::always_inline]] inline bool scanInt(const char*& p, long long& value,
                                           const char** start = nullptr) {
  p = skipBlanks(p);
  std::uint64_t run;
  if (int length = digitRun(p, run); length > 0 && length < 8) {  // the usual index
    if (start) *start = p;
    p += length;
    value = static_cast<long long>(run);
    return true;
  }
  const char* sign = p;
  bool negative = false;
  if (*p == '-' || *p == '+') negative = *p++ == '-';
  if (!isDigit(*p)) return false;
  if (start) *start = sign;
  // Up to 12 digits cannot reach the limit: accumulate without checking,
  // and go over longer numbers again with the check.
  const char* digits = p;
  std::uint64_t u = 0;
  for (unsigned d; (d = digitValue(*p)) <= 9; ++p) u = u * 10 + d;
  long long v = static_cast<long long>(u);
  if (p - digits > 12) {
    v = 0;
    for (const char* q = digits; q < p; q++)
      if (v < 1000000000000LL) v = v * 10 + (*q - '0');
  }
  value = negative ? -v : v;
  return true;
}

// Matches one literal character; a mismatch is left unread.
inline bool scanLiteral(const char*& p, char c) {
  if (*p != c) return false;
  ++p;
  return true;
}

// The characters "%f" consumes from p (after whitespace), as glibc's scanf
// decides them: sign, "nan", "inf"/"infinity", hexadecimal "0x" numbers with
// a "p" exponent, decimal numbers with an "e" exponent whose sign must follow
// the "e" directly. A letter that breaks "nan" or "infinity" is consumed with
// the failed read, unless it is the newline. Returns whether the consumed
// text converts; the token is [*tokenBegin, p).
inline bool lexFloat(const char*& p, const char** tokenBegin, bool* hexadecimal) {
  p = skipBlanks(p);
  const char* start = p;
  *tokenBegin = start;
  *hexadecimal = false;
  bool sign = false;
  if (*p == '-' || *p == '+') {
    sign = true;
    ++p;
  }
  auto match = [&p](std::string_view word) {
    for (char c : word) {
      if (lower(*p) != c) {
        p += *p != '\n';
        return false;
      }
      ++p;
    }
    return true;
  };
  if (lower(*p) == 'n') return match("nan");
  if (lower(*p) == 'i') return match("inf") && (lower(*p) != 'i' || match("inity"));
  bool hex = false, digit = false, dot = false, exponent = false;
  if (*p == '0') {
    ++p;
    if (lower(*p) == 'x') {
      ++p;
      hex = true;
    } else {
      digit = true;
    }
  }
  const char exponentChar = hex ? 'p' : 'e';
  for (;; ++p) {
    char c = *p;
    if (isDigit(c) || (!exponent && hex && isHexDigit(c))) {
      digit = true;
    } else if (exponent && lower(p[-1]) == exponentChar && (c == '-' || c == '+')) {
    } else if (digit && !exponent && lower(c) == exponentChar) {
      exponent = dot = true;
    } else if (!dot && c == '.') {
      dot = true;
    } else {
      break;
    }
  }
  if (p - start == (sign ? 1 : 0) + (hex ? 2 : 0)) return false;
  *hexadecimal = hex;
  // strtof reads "0x" followed by no hex digit as the number 0.
  return hex || digit;
}

// A hexadecimal number's value after its "0x", up to `end`: hex digits with
// an optional point, then an optional binary exponent ("p", sign, digits;
// left out when it has no digits). Rounded once, to nearest: the digits are
// cut to 53 bits rounding to odd (a lost nonzero bit sets the lowest), which
// the double keeps exactly and the float rounds from correctly.
inline float hexFloat(const char* p, const char* end) {
  std::uint64_t mantissa = 0;
  bool sticky = false, dot = false;
  long exponent = 0;
  for (; p < end && (isHexDigit(*p) || (*p == '.' && !dot)); ++p) {
    if (*p == '.') {
      dot = true;
      continue;
    }
    unsigned digit = isDigit(*p) ? digitValue(*p) : static_cast<unsigned>(lower(*p) - 'a' + 10);
    if (mantissa >> 56) {  // no room: a lost digit, worth 16 times the last kept one
      sticky |= digit != 0;
      exponent += dot ? 0 : 4;
    } else {
      mantissa = mantissa << 4 | digit;
      exponent -= dot ? 4 : 0;
    }
  }
  if (p + 1 < end && lower(*p) == 'p') {
    const char* q = p + 1;
    bool negative = *q == '-';
    q += *q == '-' || *q == '+';
    long power = 0;
    for (; q < end && isDigit(*q); ++q)
      if (power < 100000) power = power * 10 + digitValue(*q);  // far past every float
    if (q > p + 1 && isDigit(q[-1])) exponent += negative ? -power : power;
  }
  if (!mantissa) return 0.0f;
  for (; mantissa >> 53; exponent++) {
    sticky |= mantissa & 1;
    mantissa >>= 1;
  }
  mantissa |= sticky;
  exponent = std::min(std::max(exponent, -100000L), 100000L);
  return static_cast<float>(std::ldexp(static_cast<double>(mantissa), static_cast<int>(exponent)));
}

// The value strtof gives for a token lexFloat accepted, in any locale: out
// of range it is infinity, a denormal or zero, as strtof's is.
inline float convertFloat(const char* begin, const char* end, bool hexadecimal) {
  bool negative = *begin == '-';
  const char* p = begin + (*begin == '-' || *begin == '+');
  float value = 0.0f;
  if (lower(*p) == 'n')
    value = NAN;
  else if (lower(*p) == 'i')
    value = INFINITY;
  else if (hexadecimal)
    value = hexFloat(p + 2, end);
  else
    fast_float::from_chars(p, end, value);
  return negative ? -value : value;
}

// f with its sign bit flipped when `negative`: without a branch, which the
// random signs of coordinates would mispredict half the time.
inline float withSign(float f, bool negative) {
  std::uint32_t bits;
  std::memcpy(&bits, &f, sizeof bits);
  bits ^= std::uint32_t{negative} << 31;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}

// The common number, "[sign]digits[.digits]" followed by whitespace, in one
// loop. Returns false when the text is anything else; then nothing is
// consumed and the general rules apply. With `value` it also converts, when
// that can be done exactly with one correctly rounded division (Clinger's
// fast path): digits below 2^24 over a power of ten up to 10^10 in float,
// the usual case; else digits below 2^53 over a power up to 10^22 in double,
// whose rounding to float gives strtof's result unless the double landed
// exactly halfway between two floats (checked; those go the general way).
[[gnu::always_inline]] inline bool plainFloat(const char*& p, float* value) {
  const char* q = skipBlanks(p);
  bool negative = *q == '-';
  q += (*q == '-' || *q == '+');
  std::uint64_t mantissa = 0;
  int digits = 0, fraction = 0;
  std::uint64_t whole, part = 0;
  const char* number = q;
  std::uint64_t x;
  std::memcpy(&x, q, sizeof x);
  x ^= 0x3030303030303030ull;  // as in digitRun
  std::uint64_t other = ((x + 0x7676767676767676ull) | x) & 0x8080808080808080ull;
  std::uint64_t afterPoint = other & (other - 1);
  int point = other ? __builtin_ctzll(other) >> 3 : 8;
  // Where the digits after the point end, when that is within 8 bytes.
  int end = afterPoint ? __builtin_ctzll(afterPoint) >> 3 : isDigit(q[8]) ? 9 : 8;
  if (point < 8 && end <= 8 && (x >> 8 * point & 0xFF) == ('.' ^ '0')) {
    // The usual "d.dddddd": one run of digits once the point is squeezed
    // out (moving the digits before it up).
    std::uint64_t before = (std::uint64_t{1} << 8 * point) - 1;
    mantissa = digitsValue((x & before) << 8 | (x & ~(before << 8 | 0xFF)), end);
    digits = end - 1;
    fraction = end - point - 1;
    q += end;
  } else if (int wholeDigits = digitRun(q, whole); wholeDigits < 8) {
    // Up to 7 digits on each side of the point, 8 bytes at a time.
    int partDigits = 0;
    const char* after = q + wholeDigits;
    if (*after == '.') partDigits = digitRun(after + 1, part);
    if (partDigits < 8) {
      static constexpr std::uint64_t kScale[] = {1,     10,     100,     1000,
                                                 10000, 100000, 1000000, 10000000};
      if (*after == '.') after += 1 + partDigits;
      mantissa = whole * kScale[partDigits] + part;
      digits = wholeDigits + partDigits;
      fraction = partDigits;
      q = after;
    }
  }
  const bool fewDigits = digits;  // at most 14: within every limit below
  if (!digits) {                  // longer runs, or no digits at all: byte by byte
    q = number;
    mantissa = 0;
    fraction = 0;
    const char* start = q;
    for (unsigned d; (d = digitValue(*q)) <= 9; ++q) mantissa = mantissa * 10 + d;
    digits = static_cast<int>(q - start);
    if (*q == '.') {
      start = ++q;
      for (unsigned d; (d = digitValue(*q)) <= 9; ++q) mantissa = mantissa * 10 + d;
      fraction = static_cast<int>(q - start);
      digits += fraction;
    }
  }
  if (digits == 0 || !isSpace(*q)) return false;
  if (value && (fewDigits || digits <= 19) && fraction <= 10 &&
      mantissa < (std::uint64_t{1} << 24)) {
    static constexpr float kFloatPowers[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f,
                                             1e6f, 1e7f, 1e8f, 1e9f, 1e10f};
    float f = static_cast<float>(mantissa) / kFloatPowers[fraction];
    *value = withSign(f, negative);
  } else if (value) {
    static constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                         1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                         1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    if (!fewDigits && (digits > 19 || mantissa > (std::uint64_t{1} << 53) || fraction > 22))
      return false;
    double quotient = static_cast<double>(mantissa) / kPowers[fraction];
    std::uint64_t bits;
    std::memcpy(&bits, &quotient, sizeof bits);
    if ((bits & 0x1FFFFFFF) == 0x10000000) return false;
    float f = static_cast<float>(quotient);
    *value = withSign(f, negative);
  }
  p = q;
  return true;
}

// "%f" for everything but the plain number, out of the callers' way.
[[gnu::noinline]] inline bool scanOtherFloat(const char*& p, float& value) {
  const char* begin;
  bool hexadecimal;
  if (!lexFloat(p, &begin, &hexadecimal)) return false;
  value = convertFloat(begin, p, hexadecimal);
  return true;
}

// "%f" into value; false (value unchanged) when nothing converts.
[[gnu::always_inline]] inline bool scanFloat(const char*& p, float& value) {
  return plainFloat(p, &value) || scanOtherFloat(p, value);
}

// "%f %f ... " for count numbers: stops at the first that fails, as scanf
// does, and returns how many converted. Without `values` the numbers are only
// passed over, consuming exactly what the converting read would.
inline int scanFloats(const char*& p, float* values, int count) {
  for (int i = 0; i < count; i++) {
    if (values) {
      if (!scanFloat(p, values[i])) return i;
    } else if (!plainFloat(p, nullptr)) {
      const char* begin;
      bool hexadecimal;
      if (!lexFloat(p, &begin, &hexadecimal)) return i;
    }
  }
  return count;
}

}  // namespace glm_scan

#endif
