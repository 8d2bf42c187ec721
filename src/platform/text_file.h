// Line reading from text files with Windows text-mode semantics on every platform.
// A CR directly before an LF is dropped and a Ctrl-Z (0x1A) ends the file, so files
// written on either platform read alike.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

class TextFile {
 public:
  TextFile() = default;
  explicit TextFile(const std::string& path) { open(path); }
  ~TextFile() { close(); }
  TextFile(const TextFile&) = delete;
  TextFile& operator=(const TextFile&) = delete;

  bool open(const std::string& path);
  // Reads `bytes` (which must outlive the reading) as if they were the file.
  void open_bytes(std::string_view bytes);
  bool is_open() const { return file_ != nullptr || in_memory_; }
  void close();

  // Reads like fgets with a buffer of `capacity` bytes: at most capacity - 1 characters,
  // ending after the first line feed. The line feed, when read, is kept in `line`.
  // Bytes are returned raw (a NUL byte is kept); callers that treat the line as a C
  // text cut it at the first NUL. Returns false at end of file or on a read error
  // when nothing was read. `raw`, when given, receives the bytes the line took from
  // the file, a CR of a CR LF pair included.
  bool read_line(std::string& line, std::size_t capacity, std::string* raw = nullptr);

 private:
  int next_byte();
  void put_back(int byte);
  int next_char(std::string* raw);
  std::FILE* file_ = nullptr;
  bool in_memory_ = false;
  std::string_view bytes_;  // the input when in memory
  std::size_t position_ = 0;
  bool at_end_ = false;  // a Ctrl-Z was read: nothing after it is part of the file
};

// Opens `path` for reading in binary, without waiting on it; null when it cannot be
// opened or is not a regular file (errno EINVAL then), since a FIFO or a device would
// hold the reader forever or never end. The caller closes the stream.
std::FILE* open_regular_file(const std::string& path);

// The byte that ends a file read in Windows text mode.
inline constexpr char kTextEndOfFile = '\x1A';

// Cuts `text` at its first NUL byte, as a C text would end there.
void cut_at_nul(std::string& text);
