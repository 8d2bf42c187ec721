// Replacing a file's whole content so that readers see either the old or the new
// file, never a half-written one, with one writer at a time.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Reads the whole file as bytes; `missing` is set when it does not exist. A FIFO or a
// device is refused instead of read, so that nothing waits on it.
bool read_whole_file(const std::string& path, std::string& content, bool& missing,
                     std::string& error);

// The file that `path` names, through symbolic links; `path` itself when it names
// nothing yet. A replacement goes there, so a link stays a link.
std::string resolved_path(const std::string& path);

// Writes a temporary file in the same folder, with the old file's owner and mode, and
// renames it over `path`.
bool replace_file(const std::string& path, std::string_view content, std::string& error);

// Removes temporary files that a replacement of `path` killed half-way left behind;
// only to be called under the StoreLock, when no other replacement can be running.
void remove_stale_temporaries(const std::string& path);

// The beginning of a temporary file's name, after the name of the file it replaces.
inline constexpr std::string_view kTemporaryInfix = ".kestal-cred-";

// The exclusive advisory lock that serialises writers of one file from their read to
// their rename; given up by the destructor.
class StoreLock {
 public:
  // Waits for the lock; creates `path` empty when it is missing.
  StoreLock(const std::string& path, std::string& error);
  ~StoreLock();
  StoreLock(const StoreLock&) = delete;
  StoreLock& operator=(const StoreLock&) = delete;

  bool locked() const { return handle_ != kNone; }

 private:
  static constexpr std::intptr_t kNone = -1;
  std::intptr_t handle_ = kNone;  // a descriptor on POSIX, a HANDLE on Windows
};
