// Translation of errno values and resolver results into Windows Sockets codes: one
// table row per errno, so a code is looked up rather than spelt out in a switch.
#include "platform/socket_errors_posix.h"

#include <netdb.h>

#include <cerrno>

#include "platform/socket.h"

namespace {

// The Windows Sockets codes that socket.h does not name, for the table below.
constexpr std::int32_t kNetInterrupted = 10004;      // WSAEINTR
constexpr std::int32_t kNetBadHandle = 10009;        // WSAEBADF
constexpr std::int32_t kNetAccess = 10013;           // WSAEACCES
constexpr std::int32_t kNetFault = 10014;            // WSAEFAULT
constexpr std::int32_t kNetTooManyOpen = 10024;      // WSAEMFILE
constexpr std::int32_t kNetAlready = 10037;          // WSAEALREADY
constexpr std::int32_t kNetNotSocket = 10038;        // WSAENOTSOCK
constexpr std::int32_t kNetNeedAddress = 10039;      // WSAEDESTADDRREQ
constexpr std::int32_t kNetMsgSize = 10040;          // WSAEMSGSIZE
constexpr std::int32_t kNetWrongProto = 10041;       // WSAEPROTOTYPE
constexpr std::int32_t kNetNoProtoOpt = 10042;       // WSAENOPROTOOPT
constexpr std::int32_t kNetProtoNoSupport = 10043;   // WSAEPROTONOSUPPORT
constexpr std::int32_t kNetSockNoSupport = 10044;    // WSAESOCKTNOSUPPORT
constexpr std::int32_t kNetOpNotSupp = 10045;        // WSAEOPNOTSUPP
constexpr std::int32_t kNetPfNoSupport = 10046;      // WSAEPFNOSUPPORT
constexpr std::int32_t kNetAfNoSupport = 10047;      // WSAEAFNOSUPPORT
constexpr std::int32_t kNetAddrInUse = 10048;        // WSAEADDRINUSE
constexpr std::int32_t kNetDown = 10050;             // WSAENETDOWN
constexpr std::int32_t kNetUnreachable = 10051;      // WSAENETUNREACH
constexpr std::int32_t kNetReset = 10052;            // WSAENETRESET
constexpr std::int32_t kNetNoBufs = 10055;           // WSAENOBUFS
constexpr std::int32_t kNetIsConn = 10056;           // WSAEISCONN
constexpr std::int32_t kNetNotConn = 10057;          // WSAENOTCONN
constexpr std::int32_t kNetShutdown = 10058;         // WSAESHUTDOWN
constexpr std::int32_t kNetTooManyRefs = 10059;      // WSAETOOMANYREFS
constexpr std::int32_t kNetLoop = 10062;             // WSAELOOP
constexpr std::int32_t kNetNameTooLong = 10063;      // WSAENAMETOOLONG
constexpr std::int32_t kNetHostDown = 10064;         // WSAEHOSTDOWN
constexpr std::int32_t kNetHostUnreachable = 10065;  // WSAEHOSTUNREACH

struct ErrnoCode {
  int error_number;
  std::int32_t code;
};

// Any errno not listed here has no Windows Sockets counterpart and reads as 10022.
constexpr ErrnoCode kErrnoCodes[] = {
    {EINTR, kNetInterrupted},
    {EBADF, kNetBadHandle},
    {EACCES, kNetAccess},
    {EFAULT, kNetFault},
    {EINVAL, kNetInvalid},
    {EMFILE, kNetTooManyOpen},
    {ENFILE, kNetTooManyOpen},
    {EWOULDBLOCK, kNetWouldBlock},
    {EAGAIN, kNetWouldBlock},
    {EINPROGRESS, kNetWouldBlock},
    {EALREADY, kNetAlready},
    {ENOTSOCK, kNetNotSocket},
    {EDESTADDRREQ, kNetNeedAddress},
    {EMSGSIZE, kNetMsgSize},
    {EPROTOTYPE, kNetWrongProto},
    {ENOPROTOOPT, kNetNoProtoOpt},
    {EPROTONOSUPPORT, kNetProtoNoSupport},
    {ESOCKTNOSUPPORT, kNetSockNoSupport},
    {EOPNOTSUPP, kNetOpNotSupp},
    {EPFNOSUPPORT, kNetPfNoSupport},
    {EAFNOSUPPORT, kNetAfNoSupport},
    {EADDRINUSE, kNetAddrInUse},
    {EADDRNOTAVAIL, kNetAddrNotAvail},
    {ENETDOWN, kNetDown},
    {ENETUNREACH, kNetUnreachable},
    {ENETRESET, kNetReset},
    {ECONNABORTED, kNetConnAborted},
    {ECONNRESET, kNetConnReset},
    {EPIPE, kNetConnReset},
    {ENOBUFS, kNetNoBufs},
    {ENOMEM, kNetNoBufs},
    {EISCONN, kNetIsConn},
    {ENOTCONN, kNetNotConn},
    {ESHUTDOWN, kNetShutdown},
    {ETOOMANYREFS, kNetTooManyRefs},
    {ETIMEDOUT, kNetTimedOut},
    {ECONNREFUSED, kNetConnRefused},
    {ELOOP, kNetLoop},
    {ENAMETOOLONG, kNetNameTooLong},
    {EHOSTDOWN, kNetHostDown},
    {EHOSTUNREACH, kNetHostUnreachable},
};

}  // namespace

std::int32_t net_code_from_errno(int error_number) {
  for (const ErrnoCode& row : kErrnoCodes)
    if (row.error_number == error_number) return row.code;
  return kNetInvalid;
}

std::int32_t net_code_from_lookup(int eai, int error_number) {
  switch (eai) {
    case 0:
      return 0;
    case EAI_NONAME:
      return kNetHostNotFound;
    case EAI_AGAIN:
      return kNetTryAgain;
    case EAI_FAIL:
      return kNetNoRecovery;
#ifdef EAI_NODATA
    case EAI_NODATA:
#endif
#ifdef EAI_ADDRFAMILY
    case EAI_ADDRFAMILY:
#endif
      return kNetNoData;
    case EAI_MEMORY:
      return kNetNoBufs;
    case EAI_SYSTEM:
      return net_code_from_errno(error_number);
    default:
      return kNetNoRecovery;
  }
}
