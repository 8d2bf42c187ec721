// Move-only owners of what a push must give back: a file descriptor (closed) and a
// child process (killed and reaped), so no early return leaks either.
#pragma once

#include <sys/types.h>
#include <unistd.h>

#include <utility>

class Fd {
 public:
  Fd() = default;
  explicit Fd(int fd) : fd_(fd) {}
  Fd(Fd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  Fd& operator=(Fd&& other) noexcept {
    if (this != &other) {
      close();
      fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  ~Fd() { close(); }

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  void close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

 private:
  int fd_ = -1;
};

// A started child: killed with SIGKILL and reaped when dropped unreaped.
class ChildPid {
 public:
  ChildPid() = default;
  explicit ChildPid(pid_t pid) : pid_(pid) {}
  ChildPid(ChildPid&& other) noexcept : pid_(std::exchange(other.pid_, -1)) {}
  ChildPid& operator=(ChildPid&& other) noexcept {
    if (this != &other) {
      reset();
      pid_ = std::exchange(other.pid_, -1);
    }
    return *this;
  }
  ChildPid(const ChildPid&) = delete;
  ChildPid& operator=(const ChildPid&) = delete;
  ~ChildPid() { reset(); }

  pid_t get() const { return pid_; }
  // The caller has reaped it.
  void reaped() { pid_ = -1; }
  void reset();

 private:
  pid_t pid_ = -1;
};
