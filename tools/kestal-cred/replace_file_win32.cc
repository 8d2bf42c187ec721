// Windows file replacement: a temporary file beside the target, flushed and moved
// over it in one step; writers take turns under LockFileEx on a lock file beside it,
// since a file that is open cannot be replaced there.
#include <windows.h>

#include <string>

#include "replace_file.h"

std::string resolved_path(const std::string& path) {
  return path;
}

bool replace_file(const std::string& path, std::string_view content, std::string& error) {
  std::string temp = path + std::string(kTemporaryInfix) + std::to_string(GetCurrentProcessId());
  HANDLE file = CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    error = path + ": cannot create a temporary file";
    return false;
  }
  DWORD written = 0;
  bool ok =
      WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr) != 0 &&
      written == content.size() && FlushFileBuffers(file) != 0;
  if (CloseHandle(file) == 0) ok = false;
  if (ok)
    ok = MoveFileExA(temp.c_str(), path.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
  if (!ok) {
    error = path + ": cannot write";
    DeleteFileA(temp.c_str());
  }
  return ok;
}

StoreLock::StoreLock(const std::string& path, std::string& error) {
  std::string name = path + ".lock";
  HANDLE file = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    error = name + ": cannot open the lock file";
    return;
  }
  OVERLAPPED whole{};
  if (LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole) == 0) {
    error = name + ": cannot lock";
    CloseHandle(file);
    return;
  }
  handle_ = reinterpret_cast<std::intptr_t>(file);
}

StoreLock::~StoreLock() {
  if (locked()) CloseHandle(reinterpret_cast<HANDLE>(handle_));
}
