// The guard is forked before any transfer starts, so it holds nothing of the push but
// the read end of the lifeline: EOF without the goodbye byte means the push is gone,
// and the guard then also removes what the push would have removed.
#include "fleet_guard.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>

#include <cerrno>
#include <ctime>
#include <filesystem>

namespace {

void sleep_ms(long ms) {
  struct timespec pause {
    ms / 1000, (ms % 1000) * 1000000
  };
  while (nanosleep(&pause, &pause) != 0 && errno == EINTR) {
  }
}

// SIGKILL to the group, the guard included. The leftovers are removed by a process
// that left the group first, once the group is gone (or after a second at most).
[[noreturn]] void end_group(const std::vector<std::string>& leftovers) {
  pid_t group = getpgrp();
  pid_t cleaner = leftovers.empty() ? -1 : fork();
  if (cleaner == 0) {
    setsid();
    kill(-group, SIGKILL);
    for (int i = 0; i < 50 && kill(-group, 0) == 0; ++i) sleep_ms(20);
    std::error_code ignored;
    for (const std::string& path : leftovers) std::filesystem::remove_all(path, ignored);
    _exit(0);
  }
  // The cleaner ends the guard too; should it fail to, the guard does it itself.
  while (cleaner > 0 && waitpid(cleaner, nullptr, 0) < 0 && errno == EINTR) {
  }
  kill(0, SIGKILL);
  _exit(0);
}

[[noreturn]] void guard_main(int lifeline, int grace_seconds,
                             const std::vector<std::string>& leftovers) {
  signal(SIGTERM, SIG_IGN);  // it is in the group it signals
  signal(SIGINT, SIG_IGN);
  signal(SIGHUP, SIG_IGN);
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  char word = 0;
  ssize_t got;
  while ((got = read(lifeline, &word, 1)) < 0 && errno == EINTR) {
  }
  if (got == 1) _exit(0);  // the push ended in order
  kill(0, SIGTERM);        // each transfer records its interruption
  sleep_ms(1000L * grace_seconds);
  end_group(leftovers);
}

}  // namespace

bool start_guard(Guard& guard, int grace_seconds, const std::vector<std::string>& leftovers) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return false;
  Fd read_end(fds[0]);
  Fd write_end(fds[1]);
  pid_t pid = fork();
  if (pid < 0) return false;
  if (pid == 0) {
    setpgid(0, 0);
    write_end.close();
    guard_main(read_end.get(), grace_seconds, leftovers);
  }
  setpgid(pid, pid);  // also here: a child must never find the group missing
  guard.pid = ChildPid(pid);
  guard.lifeline = std::move(write_end);
  return true;
}

void stop_guard(Guard& guard) {
  if (!guard.lifeline.valid()) return;
  char goodbye = 1;
  if (write(guard.lifeline.get(), &goodbye, 1) != 1) {
  }
  guard.lifeline.close();
  pid_t pid = guard.pid.get();
  while (pid > 0 && waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
  }
  guard.pid.reaped();
}
