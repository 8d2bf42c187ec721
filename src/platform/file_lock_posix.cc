// Advisory whole-file locks on POSIX: flock on the descriptor, released by close.
#include <sys/file.h>
#include <sys/stat.h>

#include <cerrno>

#include "platform/file_lock.h"

bool lock_whole_file(std::FILE* file) {
  int fd = fileno(file);
  while (flock(fd, LOCK_EX) != 0) {
    if (errno != EINTR) return false;
  }
  return true;
}

void close_locked(std::FILE* file) {
  std::fclose(file);
}

bool still_named(std::FILE* file, const std::string& path) {
  struct stat open_file {};
  struct stat named {};
  if (fstat(fileno(file), &open_file) != 0 || stat(path.c_str(), &named) != 0) return false;
  return open_file.st_dev == named.st_dev && open_file.st_ino == named.st_ino;
}
