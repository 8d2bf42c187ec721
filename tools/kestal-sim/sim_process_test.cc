// Tests of the kestal-sim program over loopback: help, listening on a range, serving
// connections one after another, closing after the greeting, log and clean stop,
// greedy clients and faults per address range.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "harness/files.h"

namespace fs = std::filesystem;

namespace {

// The program started with `args`; waits for its ready file.
struct SimProcess {
  pid_t pid = -1;
  int exit_status = -1;  // once it has ended
  fs::path folder;
  explicit SimProcess(const std::string& name, std::vector<std::string> args)
      : folder(fs::temp_directory_path() / ("kestal-sim-test-" + std::to_string(getpid()) + name)) {
    fs::remove_all(folder);
    fs::create_directories(folder);
    args.insert(args.begin(), KESTAL_SIM_PATH);
    for (const char* f : {"--ready-file", "ready", "--log", "log", "--registry", "registry"})
      args.push_back(f[0] == '-' ? std::string(f) : (folder / f).string());
    pid = fork();
    if (pid == 0) {
      std::vector<char*> argv;
      for (auto& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      execv(argv[0], argv.data());
      _exit(127);
    }
    for (int i = 0; i < 500 && !fs::exists(folder / "ready"); ++i) {
      if (ended(WNOHANG)) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  bool ended(int flags) {
    int status = 0;
    if (waitpid(pid, &status, flags) != pid) return false;
    pid = -1;
    exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return true;
  }
  // SIGTERM and the exit status, or -1 when it did not end within three seconds.
  int stop() {
    if (pid <= 0) return exit_status;
    kill(pid, SIGTERM);
    for (int i = 0; i < 300; ++i) {
      if (ended(WNOHANG)) return exit_status;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(pid, SIGKILL);
    ended(0);
    return -1;
  }
  ~SimProcess() {
    stop();
    std::error_code ignored;
    fs::remove_all(folder, ignored);
  }
};

int connect_to(const char* address, std::uint16_t port) {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in peer{};
  peer.sin_family = AF_INET;
  peer.sin_port = htons(port);
  peer.sin_addr.s_addr = inet_addr(address);
  if (connect(fd, reinterpret_cast<sockaddr*>(&peer), sizeof peer) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

// Everything that arrives until `count` bytes are in, the peer closes, or a second passes.
std::string receive(int fd, std::size_t count, bool* closed = nullptr) {
  std::string out;
  char buffer[512];
  while (out.size() < count) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 1000) != 1) break;
    ssize_t got = recv(fd, buffer, sizeof buffer, 0);
    if (got <= 0) {
      if (closed != nullptr) *closed = true;
      break;
    }
    out.append(buffer, static_cast<std::size_t>(got));
  }
  return out;
}

const std::string kGreeting = "200 kestal-sim terminal ready\r\n";

}  // namespace

TEST(SimProcess, HelpAndBadOptions) {
  std::string command = std::string(KESTAL_SIM_PATH) + " --help > /dev/null";
  EXPECT_EQ(std::system(command.c_str()), 0);
  command = std::string(KESTAL_SIM_PATH) + " --frobnicate 2> /dev/null";
  int status = std::system(command.c_str());
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 2);
}

TEST(SimProcess, ListensOnARangeAndServesConnectionsInTurn) {
  SimProcess sim("range",
                 {"--listen", "127.0.0.50-127.0.0.52", "--listen", "127.0.0.54", "--port", "5010"});
  ASSERT_TRUE(fs::exists(sim.folder / "ready"));
  for (const char* address : {"127.0.0.50", "127.0.0.51", "127.0.0.52", "127.0.0.54"}) {
    for (int round = 0; round < 2; ++round) {
      int fd = connect_to(address, 5010);
      ASSERT_GE(fd, 0) << address;
      EXPECT_EQ(receive(fd, kGreeting.size()), kGreeting);
      std::string login = "USER Supervisor\r\nPASS m3k8r2p9w4tzqh\r\n";
      send(fd, login.data(), login.size(), 0);
      EXPECT_EQ(receive(fd, 55), "331 user name okay, need password\r\n230 user logged in\r\n");
      close(fd);
    }
  }
  EXPECT_LT(connect_to("127.0.0.53", 5010), 0);  // outside the range
  EXPECT_EQ(sim.stop(), 0);
  std::string log = read_whole_file(sim.folder / "log");
  EXPECT_NE(log.find("<- USER Supervisor"), std::string::npos);
  EXPECT_NE(log.find("<- PASS **********"), std::string::npos);
  EXPECT_EQ(log.find("m3k8r2p9w4tzqh"), std::string::npos);  // no secret in the log
  EXPECT_NE(log.find("stopped"), std::string::npos);
}

TEST(SimProcess, ServesConcurrentConnectionsAndRecordsAcceptedEntries) {
  SimProcess sim("concurrent", {"--listen", "127.0.0.55"});
  int first = connect_to("127.0.0.55", 5010);
  int second = connect_to("127.0.0.55", 5010);
  ASSERT_GE(first, 0);
  ASSERT_GE(second, 0);
  EXPECT_EQ(receive(second, kGreeting.size()), kGreeting);
  EXPECT_EQ(receive(first, kGreeting.size()), kGreeting);
  std::string lines =
      "USER Supervisor\r\nPASS m3k8r2p9w4tzqh\r\nUPDSYSDB 34f5 19 STRING StoNr3 00003\r\n"
      "UPDSYSDB 34f5 19 STRING StoNr3 00004\r\n";
  send(first, lines.data(), lines.size(), 0);
  const std::string expected =
      "331 user name okay, need password\r\n230 user logged in\r\n200 entry accepted\r\n"
      "502 CRC or length does not match the entry text\r\n";
  EXPECT_EQ(receive(first, expected.size()), expected);
  close(first);
  close(second);
  EXPECT_EQ(sim.stop(), 0);
  EXPECT_EQ(read_whole_file(sim.folder / "registry"), "STRING StoNr3 00003\n");
}

TEST(SimProcess, CloseAfterZeroClosesAfterTheGreeting) {
  SimProcess sim("close0", {"--listen", "127.0.0.56", "--close-after", "0"});
  int fd = connect_to("127.0.0.56", 5010);
  ASSERT_GE(fd, 0);
  bool closed = false;
  EXPECT_EQ(receive(fd, 1000, &closed), kGreeting);
  EXPECT_TRUE(closed);
  close(fd);
}

TEST(SimProcess, ListeningOnAnAddressInUseFails) {
  SimProcess first("busy1", {"--listen", "127.0.0.57"});
  ASSERT_TRUE(fs::exists(first.folder / "ready"));
  SimProcess second("busy2", {"--listen", "127.0.0.57"});
  EXPECT_FALSE(fs::exists(second.folder / "ready"));
  EXPECT_EQ(second.stop(), 1);
}

// A client that floods line feeds and never reads is no longer read from once its
// replies pile up, a line without end is refused, and another client is served at
// once meanwhile; faults given for a range apply to its addresses only.
TEST(SimProcess, BoundsGreedyClientsAndAppliesRangeFaults) {
  SimProcess sim("greedy", {"--listen", "127.0.0.58-127.0.0.60", "--range", "127.0.0.59",
                            "--no-greeting", "--range", "127.0.0.60", "--delay-ms", "1000"});
  // Replies to the flood wait a second, so they pile up unless reading stops.
  int flood = connect_to("127.0.0.60", 5010);
  ASSERT_GE(flood, 0);
  const std::string feeds(65536, '\n');
  std::size_t accepted = 0;
  auto until = std::chrono::steady_clock::now() + std::chrono::seconds(1);
  while (std::chrono::steady_clock::now() < until && accepted < (64u << 20)) {
    ssize_t sent = send(flood, feeds.data(), feeds.size(), MSG_DONTWAIT);
    if (sent > 0) accepted += static_cast<std::size_t>(sent);
    if (sent <= 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_LT(accepted, 16u << 20);
  std::this_thread::sleep_for(std::chrono::milliseconds(500));  // time to pile replies up
  std::string log = read_whole_file(sim.folder / "log");
  std::size_t answered = 0;
  for (std::size_t at = 0; (at = log.find("<- ", at)) != std::string::npos; ++at) ++answered;
  EXPECT_LT(answered, 20000u) << accepted << " bytes of line feeds sent";

  int other = connect_to("127.0.0.58", 5010);
  auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(receive(other, kGreeting.size()), kGreeting);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(500));
  const std::string line(300 * 1024, 'x');
  send(other, line.data(), line.size(), 0);
  bool closed = false;
  EXPECT_EQ(receive(other, 64, &closed), "500 line too long\r\n");
  EXPECT_TRUE(closed);

  int quiet = connect_to("127.0.0.59", 5010);
  EXPECT_EQ(receive(quiet, 1), "");
  for (int fd : {flood, other, quiet}) close(fd);
  EXPECT_EQ(sim.stop(), 0);
}
