// POSIX sockets behind the platform socket layer: poll for every wait, failures
// reported as Windows Sockets codes (socket_errors_posix.cc).
#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>

#include "platform/interrupt.h"
#include "platform/socket.h"
#include "platform/socket_common.h"
#include "platform/socket_errors_posix.h"

namespace {

int fd_of(NetHandle handle) {
  return static_cast<int>(handle);
}

short poll_events(NetWait what) {
  return what == NetWait::kRead ? POLLIN : POLLOUT;
}

}  // namespace

std::int32_t net_startup() {
  return 0;
}

NetHandle net_open_tcp(std::int32_t& error) {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) {
    error = net_code_from_errno(errno);
    return kNetNoHandle;
  }
  // The handle must not leak into programs the tool might start.
  ::fcntl(fd, F_SETFD, FD_CLOEXEC);
#if !defined(MSG_NOSIGNAL) && defined(SO_NOSIGPIPE)
  int on = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_NOSIGPIPE, &on, sizeof on);
#endif
  return fd;
}

std::int32_t net_set_nonblocking(NetHandle handle) {
  int flags = ::fcntl(fd_of(handle), F_GETFL);
  if (flags < 0 || ::fcntl(fd_of(handle), F_SETFL, flags | O_NONBLOCK) < 0)
    return net_code_from_errno(errno);
  return 0;
}

std::int32_t net_connect(NetHandle handle, std::uint32_t address, std::uint16_t port) {
  const sockaddr_in peer = net_ipv4_endpoint(address, port);
  if (::connect(fd_of(handle), reinterpret_cast<const sockaddr*>(&peer), sizeof peer) == 0)
    return 0;
  // An interrupted connect goes on in the background, like a pending one.
  if (errno == EINTR) return kNetWouldBlock;
  return net_code_from_errno(errno);
}

int net_wait(NetHandle handle, NetWait what, std::int64_t timeout_ms, std::int32_t& error) {
  using Clock = std::chrono::steady_clock;
  if (timeout_ms < 0) timeout_ms = 0;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    // The stop request's pipe stands beside the socket, so a request ends the wait.
    pollfd entries[2] = {{fd_of(handle), poll_events(what), 0}, {interrupt_wake_fd(), POLLIN, 0}};
    const pollfd& entry = entries[0];
    std::int64_t left =
        std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left < 0) left = 0;
    int ready = ::poll(entries, entries[1].fd >= 0 ? 2 : 1,
                       left > INT_MAX ? INT_MAX : static_cast<int>(left));
    if (ready > 0 && entries[1].revents != 0) {
      error = kInterruptedCode;
      return -1;
    }
    if (ready > 0) {
      if (entry.revents & POLLNVAL) {
        error = net_code_from_errno(ENOTSOCK);  // not a socket (any more)
        return -1;
      }
      return 1;
    }
    if (ready == 0) {
      if (Clock::now() >= deadline) return 0;
      continue;  // a poll that woke early: wait the rest
    }
    if (errno != EINTR) {
      error = net_code_from_errno(errno);
      return -1;
    }
  }
}

std::int32_t net_pending_error(NetHandle handle) {
  int pending = 0;
  socklen_t length = sizeof pending;
  if (::getsockopt(fd_of(handle), SOL_SOCKET, SO_ERROR, &pending, &length) != 0)
    return net_code_from_errno(errno);
  return pending == 0 ? 0 : net_code_from_errno(pending);
}

std::int64_t net_send(NetHandle handle, const char* data, std::size_t length, std::int32_t& error) {
#ifdef MSG_NOSIGNAL
  const int flags = MSG_NOSIGNAL;
#else
  const int flags = 0;
#endif
  for (;;) {
    ssize_t sent = ::send(fd_of(handle), data, length, flags);
    if (sent >= 0) return sent;
    if (errno != EINTR) {
      error = net_code_from_errno(errno);
      return -1;
    }
  }
}

std::int64_t net_receive(NetHandle handle, char* buffer, std::size_t size, std::int32_t& error) {
  for (;;) {
    ssize_t got = ::recv(fd_of(handle), buffer, size, 0);
    if (got >= 0) return got;
    if (errno != EINTR) {
      error = net_code_from_errno(errno);
      return -1;
    }
  }
}

std::int32_t net_close(NetHandle handle) {
  // After EINTR the descriptor is released all the same; retrying could close another.
  if (::close(fd_of(handle)) != 0 && errno != EINTR) return net_code_from_errno(errno);
  return 0;
}

std::int32_t net_lookup_ipv4(const std::string& name, std::uint32_t& address) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  int eai = ::getaddrinfo(name.c_str(), nullptr, &hints, &found);
  if (eai != 0) return net_code_from_lookup(eai, errno);
  std::int32_t code = kNetNoData;
  for (addrinfo* it = found; it != nullptr; it = it->ai_next) {
    if (it->ai_family == AF_INET && it->ai_addr != nullptr) {
      address = reinterpret_cast<const sockaddr_in*>(it->ai_addr)->sin_addr.s_addr;
      code = 0;
      break;
    }
  }
  ::freeaddrinfo(found);
  return code;
}

std::uint32_t net_parse_dotted(const std::string& text) {
  return ::inet_addr(text.c_str());
}
