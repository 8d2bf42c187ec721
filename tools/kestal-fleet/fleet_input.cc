// Reading names with bounds, so /dev/zero or an endless pipe ends in a message and
// not in memory exhaustion.
#include "fleet_input.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <optional>

#include "cp1252.h"
#include "fleet_fd.h"
#include "fleet_words.h"

namespace {

constexpr std::size_t kMaxNames = 100000;
constexpr std::size_t kMaxBytes = 64u << 20;
constexpr std::size_t kMaxName = 255;
constexpr std::size_t kMaxLine = 4096;  // kept of a line: the recap shows the name as read

Fd open_list(const std::string& path, std::string& error) {
  if (path == "-") return Fd(dup(STDIN_FILENO));
  Fd fd(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));  // a FIFO opens at once
  if (!fd.valid()) error = "cannot read " + path + ": " + std::strerror(errno);
  return fd;
}

bool readable_kind(const Fd& fd, const std::string& path, std::string& error) {
  struct stat st {};
  if (fstat(fd.get(), &st) != 0) return false;
  bool ok = path == "-" ? !S_ISDIR(st.st_mode) : S_ISREG(st.st_mode) || S_ISFIFO(st.st_mode);
  if (!ok) error = "cannot read " + path + ": not a file or pipe";
  if (ok) fcntl(fd.get(), F_SETFL, fcntl(fd.get(), F_GETFL) & ~O_NONBLOCK);
  return ok;
}

// Adds the finished line; false when there are too many.
bool take_line(std::string& line, bool& cut, std::vector<std::string>& names) {
  if (!line.empty() && line.back() == '\r' && !cut) line.pop_back();
  if (!line.empty()) names.push_back(std::move(line));
  line.clear();
  cut = false;
  return names.size() <= kMaxNames;
}

// JSON string at `at` (just after its opening quote), unescaped; none when broken.
std::optional<std::string> json_string_at(const std::string& text, std::size_t at) {
  std::string out;
  while (at < text.size() && text[at] != '"') {
    char c = text[at++];
    if (c != '\\') {
      out += c;
      continue;
    }
    if (at >= text.size()) return std::nullopt;
    char e = text[at++];
    if (e == 'u' && at + 4 <= text.size()) {
      unsigned long u = std::strtoul(text.substr(at, 4).c_str(), nullptr, 16);
      at += 4;
      if (u >= 0x80) return std::nullopt;  // the writer escapes control bytes only
      out += static_cast<char>(u);
    } else {
      const std::string_view from = "\"\\/bfnrt", to = "\"\\/\b\f\n\r\t";
      std::size_t k = from.find(e);
      if (k == std::string_view::npos) return std::nullopt;
      out += to[k];
    }
  }
  if (at >= text.size()) return std::nullopt;
  return out;
}

std::optional<std::string> json_field(const std::string& line, const std::string& key) {
  std::size_t at = line.find("\"" + key + "\":\"");
  if (at == std::string::npos) return std::nullopt;
  return json_string_at(line, at + key.size() + 4);
}

}  // namespace

bool read_name_list(const std::string& path, std::vector<std::string>& names, std::string& error) {
  Fd fd = open_list(path, error);
  if (!fd.valid() || !readable_kind(fd, path, error)) return false;
  std::string line;
  bool cut = false;
  std::size_t total = 0;
  char buffer[65536];
  for (;;) {
    ssize_t got = read(fd.get(), buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) error = "cannot read " + path + ": " + std::strerror(errno);
    if (got <= 0) break;
    total += static_cast<std::size_t>(got);
    for (ssize_t i = 0; i < got && error.empty(); ++i) {
      if (buffer[i] != '\n') {
        if (line.size() < kMaxLine) line += buffer[i];
        cut = cut || line.size() >= kMaxLine;
      } else if (!take_line(line, cut, names)) {
        error = path + " names more than " + std::to_string(kMaxNames) + " terminals";
      }
    }
    if (error.empty() && total > kMaxBytes) error = path + " is larger than 64 MiB";
    if (!error.empty()) break;
  }
  if (error.empty() && !take_line(line, cut, names))
    error = path + " names more than " + std::to_string(kMaxNames) + " terminals";
  return error.empty();
}

bool read_resume(const std::string& path, std::vector<std::string>& names, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "cannot read " + path;
    return false;
  }
  std::size_t number = 0;
  for (std::string line; std::getline(in, line);) {
    ++number;
    if (line.empty()) continue;
    std::optional<std::string> terminal = json_field(line, "terminal");
    std::optional<std::string> outcome = json_field(line, "outcome");
    std::optional<std::string> bytes = terminal ? utf8_to_cp1252(*terminal) : std::nullopt;
    if (!bytes || !outcome || !outcome_of(*outcome)) {
      error = path + ":" + std::to_string(number) + ": not a line of a push's JSON";
      return false;
    }
    if (*outcome != word(Outcome::kOk)) names.push_back(std::move(*bytes));
  }
  return true;
}

std::string name_problem(const std::string& name) {
  if (name.find('\0') != std::string::npos) return "bad argument: the terminal name holds a NUL";
  if (name.find('\n') != std::string::npos)
    return "bad argument: the terminal name holds a line feed";
  if (name.size() > kMaxName) return "bad argument: the terminal name is longer than 255 bytes";
  return "";
}
