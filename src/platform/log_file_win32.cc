// Log appends on Windows: a text-mode stream (line feeds stored as CR LF), whose
// buffered writes are not one atomic append, so it is locked with LockFileEx from
// open to close. An open file cannot be renamed there, so
// it always keeps its name.
#include <io.h>
#include <windows.h>

#include <cstdio>

#include "platform/log_file.h"

namespace {

std::FILE* stream_of(std::intptr_t handle) {
  return reinterpret_cast<std::FILE*>(handle);
}

HANDLE os_handle(std::FILE* file) {
  return reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
}

}  // namespace

LogAppend::LogAppend(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "a");
  if (file == nullptr) return;
  handle_ = reinterpret_cast<std::intptr_t>(file);
  HANDLE handle = os_handle(file);
  OVERLAPPED whole{};
  if (handle != INVALID_HANDLE_VALUE)
    LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole);
}

std::int64_t LogAppend::append_line(std::string_view text) {
  if (!is_open()) return -1;
  std::FILE* file = stream_of(handle_);
  if (!text.empty()) std::fwrite(text.data(), 1, text.size(), file);
  std::fputc('\n', file);
  // Flushed first: the C runtime leaves buffered bytes of an append stream out of
  // its position. A failed write still tells the size, so a full log is rotated.
  std::fflush(file);
  return std::ftell(file);
}

void LogAppend::lock() {
  // Held since the file was opened.
}

bool LogAppend::still_named(const std::string&) const {
  return true;
}

void LogAppend::close() {
  if (!is_open()) return;
  std::FILE* file = stream_of(handle_);
  std::fflush(file);
  HANDLE handle = os_handle(file);
  OVERLAPPED whole{};
  if (handle != INVALID_HANDLE_VALUE) UnlockFileEx(handle, 0, MAXDWORD, MAXDWORD, &whole);
  std::fclose(file);
  handle_ = kClosed;
}
