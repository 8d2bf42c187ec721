// kestal-sim's poll loop: listeners, connections, timed replies (delays and split
// writes without holding up other connections), log, registry and capture files.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <deque>
#include <list>
#include <string>
#include <vector>

#include "sim_protocol.h"
#include "sim_server.h"

namespace {

using Clock = std::chrono::steady_clock;

int stop_pipe[2] = {-1, -1};

void on_stop_signal(int) {
  char byte = 1;
  ssize_t ignored = write(stop_pipe[1], &byte, 1);
  (void)ignored;
}

struct Chunk {
  Clock::time_point due;
  std::string bytes;
};

struct Connection {
  int fd = -1;
  int id = 0;
  std::string name;  // "peer -> local" for the log
  std::string input;
  std::deque<Chunk> output;
  Clock::time_point last_due;
  SimSession session;
  bool close_when_sent = false;
};

// An append-only file that stays open; nothing is written when no path was given.
struct OutFile {
  std::FILE* file = nullptr;
  bool open(const std::string& path) {
    if (path.empty()) return true;
    file = std::fopen(path.c_str(), "ab");
    return file != nullptr;
  }
  void write(const std::string& bytes) {
    if (file == nullptr) return;
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fflush(file);
  }
  ~OutFile() {
    if (file != nullptr) std::fclose(file);
  }
};

struct Server {
  const SimOptions& options;
  std::vector<int> listeners;
  std::list<Connection> connections;
  OutFile log;
  OutFile registry;
  OutFile capture;
  int next_id = 1;

  void note(const Connection* c, const std::string& text) {
    log.write((c != nullptr ? "[" + std::to_string(c->id) + "] " : std::string()) + text + "\n");
  }
};

std::string address_text(const sockaddr_in& address) {
  char text[INET_ADDRSTRLEN] = "?";
  inet_ntop(AF_INET, &address.sin_addr, text, sizeof text);
  return std::string(text) + ":" + std::to_string(ntohs(address.sin_port));
}

void set_nonblocking(int fd) {
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
  fcntl(fd, F_SETFD, FD_CLOEXEC);
}

// Queues a reply after the configured delay, behind anything still queued.
void queue_reply(const SimOptions& options, Connection& c, const std::string& bytes) {
  if (bytes.empty()) return;
  Clock::time_point due = Clock::now() + std::chrono::milliseconds(options.faults.delay_ms);
  if (!c.output.empty() && due < c.last_due) due = c.last_due;
  if (options.faults.split_replies && bytes.size() > 2) {
    c.output.push_back({due, bytes.substr(0, 2)});
    due += std::chrono::milliseconds(50);
    c.output.push_back({due, bytes.substr(2)});
  } else {
    c.output.push_back({due, bytes});
  }
  c.last_due = due;
}

bool open_listeners(Server& server) {
  for (std::uint32_t host_address : server.options.listen) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(server.options.port);
    address.sin_addr.s_addr = htonl(host_address);
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    int on = 1;
    if (fd < 0 || setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0 ||
        bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(fd, 64) != 0) {
      std::fprintf(stderr, "kestal-sim: cannot listen on %s: %s\n", address_text(address).c_str(),
                   std::strerror(errno));
      if (fd >= 0) close(fd);
      return false;
    }
    set_nonblocking(fd);
    server.listeners.push_back(fd);
    server.note(nullptr, "listening on " + address_text(address));
  }
  return true;
}

void accept_on(Server& server, int listener) {
  for (;;) {
    sockaddr_in peer{};
    socklen_t length = sizeof peer;
    int fd = accept(listener, reinterpret_cast<sockaddr*>(&peer), &length);
    if (fd < 0) return;
    set_nonblocking(fd);
    sockaddr_in local{};
    length = sizeof local;
    getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length);
    Connection& c = server.connections.emplace_back();
    c.fd = fd;
    c.id = server.next_id++;
    c.name = address_text(peer) + " -> " + address_text(local);
    server.note(&c, "connected " + c.name);
    std::string greeting = sim_greeting(server.options);
    server.note(&c, greeting.empty() ? "   no greeting (injected)" : "-> " + sim_escape(greeting));
    queue_reply(server.options, c, greeting);
    if (server.options.faults.close_after == 0) c.close_when_sent = true;
  }
}

void handle_input(Server& server, Connection& c) {
  std::size_t end;
  while (!c.close_when_sent && (end = c.input.find('\n')) != std::string::npos) {
    std::string line = c.input.substr(0, end);
    c.input.erase(0, end + 1);
    SimAction action = sim_handle_line(c.session, line, server.options);
    server.note(&c, "<- " + action.seen);
    if (!action.reply.empty())
      server.note(&c, "-> " + sim_escape(action.reply) +
                          (action.note.empty() ? "" : "  (" + action.note + ")"));
    else if (!action.note.empty())
      server.note(&c, "   " + action.note);
    if (action.accepted) server.registry.write(action.accepted_entry + "\n");
    queue_reply(server.options, c, action.reply);
    if (action.close_after_reply) c.close_when_sent = true;
  }
}

