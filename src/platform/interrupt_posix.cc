// Stop requests on POSIX: handlers without SA_RESTART note the signal and write one
// byte into a self-pipe, which every socket poll watches beside its socket.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

#include "platform/interrupt.h"

namespace {

volatile std::sig_atomic_t g_signal = 0;
int g_pipe[2] = {-1, -1};  // kept open once made: the byte in it wakes every later poll
constexpr int kSignals[] = {SIGTERM, SIGINT};
struct sigaction g_previous[2];
bool g_armed = false;

void on_stop_request(int signal) {
  const int saved = errno;
  g_signal = signal;
  const char byte = 1;
  // The pipe is non-blocking: when full, it already wakes every poll.
  [[maybe_unused]] ssize_t written = ::write(g_pipe[1], &byte, 1);
  errno = saved;
}

bool make_pipe() {
  if (g_pipe[0] >= 0) return true;
  if (::pipe(g_pipe) != 0) return false;
  for (int fd : g_pipe) {
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
  }
  return true;
}

}  // namespace

void interrupt_arm() {
  if (g_armed || !make_pipe()) return;
  struct sigaction action {};
  action.sa_handler = on_stop_request;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;  // no SA_RESTART: a blocked call returns at once
  for (int i = 0; i < 2; ++i) {
    ::sigaction(kSignals[i], nullptr, &g_previous[i]);
    if (g_previous[i].sa_handler != SIG_IGN) ::sigaction(kSignals[i], &action, nullptr);
  }
  g_armed = true;
}

void interrupt_disarm() {
  if (!g_armed) return;
  for (int i = 0; i < 2; ++i) ::sigaction(kSignals[i], &g_previous[i], nullptr);
  g_armed = false;
}

int interrupt_signal() {
  return g_signal;
}

int interrupt_wake_fd() {
  return g_pipe[0];
}
