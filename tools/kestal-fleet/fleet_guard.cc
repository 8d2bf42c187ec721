// The guard is forked before any transfer starts, so it holds nothing of the push but
// the read end of the lifeline: EOF without the goodbye byte means the push is gone.
#include "fleet_guard.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>

#include <cerrno>
#include <ctime>

namespace {

[[noreturn]] void guard_main(int lifeline, int grace_seconds) {
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
  struct timespec pause {
    grace_seconds, 0
  };
  while (nanosleep(&pause, &pause) != 0 && errno == EINTR) {
  }
  kill(0, SIGKILL);
  _exit(0);
}

}  // namespace

bool start_guard(Guard& guard, int grace_seconds) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return false;
  Fd read_end(fds[0]);
  Fd write_end(fds[1]);
  pid_t pid = fork();
  if (pid < 0) return false;
  if (pid == 0) {
    setpgid(0, 0);
    write_end.close();
    guard_main(read_end.get(), grace_seconds);
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