// Reads what is there; false once the connection is over.
bool read_from(Server& server, Connection& c) {
  char buffer[4096];
  ssize_t got = recv(c.fd, buffer, sizeof buffer, 0);
  if (got < 0) return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
  if (got == 0) {
    server.note(&c, "closed by the peer");
    return false;
  }
  server.capture.write(std::string(buffer, static_cast<std::size_t>(got)));
  c.input.append(buffer, static_cast<std::size_t>(got));
  handle_input(server, c);
  return true;
}

// Sends every chunk that is due; false once the connection is over.
bool write_due(Server& server, Connection& c) {
  while (!c.output.empty() && c.output.front().due <= Clock::now()) {
    std::string& bytes = c.output.front().bytes;
    ssize_t sent = send(c.fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent < 0) {
      if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return true;
      server.note(&c, std::string("send failed: ") + std::strerror(errno));
      return false;
    }
    bytes.erase(0, static_cast<std::size_t>(sent));
    if (!bytes.empty()) return true;
    c.output.pop_front();
  }
  if (c.output.empty() && c.close_when_sent) {
    server.note(&c, "closing (injected)");
    return false;
  }
  return true;
}

int poll_timeout_ms(const Server& server) {
  int timeout = -1;
  Clock::time_point now = Clock::now();
  for (const Connection& c : server.connections) {
    if (c.output.empty()) continue;
    auto wait = std::chrono::ceil<std::chrono::milliseconds>(c.output.front().due - now).count();
    int ms = wait < 0 ? 0 : static_cast<int>(wait);
    if (timeout < 0 || ms < timeout) timeout = ms;
  }
  return timeout;
}

bool write_ready_file(const std::string& path) {
  if (path.empty()) return true;
  std::string temporary = path + ".tmp";
  std::FILE* file = std::fopen(temporary.c_str(), "wb");
  if (file == nullptr) return false;
  std::fprintf(file, "%ld\n", static_cast<long>(getpid()));
  std::fclose(file);
  return std::rename(temporary.c_str(), path.c_str()) == 0;
}

}  // namespace

int run_sim_server(const SimOptions& options) {
  Server server{options, {}, {}, {}, {}, {}, 1};
  if (!server.log.open(options.log_path) || !server.registry.open(options.registry_path) ||
      !server.capture.open(options.capture_path)) {
    std::fprintf(stderr, "kestal-sim: cannot open an output file: %s\n", std::strerror(errno));
    return 1;
  }
  if (pipe(stop_pipe) != 0) return 1;
  set_nonblocking(stop_pipe[0]);
  set_nonblocking(stop_pipe[1]);
  struct sigaction action {};
  action.sa_handler = on_stop_signal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
  signal(SIGPIPE, SIG_IGN);

  int status = 0;
  if (!open_listeners(server) || !write_ready_file(options.ready_file)) {
    status = 1;
  } else {
    for (;;) {
      std::vector<pollfd> watched;
      watched.push_back({stop_pipe[0], POLLIN, 0});
      for (int fd : server.listeners) watched.push_back({fd, POLLIN, 0});
      for (const Connection& c : server.connections) {
        short events = POLLIN;
        if (!c.output.empty() && c.output.front().due <= Clock::now()) events |= POLLOUT;
        watched.push_back({c.fd, events, 0});
      }
      int ready = poll(watched.data(), watched.size(), poll_timeout_ms(server));
      if (ready < 0 && errno != EINTR) {
        std::fprintf(stderr, "kestal-sim: poll: %s\n", std::strerror(errno));
        status = 1;
        break;
      }
      if (watched[0].revents != 0) break;
      std::size_t slot = 1;
      for (int fd : server.listeners)
        if (watched[slot++].revents & POLLIN) accept_on(server, fd);
      // New connections were appended behind the ones polled; they wait for the next round.
      std::size_t polled = watched.size() - slot;
      auto it = server.connections.begin();
      for (std::size_t i = 0; i < polled && it != server.connections.end(); ++i) {
        short revents = watched[slot + i].revents;
        bool alive = true;
        if (revents & (POLLIN | POLLHUP | POLLERR)) alive = read_from(server, *it);
        if (alive) alive = write_due(server, *it);
        if (!alive) {
          close(it->fd);
          it = server.connections.erase(it);
        } else {
          ++it;
        }
      }
      // Connections accepted this round may have a greeting due already.
      for (; it != server.connections.end();) {
        if (!write_due(server, *it)) {
          close(it->fd);
          it = server.connections.erase(it);
        } else {
          ++it;
        }
      }
    }
  }
  for (Connection& c : server.connections) close(c.fd);
  for (int fd : server.listeners) close(fd);
  server.note(nullptr, status == 0 ? "stopped" : "stopped after an error");
  return status;
}
