// Where a run's messages go: the run log, the console, and whether verbose
// console output (/D) is on. Passed to every module that reports.
#pragma once

#include <string>
#include <string_view>

#include "log/run_log.h"

struct Console {
  std::string* capture = nullptr;  // tests collect the bytes here; null means stdout
  void write(std::string_view bytes) const;
};

struct Report {
  RunLog log;
  Console console;
  bool verbose = false;

  void log_line(std::string_view text) const;       // text plus one line end
  void print(std::string_view text) const;          // exactly the text, always
  void print_verbose(std::string_view text) const;  // exactly the text, only with /D
};
