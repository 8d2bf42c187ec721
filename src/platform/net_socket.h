// NetSocket: the one owner of an open socket handle. Closing is its job alone, so no
// path can leak a socket or close one twice.
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
