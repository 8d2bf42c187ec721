// Runs the Windows executables under Wine as their callers start them, and reads the
// CR LF texts that a Windows program writes to its console and its text-mode files.
#pragma once

#include <string>
#include <vector>

#include "harness/process.h"

// Runs `exe` with `arguments` in `working_directory` under Wine, bounded by
// `limit_seconds` (an overrun ends with exit code 124).
ProcessResult run_windows(const std::string& exe, const std::vector<std::string>& arguments,
                          const std::string& working_directory, int limit_seconds = 90);

struct CrLfText {
  std::vector<std::string> lines;  // the text split at CR LF
  std::string rest;                // what follows the last CR LF
  bool bare_lf = false;            // a line feed without a CR before it was seen
};

CrLfText split_crlf(const std::string& text);

// The last CR LF line of a console output; "<no line end>" when it does not end in CR LF.
std::string last_crlf_line(const std::string& out);
