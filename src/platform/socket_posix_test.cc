// Tests of the POSIX socket layer's translation into Windows Sockets codes.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netdb.h>

#include <cerrno>
#include <utility>

#include "platform/net_socket.h"
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

TEST(SocketPosix, ListenAcceptAndPollOverManySockets) {
  const std::uint32_t address = net_parse_dotted("127.0.0.61");
  std::int32_t error = 0;
  NetSocket listening = net_listen_tcp(address, 0, 4, error);  // port 0: the kernel picks
  ASSERT_TRUE(listening.is_open()) << error;
  const NetHandle listener = listening.get();
  std::string local = net_endpoint_text(listener, false);
  ASSERT_EQ(local.rfind("127.0.0.61:", 0), 0u) << local;
  auto port = static_cast<std::uint16_t>(std::stoi(local.substr(11)));

  // Nothing waits yet: the poll times out and accept would block.
  std::vector<NetPollItem> items = {{listener}};
  EXPECT_EQ(net_poll(items, 20, error), 0);
  EXPECT_FALSE(items[0].readable);
  EXPECT_FALSE(net_accept(listener, error).is_open());
  EXPECT_EQ(error, kNetWouldBlock);

  // A second listener on the same address and port is refused as in use.
  EXPECT_FALSE(net_listen_tcp(address, port, 4, error).is_open());
  EXPECT_EQ(error, 10048);

  NetHandle client = net_open_tcp(error);
  ASSERT_NE(client, kNetNoHandle);
  ASSERT_EQ(net_connect(client, address, port), 0);
  EXPECT_EQ(net_poll(items, 1000, error), 1);
  EXPECT_TRUE(items[0].readable);
  NetSocket accepted = net_accept(listener, error);
  ASSERT_TRUE(accepted.is_open()) << error;
  const NetHandle served = accepted.get();
  EXPECT_EQ(net_endpoint_text(served, false), local);
  EXPECT_EQ(net_endpoint_text(served, true), net_endpoint_text(client, false));

  // Writability only where asked for; readability once bytes or a hang-up arrive.
  items = {{listener}, {served, true}};
  EXPECT_EQ(net_poll(items, 1000, error), 1);
  EXPECT_FALSE(items[0].readable);
  EXPECT_TRUE(items[1].writable);
  EXPECT_FALSE(items[1].readable);
  items[1].want_write = false;
  EXPECT_EQ(net_send(client, "hi", 2, error), 2);
  EXPECT_EQ(net_poll(items, 1000, error), 1);
  EXPECT_TRUE(items[1].readable);
  char buffer[8];
  EXPECT_EQ(net_receive(served, buffer, sizeof buffer, error), 2);
  net_close(client);
  EXPECT_EQ(net_poll(items, 1000, error), 1);
  EXPECT_TRUE(items[1].readable);
  EXPECT_EQ(net_receive(served, buffer, sizeof buffer, error), 0);
}

TEST(NetSocket, ClosesWhatItOwnsOnceAndGivesUpWhatItReleases) {
  std::int32_t error = 0;
  const NetHandle first = net_open_tcp(error);
  const NetHandle second = net_open_tcp(error);
  ASSERT_NE(first, kNetNoHandle);
  ASSERT_NE(second, kNetNoHandle);
  auto is_open = [](NetHandle handle) { return fcntl(static_cast<int>(handle), F_GETFD) != -1; };
  {
    NetSocket owner(first);
    NetSocket moved(std::move(owner));
    EXPECT_FALSE(owner.is_open());  // NOLINT(bugprone-use-after-move): the point of the check
    EXPECT_EQ(moved.get(), first);
    NetSocket kept(second);
    EXPECT_EQ(kept.release(), second);
    EXPECT_FALSE(kept.is_open());
  }
  EXPECT_FALSE(is_open(first));
  EXPECT_TRUE(is_open(second));
  EXPECT_EQ(net_close(second), 0);
}
