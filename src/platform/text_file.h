// Line reading from text files with Windows text-mode semantics on every platform.
// A CR directly before an LF is dropped and a Ctrl-Z (0x1A) ends the file, so files
// written on either platform read alike.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

class TextFile {
 public:
  TextFile() = default;
  explicit TextFile(const std::string& path) { open(path); }
  ~TextFile() { close(); }
  TextFile(const TextFile&) = delete;
  TextFile& operator=(const TextFile&) = delete;

  bool open(const std::string& path);
  bool is_open() const { return file_ != nullptr; }
  void close();

  // Reads like fgets with a buffer of `capacity` bytes: at most capacity - 1 characters,
  // ending after the first line feed. The line feed, when read, is kept in `line`.
  // Bytes are returned raw (a NUL byte is kept); callers that treat the line as a C
  // text cut it at the first NUL. Returns false at end of file or on a read error
  // when nothing was read.
  bool read_line(std::string& line, std::size_t capacity);

 private:
  int next_char();
  std::FILE* file_ = nullptr;
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
