// The listening side of the POSIX socket layer: listeners, accepts and a poll over
// many sockets at once, failures as Windows Sockets codes.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "platform/net_socket.h"
#include "platform/socket.h"
#include "platform/socket_errors_posix.h"

namespace {

int fd_of(NetHandle handle) {
  return static_cast<int>(handle);
}

void close_on_exec(int fd) {
  ::fcntl(fd, F_SETFD, FD_CLOEXEC);
}

}  // namespace

NetHandle net_listen_tcp(std::uint32_t address, std::uint16_t port, int backlog,
                         std::int32_t& error) {
  NetSocket listener(net_open_tcp(error));
  if (!listener.is_open()) return kNetNoHandle;
  const int fd = fd_of(listener.get());
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_port = htons(port);
  local.sin_addr.s_addr = address;
  int on = 1;
  if (::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0 ||
      ::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0 ||
      ::listen(fd, backlog) != 0) {
    error = net_code_from_errno(errno);
    return kNetNoHandle;
  }
  error = net_set_nonblocking(listener.get());
  return error == 0 ? listener.release() : kNetNoHandle;
}

NetHandle net_accept(NetHandle listener, std::int32_t& error) {
  int fd;
  do {
    fd = ::accept(fd_of(listener), nullptr, nullptr);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    error = net_code_from_errno(errno);
    return kNetNoHandle;
  }
  close_on_exec(fd);
  NetSocket accepted(fd);
  error = net_set_nonblocking(accepted.get());
  return error == 0 ? accepted.release() : kNetNoHandle;
}

std::string net_endpoint_text(NetHandle handle, bool peer) {
  sockaddr_in address{};
  socklen_t length = sizeof address;
  sockaddr* where = reinterpret_cast<sockaddr*>(&address);
  int result = peer ? ::getpeername(fd_of(handle), where, &length)
                    : ::getsockname(fd_of(handle), where, &length);
  char text[INET_ADDRSTRLEN] = "?";
  if (result != 0 || ::inet_ntop(AF_INET, &address.sin_addr, text, sizeof text) == nullptr)
    return "?";
  return std::string(text) + ":" + std::to_string(ntohs(address.sin_port));
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
