// posix_spawn with the file actions and attributes a transfer needs. Signals the push
// blocks or catches are reset, so a child reacts to SIGTERM as when run by hand.
#include "fleet_spawn.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstring>

extern char** environ;

void KillAndReap::operator()(pid_t pid) const {
  if (pid <= 0) return;
  kill(pid, SIGKILL);
  while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
  }
}

bool make_pipe(Fd& read_end, Fd& write_end) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return false;
  read_end = Fd(fds[0]);
  write_end = Fd(fds[1]);
  return true;
}

namespace {

// Owns the posix_spawn structures for one start.
struct SpawnSetup {
  posix_spawn_file_actions_t files;
  posix_spawnattr_t attr;
  SpawnSetup() {
    posix_spawn_file_actions_init(&files);
    posix_spawnattr_init(&attr);
  }
  ~SpawnSetup() {
    posix_spawn_file_actions_destroy(&files);
    posix_spawnattr_destroy(&attr);
  }
  SpawnSetup(const SpawnSetup&) = delete;
  SpawnSetup& operator=(const SpawnSetup&) = delete;
};

void set_attributes(posix_spawnattr_t& attr, pid_t group) {
  sigset_t none, defaults;
  sigemptyset(&none);
  sigemptyset(&defaults);
  for (int s : {SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGCHLD, SIGQUIT}) sigaddset(&defaults, s);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setsigdefault(&attr, &defaults);
  posix_spawnattr_setpgroup(&attr, group);
  posix_spawnattr_setflags(&attr,
                           POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);
}

// A pipe whose write end becomes `fd` in the child. A write end that already has that
// number is moved first: dup2 onto itself would keep its close-on-exec flag.
bool pipe_to(posix_spawn_file_actions_t& files, int fd, Fd& read_end, Fd& write_end) {
  if (!make_pipe(read_end, write_end)) return false;
  if (write_end.get() == fd) write_end = Fd(fcntl(fd, F_DUPFD_CLOEXEC, 10));
  return write_end.valid() && posix_spawn_file_actions_adddup2(&files, write_end.get(), fd) == 0;
}

// Standard input from a new pipe whose write end the push keeps, or from /dev/null.
bool route_stdin(posix_spawn_file_actions_t& files, bool hold, Fd& read_end, Fd& write_end) {
  if (!hold) return posix_spawn_file_actions_addopen(&files, 0, "/dev/null", O_RDONLY, 0) == 0;
  if (!make_pipe(read_end, write_end)) return false;
  if (read_end.get() == 0) read_end = Fd(fcntl(0, F_DUPFD_CLOEXEC, 10));
  return read_end.valid() && posix_spawn_file_actions_adddup2(&files, read_end.get(), 0) == 0;
}

// Points `fd` of the child at a new pipe's write end, or at /dev/null.
bool route(posix_spawn_file_actions_t& files, int fd, bool capture, Fd& read_end, Fd& write_end) {
  if (!capture) return posix_spawn_file_actions_addopen(&files, fd, "/dev/null", O_WRONLY, 0) == 0;
  return pipe_to(files, fd, read_end, write_end);
}

std::vector<char*> pointers(const std::vector<std::string>& texts, char** more) {
  std::vector<char*> out;
  out.reserve(texts.size() + 1);
  for (const std::string& t : texts) out.push_back(const_cast<char*>(t.c_str()));
  for (char** p = more; p != nullptr && *p != nullptr; ++p) out.push_back(*p);
  out.push_back(nullptr);
  return out;
}

}  // namespace

bool spawn_child(const SpawnRequest& request, Spawned& child, std::string& error) {
  SpawnSetup setup;
  set_attributes(setup.attr, request.group);
  Fd in_r, out_w, err_w, outcome_w;
  bool routed = route_stdin(setup.files, request.hold_stdin, in_r, child.in) &&
                route(setup.files, 1, request.capture_stdout, child.out, out_w) &&
                route(setup.files, 2, request.capture_stderr, child.err, err_w);
  if (routed && request.outcome_fd >= 0)
    routed = pipe_to(setup.files, request.outcome_fd, child.outcome, outcome_w);
  if (!routed) {
    error = std::string("cannot make pipes: ") + std::strerror(errno);
    return false;
  }
  std::vector<char*> argv = pointers(request.argv, nullptr);
  std::vector<char*> env = pointers(request.extra_env, environ);
  pid_t pid = -1;
  int rc = posix_spawnp(&pid, argv[0], &setup.files, &setup.attr, argv.data(), env.data());
  if (rc != 0) {
    error = std::strerror(rc);
    return false;
  }
  child.pid = ChildPid(pid);
  return true;
}
