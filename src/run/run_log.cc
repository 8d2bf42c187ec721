// The run log: append one line, then rotate once the file is past the limit.
#include "run/run_log.h"

#include <cstdio>

#include "platform/file_lock.h"
#include "platform/paths.h"

RunLog default_run_log() {
  return RunLog{run_log_path(), run_log_backup_path(), 10485760};
}

void log_line(const RunLog& log, std::string_view text) {
  // Text mode: on Windows every line feed is stored as CR LF, and the size below
  // counts the bytes in the file.
  std::FILE* file = std::fopen(log.path.c_str(), "a");
  if (file == nullptr) return;
  // A buffer of our own spares the stream allocating one (and asking the file
  // system for its block size) for every line.
  char buffer[4096];
  static_cast<void>(std::setvbuf(file, buffer, _IOFBF, sizeof buffer));  // unbuffered still works
  // Concurrent runs take turns: each line is appended whole, and only one run
  // rotates a full log. Without the lock a second run could rotate the same file
  // again and throw away the backup the first one had just made.
  lock_whole_file(file);
  if (!text.empty()) std::fwrite(text.data(), 1, text.size(), file);
  std::fputc('\n', file);
  // Flushed first: some C runtimes leave the end of an append stream out of its
  // position while the bytes are still buffered.
  std::fflush(file);
  long position = std::ftell(file);
  // A run that waited for the lock while another rotated has just appended to the
  // backup; that file is not rotated again.
  bool rotate = position > log.limit && still_named(file, log.path);
  bool rotated = false;
  if (rotate) {
    std::remove(log.backup_path.c_str());
    rotated = std::rename(log.path.c_str(), log.backup_path.c_str()) == 0;
  }
  close_locked(file);
  // Where an open file cannot be renamed (Windows), the rename follows the close.
  if (rotate && !rotated) std::rename(log.path.c_str(), log.backup_path.c_str());
}
