// How the library's writers put a file in place (replace.cpp). Not part of
// the public interface.
//
// A regular target is written to a new temporary file in its directory and
// renamed over the target once every byte is written, flushed and synced, so
// a full disk or an I/O error never leaves a torn file in place of a good
// one. Only where the directory takes no new file (permissions, read-only
// directory) is an existing writable file written in place, and then the
// room for the whole text is reserved before its old contents change. A
// target that is not a regular file (a device, a pipe, a terminal) is opened
// as its name opens, and written once the text is complete. A name of one of
// this process's own descriptors (/dev/stdout, /dev/fd/N, /proc/self/fd/N)
// opens that descriptor: the text goes where it points, appended when it
// appends, never in place of the file behind it. Nothing is created at the
// target before the text is complete, and the process umask is never
// changed.
#ifndef GLM_REPLACE_H
#define GLM_REPLACE_H

#include <cstddef>
#include <cstdio>
#include <string>

#include "glm_internal.h"

namespace glm_internal {

// One output file on its way to its target. The destructor (reached when a
// failure handler throws) and discard() (called before a fatal exit, which
// runs no destructors) release everything and remove an unfinished
// temporary file.
struct Output {
  std::string name;    // the path as the caller gave it, for messages
  std::string target;  // where the finished file goes
  std::string temp;    // the temporary file; empty when writing in place
  FILE* file = nullptr;
  int inPlace = -1;          // the target's descriptor when writing in place
  bool shared = false;       // inPlace is a copy of a descriptor the process holds:
                             // written at its position, never truncated
  bool reserved = false;     // the room for the text is reserved
  long long grownFrom = -1;  // the size a reservation grew the target from
  char* memory = nullptr;
  std::size_t memoryLength = 0;
  int error = 0;  // errno of the first failure, or 0

  Output() = default;
  Output(const Output&) = delete;
  Output& operator=(const Output&) = delete;
  ~Output() { discard(); }

  void discard();
  void printf(const char* format, ...) __attribute__((format(printf, 2, 3)));
  void put(const void* data, std::size_t length);
};

// Opens `out` for writing towards `path`; false with errno set where opening
// the path for writing would fail, or where no temporary can be made.
bool openOutput(Output& out, const char* path);

// Flushes and closes the text; false with out.error set when any write, the
// flush, the sync or the close failed.
bool finishOutput(Output& out);

// Makes sure a finished text written into an existing file (in place, or at
// a descriptor's position) has room there before any byte of it changes;
// false with out.error set. A writer of two files reserves both before
// committing either.
bool reserveOutput(Output& out);

// Puts a finished text in its target (reserving first); false with
// out.error set.
bool commitOutput(Output& out);

// Whether two paths name one file, existing or still to be created.
bool sameFile(const char* a, const char* b);

// Releases both outputs, prints the message on standard error and fails.
[[noreturn]] void failWith(int errnum, Output& a, Output& b, const char* format, ...)
    __attribute__((format(printf, 4, 5)));

// "<operation>() failed: can't write file "<name>": <reason>"
[[noreturn]] void writeFailed(const char* operation, Output& out, Output& other);

}  // namespace glm_internal

#endif
