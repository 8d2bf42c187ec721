// Tests of the POSIX socket layer's translation into Windows Sockets codes.
#include <gtest/gtest.h>
#include <netdb.h>

#include <cerrno>

#include "platform/socket.h"
#include "platform/socket_errors_posix.h"

TEST(SocketErrorsPosix, ErrnoValuesMapToWindowsSocketsCodes) {
  const struct {
    int error_number;
    std::int32_t code;
  } cases[] = {
      {EWOULDBLOCK, 10035},   {EAGAIN, 10035},       {EINPROGRESS, 10035},  {EINVAL, 10022},
      {EADDRNOTAVAIL, 10049}, {ECONNABORTED, 10053}, {ECONNRESET, 10054},   {EPIPE, 10054},
      {ETIMEDOUT, 10060},     {ECONNREFUSED, 10061}, {EHOSTUNREACH, 10065}, {ENETUNREACH, 10051},
      {EMFILE, 10024},        {ENOBUFS, 10055},      {ENOTCONN, 10057},     {EADDRINUSE, 10048},
      {ENOTSOCK, 10038},      {EISCONN, 10056},      {EBADF, 10009},        {EDOM, 10022},
  };
  for (const auto& c : cases)
    EXPECT_EQ(net_code_from_errno(c.error_number), c.code) << "errno " << c.error_number;
}

TEST(SocketErrorsPosix, LookupResultsMapToHostCodes) {
  EXPECT_EQ(net_code_from_lookup(0, 0), 0);
  EXPECT_EQ(net_code_from_lookup(EAI_NONAME, 0), 11001);
  EXPECT_EQ(net_code_from_lookup(EAI_AGAIN, 0), 11002);
  EXPECT_EQ(net_code_from_lookup(EAI_FAIL, 0), 11003);
#ifdef EAI_NODATA
  EXPECT_EQ(net_code_from_lookup(EAI_NODATA, 0), 11004);
#endif
  EXPECT_EQ(net_code_from_lookup(EAI_SYSTEM, ECONNREFUSED), 10061);
}

TEST(SocketPosix, DottedTextsParseLikeInetAddr) {
  EXPECT_EQ(net_parse_dotted("127.0.0.1"), htonl(0x7F000001u));
  EXPECT_EQ(net_parse_dotted("0x7f.1"), htonl(0x7F000001u));
  EXPECT_EQ(net_parse_dotted("terminal"), 0xFFFFFFFFu);
  std::uint32_t address = 0;
  EXPECT_EQ(net_lookup_ipv4("127.0.0.12", address), 0);
  EXPECT_EQ(address, htonl(0x7F00000Cu));
}
