// Helpers shared by the fuzz targets: the scratch file and the input splitter.
#include "fuzz_support.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

ScratchFile::ScratchFile(const char* name) {
  std::string pattern = (std::filesystem::temp_directory_path() / "kestal-fuzz-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) {
    std::perror("mkdtemp");
    std::abort();
  }
  folder_ = pattern;
  path_ = folder_ + "/" + name;
}

ScratchFile::~ScratchFile() {
  std::error_code ignored;
  std::filesystem::remove_all(folder_, ignored);
}

void ScratchFile::write(std::string_view bytes) const {
  std::FILE* file = std::fopen(path_.c_str(), "wb");
  if (file == nullptr) {
    std::perror(path_.c_str());
    std::abort();
  }
  if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size()) {
    std::perror(path_.c_str());
    std::abort();
  }
  std::fclose(file);
}

std::uint8_t FuzzReader::byte() {
  if (rest_.empty()) return 0;
  auto value = static_cast<std::uint8_t>(rest_.front());
  rest_.remove_prefix(1);
  return value;
}

std::string_view FuzzReader::until(char separator) {
  std::size_t end = rest_.find(separator);
  std::string_view part = rest_.substr(0, end);
  rest_.remove_prefix(end == std::string_view::npos ? rest_.size() : end + 1);
  return part;
}

void fuzz_require(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "invariant broken: %s\n", what);
  std::abort();
}
