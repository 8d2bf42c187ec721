// Runs one program and prints what it cost: wall time, user and system CPU time
// (microseconds), peak resident set (KiB) and exit code, one line, blank-separated.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

extern char** environ;

namespace {

long long micros(const timeval& t) {
  return static_cast<long long>(t.tv_sec) * 1000000 + t.tv_usec;
}

}  // namespace

int main(int argc, char** argv) {
  std::string directory;
  int first = 1;
  while (first < argc && std::strcmp(argv[first], "--") != 0) {
    if (std::strcmp(argv[first], "--cwd") == 0 && first + 1 < argc) {
      directory = argv[first + 1];
      first += 2;
    } else {
      break;
    }
  }
  if (first >= argc || std::strcmp(argv[first], "--") != 0 || first + 1 >= argc) {
    std::fprintf(stderr, "usage: kestal-measure [--cwd DIR] -- PROGRAM [ARGS...]\n");
    return 2;
  }
  if (!directory.empty() && chdir(directory.c_str()) != 0) {
    std::perror(directory.c_str());
    return 2;
  }
  char** child_argv = argv + first + 1;

  // The program's standard output is not part of what is measured.
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);

  auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  int error = posix_spawnp(&pid, child_argv[0], &actions, nullptr, child_argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  if (error != 0) {
    std::fprintf(stderr, "%s: %s\n", child_argv[0], std::strerror(error));
    return 2;
  }
  int status = 0;
  rusage usage{};
  if (wait4(pid, &status, 0, &usage) != pid) {
    std::perror("wait4");
    return 2;
  }
  auto wall = std::chrono::duration_cast<std::chrono::microseconds>(
                  std::chrono::steady_clock::now() - start)
                  .count();
  int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  std::printf("%lld %lld %lld %ld %d\n", static_cast<long long>(wall), micros(usage.ru_utime),
              micros(usage.ru_stime), usage.ru_maxrss, code);
  return 0;
}
