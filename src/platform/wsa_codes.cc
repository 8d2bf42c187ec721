// The one table of Windows Sockets codes with their names and meanings. The
// meanings say what the code stands for in a transfer (30 s is the run's time-out).
#include "platform/wsa_codes.h"

#include "platform/socket.h"

namespace {

constexpr WsaCode kCodes[] = {
    {kNetInterrupted, "WSAEINTR", "interrupted"},
    {kNetBadHandle, "WSAEBADF", "bad socket handle"},
    {kNetAccess, "WSAEACCES", "access to the socket denied"},
    {kNetFault, "WSAEFAULT", "bad address"},
    {kNetInvalid, "WSAEINVAL", "invalid socket operation"},
    {kNetTooManyOpen, "WSAEMFILE", "too many open sockets"},
    {kNetWouldBlock, "WSAEWOULDBLOCK", "no answer within 30 s"},
    {kNetAlready, "WSAEALREADY", "operation already in progress"},
    {kNetNotSocket, "WSAENOTSOCK", "not a socket"},
    {kNetNeedAddress, "WSAEDESTADDRREQ", "destination address required"},
    {kNetMsgSize, "WSAEMSGSIZE", "message too long"},
    {kNetWrongProto, "WSAEPROTOTYPE", "wrong protocol type"},
    {kNetNoProtoOpt, "WSAENOPROTOOPT", "bad protocol option"},
    {kNetProtoNoSupport, "WSAEPROTONOSUPPORT", "protocol not supported"},
    {kNetSockNoSupport, "WSAESOCKTNOSUPPORT", "socket type not supported"},
    {kNetOpNotSupp, "WSAEOPNOTSUPP", "operation not supported"},
    {kNetPfNoSupport, "WSAEPFNOSUPPORT", "protocol family not supported"},
    {kNetAfNoSupport, "WSAEAFNOSUPPORT", "address family not supported"},
    {kNetAddrInUse, "WSAEADDRINUSE", "address in use"},
    {kNetAddrNotAvail, "WSAEADDRNOTAVAIL", "address not available"},
    {kNetDown, "WSAENETDOWN", "network down"},
    {kNetUnreachable, "WSAENETUNREACH", "network unreachable"},
    {kNetReset, "WSAENETRESET", "connection dropped by the network"},
    {kNetConnAborted, "WSAECONNABORTED", "connection not made within 30 s"},
    {kNetConnReset, "WSAECONNRESET", "connection closed by the terminal"},
    {kNetNoBufs, "WSAENOBUFS", "no buffer space"},
    {kNetIsConn, "WSAEISCONN", "socket already connected"},
    {kNetNotConn, "WSAENOTCONN", "socket not connected"},
    {kNetShutdown, "WSAESHUTDOWN", "socket already shut down"},
    {kNetTooManyRefs, "WSAETOOMANYREFS", "too many references"},
    {kNetTimedOut, "WSAETIMEDOUT", "no answer within 30 s"},
    {kNetConnRefused, "WSAECONNREFUSED", "connection refused"},
    {kNetLoop, "WSAELOOP", "too many symbolic links"},
    {kNetNameTooLong, "WSAENAMETOOLONG", "name too long"},
    {kNetHostDown, "WSAEHOSTDOWN", "host down"},
    {kNetHostUnreachable, "WSAEHOSTUNREACH", "host unreachable"},
    {kNetHostNotFound, "WSAHOST_NOT_FOUND", "host not found"},
    {kNetTryAgain, "WSATRY_AGAIN", "host lookup failed for now"},
    {kNetNoRecovery, "WSANO_RECOVERY", "host lookup failed"},
    {kNetNoData, "WSANO_DATA", "host name has no IPv4 address"},
};

}  // namespace

const WsaCode* wsa_code(std::int32_t code) {
  for (const WsaCode& row : kCodes)
    if (row.code == code) return &row;
  return nullptr;
}
