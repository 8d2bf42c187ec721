// POSIX file replacement: a private temporary file beside the target, flushed to
// disk and renamed over it, keeping the old file's permissions.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

#include "replace_file.h"

bool read_whole_file(const std::string& path, std::string& content, bool& missing,
                     std::string& error) {
  content.clear();
  missing = false;
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    missing = errno == ENOENT;
    if (missing) return true;
    error = path + ": " + std::strerror(errno);
    return false;
  }
  std::ostringstream bytes;
  bytes << in.rdbuf();
  content = bytes.str();
  if (in.bad()) {
    error = path + ": read error";
    return false;
  }
  return true;
}

bool replace_file(const std::string& path, std::string_view content, std::string& error) {
  std::string name = path + ".XXXXXX";
  std::vector<char> temp(name.begin(), name.end());
  temp.push_back('\0');
  int fd = mkstemp(temp.data());  // mode 0600: the store holds secrets
  if (fd < 0) {
    error = path + ": cannot create a temporary file: " + std::strerror(errno);
    return false;
  }
  struct stat old {};
  if (stat(path.c_str(), &old) == 0) fchmod(fd, old.st_mode & 07777);
  const char* data = content.data();
  std::size_t left = content.size();
  bool ok = true;
  while (left > 0) {
    ssize_t written = write(fd, data, left);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      ok = false;
      break;
    }
    data += written;
    left -= static_cast<std::size_t>(written);
  }
  if (ok) ok = fsync(fd) == 0;
  if (close(fd) != 0) ok = false;
  if (ok) ok = rename(temp.data(), path.c_str()) == 0;
  if (!ok) {
    error = path + ": cannot write: " + std::strerror(errno);
    unlink(temp.data());
  }
  return ok;
}
