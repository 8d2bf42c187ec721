// Windows file replacement: a temporary file beside the target, flushed and moved
// over it in one step.
#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "replace_file.h"

bool read_whole_file(const std::string& path, std::string& content, bool& missing,
                     std::string& error) {
  content.clear();
  missing = false;
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    missing = GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES &&
              GetLastError() == ERROR_FILE_NOT_FOUND;
    if (missing) return true;
    error = path + ": cannot open";
    return false;
  }
  std::ostringstream bytes;
  bytes << in.rdbuf();
  content = bytes.str();
  return true;
}

bool replace_file(const std::string& path, std::string_view content, std::string& error) {
  std::string temp = path + "." + std::to_string(GetCurrentProcessId()) + ".tmp";
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
