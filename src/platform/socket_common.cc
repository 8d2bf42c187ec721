// The socket steps that are the same on both platforms once the platform's own header
// has declared the address structure.
#ifdef _WIN32
#include <winsock2.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#endif

#include <utility>

#include "platform/net_socket.h"
#include "platform/socket_common.h"

sockaddr_in net_ipv4_endpoint(std::uint32_t address, std::uint16_t port) {
  sockaddr_in endpoint{};
  endpoint.sin_family = AF_INET;
  endpoint.sin_port = htons(port);
  endpoint.sin_addr.s_addr = address;
  return endpoint;
}

NetSocket net_listen_tcp(std::uint32_t address, std::uint16_t port, int backlog,
                         std::int32_t& error) {
  NetSocket listener(net_open_tcp(error));
  if (!listener.is_open()) return listener;
  error = net_bind_listen(listener.get(), net_ipv4_endpoint(address, port), backlog);
  if (error == 0) error = net_set_nonblocking(listener.get());
  // A socket that failed a step is closed by its owner on the way out.
  return error == 0 ? std::move(listener) : NetSocket();
}

NetSocket net_accept(NetHandle listener, std::int32_t& error) {
  NetSocket accepted = net_accept_os(listener, error);
  if (!accepted.is_open()) return accepted;
  error = net_set_nonblocking(accepted.get());
  return error == 0 ? std::move(accepted) : NetSocket();
}

std::string net_endpoint_text(NetHandle handle, bool peer) {
  sockaddr_in endpoint{};
  if (!net_endpoint_of(handle, peer, endpoint)) return "?";
  // The address is in network byte order, so its bytes in memory are the dotted parts.
  const auto* part = reinterpret_cast<const unsigned char*>(&endpoint.sin_addr.s_addr);
  return std::to_string(part[0]) + "." + std::to_string(part[1]) + "." + std::to_string(part[2]) +
         "." + std::to_string(part[3]) + ":" + std::to_string(ntohs(endpoint.sin_port));
}
