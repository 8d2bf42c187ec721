// Move-only owners of what a push must give back: a file descriptor (closed) and a
// child process (killed and reaped), so no early return leaks either.
#pragma once

#include <sys/types.h>
#include <unistd.h>

#include <utility>

// Owns a handle (negative: none) that `Release{}(handle)` gives back.
template <typename Handle, typename Release>
class Owned {
 public:
  Owned() = default;
  explicit Owned(Handle handle) : handle_(handle) {}
  Owned(Owned&& other) noexcept : handle_(std::exchange(other.handle_, -1)) {}
  Owned& operator=(Owned&& other) noexcept {
    if (this != &other) {
      reset();
      handle_ = std::exchange(other.handle_, -1);
    }
    return *this;
  }
  Owned(const Owned&) = delete;
  Owned& operator=(const Owned&) = delete;
  ~Owned() { reset(); }

  Handle get() const { return handle_; }
  bool valid() const { return handle_ >= 0; }
  void reset() {
    if (handle_ >= 0) Release{}(handle_);
    handle_ = -1;
  }

 protected:
  void forget() { handle_ = -1; }

 private:
  Handle handle_ = -1;
};

struct CloseFd {
  void operator()(int fd) const { ::close(fd); }
};

class Fd : public Owned<int, CloseFd> {
 public:
  using Owned::Owned;
  void close() { reset(); }
};

// Sends SIGKILL and reaps (fleet_spawn.cc).
struct KillAndReap {
  void operator()(pid_t pid) const;
};

// A started child: killed with SIGKILL and reaped when dropped unreaped.
class ChildPid : public Owned<pid_t, KillAndReap> {
 public:
  using Owned::Owned;
  // The caller has reaped it.
  void reaped() { forget(); }
};
