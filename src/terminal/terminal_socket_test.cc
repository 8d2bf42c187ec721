// Tests of TerminalSocket over real loopback TCP: tag checks, address rules, connect
// outcomes, the receive threshold and deadline, sends, and a peer that closes.
#include "terminal/terminal_socket.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "terminal/terminal_socket.h"

namespace {

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// A plain listening socket on a loopback address; accept() hands out the server ends.
struct Listener {
  int fd = -1;
  std::uint16_t port = 0;
  std::vector<int> accepted;

  Listener(const char* address, int backlog) {
    fd = socket(AF_INET, SOCK_STREAM, 0);
    int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = inet_addr(address);
    EXPECT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local), 0);
    EXPECT_EQ(listen(fd, backlog), 0);
    socklen_t length = sizeof local;
    getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length);
    port = ntohs(local.sin_port);
  }
  ~Listener() {
    for (int a : accepted) close(a);
    close(fd);
  }
  int accept_one() {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 2000) != 1) return -1;
    int a = accept(fd, nullptr, nullptr);
    if (a >= 0) accepted.push_back(a);
    return a;
  }
};

// A socket object connected to `listener`, with the server end in `server`.
struct Connected {
  TerminalSocket* socket = nullptr;
  int server = -1;
  Connected(Listener& listener, const char* address, std::int32_t timeout) {
    std::int32_t error = 0;
    socket = tsock_create(error);
    tsock_set_address(socket, address);
    tsock_set_port(socket, listener.port);
    tsock_set_timeout(socket, timeout);
    EXPECT_EQ(tsock_connect(socket), 0);
    server = listener.accept_one();
    EXPECT_GE(server, 0);
  }
  ~Connected() { tsock_free(socket); }
};

std::string read_exactly(int fd, std::size_t count) {
  std::string out;
  char buffer[256];
  while (out.size() < count) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 2000) != 1) break;
    ssize_t got = recv(fd, buffer, std::min(sizeof buffer, count - out.size()), 0);
    if (got <= 0) break;
    out.append(buffer, static_cast<std::size_t>(got));
  }
  return out;
}

}  // namespace

namespace {

// The object's plain fields as bytes, to see that nothing was written.
std::string field_bytes(const TerminalSocket& s) {
  std::string bytes(s.tag, sizeof s.tag);
  auto add = [&bytes](const auto& field) {
    bytes.append(reinterpret_cast<const char*>(&field), sizeof field);
  };
  add(s.last_error);
  add(s.address);
  add(s.address_text);
  add(s.host_name);
  add(s.port);
  add(s.timeout_seconds);
  return bytes;
}

}  // namespace

TEST(TerminalSocket, WrongTagIsRefusedByEveryOperationAndNotWritten) {
  std::int32_t error = 0;
  TerminalSocket* forged = tsock_create(error);
  ASSERT_NE(forged, nullptr);
  std::memcpy(forged->tag, "VXSockeT", 9);
  forged->last_error = 0x5A5A5A5A;
  forged->address = 0x5A5A5A5A;
  std::memset(forged->address_text, 0x5A, sizeof forged->address_text);
  std::memset(forged->host_name, 0x5A, sizeof forged->host_name);
  forged->port = 0x5A5A;
  forged->timeout_seconds = 0x5A5A5A5A;
  const std::string before = field_bytes(*forged);
  char buffer[16] = {};

  EXPECT_EQ(tsock_set_address(forged, "127.0.0.10"), 10022);
  EXPECT_EQ(tsock_set_host(forged, "127.0.0.10"), 10022);
  EXPECT_EQ(tsock_set_port(forged, 5010), 10022);
  EXPECT_EQ(tsock_set_timeout(forged, 1), 10022);
  EXPECT_EQ(tsock_connect(forged), 10022);
  EXPECT_EQ(tsock_receive(forged, buffer, sizeof buffer, 3), -1);
  EXPECT_EQ(tsock_send(forged, "x", 1, 1), -1);
  EXPECT_EQ(tsock_close(forged), 10022);
  EXPECT_EQ(tsock_last_error(forged), 10022);
  EXPECT_EQ(tsock_free(forged), 10022);
  EXPECT_EQ(field_bytes(*forged), before);
  EXPECT_FALSE(forged->handle.is_open());

  // A tag without its NUL is no tag either.
  std::memcpy(forged->tag, "VXSocketX", 9);
  EXPECT_EQ(tsock_set_port(forged, 1), 10022);
  EXPECT_EQ(tsock_last_error(nullptr), 10022);
  std::memcpy(forged->tag, kTerminalSocketTag, 9);
  EXPECT_EQ(tsock_free(forged), 0);
}

