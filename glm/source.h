// Where the readers' bytes come from: a file the library opens itself, the
// caller's own file access (GLMreadoptions), or a text in memory. Every
// reader reads through a Source, so each way of reading gives the same
// model. Internal to the library.
#ifndef GLM_SOURCE_H
#define GLM_SOURCE_H

#include <cstddef>
#include <cstdint>

#include "glm_internal.h"

namespace glm_scan {

// Bytes kept zero past a text's end: fixed-size reads a little past a
// position (16 bytes at once for words and line ends, 64 for face lines)
// stay inside the block.
constexpr std::size_t kPadding = 128;

class Source {
 public:
  enum class Opened { done, unreadable, device, irregular };

  Source() = default;
  Source(const Source&) = delete;
  Source& operator=(const Source&) = delete;
  ~Source();

  // Opens `path` with the caller's `open` when the options give one, else
  // the file itself: a character or block device is refused before it is
  // opened (opening some waits, and they may never end), and a directory
  // counts as unreadable. `regularOnly` refuses every file that is not
  // regular (pipes included). On failure errno tells why.
  Opened open(const char* path, const GLMreadoptions* options, bool regularOnly = false);
  // The `size` bytes at `text`, which stay the caller's.
  void openMemory(const char* text, std::uint64_t size);

  // A regular file or memory: its size is known and parts of it can be read
  // at once, at their offsets.
  bool seekable() const { return seekable_; }
  std::uint64_t size() const { return size_; }
  // Up to `bytes` into `into`, from `offset` when seekable, else the next
  // ones; 0 at the end, -1 on an error.
  long long read(char* into, std::size_t bytes, std::uint64_t offset) const;

 private:
  int fd_ = -1;
  const char* text_ = nullptr;
  void* file_ = nullptr;  // the caller's
  const GLMreadoptions* options_ = nullptr;
  bool seekable_ = false;
  std::uint64_t size_ = 0;
};

// A whole text in memory: begin[0..end - begin) is the text (without a
// leading UTF-8 byte-order mark), *end is '\n', then '\0' and kPadding
// zero bytes.
struct Text {
  glm_internal::Owned<char> data;
  const char* begin = nullptr;
  const char* end = nullptr;
};

// Reads the rest of `source` into `text`, once: every pass of a reader walks
// this copy, so a file changed while it is read gives the model of the bytes
// read. False on a read error. Exhausted memory is fatal for `operation`.
bool readAll(const Source& source, Text& text, const char* operation);

struct ReadError {
  int errnum;
};

// A source read in pieces of whole lines, each parsed while it is still in
// the cache; memory never holds the whole text. A piece ends at a newline and
// is padded past it as a Text is; the source's last line gets a newline.
class LineStream {
 public:
  // The lines from byte `from` (a line start) on, up to byte `to`, where a
  // line cut off ends; a text's first part may begin with a UTF-8
  // byte-order mark, which is no part of its first line.
  LineStream(const Source& source, std::uint64_t from, std::uint64_t to, bool first);
  LineStream(const LineStream&) = delete;
  LineStream& operator=(const LineStream&) = delete;
  ~LineStream();
  // The next piece, [begin, end); false when there is no more. Throws
  // ReadError when the source cannot be read, std::bad_alloc without memory.
  bool next(const char*& begin, const char*& end);

 private:
  void grow(std::size_t capacity);

  const Source& source_;
  std::uint64_t offset_, to_;
  bool first_, ended_ = false;
  std::size_t capacity_ = 0, filled_ = 0, used_ = 0;
  glm_internal::Owned<char> window_;
};

// The size of LineStream's pieces; tests make it small to cut lines
// anywhere. 0 restores 256 KiB, a size that stays in the cache until parsed.
void setWindowBytes(std::size_t bytes);

// A UTF-8 byte-order mark in front of the first line is no part of it: its
// length at the start of a text's first `size` bytes, or 0.
std::size_t byteOrderMark(const char* text, std::size_t size);

// The cores this process may run on.
unsigned cores();

}  // namespace glm_scan

#endif
