// TerminalSocket: the tagged TCP endpoint to the terminal. Every operation checks the
// tag, records failures as Windows Sockets codes, and waits at most the time-out.
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>

#include "platform/net_socket.h"

inline constexpr char kTerminalSocketTag[9] = "VXSocket";

// The endpoint owns its OS socket: destroying it closes the connection, so a holder
// (a std::unique_ptr, say) needs no clean-up of its own. The fields are the module's
// record, open to the socket code and its tests, which forge wrongly tagged objects.
class TerminalSocket {
 public:
  TerminalSocket() { std::memcpy(tag, kTerminalSocketTag, sizeof tag); }
  // A stale pointer to the destroyed object must not pass the tag check by chance.
  ~TerminalSocket() { tag[0] = '\0'; }
  TerminalSocket(const TerminalSocket&) = delete;
  TerminalSocket& operator=(const TerminalSocket&) = delete;

  char tag[9] = {};                  // "VXSocket" and a NUL while the object lives
  NetSocket handle;                  // closed while no connection is open
  std::int32_t last_error = 0;       // Windows Sockets code of the last recorded failure
  std::uint32_t address = 0;         // peer IPv4 address, network byte order; 0 means none
  char address_text[16] = {};        // what tsock_set_address was given
  char host_name[256] = {};          // what tsock_set_host was given
  std::uint16_t port = 0;            // peer port, host byte order
  std::int32_t timeout_seconds = 0;  // bound of every wait
};

// New object, or null with the error in `error`.
TerminalSocket* tsock_create(std::int32_t& error);
std::int32_t tsock_free(TerminalSocket* socket);
std::int32_t tsock_set_address(TerminalSocket* socket, std::string_view dotted_address);
std::int32_t tsock_set_host(TerminalSocket* socket, std::string_view host_name);
std::int32_t tsock_set_port(TerminalSocket* socket, std::uint16_t port);
std::int32_t tsock_set_timeout(TerminalSocket* socket, std::int32_t seconds);
std::int32_t tsock_connect(TerminalSocket* socket);
std::int32_t tsock_close(TerminalSocket* socket);
// Bytes received (0 after a time-out), -1 on failure.
std::int32_t tsock_receive(TerminalSocket* socket, char* buffer, std::int32_t size,
                           std::int32_t minimum);
std::int32_t tsock_send(TerminalSocket* socket, const char* data, std::int32_t length, int wait);
std::int32_t tsock_last_error(TerminalSocket* socket);
