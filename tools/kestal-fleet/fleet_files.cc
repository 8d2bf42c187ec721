// Whole-file replacement by rename, so a reader (or a push killed half-way) never
// sees half a file.
#include "fleet_files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "replace_file.h"

namespace {

constexpr const char* kLockName = ".kestal-fleet.lock";

std::string folder_of(const std::string& path) {
  std::string parent = std::filesystem::path(path).parent_path().string();
  return parent.empty() ? "." : parent;
}

// A new file beside `path`, with the mode a file created by open(0666) would get.
Fd make_temporary(const std::string& path, std::string& temporary) {
  temporary = path + ".XXXXXX";
  Fd fd(mkstemp(temporary.data()));
  if (!fd.valid()) return fd;
  mode_t mask = umask(0);
  umask(mask);
  fchmod(fd.get(), 0666 & ~mask);
  return fd;
}

}  // namespace

bool check_output_path(const std::string& path, std::string& error) {
  struct stat st {};
  if (stat(path.c_str(), &st) == 0) {
    if (S_ISREG(st.st_mode) && access(path.c_str(), W_OK) == 0 &&
        access(folder_of(path).c_str(), W_OK) == 0)
      return true;
    error = "cannot write " + path + (S_ISREG(st.st_mode) ? "" : ": not a regular file");
    return false;
  }
  std::string folder = folder_of(path);
  if (stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && access(folder.c_str(), W_OK) == 0)
    return true;
  error = "cannot write " + path + ": no writable folder " + folder;
  return false;
}

bool check_output_folder(const std::string& path, std::string& error) {
  // The folder may be made at the end (with its parents): the nearest one that
  // exists must then take it.
  std::string folder = path;
  struct stat st {};
  while (stat(folder.c_str(), &st) != 0) {
    if (errno != ENOENT || folder == "/" || folder == ".") break;
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    folder = folder_of(folder);
  }
  if (stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && access(folder.c_str(), W_OK) == 0)
    return true;
  error = "cannot write into " + path + (folder == path ? "" : ": no writable folder " + folder);
  return false;
}

bool write_text_file(const std::string& path, const std::string& text, std::string& error) {
  return replace_file(path, text, error);
}

bool open_growing(GrowingFile& file, const std::string& path, std::string& error) {
  file.path = path;
  file.fd = make_temporary(path, file.temporary);
  if (file.fd.valid()) return true;
  error = "cannot write " + path + ": " + std::strerror(errno);
  return false;
}

void append(GrowingFile& file, const std::string& text) {
  if (file.fd.valid() && !write_all(file.fd.get(), text)) {
    file.fd.close();
    std::remove(file.temporary.c_str());
  }
}

bool finish(GrowingFile& file, std::string& error) {
  bool written = file.fd.valid() && fsync(file.fd.get()) == 0;
  file.fd.close();
  if (written && std::rename(file.temporary.c_str(), file.path.c_str()) == 0) return true;
  std::remove(file.temporary.c_str());
  error = "cannot write " + file.path;
  return false;
}

bool lock_working_directory(Fd& lock, bool wait, std::string& error) {
  lock = Fd(open(kLockName, O_RDWR | O_CREAT | O_CLOEXEC, 0644));
  if (!lock.valid()) {
    error = std::string("cannot make ") + kLockName + ": " + std::strerror(errno);
    return false;
  }
  while (flock(lock.get(), LOCK_EX | (wait ? 0 : LOCK_NB)) != 0) {
    if (errno == EINTR) continue;
    char holder[32] = {};
    if (pread(lock.get(), holder, sizeof holder - 1, 0) < 0) holder[0] = '\0';
    error = "another push runs in this working directory (process " +
            std::string(holder, strcspn(holder, "\n")) + "); give --wait to wait for it";
    return false;
  }
  std::string pid = std::to_string(getpid()) + "\n";
  if (ftruncate(lock.get(), 0) != 0 || pwrite(lock.get(), pid.data(), pid.size(), 0) < 0) {
  }
  return true;
}
