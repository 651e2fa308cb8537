// OBJ and MTL writer.
//
// Each file is written to a temporary file beside its target and renamed over
// the target only once every byte has been written, flushed and the file
// closed without error, so a full disk or an I/O error never leaves a
// truncated model in place of a good one. When glmWriteOBJ also writes the
// material library, both files are completed first and then renamed, the
// library before the model that names it. Everything that could stop the
// writer (its preconditions, a library name that would leave the model's
// directory, a target that cannot be opened) is settled before the first
// byte reaches either target.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <charconv>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "glm_internal.h"

using namespace glm_internal;

namespace {

// One output file on its way to its target. Usually the text goes to a
// temporary file that commit() renames over the target. A target that cannot
// be replaced that way (a device, a pipe, a file in a directory where no
// temporary can be made) is opened in place without truncating it, the text
// is collected in memory and written out by commit(), so a failure before
// that leaves the target as it was. The destructor (reached when a failure
// handler throws) and discard() (called before a fatal exit, which runs no
// destructors) release everything and remove an unfinished temporary file.
struct Output {
  std::string name;    // the path as the caller gave it, for messages
  std::string target;  // where the finished file goes
  std::string temp;    // the temporary file; empty when writing in place
  FILE* file = nullptr;
  int inPlace = -1;  // the target's descriptor when writing in place
  char* memory = nullptr;
  std::size_t memoryLength = 0;
  int error = 0;  // errno of the first failure, or 0

  Output() = default;
  Output(const Output&) = delete;
  Output& operator=(const Output&) = delete;
  ~Output() { discard(); }

  void discard() {
    if (file) std::fclose(file);
    file = nullptr;
    std::free(memory);
    memory = nullptr;
    if (inPlace >= 0) close(inPlace);
    inPlace = -1;
    if (!temp.empty()) unlink(temp.c_str());
    temp.clear();
  }

  void printf(const char* format, ...) __attribute__((format(printf, 2, 3))) {
    if (error) return;  // the file is lost anyway; keep the first cause
    va_list args;
    va_start(args, format);
    int written = std::vfprintf(file, format, args);
    va_end(args);
    if (written < 0) error = errno ? errno : EIO;
  }

