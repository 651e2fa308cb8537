// Internals shared by the library's sources: failure routing, checked
// allocation and always-on assertions. Not part of the public interface.
#ifndef GLM_INTERNAL_H
#define GLM_INTERNAL_H

#include <cstddef>
#include <cstdio>

#include "glm.h"

// Every fatal failure ends here: the message has been printed, so either the
// installed handler leaves (throw or longjmp) or the program exits with 1.
[[noreturn]] void glmFatal();

// Prints a formatted message on `stream`, then glmFatal().
[[noreturn]] void glmFailf(FILE* stream, const char* format, ...)
    __attribute__((format(printf, 2, 3)));

// Zero-filled allocation of count * size bytes; on overflow or exhaustion
// prints "<operation>() failed: out of memory" and fails. Release with free.
void* glmAlloc(std::size_t count, std::size_t size, const char* operation);

// Checked strdup.
char* glmStrdup(const char* text, const char* operation);

// Clears the mode bits the model cannot honour, printing warnings[i] on
// standard output for each step i that clears one, in this order: flat
// without facet normals, smooth without normals, texture without texture
// coordinates, flat with smooth, colour without materials, material without
// materials, colour with material. Missing data is checked first, so the
// conflict warnings only appear when both sides of a conflict are possible.
unsigned glmCorrectMode(const ObjModel* model, unsigned mode, const char* const warnings[7]);

[[noreturn]] void glmAssertFailed(const char* expression, const char* file, int line,
                                  const char* function);

// Preconditions stay checked in release builds: a null model is a programming
// error that must stop the program with the expression quoted.
#define GLM_ASSERT(expr) \
  ((expr) ? static_cast<void>(0) : glmAssertFailed(#expr, __FILE__, __LINE__, __func__))

// ---- OBJ reading on two threads ----

// glmReadOBJ reads files of at least `fromBytes` bytes in chunks on two
// threads where there are two cores. `bytes` is the chunk size: 0 splits the
// file in 32 parts; any other size also chunks on a single core, so tests
// can run every input through the chunked reader. Default: 1 MiB, 0.
void glmSetReadChunking(std::size_t fromBytes, std::size_t bytes);

#endif
