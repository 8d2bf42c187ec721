// TerminalSocket: the tagged TCP endpoint to the terminal. Every operation checks the
// tag, records failures as Windows Sockets codes, and waits at most the time-out.
#pragma once

#include <cstdint>
#include <string_view>

struct TerminalSocket;

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
