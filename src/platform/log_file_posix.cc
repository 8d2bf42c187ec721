// Log appends on POSIX: a descriptor opened with O_APPEND, so that one writev of the
// text and its line end lands whole at the end even while other processes append;
// flock only around a rotation (given up by close). A line costs four system calls:
// open, fstat, writev, close.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>

#include "platform/log_file.h"

LogAppend::LogAppend(const std::string& path) {
  int fd;
  do {
    fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return;
  // A FIFO or a device in the log's place would block or swallow the lines: such a
  // log counts as one that cannot be opened. O_NONBLOCK means nothing to a regular
  // file, so it stays set; the same fstat gives the size the rotation is decided on.
  struct stat status {};
  if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
    ::close(fd);
    return;
  }
  handle_ = fd;
  size_ = static_cast<std::int64_t>(status.st_size);
}

void LogAppend::lock() {
  if (!is_open()) return;
  while (flock(static_cast<int>(handle_), LOCK_EX) != 0 && errno == EINTR) {
  }
}

std::int64_t LogAppend::append_line(std::string_view text) {
  if (!is_open()) return -1;
  int fd = static_cast<int>(handle_);
  static const char kLineEnd = '\n';
  iovec parts[2] = {{const_cast<char*>(text.data()), text.size()},
                    {const_cast<char*>(&kLineEnd), 1}};
  iovec* next = parts;
  int count = 2;
  if (text.empty()) {
    next = parts + 1;
    count = 1;
  }
  // A short write (a full disk, a signal) goes on with what is left; a failed one is
  // given up, and the size is still told, so that a full log is still rotated.
  while (count > 0) {
    ssize_t written = ::writev(fd, next, count);
    if (written < 0) {
      if (errno == EINTR) continue;
      break;
    }
    size_ += written;
    auto rest = static_cast<std::size_t>(written);
    while (count > 0 && rest >= next->iov_len) {
      rest -= next->iov_len;
      ++next;
      --count;
    }
    if (count > 0) {
      next->iov_base = static_cast<char*>(next->iov_base) + rest;
      next->iov_len -= rest;
    }
  }
  return size_;
}

bool LogAppend::still_named(const std::string& path) const {
  struct stat open_file {};
  struct stat named {};
  if (!is_open() || fstat(static_cast<int>(handle_), &open_file) != 0 ||
      stat(path.c_str(), &named) != 0)
    return false;
  return open_file.st_dev == named.st_dev && open_file.st_ino == named.st_ino;
}

void LogAppend::close() {
  if (!is_open()) return;
  ::close(static_cast<int>(handle_));
  handle_ = kClosed;
}
