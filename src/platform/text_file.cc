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

void TextFile::close() {
  if (file_ != nullptr) {
    std::fclose(file_);
    file_ = nullptr;
  }
}

// The text-mode translation happens below the line reader, so a CR LF pair counts
// as one character against the capacity, exactly as on Windows. There the C runtime
// also ends the file at a Ctrl-Z, which old editors and `copy` leave at the end.
int TextFile::next_char() {
  if (at_end_) return EOF;
  int c = std::getc(file_);
  if (c == kTextEndOfFile) {
    at_end_ = true;
    return EOF;
  }
  if (c != '\r') return c;
  int following = std::getc(file_);
  if (following == '\n') return '\n';
  if (following != EOF) std::ungetc(following, file_);
  return '\r';
}

bool TextFile::read_line(std::string& line, std::size_t capacity) {
  line.clear();
  if (file_ == nullptr || capacity < 2) return false;
  while (line.size() < capacity - 1) {
    int c = next_char();
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
