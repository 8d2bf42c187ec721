// kestal-sim's server loop: listeners, connections, timed replies (delays and split
// writes without holding up other connections), log, registry and capture files.
#include "sim_server.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <deque>
#include <list>
#include <string>
#include <vector>

#include "platform/socket.h"
#include "sim_protocol.h"
#include "sim_stop.h"

namespace {

using Clock = std::chrono::steady_clock;

// The longest wait between two looks at the stop flag: a signal that arrives just
// before a wait is then noticed soon all the same.
constexpr int kStopCheckMs = 200;

struct Chunk {
  Clock::time_point due;
  std::string bytes;
};

struct Connection {
  NetHandle handle = kNetNoHandle;
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
  std::vector<NetHandle> listeners;
  std::list<Connection> connections;
  OutFile log;
  OutFile registry;
  OutFile capture;
  int next_id = 1;

  void note(const Connection* c, const std::string& text) {
    log.write((c != nullptr ? "[" + std::to_string(c->id) + "] " : std::string()) + text + "\n");
  }
};

std::string address_text(std::uint32_t host_address, std::uint16_t port) {
  return std::to_string(host_address >> 24) + "." + std::to_string((host_address >> 16) & 255) +
         "." + std::to_string((host_address >> 8) & 255) + "." +
         std::to_string(host_address & 255) + ":" + std::to_string(port);
}

std::uint32_t network_order(std::uint32_t host_address) {
  const unsigned char bytes[4] = {static_cast<unsigned char>(host_address >> 24),
                                  static_cast<unsigned char>(host_address >> 16),
                                  static_cast<unsigned char>(host_address >> 8),
                                  static_cast<unsigned char>(host_address)};
  std::uint32_t address;
  static_assert(sizeof address == sizeof bytes);
  std::memcpy(&address, bytes, sizeof address);
  return address;
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
    std::string where = address_text(host_address, server.options.port);
    std::int32_t error = 0;
    NetHandle listener =
        net_listen_tcp(network_order(host_address), server.options.port, 64, error);
    if (listener == kNetNoHandle) {
      std::fprintf(stderr, "kestal-sim: cannot listen on %s: socket error %d%s\n", where.c_str(),
                   static_cast<int>(error), error == 10048 ? " (address in use)" : "");
      return false;
    }
    server.listeners.push_back(listener);
    server.note(nullptr, "listening on " + where);
  }
  return true;
}

void accept_on(Server& server, NetHandle listener) {
  for (;;) {
    std::int32_t error = 0;
    NetHandle handle = net_accept(listener, error);
    if (handle == kNetNoHandle) return;
    Connection& c = server.connections.emplace_back();
    c.handle = handle;
    c.id = server.next_id++;
    c.name = net_endpoint_text(handle, true) + " -> " + net_endpoint_text(handle, false);
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
  std::int32_t error = 0;
  std::int64_t got = net_receive(c.handle, buffer, sizeof buffer, error);
  if (got < 0) {
    if (error == kNetWouldBlock) return true;
    server.note(&c, "receive failed: socket error " + std::to_string(error));
    return false;
  }
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
    std::int32_t error = 0;
    std::int64_t sent = net_send(c.handle, bytes.data(), bytes.size(), error);
    if (sent < 0) {
      if (error == kNetWouldBlock) return true;
      server.note(&c, "send failed: socket error " + std::to_string(error));
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

int wait_timeout_ms(const Server& server) {
  int timeout = kStopCheckMs;
  Clock::time_point now = Clock::now();
  for (const Connection& c : server.connections) {
    if (c.output.empty()) continue;
    auto wait = std::chrono::ceil<std::chrono::milliseconds>(c.output.front().due - now).count();
    int ms = wait < 0 ? 0 : static_cast<int>(wait);
    if (ms < timeout) timeout = ms;
  }
  return timeout;
}

bool write_ready_file(const std::string& path) {
  if (path.empty()) return true;
  std::string temporary = path + ".tmp";
  std::FILE* file = std::fopen(temporary.c_str(), "wb");
  if (file == nullptr) return false;
  std::fprintf(file, "%ld\n", sim_process_id());
  std::fclose(file);
  std::remove(path.c_str());  // rename does not replace a file on Windows
  return std::rename(temporary.c_str(), path.c_str()) == 0;
}

// Serves until a stop is requested; false after a failed wait.
bool serve(Server& server) {
  std::vector<NetPollItem> watched;
  while (!sim_stop_requested()) {
    watched.clear();
    for (NetHandle listener : server.listeners) watched.push_back({listener, false});
    Clock::time_point now = Clock::now();
    for (const Connection& c : server.connections)
      watched.push_back({c.handle, !c.output.empty() && c.output.front().due <= now});
    std::int32_t error = 0;
    if (net_poll(watched, wait_timeout_ms(server), error) < 0) {
      std::fprintf(stderr, "kestal-sim: waiting failed: socket error %d\n",
                   static_cast<int>(error));
      return false;
    }
    std::size_t slot = 0;
    for (NetHandle listener : server.listeners)
      if (watched[slot++].readable) accept_on(server, listener);
    // New connections were appended behind the ones watched; their greeting may be
    // due already, so they only get a write this round.
    std::size_t polled = watched.size() - slot;
    std::size_t index = 0;
    for (auto it = server.connections.begin(); it != server.connections.end(); ++index) {
      bool alive = true;
      if (index < polled && watched[slot + index].readable) alive = read_from(server, *it);
      if (alive) alive = write_due(server, *it);
      if (alive) {
        ++it;
      } else {
        net_close(it->handle);
        it = server.connections.erase(it);
      }
    }
  }
  return true;
}

}  // namespace

int run_sim_server(const SimOptions& options) {
  Server server{options, {}, {}, {}, {}, {}, 1};
  if (!server.log.open(options.log_path) || !server.registry.open(options.registry_path) ||
      !server.capture.open(options.capture_path)) {
    std::fprintf(stderr, "kestal-sim: cannot open an output file\n");
    return 1;
  }
  std::int32_t started = net_startup();
  if (started != 0) {
    std::fprintf(stderr, "kestal-sim: sockets unavailable: socket error %d\n",
                 static_cast<int>(started));
    return 1;
  }
  sim_install_stop_handlers();

  int status = 0;
  if (!open_listeners(server) || !write_ready_file(options.ready_file) || !serve(server))
    status = 1;
  for (Connection& c : server.connections) net_close(c.handle);
  for (NetHandle listener : server.listeners) net_close(listener);
  server.note(nullptr, status == 0 ? "stopped" : "stopped after an error");
  return status;
}
