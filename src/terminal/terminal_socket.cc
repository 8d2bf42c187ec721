// TerminalSocket: a tagged, non-blocking TCP endpoint whose every wait is bounded by
// the object's time-out, measured on a monotonic clock.
#include "terminal/terminal_socket.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <new>
#include <string>

#include "platform/socket.h"

namespace {

using Clock = std::chrono::steady_clock;

// Compares the full nine tag bytes, NUL included, so nothing past the tag is read.
bool tagged(const TerminalSocket* socket) {
  return socket != nullptr && std::memcmp(socket->tag, kTerminalSocketTag, 9) == 0;
}

std::int64_t timeout_ms(const TerminalSocket* socket) {
  return socket->timeout_seconds < 0 ? 0 : std::int64_t{socket->timeout_seconds} * 1000;
}

// Records `code`, closes the socket and marks the object closed.
void fail_and_close(TerminalSocket* socket, std::int32_t code) {
  socket->last_error = code;
  socket->handle.close();
}

// Records and returns 10022 for an argument the object cannot take.
std::int32_t refuse(TerminalSocket* socket) {
  socket->last_error = kNetInvalid;
  return kNetInvalid;
}

}  // namespace

TerminalSocket* tsock_create(std::int32_t& error) {
  auto* created = new (std::nothrow) TerminalSocket();
  if (created == nullptr) {
    error = errno != 0 ? errno : ENOMEM;
    return nullptr;
  }
  std::int32_t started = net_startup();
  if (started != 0) {
    delete created;
    error = started;
    return nullptr;
  }
  return created;
}

std::int32_t tsock_free(TerminalSocket* socket) {
  if (!tagged(socket)) return kNetInvalid;
  tsock_close(socket);
  delete socket;
  return 0;
}

std::int32_t tsock_set_address(TerminalSocket* socket, std::string_view dotted_address) {
  if (!tagged(socket)) return kNetInvalid;
  if (dotted_address.size() > 15) return refuse(socket);
  socket->address = net_parse_dotted(std::string(dotted_address));
  if (socket->address == 0xFFFFFFFFu || socket->address == 0) return refuse(socket);
  std::memset(socket->address_text, 0, sizeof socket->address_text);
  dotted_address.copy(socket->address_text, dotted_address.size());
  return 0;
}

std::int32_t tsock_set_host(TerminalSocket* socket, std::string_view host_name) {
  if (!tagged(socket)) return kNetInvalid;
  if (host_name.size() > 255) return refuse(socket);
  std::uint32_t address = 0;
  std::int32_t code = net_lookup_ipv4(std::string(host_name), address);
  if (code != 0) {
    socket->last_error = code;
    return code;
  }
  socket->address = address;
  std::memset(socket->host_name, 0, sizeof socket->host_name);
  host_name.copy(socket->host_name, host_name.size());
  return 0;
}

std::int32_t tsock_set_port(TerminalSocket* socket, std::uint16_t port) {
  if (!tagged(socket)) return kNetInvalid;
  socket->port = port;
  return 0;
}

std::int32_t tsock_set_timeout(TerminalSocket* socket, std::int32_t seconds) {
  if (!tagged(socket)) return kNetInvalid;
  socket->timeout_seconds = seconds;
  return 0;
}

std::int32_t tsock_connect(TerminalSocket* socket) {
  if (!tagged(socket)) return kNetInvalid;
  // Connecting an open object again would otherwise leak its socket.
  tsock_close(socket);
  std::int32_t code = 0;
  socket->handle = NetSocket(net_open_tcp(code));
  if (!socket->handle.is_open()) {
    socket->last_error = code;
    return code;
  }
  code = net_set_nonblocking(socket->handle.get());
  if (code != 0) {
    socket->last_error = code;
    return code;  // the socket stays open; close or free releases it
  }
  if (socket->address == 0) {
    fail_and_close(socket, kNetAddrNotAvail);
    return kNetAddrNotAvail;
  }
  code = net_connect(socket->handle.get(), socket->address, socket->port);
  if (code != 0) {
    socket->last_error = code;
    if (code != kNetWouldBlock) {
      fail_and_close(socket, code);
      return code;
    }
  }
  int ready = net_wait(socket->handle.get(), NetWait::kConnect, timeout_ms(socket), code);
  if (ready == 0) {
    fail_and_close(socket, kNetConnAborted);
    return kNetConnAborted;
  }
  if (ready < 0) {
    fail_and_close(socket, code);
    return code;
  }
  // Writable also means "failed": a refused connect is known at once, not after the
  // time-out, and is never taken for success.
  code = net_pending_error(socket->handle.get());
  if (code != 0) {
    fail_and_close(socket, code);
    return code;
  }
  return 0;
}

