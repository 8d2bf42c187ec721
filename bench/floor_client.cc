// The protocol floor: the tool's login and one UPDSYSDB round trip per site entry
// over a plain blocking socket, with no logging, no database and no timeouts. With
// --log FILE it adds the I/O every step must do: each reply and command logged as
// its own line (open for appending, write, position, close), a wait for writability
// after each send and a wait with time-out before each receive.
// With --loopback-rtt it instead times round trips against an echo process of its
// own, which is what loopback TCP between two processes costs with no terminal logic.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "floor_line.h"

namespace {

// Closes the descriptor when it goes out of scope.
struct Fd {
  int fd = -1;
  explicit Fd(int f) : fd(f) {}
  ~Fd() {
    if (fd >= 0) close(fd);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
};

// The log and the waits of the --log floor; without a log file neither happens.
struct Mandated {
  const char* log = nullptr;
  std::string host;
};

void log_line(const Mandated& io, const std::string& text) {
  if (io.log == nullptr) return;
  int fd = open(io.log, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
  if (fd < 0) return;
  std::string line = text + "\n";
  if (write(fd, line.data(), line.size()) < 0 || lseek(fd, 0, SEEK_CUR) < 0) std::perror("log");
  close(fd);
}

bool wait_for(const Mandated& io, int fd, short events) {
  if (io.log == nullptr) return true;
  pollfd entry{fd, events, 0};
  return poll(&entry, 1, 30000) == 1;
}

bool send_all(int fd, const std::string& bytes, const Mandated& io = {}) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
    // The send is followed by a wait for room, so a stalled peer shows at the send.
    if (!wait_for(io, fd, POLLOUT)) return false;
  }
  return true;
}

// One reply: everything up to and including its CR LF.
bool read_reply(int fd, std::string& reply, const Mandated& io = {}) {
  reply.clear();
  char buffer[2000];
  while (reply.size() < 2 || reply.compare(reply.size() - 2, 2, "\r\n") != 0) {
    if (!wait_for(io, fd, POLLIN)) return false;
    ssize_t n = recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) return false;
    reply.append(buffer, static_cast<std::size_t>(n));
  }
  log_line(io, "   " + reply.substr(0, reply.size() - 2));
  return true;
}

sockaddr_in address_of(const char* text, unsigned short port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  if (inet_pton(AF_INET, text, &address.sin_addr) != 1) {
    std::fprintf(stderr, "not an IPv4 address: %s\n", text);
    std::exit(2);
  }
  return address;
}

int connect_to(const sockaddr_in& address) {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0 || connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    std::perror("connect");
    std::exit(1);
  }
  return fd;
}

int transfer(const Mandated& io, const char* host, long entries, unsigned short port) {
  log_line(io, "\n\n========================================>");
  log_line(io, "Start : 09122026013442");
  log_line(io, "Standortnummern (*STO) :\n");
  Fd link(connect_to(address_of(host, port)));
  std::string reply;
  log_line(io, "-->Registry schreiben: ");
  struct Step {
    const char* expected;
    const char* command;
  };
  const Step login[] = {
      {"200", "USER Supervisor\r\n"}, {"331", "PASS m3k8r2p9w4tzqh\r\n"}, {"230", nullptr}};
  for (const Step& step : login) {
    if (!read_reply(link.fd, reply, io) || !reply_has_code(reply, step.expected)) {
      std::fprintf(stderr, "login failed at %s: %s\n", step.expected, reply.c_str());
      return 1;
    }
    if (step.command != nullptr && !send_all(link.fd, step.command, io)) return 1;
  }
  long failed = 0;
  for (long i = 1; i <= entries; ++i) {
    std::string line = updsysdb_line(static_cast<int>(i), std::to_string(i));
    log_line(io, "an Terminal " + io.host + ": 200" + line.substr(0, line.size() - 2));
    if (!send_all(link.fd, line, io) || !read_reply(link.fd, reply, io)) return 1;
    if (!reply_has_code(reply, "200")) ++failed;
  }
  log_line(io, "Programm beendet");
  if (failed != 0) {
    std::fprintf(stderr, "%ld entries were refused\n", failed);
    return 1;
  }
  return 0;
}

// Answers every line with a short 200 reply until the client closes.
void echo_server(int listener) {
  Fd peer(accept(listener, nullptr, nullptr));
  std::string pending;
  char buffer[4096];
  for (;;) {
    ssize_t n = recv(peer.fd, buffer, sizeof buffer, 0);
    if (n <= 0) return;
    pending.append(buffer, static_cast<std::size_t>(n));
    std::size_t end;
    while ((end = pending.find("\r\n")) != std::string::npos) {
      pending.erase(0, end + 2);
      if (!send_all(peer.fd, "200 ok\r\n")) return;
    }
  }
}

int loopback_rtt(const char* host, long rounds) {
  Fd listener(socket(AF_INET, SOCK_STREAM, 0));
  sockaddr_in address = address_of(host, 0);
  socklen_t size = sizeof address;
  int on = 1;
  setsockopt(listener.fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  if (bind(listener.fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(listener.fd, 1) != 0 ||
      getsockname(listener.fd, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
    std::perror("listen");
    return 1;
  }
  pid_t server = fork();
  if (server == 0) {
    echo_server(listener.fd);
    _exit(0);
  }
  int result = 0;
  {
    Fd link(connect_to(address));
    std::string reply;
    auto start = std::chrono::steady_clock::now();
    for (long i = 1; i <= rounds; ++i) {
      // The same lines as a transfer, built the same way: only the far end differs.
      if (!send_all(link.fd, updsysdb_line(static_cast<int>(i), std::to_string(i))) ||
          !read_reply(link.fd, reply)) {
        result = 1;
        break;
      }
    }
    double us =
        std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
    std::printf("%.3f\n", us / static_cast<double>(rounds));
  }
  waitpid(server, nullptr, 0);
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == "--loopback-rtt")
    return loopback_rtt(argv[2], std::atol(argv[3]));
  Mandated io;
  if (argc >= 3 && std::string(argv[1]) == "--log") {
    io.log = argv[2];
    argc -= 2;
    argv += 2;
  }
  if (argc == 3 || argc == 4) {
    io.host = argv[1];
    return transfer(io, argv[1], std::atol(argv[2]),
                    static_cast<unsigned short>(argc == 4 ? std::atoi(argv[3]) : 5010));
  }
  std::fprintf(
      stderr,
      "usage: kestal-floor-client [--log FILE] ADDRESS ENTRIES [PORT]\n"
      "       kestal-floor-client --loopback-rtt ADDRESS ROUNDS  (prints us per round trip)\n");
  return 2;
}
