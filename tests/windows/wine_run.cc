// Runs the Windows executables under Wine and reads their CR LF texts.
#include "windows/wine_run.h"

ProcessResult run_windows(const std::string& exe, const std::vector<std::string>& arguments,
                          const std::string& working_directory, int limit_seconds) {
  // The prefix, its running server and the headless settings come from the
  // environment that tests/windows/run-subset.sh prepared.
  std::vector<std::string> command = {"--kill-after=5", std::to_string(limit_seconds),
                                      KESTAL_WINE64, exe};
  command.insert(command.end(), arguments.begin(), arguments.end());
  return run_process("/usr/bin/timeout", command, working_directory);
}

CrLfText split_crlf(const std::string& text) {
  CrLfText result;
  std::size_t start = 0;
  for (std::size_t lf = text.find('\n'); lf != std::string::npos; lf = text.find('\n', start)) {
    if (lf == 0 || text[lf - 1] != '\r') {
      result.bare_lf = true;
      result.lines.push_back(text.substr(start, lf - start));
    } else {
      result.lines.push_back(text.substr(start, lf - 1 - start));
    }
    start = lf + 1;
  }
  result.rest = text.substr(start);
  return result;
}

std::string last_crlf_line(const std::string& out) {
  CrLfText text = split_crlf(out);
  if (text.bare_lf || !text.rest.empty() || text.lines.empty()) return "<no line end>";
  return text.lines.back();
}
