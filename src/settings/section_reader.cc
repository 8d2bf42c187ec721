// Reads the value of one key in one [section] of a sectioned key=value text file,
// line by line through a 120-byte line reader; nothing is cached between calls.
#include "settings/section_reader.h"

#include "platform/text_file.h"
#include "settings/text.h"

namespace {

// Lines longer than this are read in parts, each part handled as a line of its own.
constexpr std::size_t kLineCapacity = 120;

std::int32_t text_length(const std::string& text) {
  std::size_t nul = text.find('\0');
  return static_cast<std::int32_t>(nul == std::string::npos ? text.size() : nul);
}

void drop_line_end(std::string& line) {
  if (!line.empty() && line.back() == '\n') line.pop_back();
}

bool find_header(TextFile& file, const std::string& header) {
  std::string line;
  while (file.read_line(line, kLineCapacity)) {
    cut_at_nul(line);
    drop_line_end(line);
    if (text_trim_right(line) == header) return true;
  }
  return false;
}

}  // namespace

std::int32_t read_section_value(std::string_view section, std::string_view key, std::string& output,
                                std::size_t capacity, const std::string& path) {
  TextFile file(path);
  if (!file.is_open()) return text_length(output);
  std::string header = "[";
  header.append(section);
  header.push_back(']');
  if (!find_header(file, header)) return text_length(output);

  std::string line;
  while (file.read_line(line, kLineCapacity)) {
    cut_at_nul(line);
    // Only leading blanks go here: the line end still guards trailing ones.
    text_trim(line);
    if (!line.empty() && line[0] == '[') break;
    std::size_t equals = line.find('=');
    if (equals == std::string::npos || equals == 0) continue;
    std::string name = line.substr(0, equals);
    if (text_trim_right(name) != key) continue;
    // No room for even the terminator: the output is left as it is.
    if (capacity == 0) break;
    output = line.substr(equals + 1, capacity - 1);
    drop_line_end(output);
    text_trim(output);
    break;
  }
  return text_length(output);
}
