// A temporary installation tree with the folders the fixed relative paths need:
// <root>/Files, <root>/Velmarion_php/log and the working directory <root>/work/bin.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "harness/files.h"

// The line that opens every run in the run log.
inline const std::string kRunSeparator = "========================================>";

class InstallTree {
 public:
  // `name` makes the folder unique per test; the tree is removed by the destructor.
  explicit InstallTree(const std::string& name, bool with_log_directory = true);
  ~InstallTree();
  InstallTree(const InstallTree&) = delete;
  InstallTree& operator=(const InstallTree&) = delete;

  const std::filesystem::path& root() const { return root_; }
  std::filesystem::path working_directory() const { return root_ / "work" / "bin"; }
  std::filesystem::path log_path() const {
    return root_ / "Velmarion_php" / "log" / "KestalLog.txt";
  }
  std::filesystem::path backup_path() const {
    return root_ / "Velmarion_php" / "log" / "KestalLog.bak";
  }
  std::filesystem::path credential_store_path() const { return root_ / "Files" / "Velmarion.Ini"; }

  std::string read_log() const;
  // The run log split at line feeds (the text after the last line feed is dropped).
  std::vector<std::string> log_lines() const;
  void write_file(const std::filesystem::path& path, const std::string& bytes) const;

 private:
  std::filesystem::path root_;
};

// Replaces every run of 14 digits by "<TS>", so log lines compare exactly otherwise.
std::string mask_timestamps(const std::string& text);
