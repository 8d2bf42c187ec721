// Whole-file reads for tests, in binary so line ends arrive as written.
#include "harness/files.h"

#include <fstream>
#include <sstream>

std::string read_whole_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}
