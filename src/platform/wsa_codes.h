// Windows Sockets codes, the numbering every platform reports socket failures in:
// the numbers socket.h does not name, and each code's name and short English meaning.
#pragma once

#include <cstdint>
#include <string_view>

inline constexpr std::int32_t kNetInterrupted = 10004;      // WSAEINTR
inline constexpr std::int32_t kNetBadHandle = 10009;        // WSAEBADF
inline constexpr std::int32_t kNetAccess = 10013;           // WSAEACCES
inline constexpr std::int32_t kNetFault = 10014;            // WSAEFAULT
inline constexpr std::int32_t kNetTooManyOpen = 10024;      // WSAEMFILE
inline constexpr std::int32_t kNetAlready = 10037;          // WSAEALREADY
inline constexpr std::int32_t kNetNotSocket = 10038;        // WSAENOTSOCK
inline constexpr std::int32_t kNetNeedAddress = 10039;      // WSAEDESTADDRREQ
inline constexpr std::int32_t kNetMsgSize = 10040;          // WSAEMSGSIZE
inline constexpr std::int32_t kNetWrongProto = 10041;       // WSAEPROTOTYPE
inline constexpr std::int32_t kNetNoProtoOpt = 10042;       // WSAENOPROTOOPT
inline constexpr std::int32_t kNetProtoNoSupport = 10043;   // WSAEPROTONOSUPPORT
inline constexpr std::int32_t kNetSockNoSupport = 10044;    // WSAESOCKTNOSUPPORT
inline constexpr std::int32_t kNetOpNotSupp = 10045;        // WSAEOPNOTSUPP
inline constexpr std::int32_t kNetPfNoSupport = 10046;      // WSAEPFNOSUPPORT
inline constexpr std::int32_t kNetAfNoSupport = 10047;      // WSAEAFNOSUPPORT
inline constexpr std::int32_t kNetAddrInUse = 10048;        // WSAEADDRINUSE
inline constexpr std::int32_t kNetDown = 10050;             // WSAENETDOWN
inline constexpr std::int32_t kNetUnreachable = 10051;      // WSAENETUNREACH
inline constexpr std::int32_t kNetReset = 10052;            // WSAENETRESET
inline constexpr std::int32_t kNetNoBufs = 10055;           // WSAENOBUFS
inline constexpr std::int32_t kNetIsConn = 10056;           // WSAEISCONN
inline constexpr std::int32_t kNetNotConn = 10057;          // WSAENOTCONN
inline constexpr std::int32_t kNetShutdown = 10058;         // WSAESHUTDOWN
inline constexpr std::int32_t kNetTooManyRefs = 10059;      // WSAETOOMANYREFS
inline constexpr std::int32_t kNetLoop = 10062;             // WSAELOOP
inline constexpr std::int32_t kNetNameTooLong = 10063;      // WSAENAMETOOLONG
inline constexpr std::int32_t kNetHostDown = 10064;         // WSAEHOSTDOWN
inline constexpr std::int32_t kNetHostUnreachable = 10065;  // WSAEHOSTUNREACH

struct WsaCode {
  std::int32_t code;
  std::string_view name;     // e.g. "WSAECONNREFUSED"
  std::string_view meaning;  // what it means for a transfer, e.g. "connection refused"
};

// The row of `code`, or nullptr for a code that is not a Windows Sockets code.
const WsaCode* wsa_code(std::int32_t code);
