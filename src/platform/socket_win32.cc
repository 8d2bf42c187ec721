// Windows Sockets behind the platform socket layer: the library's own error codes are
// passed on as they are; a refused connect shows in the exception set.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <chrono>
#include <cstring>

#include "platform/interrupt.h"
#include "platform/socket.h"
#include "platform/socket_common.h"

namespace {

constexpr std::int64_t kStopSliceMs = 100;

SOCKET socket_of(NetHandle handle) {
  return static_cast<SOCKET>(handle);
}

// Set after the first successful start-up; the library stays up until the process ends.
bool sockets_started = false;

}  // namespace

std::int32_t net_startup() {
  if (sockets_started) return 0;
  WSADATA data;
  int result = ::WSAStartup(MAKEWORD(1, 1), &data);
  if (result != 0) return result;
  sockets_started = true;
  return 0;
}

NetHandle net_open_tcp(std::int32_t& error) {
  SOCKET s = ::socket(AF_INET, SOCK_STREAM, 0);
  if (s == INVALID_SOCKET) {
    error = ::WSAGetLastError();
    return kNetNoHandle;
  }
  return static_cast<NetHandle>(s);
}

std::int32_t net_set_nonblocking(NetHandle handle) {
  u_long on = 1;
  if (::ioctlsocket(socket_of(handle), FIONBIO, &on) == SOCKET_ERROR) return ::WSAGetLastError();
  return 0;
}

std::int32_t net_connect(NetHandle handle, std::uint32_t address, std::uint16_t port) {
  const sockaddr_in peer = net_ipv4_endpoint(address, port);
  if (::connect(socket_of(handle), reinterpret_cast<const sockaddr*>(&peer), sizeof peer) == 0)
    return 0;
  return ::WSAGetLastError();
}

int net_wait(NetHandle handle, NetWait what, std::int64_t timeout_ms, std::int32_t& error) {
  using Clock = std::chrono::steady_clock;
  if (timeout_ms < 0) timeout_ms = 0;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    fd_set watched;
    fd_set failed;
    FD_ZERO(&watched);
    FD_ZERO(&failed);
    FD_SET(socket_of(handle), &watched);
    FD_SET(socket_of(handle), &failed);
    if (interrupt_signal() != 0) {
      error = kInterruptedCode;
      return -1;
    }
    std::int64_t left =
        std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left < 0) left = 0;
    // Short slices: a stop request is seen within one of them.
    if (left > kStopSliceMs) left = kStopSliceMs;
    timeval limit;
    limit.tv_sec = static_cast<long>(left / 1000);
    limit.tv_usec = static_cast<long>((left % 1000) * 1000);
    int ready = ::select(0, what == NetWait::kRead ? &watched : nullptr,
                         what == NetWait::kRead ? nullptr : &watched,
                         what == NetWait::kConnect ? &failed : nullptr, &limit);
    if (ready == SOCKET_ERROR) {
      error = ::WSAGetLastError();
      return -1;
    }
    if (ready > 0) return 1;
    if (Clock::now() >= deadline) return 0;
  }
}

std::int32_t net_pending_error(NetHandle handle) {
  int pending = 0;
  int length = sizeof pending;
  if (::getsockopt(socket_of(handle), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&pending),
                   &length) == SOCKET_ERROR)
    return ::WSAGetLastError();
  return pending;
}

std::int64_t net_send(NetHandle handle, const char* data, std::size_t length, std::int32_t& error) {
  // Windows Sockets never raises a signal for a peer that has gone.
  int sent = ::send(socket_of(handle), data, static_cast<int>(length), 0);
  if (sent == SOCKET_ERROR) {
    error = ::WSAGetLastError();
    return -1;
  }
  return sent;
}

std::int64_t net_receive(NetHandle handle, char* buffer, std::size_t size, std::int32_t& error) {
  int got = ::recv(socket_of(handle), buffer, static_cast<int>(size), 0);
  if (got == SOCKET_ERROR) {
    error = ::WSAGetLastError();
    return -1;
  }
  return got;
}

std::int32_t net_close(NetHandle handle) {
  if (::closesocket(socket_of(handle)) == SOCKET_ERROR) return ::WSAGetLastError();
  return 0;
}

std::int32_t net_lookup_ipv4(const std::string& name, std::uint32_t& address) {
  const hostent* host = ::gethostbyname(name.c_str());
  if (host == nullptr) return ::WSAGetLastError();
  if (host->h_addrtype != AF_INET || host->h_addr_list == nullptr ||
      host->h_addr_list[0] == nullptr)
    return WSANO_DATA;
  std::memcpy(&address, host->h_addr_list[0], sizeof address);
  return 0;
}

std::uint32_t net_parse_dotted(const std::string& text) {
  return ::inet_addr(text.c_str());
}
