// The TerminalSocket record itself, visible to the socket code and its tests (which
// build wrongly tagged objects); everyone else goes through terminal_socket.h.
#pragma once

#include <cstdint>

#include "platform/net_socket.h"
#include "terminal/terminal_socket.h"

inline constexpr char kTerminalSocketTag[9] = "VXSocket";

struct TerminalSocket {
  char tag[9] = {};                  // "VXSocket" and a NUL while the object lives
  NetSocket handle;                  // closed while no connection is open
  std::int32_t last_error = 0;       // Windows Sockets code of the last recorded failure
  std::uint32_t address = 0;         // peer IPv4 address, network byte order; 0 means none
  char address_text[16] = {};        // what tsock_set_address was given
  char host_name[256] = {};          // what tsock_set_host was given
  std::uint16_t port = 0;            // peer port, host byte order
  std::int32_t timeout_seconds = 0;  // bound of every wait
};
