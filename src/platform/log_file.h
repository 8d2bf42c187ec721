// Appending whole lines to a log file that several processes share: the file is
// opened for one line, and an exclusive advisory lock is held while it is rotated.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

class LogAppend {
 public:
  // Opens `path` for appending, creating it; a file that cannot be opened leaves the
  // object closed. Where one append is not atomic (a Windows stream) this also waits
  // for the lock.
  explicit LogAppend(const std::string& path);
  ~LogAppend() { close(); }
  LogAppend(const LogAppend&) = delete;
  LogAppend& operator=(const LogAppend&) = delete;

  bool is_open() const { return handle_ != kClosed; }

  // Appends `text` and one line end (CR LF in Windows text mode) whole; returns the
  // size of the file afterwards, also when the write failed (a full disk), or -1 when
  // the size cannot be told. On POSIX that is the size at open plus what this call
  // wrote: lines other runs appended meanwhile count from their next line on.
  std::int64_t append_line(std::string_view text);

  // Waits for the exclusive lock, which is given up by close(); a file that cannot be
  // locked is used unlocked.
  void lock();

  // True while the open file is still the one named `path`: another process may have
  // moved it aside while this one waited for the lock.
  bool still_named(const std::string& path) const;

  // Gives up the lock and closes the file; the destructor does it otherwise.
  void close();

 private:
  static constexpr std::intptr_t kClosed = -1;
  std::intptr_t handle_ = kClosed;  // a descriptor on POSIX, a FILE* on Windows
  std::int64_t size_ = 0;           // POSIX: the size at open plus what was written
};
