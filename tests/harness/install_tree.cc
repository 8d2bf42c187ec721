// A temporary installation tree for running the programs as installed.
#include "harness/install_tree.h"

#include <unistd.h>

#include <fstream>

namespace fs = std::filesystem;

InstallTree::InstallTree(const std::string& name, bool with_log_directory) {
  root_ = fs::temp_directory_path() / ("kestal-" + name + "-" + std::to_string(getpid()));
  fs::remove_all(root_);
  fs::create_directories(root_ / "Files");
  fs::create_directories(working_directory());
  if (with_log_directory) fs::create_directories(root_ / "Velmarion_php" / "log");
}

InstallTree::~InstallTree() {
  std::error_code ignored;
  fs::remove_all(root_, ignored);
}

std::string InstallTree::read_log() const {
  return read_whole_file(log_path());
}

std::vector<std::string> InstallTree::log_lines() const {
  std::vector<std::string> lines;
  std::string text = read_log();
  std::size_t start = 0;
  for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
    lines.push_back(text.substr(start, end - start));
  return lines;
}

void InstallTree::write_file(const fs::path& path, const std::string& bytes) const {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string mask_timestamps(const std::string& text) {
  std::string out;
  std::size_t i = 0;
  while (i < text.size()) {
    std::size_t j = i;
    while (j < text.size() && text[j] >= '0' && text[j] <= '9') ++j;
    if (j - i == 14) {
      out += "<TS>";
      i = j;
    } else if (j > i) {
      out.append(text, i, j - i);
      i = j;
    } else {
      out += text[i++];
    }
  }
  return out;
}
