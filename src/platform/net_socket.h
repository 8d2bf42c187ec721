// NetSocket: the one owner of an open socket handle. Closing is its job alone, so no
// path can leak a socket or close one twice; the listening side hands out owners too.
#pragma once

#include <cstdint>

#include "platform/socket.h"

class NetSocket {
 public:
  NetSocket() = default;
  explicit NetSocket(NetHandle handle) : handle_(handle) {}
  ~NetSocket() { close(); }
  NetSocket(const NetSocket&) = delete;
  NetSocket& operator=(const NetSocket&) = delete;
  NetSocket(NetSocket&& other) noexcept : handle_(other.release()) {}
  NetSocket& operator=(NetSocket&& other) noexcept {
    if (this != &other) {
      close();
      handle_ = other.release();
    }
    return *this;
  }

  NetHandle get() const { return handle_; }
  bool is_open() const { return handle_ != kNetNoHandle; }
  // Gives the handle up without closing it.
  NetHandle release() {
    NetHandle handle = handle_;
    handle_ = kNetNoHandle;
    return handle;
  }
  // 0, or the code of a failed close; the handle is gone either way.
  std::int32_t close() { return is_open() ? net_close(release()) : 0; }

 private:
  NetHandle handle_ = kNetNoHandle;
};

// A non-blocking TCP/IPv4 socket with address reuse, listening on `address` (network
// byte order) and `port`; a closed one with the code in `error`.
NetSocket net_listen_tcp(std::uint32_t address, std::uint16_t port, int backlog,
                         std::int32_t& error);
// A waiting connection, already non-blocking; a closed one with the code in `error`
// (kNetWouldBlock when none is waiting).
NetSocket net_accept(NetHandle listener, std::int32_t& error);
