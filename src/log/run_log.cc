// The run log: append one line, then rotate once the file is past the limit.
#include "log/run_log.h"

#include <cstdio>

#include "platform/log_file.h"
#include "platform/paths.h"

RunLog default_run_log() {
  return RunLog{run_log_path(), run_log_backup_path(), 10485760};
}

void log_line(const RunLog& log, std::string_view text) {
  bool rotate = false;
  bool rotated = false;
  {
    // Every line is appended whole, also while other runs append. Only the rotation
    // takes turns: without the lock a second run could rotate the same file again
    // and throw away the backup the first one had just made.
    LogAppend file(log.path);
    if (!file.is_open()) return;
    std::int64_t size = file.append_line(text);
    if (size <= log.limit) return;
    file.lock();
    // A run that waited for the lock while another rotated has appended to what is
    // now the backup; that file is not rotated again.
    rotate = file.still_named(log.path);
    if (rotate) {
      std::remove(log.backup_path.c_str());
      rotated = std::rename(log.path.c_str(), log.backup_path.c_str()) == 0;
    }
  }
  // Where an open file cannot be renamed (Windows), the rename follows the close.
  if (rotate && !rotated) std::rename(log.path.c_str(), log.backup_path.c_str());
}
