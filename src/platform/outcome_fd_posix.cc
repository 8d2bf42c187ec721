// The outcome descriptor on POSIX: a decimal descriptor number, 2 or higher.
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstdlib>
#include <cstring>

#include "platform/outcome_fd.h"

namespace {

// The descriptor named by the variable, or -1 when it names none.
int outcome_fd() {
  const char* text = std::getenv("KESTAL_OUTCOME_FD");
  if (text == nullptr || *text == '\0') return -1;
  int fd = -1;
  const char* end = text + std::strlen(text);
  auto [stop, error] = std::from_chars(text, end, fd);
  if (error != std::errc() || stop != end || fd < 2) return -1;
  return fd;
}

void write_whole(int fd, std::string_view line) {
  std::size_t done = 0;
  while (done < line.size()) {
    ssize_t written = ::write(fd, line.data() + done, line.size() - done);
    if (written > 0) {
      done += static_cast<std::size_t>(written);
      continue;
    }
    // Not a descriptor, or not writable: the supervisor learns nothing.
    if (written == 0 || errno != EINTR) return;
  }
}

}  // namespace

void outcome_write(std::string_view line) {
  const int fd = outcome_fd();
  if (fd < 0) return;
  // A pipe whose reader has gone must not end the run by SIGPIPE: its exit status
  // would change.
  struct sigaction ignore {};
  struct sigaction previous {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  ::sigaction(SIGPIPE, &ignore, &previous);
  write_whole(fd, line);
  ::sigaction(SIGPIPE, &previous, nullptr);
}
