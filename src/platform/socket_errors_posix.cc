// Translation of errno values and resolver results into Windows Sockets codes: one
// table row per errno, so a code is looked up rather than spelt out in a switch.
#include "platform/socket_errors_posix.h"

#include <netdb.h>

#include <cerrno>

#include "platform/socket.h"
#include "platform/wsa_codes.h"

namespace {

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
