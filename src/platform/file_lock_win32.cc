// Advisory whole-file locks on Windows: LockFileEx on the stream's handle, given up
// before the handle closes. An open file cannot be renamed there: it keeps its name.
#include <io.h>
#include <windows.h>

#include "platform/file_lock.h"

namespace {

HANDLE handle_of(std::FILE* file) {
  return reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
}

}  // namespace

bool lock_whole_file(std::FILE* file) {
  HANDLE handle = handle_of(file);
  if (handle == INVALID_HANDLE_VALUE) return false;
  OVERLAPPED whole{};
  return LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole) != 0;
}

void close_locked(std::FILE* file) {
  std::fflush(file);
  HANDLE handle = handle_of(file);
  OVERLAPPED whole{};
  if (handle != INVALID_HANDLE_VALUE) UnlockFileEx(handle, 0, MAXDWORD, MAXDWORD, &whole);
  std::fclose(file);
}

bool still_named(std::FILE*, const std::string&) {
  return true;
}