TEST(TerminalSocket, CreatedObjectIsClosedAndZeroed) {
  std::int32_t error = 4711;
  TerminalSocket* s = tsock_create(error);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(error, 4711);  // not written on success
  EXPECT_STREQ(s->tag, "VXSocket");
  EXPECT_FALSE(s->handle.is_open());
  EXPECT_EQ(s->last_error, 0);
  EXPECT_EQ(s->address, 0u);
  EXPECT_EQ(s->port, 0);
  EXPECT_EQ(s->timeout_seconds, 0);
  EXPECT_EQ(tsock_close(s), 0);  // closed already: nothing to do
  EXPECT_EQ(tsock_close(s), 0);
  EXPECT_EQ(tsock_free(s), 0);
}

TEST(TerminalSocket, AddressRules) {
  std::int32_t error = 0;
  TerminalSocket* s = tsock_create(error);
  std::strcpy(s->host_name, "kept");

  EXPECT_EQ(tsock_set_address(s, "127.000.000.010"), 0);  // 15 characters
  EXPECT_EQ(s->address, htonl(0x7F000008u));              // leading zeros read as octal
  EXPECT_STREQ(s->address_text, "127.000.000.010");
  EXPECT_STREQ(s->host_name, "kept");

  EXPECT_EQ(tsock_set_address(s, "127.0.0.10"), 0);
  EXPECT_STREQ(s->address_text, "127.0.0.10");

  s->last_error = 0;
  EXPECT_EQ(tsock_set_address(s, "127.0000.000.010"), 10022);  // 16 characters: not converted
  EXPECT_EQ(s->address, htonl(0x7F00000Au));
  EXPECT_EQ(s->last_error, 10022);
  EXPECT_STREQ(s->address_text, "127.0.0.10");

  EXPECT_EQ(tsock_set_address(s, "255.255.255.255"), 10022);
  EXPECT_EQ(s->address, 0xFFFFFFFFu);  // the conversion's result stays
  EXPECT_EQ(tsock_set_address(s, "terminal"), 10022);
  EXPECT_EQ(s->address, 0xFFFFFFFFu);
  EXPECT_EQ(tsock_set_address(s, "0.0.0.0"), 10022);
  EXPECT_EQ(s->address, 0u);
  EXPECT_STREQ(s->address_text, "127.0.0.10");
  tsock_free(s);
}

TEST(TerminalSocket, HostNameRules) {
  std::int32_t error = 0;
  TerminalSocket* s = tsock_create(error);
  // A numeric name resolves without asking any name server: 255 characters are taken.
  std::string name = "127.0.0." + std::string(255 - 10, '0') + "13";
  ASSERT_EQ(name.size(), 255u);
  EXPECT_EQ(tsock_set_host(s, name), 0);
  EXPECT_EQ(s->address, htonl(0x7F00000Bu));  // "0...013" is octal 11
  EXPECT_EQ(std::string(s->host_name), name);

  EXPECT_EQ(tsock_set_host(s, name + "4"), 10022);
  EXPECT_EQ(s->last_error, 10022);
  EXPECT_EQ(s->address, htonl(0x7F00000Bu));  // unchanged

  std::strcpy(s->address_text, "kept");
  EXPECT_EQ(tsock_set_host(s, "localhost"), 0);
  EXPECT_EQ(s->address, htonl(0x7F000001u));
  EXPECT_STREQ(s->host_name, "localhost");
  EXPECT_STREQ(s->address_text, "kept");
  tsock_free(s);
}

TEST(TerminalSocket, ConnectWithoutAddressIs10049AndStaysClosed) {
  std::int32_t error = 0;
  TerminalSocket* s = tsock_create(error);
  tsock_set_port(s, 5010);
  tsock_set_timeout(s, 1);
  EXPECT_EQ(tsock_connect(s), 10049);
  EXPECT_EQ(tsock_last_error(s), 10049);
  EXPECT_FALSE(s->handle.is_open());
  tsock_free(s);
}

TEST(TerminalSocket, RefusedConnectIs10061AtOnce) {
  std::uint16_t port = 0;
  {
    Listener closed("127.0.0.14", 1);  // find a free port, then stop listening on it
    port = closed.port;
  }
  std::int32_t error = 0;
  TerminalSocket* s = tsock_create(error);
  tsock_set_address(s, "127.0.0.14");
  tsock_set_port(s, port);
  tsock_set_timeout(s, 5);
  Clock::time_point start = Clock::now();
  EXPECT_EQ(tsock_connect(s), 10061);
  EXPECT_LT(seconds_since(start), 1.0);
  EXPECT_EQ(tsock_last_error(s), 10061);
  EXPECT_FALSE(s->handle.is_open());
  tsock_free(s);
}

