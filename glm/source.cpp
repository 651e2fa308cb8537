// Where the readers' bytes come from (see source.h).
#include "source.h"

#include <fcntl.h>
#include <sched.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <new>
#include <thread>

namespace glm_scan {

using glm_internal::Owned;

Source::~Source() {
  if (fd_ >= 0) ::close(fd_);
  if (file_ && options_->close) options_->close(file_, options_->user);
}

Source::Opened Source::open(const char* path, const GLMreadoptions* options, bool regularOnly) {
  if (options && options->open) {
    GLM_ASSERT(options->read);
    errno = 0;
    file_ = options->open(path, options->user);
    if (!file_) return Opened::unreadable;
    options_ = options;
    return Opened::done;
  }
  struct stat info;
  auto device = [&info] { return S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode); };
  if (::stat(path, &info) == 0 && (device() || (regularOnly && !S_ISREG(info.st_mode))))
    return device() ? Opened::device : Opened::irregular;
  fd_ = ::open(path, O_RDONLY | O_CLOEXEC);
  if (fd_ < 0) return Opened::unreadable;
  if (::fstat(fd_, &info) != 0) return Opened::unreadable;
  if (S_ISDIR(info.st_mode)) {
    errno = EISDIR;
    return Opened::unreadable;
  }
  if (device()) return Opened::device;
  if (regularOnly && !S_ISREG(info.st_mode)) return Opened::irregular;
  seekable_ = S_ISREG(info.st_mode);
  size_ = seekable_ ? static_cast<std::uint64_t>(info.st_size) : 0;
  return Opened::done;
}

void Source::openMemory(const char* text, std::uint64_t size) {
  text_ = text;
  size_ = size;
  seekable_ = true;
}

long long Source::read(char* into, std::size_t bytes, std::uint64_t offset) const {
  if (text_) {
    std::size_t got = offset < size_ ? static_cast<std::size_t>(std::min<std::uint64_t>(bytes, size_ - offset)) : 0;
    std::memcpy(into, text_ + offset, got);
    return static_cast<long long>(got);
  }
  if (file_) {
    long long got = options_->read(file_, into, bytes, options_->user);
    return got > static_cast<long long>(bytes) ? -1 : got;
  }
  ssize_t got;
  while ((got = seekable_ ? ::pread(fd_, into, bytes, static_cast<off_t>(offset))
                          : ::read(fd_, into, bytes)) < 0 &&
         errno == EINTR) {
  }
  return got;
}

bool readAll(const Source& source, Text& text, const char* operation) {
  // A regular file is asked for a byte more than its size, so a short read
  // tells its end without another call; anything else grows as it comes.
  std::size_t capacity = source.seekable() ? static_cast<std::size_t>(source.size()) + 1 : 4096;
  std::size_t size = 0;
  Owned<char> data(static_cast<char*>(glm_internal::glmAlloc(capacity + 2 + kPadding, 1, operation)));
  for (;;) {
    if (size == capacity) {
      Owned<char> grown(static_cast<char*>(glm_internal::glmAlloc(2 * capacity + 2 + kPadding, 1, operation)));
      std::memcpy(grown.get(), data.get(), size);
      data = std::move(grown);
      capacity *= 2;
    }
    long long got = source.read(data.get() + size, capacity - size, size);
    if (got < 0) return false;
    if (got == 0) break;
    size += static_cast<std::size_t>(got);
    if (source.seekable() && size < capacity) break;
  }
  data.get()[size] = '\n';
  text.begin = data.get() + byteOrderMark(data.get(), size);
  text.end = data.get() + size;
  text.data = std::move(data);
  return true;
}

namespace {
std::atomic<std::size_t> windowBytes{std::size_t{1} << 18};
// The thread's last window, kept for its next read: a program that reads
// many small files would otherwise clear a fresh one for each.
thread_local Owned<char> spareWindow;
thread_local std::size_t spareBytes = 0;
}  // namespace

void setWindowBytes(std::size_t bytes) { windowBytes = bytes ? bytes : std::size_t{1} << 18; }

LineStream::LineStream(const Source& source, std::uint64_t from, std::uint64_t to, bool first)
    : source_(source), offset_(from), to_(to), first_(first) {
  if (spareWindow && spareBytes == windowBytes) {
    window_ = std::move(spareWindow);
    capacity_ = spareBytes;
  } else {
    grow(windowBytes);
  }
}

LineStream::~LineStream() {
  spareWindow = std::move(window_);
  spareBytes = capacity_;
}

void LineStream::grow(std::size_t capacity) {
  Owned<char> larger(static_cast<char*>(std::calloc(capacity + 2 + kPadding, 1)));
  if (!larger) throw std::bad_alloc();
  if (window_) std::memcpy(larger.get(), window_.get(), filled_);
  window_ = std::move(larger);
  capacity_ = capacity;
}

bool LineStream::next(const char*& begin, const char*& end) {
  if (ended_) return false;
  std::size_t carried = filled_ - used_;  // the line the last piece cut off
  std::memmove(window_.get(), window_.get() + used_, carried);
  filled_ = carried;
  used_ = 0;
  for (;;) {
    while (filled_ < capacity_ && !ended_) {
      std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(capacity_ - filled_, to_ - offset_));
      long long got = source_.read(window_.get() + filled_, want, offset_);
      if (got < 0) throw ReadError{errno ? errno : EIO};
      filled_ += static_cast<std::size_t>(got);
      offset_ += static_cast<std::uint64_t>(got);
      ended_ = got == 0 || offset_ >= to_;
    }
    char* data = window_.get();
    if (ended_) {
      data[filled_] = '\n';
      data[filled_ + 1] = '\0';
      used_ = filled_;
    } else if (const void* newline = memrchr(data, '\n', filled_)) {
      used_ = static_cast<std::size_t>(static_cast<const char*>(newline) + 1 - data);
    } else {  // a line longer than the window
      grow(capacity_ * 2);
      continue;
    }
    begin = data + (first_ ? byteOrderMark(data, filled_) : 0);
    end = data + used_;
    first_ = false;
    return true;
  }
}

std::size_t byteOrderMark(const char* text, std::size_t size) {
  return size >= 3 && std::memcmp(text, "\xEF\xBB\xBF", 3) == 0 ? 3 : 0;
}

unsigned cores() {
  static const unsigned count = [] {
    cpu_set_t set;
    if (::sched_getaffinity(0, sizeof set, &set) == 0) return static_cast<unsigned>(CPU_COUNT(&set));
    return std::thread::hardware_concurrency();
  }();
  return count;
}

}  // namespace glm_scan