  void put(const char* text, std::size_t length) {
    if (!error && std::fwrite(text, 1, length, file) != length) error = errno ? errno : EIO;
  }
};

// The permission bits a file created by fopen(path, "w") would get: those of
// the file it replaces, or 0666 less the umask for a new file.
mode_t creationMode(const struct stat* existing) {
  if (existing) return existing->st_mode & 07777;
  mode_t mask = umask(0);
  umask(mask);
  return 0666 & ~mask;
}

// The file that opening `path` for writing would write: symbolic links are
// followed, also one that names a file that does not exist yet (which is
// then created, and the link kept). Sets errno to ELOOP for a loop.
bool resolveTarget(const std::string& path, std::string& target) {
  target = path;
  for (int links = 0; links < 40; links++) {
    struct stat status;
    if (lstat(target.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) return true;
    char buffer[PATH_MAX];
    ssize_t length = readlink(target.c_str(), buffer, sizeof buffer);
    if (length <= 0 || static_cast<std::size_t>(length) == sizeof buffer) return true;
    std::string link(buffer, static_cast<std::size_t>(length));
    std::size_t slash = target.rfind('/');
    if (link[0] == '/' || slash == std::string::npos)
      target = link;
    else
      target = target.substr(0, slash + 1) + link;
  }
  errno = ELOOP;
  return false;
}

// Opens the target itself for writing, without truncating it yet.
bool openInPlace(Output& out) {
  out.inPlace = open(out.target.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
  if (out.inPlace < 0) return false;
  out.file = open_memstream(&out.memory, &out.memoryLength);
  if (!out.file) {
    int saved = errno;
    out.discard();
    errno = saved;
    return false;
  }
  return true;
}

// Opens `out` for writing towards `target`, failing (with errno set) where
// opening the target for writing would fail. A target that exists and is not
// a regular file cannot be replaced by renaming, and one in a directory that
// takes no new file has no room for a temporary: both are written in place.
bool openOutput(Output& out, const char* target) {
  out.name = target;
  if (!*target) {
    errno = ENOENT;
    return false;
  }
  if (!resolveTarget(target, out.target)) return false;
  struct stat status;
  bool exists = stat(out.target.c_str(), &status) == 0;
  if (exists && !S_ISREG(status.st_mode)) return openInPlace(out);
  // Renaming would replace a file that its permissions protect from writing.
  if (exists && faccessat(AT_FDCWD, out.target.c_str(), W_OK, AT_EACCESS) != 0) return false;
  std::string pattern = out.target + ".XXXXXX";
  int fd = mkstemp(pattern.data());
  if (fd < 0) return openInPlace(out);
  out.temp = pattern;
  if (exists && fchown(fd, status.st_uid, status.st_gid) != 0) {
    // Only a privileged writer can keep another owner; the file is its own then.
  }
  if (fchmod(fd, creationMode(exists ? &status : nullptr)) != 0 || !(out.file = fdopen(fd, "w"))) {
    int saved = errno;
    if (!out.file) close(fd);
    out.discard();
    errno = saved;
    return false;
  }
  return true;
}

// Flushes and closes the text; a temporary file is also synced. Returns false
// with out.error set when any write, the flush or the close failed.
bool finishOutput(Output& out) {
  if (!out.error && std::fflush(out.file) != 0) out.error = errno ? errno : EIO;
  if (!out.error && std::ferror(out.file)) out.error = EIO;
  if (!out.error && !out.temp.empty() && fsync(fileno(out.file)) != 0) out.error = errno;
  FILE* file = out.file;
  out.file = nullptr;
  if (std::fclose(file) != 0 && !out.error) out.error = errno ? errno : EIO;
  return out.error == 0;
}

// Puts a finished text in its target: renames the temporary file, or writes
// the collected text in place and cuts a regular file to its length.
bool commitOutput(Output& out) {
  if (out.inPlace >= 0) {
    for (std::size_t done = 0; done < out.memoryLength;) {
      ssize_t written = write(out.inPlace, out.memory + done, out.memoryLength - done);
      if (written < 0 && errno == EINTR) continue;
      if (written <= 0) {
        out.error = written < 0 ? errno : EIO;
        return false;
      }
      done += static_cast<std::size_t>(written);
    }
    struct stat status;
    if (fstat(out.inPlace, &status) == 0 && S_ISREG(status.st_mode) &&
        ftruncate(out.inPlace, static_cast<off_t>(out.memoryLength)) != 0) {
      out.error = errno;
      return false;
    }
    int fd = out.inPlace;
    out.inPlace = -1;
    if (close(fd) != 0) {
      out.error = errno;
      return false;
    }
    return true;
  }
  if (std::rename(out.temp.c_str(), out.target.c_str()) != 0) {
    out.error = errno;
    return false;
  }
  out.temp.clear();
  return true;
}

// Releases both outputs, then fails with the message.
[[noreturn]] __attribute__((format(printf, 3, 4))) void failWith(Output& a, Output& b,
                                                                 const char* format, ...) {
  a.discard();
  b.discard();
  va_list args;
  va_start(args, format);
  std::vfprintf(stderr, format, args);
  va_end(args);
  glmFatal();
}

[[noreturn]] void writeFailed(const char* operation, Output& out, Output& other) {
  std::string name = out.name;
  failWith(out, other, "%s() failed: can't write file \"%s\": %s\n", operation, name.c_str(),
           std::strerror(out.error ? out.error : EIO));
}

// Appends one number: "%f" text when it reads back as the same float (so
// ordinary output keeps its familiar fixed form), otherwise the shortest text
// that does ("%f" turns 1e-07 into 0 and rounds away the eighth digit).
char* putFloat(char* p, char* end, float value) {
  char* fixed = std::to_chars(p, end, static_cast<double>(value), std::chars_format::fixed, 6).ptr;
  if (std::isnan(value)) return fixed;
  float back;
  std::from_chars_result read = std::from_chars(p, fixed, back);
  if (read.ec == std::errc() && read.ptr == fixed && std::memcmp(&back, &value, sizeof back) == 0)
    return fixed;
  return std::to_chars(p, end, value).ptr;
}

// Writes `keyword` followed by `count` numbers as one line.
void putNumbers(Output& out, const char* keyword, const float* values, int count) {
  char line[8 + 3 * 64];
  char* p = line;
  for (const char* k = keyword; *k;) *p++ = *k++;
  for (int i = 0; i < count; i++) {
    *p++ = ' ';
    p = putFloat(p, line + sizeof line, values[i]);
  }
  *p++ = '\n';
  out.put(line, static_cast<std::size_t>(p - line));
}

// The shininess the reader makes of an "Ns" number.
float shininessOf(float fileValue) {
  float scaled = static_cast<float>(fileValue / 1000.0);
  return static_cast<float>(scaled * 128.0);
}

bool sameFloat(float a, float b) {
  return std::memcmp(&a, &b, sizeof a) == 0 || (std::isnan(a) && std::isnan(b));
}

// "Ns" on the file's 0..1000 scale: "%f" of the exact conversion when that
// reads back as the same shininess, else the shortest text of the nearest
// float (or a neighbour of it) that does. The two roundings on reading
// leave a few shininess values that no number reads back to; those get the
// nearest float.
void putShininess(Output& out, float shininess) {
  const double fileValue = shininess / 128.0 * 1000.0;
  char text[400];
  char* end = std::to_chars(text, text + sizeof text, fileValue, std::chars_format::fixed, 6).ptr;
  float back = 0.0f;
  std::from_chars(text, end, back);
  if (!sameFloat(shininessOf(back), shininess)) {
    const float nearest = static_cast<float>(fileValue);
    float chosen = nearest;
    for (float candidate :
         {nearest, std::nextafter(nearest, -INFINITY), std::nextafter(nearest, INFINITY)})
      if (sameFloat(shininessOf(candidate), shininess)) {
        chosen = candidate;
        break;
      }
    end = std::to_chars(text, text + sizeof text, chosen).ptr;
  }
  out.printf("Ns %.*s\n", static_cast<int>(end - text), text);
}

void writeHeader(Output& out, const char* format) {
  out.printf("#  \n");
  out.printf("#  Wavefront %s generated by GLM library\n", format);
  out.printf("#  \n");
  out.printf("#  GLM library\n");
  out.printf("#  Model library of the recreation ground scene\n");
  out.printf("#  Numbers in fixed notation, six decimals\n");
  out.printf("#  Indices count from 1\n");
}

// Writes the material library into `out`, already opened by the caller.
void writeMaterials(Output& out, const ObjModel* model) {
  writeHeader(out, "MTL");
  out.printf("#  \n\n");
  for (unsigned i = 0; i < model->materialcount; i++) {
    const ObjMaterial& material = model->materials[i];
    out.printf("newmtl %s\n", material.name);
    putNumbers(out, "Ka", material.ambient, 3);
    putNumbers(out, "Kd", material.diffuse, 3);
    putNumbers(out, "Ks", material.specular, 3);
    // Back from GL_SHININESS's 0..128 to the file's 0..1000 scale.
    putShininess(out, material.shininess);
    out.printf("\n");
  }
}

void checkMaterials(const ObjModel* model) {
  for (unsigned i = 0; i < model->materialcount; i++) GLM_ASSERT(model->materials[i].name);
}

// Whether a library name is absolute or has a ".." component.
bool leavesDirectory(const char* name) {
  if (*name == '/') return true;
  for (const char* p = name; *p;) {
    const char* end = std::strchr(p, '/');
    std::size_t length = end ? static_cast<std::size_t>(end - p) : std::strlen(p);
    if (length == 2 && p[0] == '.' && p[1] == '.') return true;
    p += length + (end ? 1 : 0);
  }
  return false;
}

// A library name read from a file must not take the writer out of the
// model's directory; refused before any file is created.
void checkLibraryName(const char* modelpath, const char* mtllibname) {
  if (leavesDirectory(mtllibname))
    glmFailf(stderr,
             "glmWriteMTL() failed: material library \"%s\" would leave the directory of "
             "\"%s\".\n",
             mtllibname, modelpath);
}

// Opens the library's output; on failure releases `pending` too.
void openLibrary(Output& out, Output& pending, const char* modelpath, const char* mtllibname) {
  OwnedString directory(glmPathDirectory(modelpath));
  std::string path = std::string(directory.get()) + mtllibname;
  if (!openOutput(out, path.c_str())) {
    int error = errno;
    failWith(out, pending, "glmWriteMTL() failed: can't open file \"%s\": %s.\n", path.c_str(),
             std::strerror(error));
  }
}

const char* const kWriteWarnings[7] = {
    "glmWriteOBJ() warning: flat normal output requested with no facet normals defined.\n",
    "glmWriteOBJ() warning: smooth normal output requested with no normals defined.\n",
    "glmWriteOBJ() warning: texture coordinate output requested with no texture coordinates "
    "defined.\n",
    "glmWriteOBJ() warning: flat normal output requested and smooth normal output requested "
    "(using smooth).\n",
    "glmWriteOBJ() warning: color output requested with no colors (materials) defined.\n",
    "glmWriteOBJ() warning: material output requested with no materials defined.\n",
    "glmWriteOBJ() warning: color and material output requested outputting only materials.\n",
};

void writeVectors(Output& out, const char* keyword, const char* what, unsigned count,
                  const float* values, int size) {
  out.printf("\n");
  out.printf("# %u %s\n", count, what);
  for (std::size_t i = 1; i <= count; i++) putNumbers(out, keyword, &values[size * i], size);
}

// Whether a triangle carries an index kind: every corner names an entry (an
// index of 0 is one the reader or the operations never wrote).
bool named(const unsigned* index) { return index[0] != 0 && index[1] != 0 && index[2] != 0; }

// Every index the mode writes for the grouped triangles is in range, so the
// file reads back; checked before any file is created.
void checkGroups(const ObjModel* model, unsigned mode) {
  for (const ObjGroup* group = model->groups; group; group = group->next) {
    GLM_ASSERT(group->name);
    if (mode & DRAW_MATERIAL) GLM_ASSERT(group->material < model->materialcount);
    for (unsigned i = 0; i < group->trianglecount; i++) {
      GLM_ASSERT(group->triangles[i] < model->trianglecount);
      const ObjTriangle& t = model->triangles[group->triangles[i]];
      for (int k = 0; k < 3; k++) {
        GLM_ASSERT(t.vertexidx[k] >= 1 && t.vertexidx[k] <= model->vertexcount);
        if (mode & DRAW_TEXTURE) GLM_ASSERT(t.texcoordidx[k] <= model->texcoordcount);
        if (mode & DRAW_SMOOTH) GLM_ASSERT(t.normalidx[k] <= model->normalcount);
      }
      if (mode & DRAW_FLAT) GLM_ASSERT(t.facetnormidx <= model->facetnormcount);
    }
  }
}

// One face line in the form this triangle's data allows: "v", "v/t", "v//n"
// or "v/t/n", so a model where only some triangles have texture coordinates
// or normals still reads back. Indices are printed with %u, so one above
// INT_MAX never comes out as a negative (relative) index.
void writeFace(Output& out, const ObjTriangle& t, unsigned mode) {
  const bool texture = (mode & DRAW_TEXTURE) && named(t.texcoordidx);
  const unsigned facet[3] = {t.facetnormidx, t.facetnormidx, t.facetnormidx};
  const unsigned* normal = nullptr;
  if ((mode & DRAW_SMOOTH) && named(t.normalidx))
    normal = t.normalidx;
  else if ((mode & DRAW_FLAT) && t.facetnormidx != 0)
    normal = facet;
  const unsigned* v = t.vertexidx;
  const unsigned* tc = t.texcoordidx;
  const unsigned* n = normal;
  if (texture && normal)
    out.printf("f %u/%u/%u %u/%u/%u %u/%u/%u\n", v[0], tc[0], n[0], v[1], tc[1], n[1], v[2], tc[2],
               n[2]);
  else if (texture)
    out.printf("f %u/%u %u/%u %u/%u\n", v[0], tc[0], v[1], tc[1], v[2], tc[2]);
  else if (normal)
    out.printf("f %u//%u %u//%u %u//%u\n", v[0], n[0], v[1], n[1], v[2], n[2]);
  else
    out.printf("f %u %u %u\n", v[0], v[1], v[2]);
}

void writeGroups(Output& out, const ObjModel* model, unsigned mode) {
  for (const ObjGroup* group = model->groups; group; group = group->next) {
    out.printf("g %s\n", group->name);
    if (mode & DRAW_MATERIAL) out.printf("usemtl %s\n", model->materials[group->material].name);
    for (unsigned i = 0; i < group->trianglecount; i++)
      writeFace(out, model->triangles[group->triangles[i]], mode);
    out.printf("\n");
  }
}

}  // namespace

void glmWriteOBJ(ObjModel* model, const char* filename, unsigned mode) {
  GLM_ASSERT(model);
  mode = glmCorrectMode(model, mode, kWriteWarnings);
  checkGroups(model, mode);
  if (mode & DRAW_MATERIAL) checkMaterials(model);
  const bool library = (mode & DRAW_MATERIAL) && model->mtllib;
  if (library) checkLibraryName(filename, model->mtllib);

  Output obj, mtl;
  if (!openOutput(obj, filename)) {
    int error = errno;
    failWith(obj, mtl, "glmWriteOBJ() failed: can't open file \"%s\" to write: %s.\n", filename,
             std::strerror(error));
  }
  if (library) openLibrary(mtl, obj, filename, model->mtllib);

  writeHeader(obj, "OBJ");
  obj.printf("#  \n");
  if (library) {
    obj.printf("\nmtllib %s\n\n", model->mtllib);
    writeMaterials(mtl, model);
  }
  writeVectors(obj, "v", "vertices", model->vertexcount, model->vertices, 3);
  if (mode & DRAW_SMOOTH)
    writeVectors(obj, "vn", "normals", model->normalcount, model->normals, 3);
  else if (mode & DRAW_FLAT)
    writeVectors(obj, "vn", "normals", model->facetnormcount, model->facetnorms, 3);
  if (mode & DRAW_TEXTURE)
    writeVectors(obj, "vt", "texcoords", model->texcoordcount, model->texcoords, 2);
  obj.printf("\n");
  obj.printf("# %u groups\n", model->groupcount);
  obj.printf("# %u faces (triangles)\n", model->trianglecount);
  obj.printf("\n");
  writeGroups(obj, model, mode);

  if (library && !finishOutput(mtl)) writeFailed("glmWriteMTL", mtl, obj);
  if (!finishOutput(obj)) writeFailed("glmWriteOBJ", obj, mtl);
  // Both files are whole: the library goes first, so a model file in place
  // always finds its library.
  if (library && !commitOutput(mtl)) writeFailed("glmWriteMTL", mtl, obj);
  if (!commitOutput(obj)) writeFailed("glmWriteOBJ", obj, mtl);
}

void glmWriteMTL(ObjModel* model, const char* modelpath, const char* mtllibname) {
  GLM_ASSERT(model);
  checkMaterials(model);
  checkLibraryName(modelpath, mtllibname);
  Output mtl, none;
  openLibrary(mtl, none, modelpath, mtllibname);
  writeMaterials(mtl, model);
  if (!finishOutput(mtl) || !commitOutput(mtl)) writeFailed("glmWriteMTL", mtl, none);
}
