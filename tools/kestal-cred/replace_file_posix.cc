// POSIX file replacement: a private temporary file beside the target, flushed to
// disk and renamed over it, keeping the old file's owner and mode; writers take turns
// under an flock on the file.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "replace_file.h"

namespace {

bool write_all(int fd, std::string_view content) {
  while (!content.empty()) {
    ssize_t written = write(fd, content.data(), content.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    content.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

bool same_file(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

}  // namespace

std::string resolved_path(const std::string& path) {
  char resolved[PATH_MAX];
  if (realpath(path.c_str(), resolved) == nullptr) return path;
  return resolved;
}

bool replace_file(const std::string& path, std::string_view content, std::string& error) {
  std::string name = path + std::string(kTemporaryInfix) + "XXXXXX";
  std::vector<char> temp(name.begin(), name.end());
  temp.push_back('\0');
  int fd = mkstemp(temp.data());  // mode 0600: the store holds secrets
  if (fd < 0) {
    error = path + ": cannot create a temporary file: " + std::strerror(errno);
    return false;
  }
  struct stat old {};
  if (stat(path.c_str(), &old) == 0) {
    // Run as root on a store of the service account, the store must stay readable
    // by that account; without the right to give it away, the writer keeps it.
    if (fchown(fd, old.st_uid, old.st_gid) != 0 && errno != EPERM) {
      error = path + ": cannot keep the owner: " + std::strerror(errno);
      close(fd);
      unlink(temp.data());
      return false;
    }
    fchmod(fd, old.st_mode & 07777);
  }
  bool ok = write_all(fd, content) && fsync(fd) == 0;
  if (close(fd) != 0) ok = false;
  if (ok) ok = rename(temp.data(), path.c_str()) == 0;
  if (!ok) {
    error = path + ": cannot write: " + std::strerror(errno);
    unlink(temp.data());
  }
  return ok;
}

StoreLock::StoreLock(const std::string& path, std::string& error) {
  for (;;) {
    int fd = open(path.c_str(), O_RDONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd < 0) {
      error = path + ": " + std::strerror(errno);
      return;
    }
    int locked;
    while ((locked = flock(fd, LOCK_EX)) != 0 && errno == EINTR) {
    }
    if (locked != 0) {
      error = path + ": cannot lock: " + std::strerror(errno);
      close(fd);
      return;
    }
    // The writer before may have renamed a new file over the one locked here: the
    // lock counts only on the file that now bears the name.
    struct stat open_file {};
    struct stat named {};
    if (fstat(fd, &open_file) == 0 && stat(path.c_str(), &named) == 0 &&
        same_file(open_file, named)) {
      handle_ = fd;
      return;
    }
    close(fd);
  }
}

StoreLock::~StoreLock() {
  if (locked()) close(static_cast<int>(handle_));
}
