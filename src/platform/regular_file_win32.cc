// Opening a file for reading on Windows, refusing devices and pipes: only a file on a
// disk ends, so only such a file is read.
#include <io.h>
#include <windows.h>

#include <cerrno>

#include "platform/text_file.h"

std::FILE* open_regular_file(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return nullptr;
  HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
  if (GetFileType(handle) != FILE_TYPE_DISK) {
    std::fclose(file);
    errno = EINVAL;
    return nullptr;
  }
  return file;
}