std::int32_t tsock_close(TerminalSocket* socket) {
  if (!tagged(socket)) return kNetInvalid;
  std::int32_t code = socket->handle.close();
  if (code != 0) socket->last_error = code;
  return code;
}

std::int32_t tsock_receive(TerminalSocket* socket, char* buffer, std::int32_t size,
                           std::int32_t minimum) {
  if (!tagged(socket)) return -1;
  if (!socket->handle.is_open() || buffer == nullptr || size <= 0) {
    socket->last_error = kNetInvalid;
    return -1;
  }
  const std::int32_t threshold = minimum < size ? minimum : size;
  const Clock::time_point deadline = Clock::now() + std::chrono::seconds(socket->timeout_seconds);
  std::int32_t count = 0;
  for (;;) {
    std::int64_t left =
        std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    std::int32_t code = 0;
    int ready = net_wait(socket->handle.get(), NetWait::kRead, left, code);
    if (ready == 0) {
      // Bytes read so far stay in the buffer, but a time-out reports none. A socket
      // without an earlier error must still not read as success to the caller.
      if (socket->last_error == 0) socket->last_error = kNetTimedOut;
      return 0;
    }
    if (ready < 0) {
      fail_and_close(socket, code);
      return -1;
    }
    std::int64_t got = net_receive(socket->handle.get(), buffer + count,
                                   static_cast<std::size_t>(size - count), code);
    if (got < 0) {
      if (code != kNetWouldBlock) {
        fail_and_close(socket, code);
        return -1;
      }
      got = 0;  // readiness without data: wait again
    } else if (got == 0) {
      // The peer closed the connection; waiting on would only spin to the deadline.
      fail_and_close(socket, kNetConnReset);
      return count == 0 ? -1 : count;
    }
    count += static_cast<std::int32_t>(got);
    if (count >= threshold) return count;
    if (Clock::now() >= deadline) return count;
  }
}

std::int32_t tsock_send(TerminalSocket* socket, const char* data, std::int32_t length, int wait) {
  if (!tagged(socket)) return -1;
  if (!socket->handle.is_open() || length < 0 || (data == nullptr && length > 0)) {
    socket->last_error = kNetInvalid;
    return -1;
  }
  std::int32_t code = 0;
  std::int64_t sent = net_send(socket->handle.get(), data, static_cast<std::size_t>(length), code);
  if (sent < 0) {
    fail_and_close(socket, code);
    return -1;
  }
  if (wait == 0) return static_cast<std::int32_t>(sent);
  // A stream socket may take only part of a block: the rest follows as room frees up,
  // all within the one time-out, so a command never reaches the terminal cut short.
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeout_ms(socket));
  auto done = static_cast<std::size_t>(sent);
  for (;;) {
    std::int64_t left =
        std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    int ready = net_wait(socket->handle.get(), NetWait::kWrite, left < 0 ? 0 : left, code);
    if (ready < 0) {
      fail_and_close(socket, code);
      return -1;
    }
    if (ready == 0) {
      fail_and_close(socket, kNetConnAborted);
      return 0;
    }
    if (done == static_cast<std::size_t>(length)) return length;
    sent =
        net_send(socket->handle.get(), data + done, static_cast<std::size_t>(length) - done, code);
    if (sent < 0 && code != kNetWouldBlock) {
      fail_and_close(socket, code);
      return -1;
    }
    if (sent > 0) done += static_cast<std::size_t>(sent);
  }
}

std::int32_t tsock_last_error(TerminalSocket* socket) {
  if (!tagged(socket)) return kNetInvalid;
  return socket->last_error;
}