TEST(TerminalSocket, ConnectThatCannotCompleteIs10053AfterTheTimeOut) {
  // A listener whose accept queue is full drops further connection requests, so
  // the next connect stays pending until the time-out.
  Listener full("127.0.0.15", 0);
  std::vector<int> fillers;
  for (int i = 0; i < 8; ++i) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(full.port);
    peer.sin_addr.s_addr = inet_addr("127.0.0.15");
    connect(fd, reinterpret_cast<sockaddr*>(&peer), sizeof peer);
    fillers.push_back(fd);
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  std::int32_t error = 0;
  TerminalSocket* s = tsock_create(error);
  tsock_set_address(s, "127.0.0.15");
  tsock_set_port(s, full.port);
  tsock_set_timeout(s, 1);
  Clock::time_point start = Clock::now();
  EXPECT_EQ(tsock_connect(s), 10053);
  double elapsed = seconds_since(start);
  EXPECT_GE(elapsed, 0.95);
  EXPECT_LT(elapsed, 3.0);
  EXPECT_EQ(tsock_last_error(s), 10053);
  EXPECT_FALSE(s->handle.is_open());
  tsock_free(s);
  for (int fd : fillers) close(fd);
}

TEST(TerminalSocket, ConnectSucceedsAndReconnectReplacesTheSocket) {
  Listener listener("127.0.0.16", 4);
  Connected c(listener, "127.0.0.16", 2);
  EXPECT_TRUE(c.socket->handle.is_open());
  EXPECT_EQ(tsock_last_error(c.socket), 10035);  // the asynchronous connect's code stays
  EXPECT_EQ(tsock_connect(c.socket), 0);
  EXPECT_GE(listener.accept_one(), 0);
  EXPECT_EQ(tsock_close(c.socket), 0);
  EXPECT_FALSE(c.socket->handle.is_open());
  EXPECT_EQ(tsock_close(c.socket), 0);
}

TEST(TerminalSocket, ReceiveStopsAtTheSmallerOfSizeAndMinimum) {
  Listener listener("127.0.0.17", 4);
  Connected c(listener, "127.0.0.17", 2);
  ASSERT_EQ(send(c.server, "200 ready\r\n", 11, 0), 11);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  char buffer[32] = {};
  EXPECT_EQ(tsock_receive(c.socket, buffer, 4, 100), 4);  // size below the minimum
  EXPECT_EQ(std::string(buffer, 4), "200 ");
  EXPECT_EQ(tsock_receive(c.socket, buffer, sizeof buffer, 3), 7);  // all that is there
  EXPECT_EQ(std::string(buffer, 7), "ready\r\n");
}

