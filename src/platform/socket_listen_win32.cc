// The listening side of the Windows Sockets layer: the OS calls behind listeners, accepts
// and endpoints (socket_common.cc), and a select over many sockets, the library's own codes.
#include <winsock2.h>
#include <ws2tcpip.h>

#include "platform/socket.h"
#include "platform/socket_common.h"

namespace {

SOCKET socket_of(NetHandle handle) {
  return static_cast<SOCKET>(handle);
}

}  // namespace

std::int32_t net_bind_listen(NetHandle handle, const sockaddr_in& local, int backlog) {
  const SOCKET s = socket_of(handle);
  // Exclusive use, so that a second simulator on the same address fails as on POSIX
  // instead of sharing the port.
  BOOL on = TRUE;
  if (::setsockopt(s, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&on),
                   sizeof on) == SOCKET_ERROR ||
      ::bind(s, reinterpret_cast<const sockaddr*>(&local), sizeof local) == SOCKET_ERROR ||
      ::listen(s, backlog) == SOCKET_ERROR)
    return ::WSAGetLastError();
  return 0;
}

NetSocket net_accept_os(NetHandle listener, std::int32_t& error) {
  SOCKET s = ::accept(socket_of(listener), nullptr, nullptr);
  if (s == INVALID_SOCKET) {
    error = ::WSAGetLastError();
    return NetSocket();
  }
  return NetSocket(static_cast<NetHandle>(s));
}

bool net_endpoint_of(NetHandle handle, bool peer, sockaddr_in& endpoint) {
  int length = sizeof endpoint;
  sockaddr* where = reinterpret_cast<sockaddr*>(&endpoint);
  return (peer ? ::getpeername(socket_of(handle), where, &length)
               : ::getsockname(socket_of(handle), where, &length)) != SOCKET_ERROR;
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
