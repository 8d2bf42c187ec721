// Thin TCP/IPv4 sockets layer under the terminal link. Every failure is reported as a
// Windows Sockets error code, so logs and status rows carry the same numbers everywhere.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A socket handle wide enough for both platforms; all bits set means none.
using NetHandle = std::intptr_t;
inline constexpr NetHandle kNetNoHandle = -1;

inline constexpr std::int32_t kNetWouldBlock = 10035;    // WSAEWOULDBLOCK
inline constexpr std::int32_t kNetInvalid = 10022;       // WSAEINVAL
inline constexpr std::int32_t kNetAddrNotAvail = 10049;  // WSAEADDRNOTAVAIL
inline constexpr std::int32_t kNetConnAborted = 10053;   // WSAECONNABORTED
inline constexpr std::int32_t kNetConnReset = 10054;     // WSAECONNRESET
inline constexpr std::int32_t kNetTimedOut = 10060;      // WSAETIMEDOUT
inline constexpr std::int32_t kNetConnRefused = 10061;   // WSAECONNREFUSED
inline constexpr std::int32_t kNetHostNotFound = 11001;  // WSAHOST_NOT_FOUND
inline constexpr std::int32_t kNetTryAgain = 11002;      // WSATRY_AGAIN
inline constexpr std::int32_t kNetNoRecovery = 11003;    // WSANO_RECOVERY
inline constexpr std::int32_t kNetNoData = 11004;        // WSANO_DATA

// What a wait watches: readability, writability, or a pending connect (writability
// plus the exception set, where some stacks signal a refused connect).
enum class NetWait { kRead, kWrite, kConnect };

// Starts the sockets library once per process (a no-op on POSIX); 0 or a code.
std::int32_t net_startup();

// A new TCP/IPv4 stream socket, or kNetNoHandle with the code in `error`.
NetHandle net_open_tcp(std::int32_t& error);
std::int32_t net_set_nonblocking(NetHandle handle);
// Starts a connect to `address` (network byte order) and `port` (host byte order):
// 0 when connected at once, kNetWouldBlock while pending, another code on failure.
std::int32_t net_connect(NetHandle handle, std::uint32_t address, std::uint16_t port);
// 1 when ready, 0 when `timeout_ms` ran out, -1 on failure with the code in `error`.
int net_wait(NetHandle handle, NetWait what, std::int64_t timeout_ms, std::int32_t& error);
// The socket's pending error (a refused connect, say) as a code; 0 when none.
std::int32_t net_pending_error(NetHandle handle);
// Bytes sent, or -1 with the code in `error`. Never raises SIGPIPE.
std::int64_t net_send(NetHandle handle, const char* data, std::size_t length, std::int32_t& error);
// Bytes read, 0 when the peer closed, or -1 with the code in `error`.
std::int64_t net_receive(NetHandle handle, char* buffer, std::size_t size, std::int32_t& error);
// 0 or the code of the failed close; the handle is gone either way.
std::int32_t net_close(NetHandle handle);

// IPv4 address (network byte order) of a host name or dotted text; 0 or a lookup code
// (11001 unknown name, 11002 temporary failure, 11003 unrecoverable, 11004 no IPv4).
std::int32_t net_lookup_ipv4(const std::string& name, std::uint32_t& address);
// The dotted text as inet_addr reads it (octal, hex and short forms too); all bits set
// when it does not parse.
std::uint32_t net_parse_dotted(const std::string& text);

// --- The listening side, for the terminal simulator -------------------------------

// The listener and the accepted connections come as owners (net_socket.h).
// "a.b.c.d:port" of the socket's own end, or of its peer; "?" when unknown.
std::string net_endpoint_text(NetHandle handle, bool peer);

struct NetPollItem {
  NetHandle handle = kNetNoHandle;
  bool want_write = false;  // in: also wait for writability
  bool readable = false;    // out: data, a waiting connection, a hang-up or an error
  bool writable = false;    // out
  bool want_read = true;    // in: wait for readability (off: hang-ups and errors only)
};
// Waits at most `timeout_ms` (-1: without limit) until an item is ready; the number
// of ready items, 0 after the time-out or a signal, -1 with the code in `error`.
int net_poll(std::vector<NetPollItem>& items, int timeout_ms, std::int32_t& error);