TEST(TerminalSocket, ReceiveGathersPiecesUntilTheThreshold) {
  Listener listener("127.0.0.18", 4);
  Connected c(listener, "127.0.0.18", 3);
  std::thread writer([fd = c.server] {
    send(fd, "2", 1, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    send(fd, "0", 1, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    send(fd, "0 ok\r\n", 6, 0);
  });
  char buffer[32] = {};
  std::int32_t got = tsock_receive(c.socket, buffer, sizeof buffer, 3);
  writer.join();
  ASSERT_GE(got, 3);
  EXPECT_EQ(std::string(buffer, 3), "200");
}

TEST(TerminalSocket, ReceiveTimeOutReturnsZeroAndKeepsTheSocketOpen) {
  Listener listener("127.0.0.19", 4);
  Connected c(listener, "127.0.0.19", 1);
  ASSERT_EQ(send(c.server, "20", 2, 0), 2);
  char buffer[32] = {};
  Clock::time_point start = Clock::now();
  EXPECT_EQ(tsock_receive(c.socket, buffer, sizeof buffer, 3), 0);
  EXPECT_GE(seconds_since(start), 0.95);
  EXPECT_EQ(std::string(buffer, 2), "20");  // kept in the buffer, but not counted
  EXPECT_TRUE(c.socket->handle.is_open());
  EXPECT_EQ(tsock_last_error(c.socket), 10035);  // unchanged

  // Without an earlier error a time-out must not read as success.
  c.socket->last_error = 0;
  EXPECT_EQ(tsock_receive(c.socket, buffer, sizeof buffer, 3), 0);
  EXPECT_EQ(tsock_last_error(c.socket), 10060);
  ASSERT_EQ(send(c.server, "0 ok\r\n", 6, 0), 6);
  EXPECT_EQ(tsock_receive(c.socket, buffer, sizeof buffer, 3), 6);
}

TEST(TerminalSocket, PeerCloseEndsTheReceiveAtOnce) {
  Listener listener("127.0.0.20", 4);
  char buffer[32] = {};
  {
    Connected c(listener, "127.0.0.20", 5);
    close(c.server);
    listener.accepted.clear();
    Clock::time_point start = Clock::now();
    EXPECT_EQ(tsock_receive(c.socket, buffer, sizeof buffer, 3), -1);
    EXPECT_LT(seconds_since(start), 1.0);
    EXPECT_EQ(tsock_last_error(c.socket), 10054);
    EXPECT_FALSE(c.socket->handle.is_open());
    EXPECT_EQ(tsock_receive(c.socket, buffer, sizeof buffer, 3), -1);
    EXPECT_EQ(tsock_last_error(c.socket), 10022);
    EXPECT_EQ(tsock_send(c.socket, "x", 1, 0), -1);
    EXPECT_EQ(tsock_last_error(c.socket), 10022);
  }
  {
    Connected c(listener, "127.0.0.20", 5);
    send(c.server, "2", 1, 0);
    close(c.server);
    listener.accepted.clear();
    Clock::time_point start = Clock::now();
    EXPECT_EQ(tsock_receive(c.socket, buffer, sizeof buffer, 3), 1);  // the byte that came
    EXPECT_LT(seconds_since(start), 1.0);
    EXPECT_EQ(buffer[0], '2');
    EXPECT_EQ(tsock_last_error(c.socket), 10054);
    EXPECT_FALSE(c.socket->handle.is_open());
  }
}

TEST(TerminalSocket, SendWithAndWithoutWait) {
  Listener listener("127.0.0.21", 4);
  Connected c(listener, "127.0.0.21", 2);
  EXPECT_EQ(tsock_send(c.socket, "USER Supervisor\r\n", 17, 0), 17);
  EXPECT_EQ(tsock_send(c.socket, "PASS x\r\n", 8, 1), 8);
  EXPECT_EQ(read_exactly(c.server, 25), "USER Supervisor\r\nPASS x\r\n");
  EXPECT_EQ(tsock_send(c.socket, nullptr, -1, 0), -1);
  EXPECT_EQ(tsock_last_error(c.socket), 10022);
}

TEST(TerminalSocket, SendWhoseWaitTimesOutIs10053AndCloses) {
  Listener listener("127.0.0.22", 4);
  Connected c(listener, "127.0.0.22", 1);
  // One block far larger than both socket buffers: it is taken in part and the
  // socket then stays unwritable, since the peer never reads.
  std::vector<char> block(16 << 20, 'x');
  Clock::time_point start = Clock::now();
  EXPECT_EQ(tsock_send(c.socket, block.data(), static_cast<std::int32_t>(block.size()), 1), 0);
  EXPECT_GE(seconds_since(start), 0.95);
  EXPECT_EQ(tsock_last_error(c.socket), 10053);
  EXPECT_FALSE(c.socket->handle.is_open());
}

TEST(TerminalSocket, SendWithWaitDeliversABlockTheSocketTakesInParts) {
  Listener listener("127.0.0.24", 4);
  Connected c(listener, "127.0.0.24", 5);
  std::string block(4 << 20, 'x');
  block.back() = 'z';
  std::string received;
  // The peer starts reading only once the first part filled both socket buffers.
  std::thread peer([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    received = read_exactly(c.server, block.size());
  });
  EXPECT_EQ(tsock_send(c.socket, block.data(), static_cast<std::int32_t>(block.size()), 1),
            static_cast<std::int32_t>(block.size()));
  peer.join();
  EXPECT_EQ(received.size(), block.size());
  EXPECT_EQ(received.back(), 'z');
}

TEST(TerminalSocket, SendToAPeerThatHasGoneFailsWithoutSignal) {
  Listener listener("127.0.0.23", 4);
  Connected c(listener, "127.0.0.23", 1);
  close(c.server);
  listener.accepted.clear();
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  std::int32_t result = 0;
  for (int i = 0; i < 20 && result != -1; ++i) {
    result = tsock_send(c.socket, "UPDSYSDB\r\n", 10, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_EQ(result, -1);  // the process is still here: no SIGPIPE
  EXPECT_EQ(tsock_last_error(c.socket), 10054);
  EXPECT_FALSE(c.socket->handle.is_open());
}
