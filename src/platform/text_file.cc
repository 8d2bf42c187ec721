// Line reading from text files with Windows text-mode semantics on every platform.
#include "platform/text_file.h"

bool TextFile::open(const std::string& path) {
  close();
  at_end_ = false;
  // Binary on every platform: the text-mode translation below is then the only one.
  // A Windows text stream would translate CR LF first, and "A\r\r\n" would lose the
  // CR that text mode itself keeps.
  file_ = open_regular_file(path);
  return file_ != nullptr;
}

void TextFile::open_bytes(std::string_view bytes) {
  close();
  at_end_ = false;
  in_memory_ = true;
  bytes_ = bytes;
  position_ = 0;
}

void TextFile::close() {
  if (file_ != nullptr) {
    std::fclose(file_);
    file_ = nullptr;
  }
  in_memory_ = false;
}

int TextFile::next_byte() {
  if (file_ != nullptr) return std::getc(file_);
  if (position_ >= bytes_.size()) return EOF;
  return static_cast<unsigned char>(bytes_[position_++]);
}

void TextFile::put_back(int byte) {
  if (file_ != nullptr)
    std::ungetc(byte, file_);
  else
    --position_;
}

// The text-mode translation happens below the line reader, so a CR LF pair counts
// as one character against the capacity, exactly as on Windows. There the C runtime
// also ends the file at a Ctrl-Z, which old editors and `copy` leave at the end.
int TextFile::next_char(std::string* raw) {
  if (at_end_) return EOF;
  int c = next_byte();
  if (c == kTextEndOfFile) {
    at_end_ = true;
    return EOF;
  }
  if (c == EOF) return EOF;
  if (raw != nullptr) raw->push_back(static_cast<char>(c));
  if (c != '\r') return c;
  int following = next_byte();
  if (following == '\n') {
    if (raw != nullptr) raw->push_back('\n');
    return '\n';
  }
  if (following != EOF) put_back(following);
  return '\r';
}

bool TextFile::read_line(std::string& line, std::size_t capacity, std::string* raw) {
  line.clear();
  if (raw != nullptr) raw->clear();
  if (!is_open() || capacity < 2) return false;
  while (line.size() < capacity - 1) {
    int c = next_char(raw);
    if (c == EOF) break;
    line.push_back(static_cast<char>(c));
    if (c == '\n') break;
  }
  return !line.empty();
}

void cut_at_nul(std::string& text) {
  std::size_t nul = text.find('\0');
  if (nul != std::string::npos) text.resize(nul);
}
