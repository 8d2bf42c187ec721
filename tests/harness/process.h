// Runs a program as its callers do: its own process, a working directory, extra
// environment, and captured standard output and error.
#pragma once

#include <string>
#include <utility>
#include <vector>

struct ProcessResult {
  int exit_code = -1;  // the low byte the caller sees; -1 if it did not exit normally
  std::string out;
  std::string err;
};

ProcessResult run_process(const std::string& program, const std::vector<std::string>& arguments,
                          const std::string& working_directory,
                          const std::vector<std::pair<std::string, std::string>>& environment = {});
