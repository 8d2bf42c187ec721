// Replacing a file whole through a temporary file beside it and rename(2), which
// swaps the name in one step on the same file system.
#include "replace_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace {

// mkstemp makes the file 0600; a metrics file must be readable by node_exporter's
// user, so the file gets what an ordinary create would give.
mode_t created_mode() {
  mode_t mask = umask(0);
  umask(mask);
  return 0666 & ~mask;
}

}  // namespace

bool write_all(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

bool replace_file(const std::string& path, const std::string& text, std::string& error) {
  std::filesystem::path target(path);
  // A leading dot and no .prom ending: node_exporter skips the file while it grows.
  std::string temporary =
      (target.parent_path() / ("." + target.filename().string() + ".XXXXXX")).string();
  int fd = mkstemp(temporary.data());
  if (fd < 0) {
    error = "cannot write " + path + ": " + std::strerror(errno);
    return false;
  }
  bool written = fchmod(fd, created_mode()) == 0 && write_all(fd, text) && fsync(fd) == 0;
  int saved = errno;
  if (close(fd) != 0 && written) {
    written = false;
    saved = errno;
  }
  if (written && std::rename(temporary.c_str(), path.c_str()) == 0) return true;
  if (written) saved = errno;
  unlink(temporary.c_str());
  error = "cannot write " + path + ": " + std::strerror(saved);
  return false;
}
