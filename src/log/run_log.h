// The run log: one line appended per event, the file opened and closed for each,
// and moved aside to a single backup once it has grown past the size limit.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

struct RunLog {
  std::string path;         // current log file
  std::string backup_path;  // the one backup generation
  std::int64_t limit = 10485760;
};

// The run log at the installation's fixed paths.
RunLog default_run_log();

// Appends `text` and one line end; rotates when the file has grown past the limit.
// Never fails visibly: a missing directory loses the line silently.
void log_line(const RunLog& log, std::string_view text);
