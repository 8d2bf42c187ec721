// Helpers shared by the fuzz targets: a scratch file that holds the fuzzed contents
// of a settings file, and a reader that splits the fuzzed input into parts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// A file in a private temporary folder, rewritten with every input; removed at exit.
class ScratchFile {
 public:
  explicit ScratchFile(const char* name);
  ~ScratchFile();
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;

  const std::string& path() const { return path_; }
  const std::string& folder() const { return folder_; }
  void write(std::string_view bytes) const;

 private:
  std::string folder_;
  std::string path_;
};

// Takes the fuzzed input apart from its front: single bytes, and texts ending at a
// separator byte (or at the end of the input).
class FuzzReader {
 public:
  FuzzReader(const std::uint8_t* data, std::size_t size)
      : rest_(reinterpret_cast<const char*>(data), size) {}

  std::uint8_t byte();
  std::string_view until(char separator);
  std::string_view rest() const { return rest_; }
  bool empty() const { return rest_.empty(); }

 private:
  std::string_view rest_;
};

// Stops the fuzzer with a readable message when an invariant does not hold.
void fuzz_require(bool condition, const char* what);
