#include "screenshot.h"

#include <fcntl.h>
#include <png.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

namespace objview {

namespace {

// The process's file-creation mask, read without setting it (umask() would
// change it for every thread for a moment).
mode_t currentUmask() {
  FILE* status = std::fopen("/proc/self/status", "r");
  unsigned mask = 022;
  char line[128];
  while (status != nullptr && std::fgets(line, sizeof line, status) != nullptr)
    if (std::sscanf(line, "Umask: %o", &mask) == 1) break;
  if (status != nullptr) std::fclose(status);
  return static_cast<mode_t>(mask);
}

bool writeAll(int fd, const std::vector<unsigned char>& bytes) {
  for (std::size_t done = 0; done < bytes.size();) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

bool isPngName(const std::string& path) {
  return path.size() >= 4 && strcasecmp(path.c_str() + path.size() - 4, ".png") == 0;
}

std::vector<unsigned char> encodePng(const unsigned char* rgb, int width, int height) {
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  png.width = static_cast<png_uint_32>(width);
  png.height = static_cast<png_uint_32>(height);
  png.format = PNG_FORMAT_RGB;
  png_alloc_size_t size = 0;
  if (!png_image_write_to_memory(&png, nullptr, &size, 0, rgb, 0, nullptr)) return {};
  std::vector<unsigned char> bytes(size);
  if (!png_image_write_to_memory(&png, bytes.data(), &size, 0, rgb, 0, nullptr)) return {};
  bytes.resize(size);
  return bytes;
}

bool putFile(const std::string& path, const std::vector<unsigned char>& bytes, std::string& why) {
  struct stat target {};
  if (::stat(path.c_str(), &target) == 0 && !S_ISREG(target.st_mode)) {
    const int fd = ::open(path.c_str(), O_WRONLY);
    const bool ok = fd >= 0 && writeAll(fd, bytes);
    why = std::strerror(errno);
    if (fd >= 0) ::close(fd);
    return ok;
  }
  // The file a link leads to is the one replaced; the link stays.
  char resolved[PATH_MAX];
  std::string real = path;
  if (::realpath(path.c_str(), resolved) != nullptr) real = resolved;
  std::string temp = real.substr(0, real.find_last_of('/') + 1) + ".objview-XXXXXX";
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) {
    why = std::strerror(errno);
    return false;
  }
  // A file replaced keeps its permissions; a new one gets the usual ones.
  const mode_t mode =
      ::stat(real.c_str(), &target) == 0 ? target.st_mode & 07777 : 0666 & ~currentUmask();
  errno = 0;
  bool ok = ::fchmod(fd, mode) == 0 && writeAll(fd, bytes) && ::fsync(fd) == 0;
  ok = ::close(fd) == 0 && ok && ::rename(temp.c_str(), real.c_str()) == 0;
  if (!ok) {
    why = errno != 0 ? std::strerror(errno) : "short write";
    ::unlink(temp.c_str());
    return false;
  }
  return true;
}

}  // namespace objview
