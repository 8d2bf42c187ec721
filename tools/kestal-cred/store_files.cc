// The credential store's file handling that is the same on every platform: the
// whole-file read and the clean-up of temporary files left by a killed writer.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "platform/text_file.h"
#include "replace_file.h"

bool read_whole_file(const std::string& path, std::string& content, bool& missing,
                     std::string& error) {
  content.clear();
  missing = false;
  std::FILE* file = open_regular_file(path);
  if (file == nullptr) {
    missing = errno == ENOENT;
    if (missing) return true;
    error = path + ": " + (errno == EINVAL ? "not a regular file" : std::strerror(errno));
    return false;
  }
  char buffer[4096];
  std::size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) content.append(buffer, got);
  bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (failed) error = path + ": read error";
  return !failed;
}

void remove_stale_temporaries(const std::string& path) {
  namespace fs = std::filesystem;
  const fs::path target(path);
  const std::string prefix = target.filename().string() + std::string(kTemporaryInfix);
  fs::path folder = target.parent_path();
  if (folder.empty()) folder = ".";
  std::error_code error;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    const std::string name = it->path().filename().string();
    if (name.size() > prefix.size() && name.compare(0, prefix.size(), prefix) == 0) {
      std::error_code ignored;
      fs::remove(it->path(), ignored);
    }
  }
}
