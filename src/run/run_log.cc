// The run log: append one line, then rotate once the file is past the limit.
#include "run/run_log.h"

#include <cstdio>

#include "platform/paths.h"

RunLog default_run_log() {
  return RunLog{run_log_path(), run_log_backup_path(), 10485760};
}

void log_line(const RunLog& log, std::string_view text) {
  // Text mode: on Windows every line feed is stored as CR LF, and the size below
  // counts the bytes in the file.
  std::FILE* file = std::fopen(log.path.c_str(), "a");
  if (file == nullptr) return;
  if (!text.empty()) std::fwrite(text.data(), 1, text.size(), file);
  std::fputc('\n', file);
  // Flushed first: some C runtimes leave the end of an append stream out of its
  // position while the bytes are still buffered.
  std::fflush(file);
  long position = std::ftell(file);
  std::fclose(file);
  if (position > log.limit) {
    std::remove(log.backup_path.c_str());
    std::rename(log.path.c_str(), log.backup_path.c_str());
  }
}
