// What both socket layers share, written once: the IPv4 endpoint, the listener's steps
// and the endpoint text. Private to the socket files; each platform supplies the OS calls.
#pragma once

#include <cstdint>
#include <string>

#include "platform/net_socket.h"

struct sockaddr_in;

// `address` in network byte order, `port` in host byte order; every other field zero.
sockaddr_in net_ipv4_endpoint(std::uint32_t address, std::uint16_t port);

// --- Supplied by socket_listen_<platform>.cc --------------------------------------

// Binds with the platform's rule for a busy address, then listens; 0 or a code.
std::int32_t net_bind_listen(NetHandle handle, const sockaddr_in& local, int backlog);
// The next waiting connection as the OS hands it over, not inherited by programs the
// process starts; a closed owner with the code in `error`.
NetSocket net_accept_os(NetHandle listener, std::int32_t& error);
// The socket's own end, or its peer's; false when the OS does not tell.
bool net_endpoint_of(NetHandle handle, bool peer, sockaddr_in& endpoint);
