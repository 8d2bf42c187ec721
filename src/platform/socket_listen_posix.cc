// The listening side of the POSIX socket layer: the OS calls behind listeners, accepts
// and endpoints (socket_common.cc), and a poll over many sockets; Windows Sockets codes.
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "platform/socket.h"
#include "platform/socket_common.h"
#include "platform/socket_errors_posix.h"

namespace {

int fd_of(NetHandle handle) {
  return static_cast<int>(handle);
}

void close_on_exec(int fd) {
  ::fcntl(fd, F_SETFD, FD_CLOEXEC);
}

}  // namespace

std::int32_t net_bind_listen(NetHandle handle, const sockaddr_in& local, int backlog) {
  const int fd = fd_of(handle);
  int on = 1;
  if (::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0 ||
      ::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0 ||
      ::listen(fd, backlog) != 0)
    return net_code_from_errno(errno);
  return 0;
}

NetSocket net_accept_os(NetHandle listener, std::int32_t& error) {
  int fd;
  do {
    fd = ::accept(fd_of(listener), nullptr, nullptr);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    error = net_code_from_errno(errno);
    return NetSocket();
  }
  NetSocket accepted(fd);
  close_on_exec(fd);
  return accepted;
}

bool net_endpoint_of(NetHandle handle, bool peer, sockaddr_in& endpoint) {
  socklen_t length = sizeof endpoint;
  sockaddr* where = reinterpret_cast<sockaddr*>(&endpoint);
  return (peer ? ::getpeername(fd_of(handle), where, &length)
               : ::getsockname(fd_of(handle), where, &length)) == 0;
}

int net_poll(std::vector<NetPollItem>& items, int timeout_ms, std::int32_t& error) {
  std::vector<pollfd> watched;
  watched.reserve(items.size());
  for (const NetPollItem& item : items)
    watched.push_back(
        {fd_of(item.handle),
         static_cast<short>((item.want_read ? POLLIN : 0) | (item.want_write ? POLLOUT : 0)), 0});
  int ready = ::poll(watched.data(), watched.size(), timeout_ms < 0 ? -1 : timeout_ms);
  if (ready < 0 && errno != EINTR) {
    error = net_code_from_errno(errno);
    return -1;
  }
  if (ready < 0) ready = 0;  // a signal: the caller looks at its flags and waits again
  for (std::size_t i = 0; i < items.size(); ++i) {
    short revents = 0;
    if (ready > 0) revents = watched[i].revents;
    items[i].readable = (revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL)) != 0;
    items[i].writable = (revents & POLLOUT) != 0;
  }
  return ready;
}
