// The listening side of the Windows Sockets layer: listeners, accepts and a select over
// many sockets at once, the library's own codes passed on.
#include <winsock2.h>
#include <ws2tcpip.h>

#include "platform/net_socket.h"
#include "platform/socket.h"

namespace {

SOCKET socket_of(NetHandle handle) {
  return static_cast<SOCKET>(handle);
}

}  // namespace

NetHandle net_listen_tcp(std::uint32_t address, std::uint16_t port, int backlog,
                         std::int32_t& error) {
  NetSocket listener(net_open_tcp(error));
  if (!listener.is_open()) return kNetNoHandle;
  const SOCKET s = socket_of(listener.get());
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_port = htons(port);
  local.sin_addr.s_addr = address;
  // Exclusive use, so that a second simulator on the same address fails as on POSIX
  // instead of sharing the port.
  BOOL on = TRUE;
  if (::setsockopt(s, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&on),
                   sizeof on) == SOCKET_ERROR ||
      ::bind(s, reinterpret_cast<const sockaddr*>(&local), sizeof local) == SOCKET_ERROR ||
      ::listen(s, backlog) == SOCKET_ERROR) {
    error = ::WSAGetLastError();
    return kNetNoHandle;
  }
  error = net_set_nonblocking(listener.get());
  return error == 0 ? listener.release() : kNetNoHandle;
}

NetHandle net_accept(NetHandle listener, std::int32_t& error) {
  SOCKET s = ::accept(socket_of(listener), nullptr, nullptr);
  if (s == INVALID_SOCKET) {
    error = ::WSAGetLastError();
    return kNetNoHandle;
  }
  NetSocket accepted(static_cast<NetHandle>(s));
  error = net_set_nonblocking(accepted.get());
  return error == 0 ? accepted.release() : kNetNoHandle;
}

std::string net_endpoint_text(NetHandle handle, bool peer) {
  sockaddr_in address{};
  int length = sizeof address;
  sockaddr* where = reinterpret_cast<sockaddr*>(&address);
  int result = peer ? ::getpeername(socket_of(handle), where, &length)
                    : ::getsockname(socket_of(handle), where, &length);
  if (result == SOCKET_ERROR) return "?";
  return std::string(::inet_ntoa(address.sin_addr)) + ":" + std::to_string(ntohs(address.sin_port));
}

int net_poll(std::vector<NetPollItem>& items, int timeout_ms, std::int32_t& error) {
  if (items.size() > FD_SETSIZE) {
    error = WSAENOBUFS;
    return -1;
  }
  fd_set readable;
  fd_set writable;
  fd_set failed;
  FD_ZERO(&readable);
  FD_ZERO(&writable);
  FD_ZERO(&failed);
  for (const NetPollItem& item : items) {
    if (item.want_read) FD_SET(socket_of(item.handle), &readable);
    FD_SET(socket_of(item.handle), &failed);
    if (item.want_write) FD_SET(socket_of(item.handle), &writable);
  }
  timeval limit;
  limit.tv_sec = timeout_ms / 1000;
  limit.tv_usec = (timeout_ms % 1000) * 1000;
  int ready = 0;
  if (!items.empty()) {
    ready = ::select(0, &readable, &writable, &failed, timeout_ms < 0 ? nullptr : &limit);
  } else if (timeout_ms > 0) {
    ::Sleep(static_cast<DWORD>(timeout_ms));  // select refuses three empty sets
  }
  if (ready == SOCKET_ERROR) {
    error = ::WSAGetLastError();
    return -1;
  }
  for (NetPollItem& item : items) {
    item.readable = ready > 0 && (FD_ISSET(socket_of(item.handle), &readable) ||
                                  FD_ISSET(socket_of(item.handle), &failed));
    item.writable = ready > 0 && FD_ISSET(socket_of(item.handle), &writable);
  }
  return ready;
}
