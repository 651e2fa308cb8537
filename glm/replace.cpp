// Putting a written file in place: the rules are told in replace.h.
#include "replace.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "glm_internal.h"

namespace glm_internal {

void Output::discard() {
  if (file) std::fclose(file);
  file = nullptr;
  std::free(memory);
  memory = nullptr;
  if (inPlace >= 0) {
    // Room reserved by growing the file goes back; the old bytes never changed.
    if (grownFrom >= 0 && ftruncate(inPlace, static_cast<off_t>(grownFrom)) != 0) {
    }
    close(inPlace);
  }
  inPlace = -1;
  grownFrom = -1;
  if (!temp.empty()) unlink(temp.c_str());
  temp.clear();
}

void Output::printf(const char* format, ...) {
  if (error) return;  // the file is lost anyway; keep the first cause
  va_list args;
  va_start(args, format);
  int written = std::vfprintf(file, format, args);
  va_end(args);
  if (written < 0) error = errno ? errno : EIO;
}

void Output::put(const void* data, std::size_t length) {
  if (!error && std::fwrite(data, 1, length, file) != length) error = errno ? errno : EIO;
}

}  // namespace glm_internal

namespace {

using glm_internal::Output;

// The kernel follows at most this many symbolic links in one path.
constexpr int kMaxLinks = 40;

// The file that opening `path` for writing would write: symbolic links are
// followed, also one that names a file that does not exist yet (which is
// then created, and the link kept). Sets errno to ELOOP for a loop.
bool resolveTarget(const std::string& path, std::string& target) {
  target = path;
  for (int followed = 0;; followed++) {
    struct stat status;
    if (lstat(target.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) return true;
    if (followed == kMaxLinks) {
      errno = ELOOP;
      return false;
    }
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
}

// Six letters that no other writer of the same name is likely to pick.
std::string randomLetters() {
  static std::atomic<unsigned> counter{0};
  unsigned long long bits = 0;
  if (getrandom(&bits, sizeof bits, GRND_NONBLOCK) != sizeof bits) {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    bits = static_cast<unsigned long long>(now.tv_nsec) * 0x9E3779B97F4A7C15ull ^
           static_cast<unsigned long long>(getpid()) << 32;
  }
  bits += counter.fetch_add(1) * 0x2545F4914F6CDD1Dull;
  static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  std::string letters;
  for (int i = 0; i < 6; i++, bits /= 62) letters += kLetters[bits % 62];
  return letters;
}

// Creates a new temporary file beside `target` as open(2) creates any file,
// so the umask and a default ACL apply without touching the process umask.
// Its name is the target's with a suffix, or a short one where that would
// be too long. Returns the descriptor, or -1 with errno set.
int createTemporary(const std::string& target, std::string& temp) {
  const std::size_t slash = target.rfind('/');
  const std::string directory = slash == std::string::npos ? "" : target.substr(0, slash + 1);
  bool shortName = false;
  for (int attempt = 0; attempt < 100; attempt++) {
    temp = (shortName ? directory + ".glm" : target + ".") + randomLetters();
    int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) return fd;
    if (errno == ENAMETOOLONG && !shortName) {
      shortName = true;
      continue;
    }
    if (errno != EEXIST) break;
  }
  temp.clear();
  return -1;
}

// Writes the text to `fd` once it is complete: it is collected in memory
// and written by commitOutput. Takes `fd` over, also on failure.
bool collectFor(Output& out, int fd) {
  out.inPlace = fd;
  out.file = open_memstream(&out.memory, &out.memoryLength);
  if (!out.file) {
    int saved = errno;
    out.discard();
    errno = saved;
    return false;
  }
  return true;
}

// Opens the target itself for writing, without creating or truncating it.
bool openInPlace(Output& out, const char* path) {
  int fd = open(path, O_WRONLY | O_CLOEXEC);
  return fd >= 0 && collectFor(out, fd);
}

// The canonical path of a directory, or "".
std::string canonicalDirectory(const std::string& directory) {
  char* real = realpath(directory.empty() ? "." : directory.c_str(), nullptr);
  std::string result = real ? real : "";
  std::free(real);
  return result;
}

// The descriptor of this process, open for writing, that `path` names
// through /proc's fd directories, links followed (/dev/stdout, /dev/fd/N,
// /proc/self/fd/N, /proc/thread-self/fd/N); -1 for any other path. Opening
// such a name would open the file behind the descriptor anew, at its start
// and without its appending.
int namedDescriptor(const char* path) {
  std::string step = path;
  for (int followed = 0; followed <= kMaxLinks; followed++) {
    const std::size_t slash = step.rfind('/');
    const std::string directory = slash == std::string::npos ? "" : step.substr(0, slash + 1);
    const std::string base = step.substr(slash == std::string::npos ? 0 : slash + 1);
    if (!base.empty() && base.size() < 10 &&
        base.find_first_not_of("0123456789") == std::string::npos) {
      const std::string real = canonicalDirectory(directory);
      if (!real.empty() && (real == canonicalDirectory("/proc/self/fd") ||
                            real == canonicalDirectory("/proc/thread-self/fd"))) {
        const int fd = std::atoi(base.c_str());
        const int flags = fcntl(fd, F_GETFL);
        return flags >= 0 && (flags & O_ACCMODE) != O_RDONLY ? fd : -1;
      }
    }
    struct stat status;
    if (lstat(step.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) return -1;
    char buffer[PATH_MAX];
    ssize_t length = readlink(step.c_str(), buffer, sizeof buffer);
    if (length <= 0 || static_cast<std::size_t>(length) == sizeof buffer) return -1;
    std::string link(buffer, static_cast<std::size_t>(length));
    step = link[0] == '/' ? link : directory + link;
  }
  return -1;
}

// Makes sure a regular file has room for `length` bytes from `offset` on
// before any of them is written, so a full disk or the file size limit
// refuses here, with the old contents as they were. The room is reserved
// past the file's end without changing its size; only where the file system
// cannot do that, and `mayGrow` allows it, is the file grown, and
// `grownFrom` keeps the old size so that a failure gives it back.
bool reserve(int fd, off_t offset, std::size_t length, bool mayGrow, long long& grownFrom,
             int& error) {
  struct stat status;
  if (fstat(fd, &status) != 0) {
    error = errno;
    return false;
  }
  const std::uint64_t end = static_cast<std::uint64_t>(offset) + length;
  if (!S_ISREG(status.st_mode) || end <= static_cast<std::uint64_t>(status.st_size)) return true;
  // Reserving without growing is not held to the size limit; writing is.
  struct rlimit limit;
  if (getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
      end > limit.rlim_cur) {
    error = EFBIG;
    return false;
  }
  const off_t from = std::max(offset, status.st_size);
  if (fallocate(fd, FALLOC_FL_KEEP_SIZE, from, static_cast<off_t>(end) - from) == 0) return true;
  if (errno != EOPNOTSUPP) {
    error = errno;
    return false;
  }
  if (!mayGrow) return true;  // nowhere to reserve: written as a pipe is
  error = posix_fallocate(fd, status.st_size, static_cast<off_t>(end) - status.st_size);
  if (error == 0) {
    grownFrom = status.st_size;
    return true;
  }
  if (ftruncate(fd, status.st_size) != 0) {
    // The old bytes are intact; only zeros past them may remain.
  }
  return false;
}

// "dir/name" with the directory's symbolic links and dot components resolved.
bool canonicalPath(const std::string& path, std::string& canonical) {
  const std::size_t slash = path.rfind('/');
  const std::string real =
      canonicalDirectory(slash == std::string::npos ? "" : path.substr(0, slash + 1));
  if (real.empty()) return false;
  canonical = real + "/" + path.substr(slash == std::string::npos ? 0 : slash + 1);
  return true;
}

}  // namespace

namespace glm_internal {

bool openOutput(Output& out, const char* path) {
  out.name = path;
  if (!*path) {
    errno = ENOENT;
    return false;
  }
  const int descriptor = namedDescriptor(path);
  if (descriptor >= 0) {
    out.shared = true;
    int fd = fcntl(descriptor, F_DUPFD_CLOEXEC, 0);
    return fd >= 0 && collectFor(out, fd);
  }
  // A device, a pipe or a terminal is written as its name opens: the kernel
  // follows the links (also /proc's links to pipes, which name no path).
  struct stat status;
  if (stat(path, &status) == 0 && !S_ISREG(status.st_mode)) return openInPlace(out, path);
  if (!resolveTarget(path, out.target)) return false;
  const bool exists = stat(out.target.c_str(), &status) == 0;
  // Renaming would replace a file that its permissions protect from writing.
  if (exists && faccessat(AT_FDCWD, out.target.c_str(), W_OK, AT_EACCESS) != 0) return false;
  int fd = createTemporary(out.target, out.temp);
  if (fd < 0) {
    // Only a directory that refuses new files sends the text into the file
    // itself; a full disk or a quota refuses here, with the old file intact.
    if (exists && (errno == EACCES || errno == EPERM)) return openInPlace(out, out.target.c_str());
    return false;
  }
  if (exists) {
    if (fchown(fd, status.st_uid, status.st_gid) != 0) {
      // Only a privileged writer can keep another owner; the file is its own then.
    }
    if (fchmod(fd, status.st_mode & 07777) != 0) {
      int saved = errno;
      close(fd);
      out.discard();
      errno = saved;
      return false;
    }
  }
  if (!(out.file = fdopen(fd, "w"))) {
    int saved = errno;
    close(fd);
    out.discard();
    errno = saved;
    return false;
  }
  return true;
}

bool finishOutput(Output& out) {
  if (!out.error && std::fflush(out.file) != 0) out.error = errno ? errno : EIO;
  if (!out.error && std::ferror(out.file)) out.error = EIO;
  if (!out.error && !out.temp.empty() && fsync(fileno(out.file)) != 0) out.error = errno;
  FILE* file = out.file;
  out.file = nullptr;
  if (std::fclose(file) != 0 && !out.error) out.error = errno ? errno : EIO;
  return out.error == 0;
}

bool reserveOutput(Output& out) {
  if (out.inPlace < 0 || out.reserved) return true;
  off_t offset = 0;
  if (out.shared) {
    // Where the descriptor writes: its end when it appends, else its position.
    const int flags = fcntl(out.inPlace, F_GETFL);
    struct stat status;
    if (flags >= 0 && (flags & O_APPEND) && fstat(out.inPlace, &status) == 0)
      offset = status.st_size;
    else if ((offset = lseek(out.inPlace, 0, SEEK_CUR)) < 0)
      return out.reserved = true;  // a pipe or a terminal has no room to reserve
  }
  if (!reserve(out.inPlace, offset, out.memoryLength, !out.shared, out.grownFrom, out.error))
    return false;
  return out.reserved = true;
}

bool commitOutput(Output& out) {
  if (out.inPlace >= 0) {
    if (!reserveOutput(out)) return false;
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
    if (!out.shared && fstat(out.inPlace, &status) == 0 && S_ISREG(status.st_mode) &&
        ftruncate(out.inPlace, static_cast<off_t>(out.memoryLength)) != 0) {
      out.error = errno;
      return false;
    }
    int fd = out.inPlace;
    out.inPlace = -1;
    out.grownFrom = -1;
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

bool sameFile(const char* a, const char* b) {
  struct stat first, second;
  if (stat(a, &first) == 0 && stat(b, &second) == 0)
    return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
  // One is still to be created: the same when both would be created at one place.
  std::string targetA, targetB, canonicalA, canonicalB;
  return resolveTarget(a, targetA) && resolveTarget(b, targetB) &&
         canonicalPath(targetA, canonicalA) && canonicalPath(targetB, canonicalB) &&
         canonicalA == canonicalB;
}

void failWith(int errnum, Output& a, Output& b, const char* format, ...) {
  a.discard();
  b.discard();
  va_list args;
  va_start(args, format);
  Failure failure{glmFormat(format, args), stderr, 0, errnum};
  va_end(args);
  glmFail(std::move(failure));
}

void writeFailed(const char* operation, Output& out, Output& other) {
  std::string name = out.name;
  const int error = out.error ? out.error : EIO;
  failWith(error, out, other, "%s() failed: can't write file \"%s\": %s\n", operation, name.c_str(),
           std::strerror(error));
}

}  // namespace glm_internal
