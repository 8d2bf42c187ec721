// kestal-sim's server loop: listeners, connections, timed replies (delays and split
// writes without holding up other connections), log, registry and capture files.
// A client that does not read or sends endless lines costs bounded memory and time.
#include "sim_server.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <deque>
#include <list>
#include <string>
#include <utility>
#include <vector>

#include "platform/net_socket.h"
#include "sim_protocol.h"
#include "sim_stop.h"

namespace {

using Clock = std::chrono::steady_clock;

// The longest wait between two looks at the stop flag: a signal that arrives just
// before a wait is then noticed soon all the same.
constexpr int kStopCheckMs = 200;
// A connection whose unsent replies pass this is not read until they are sent.
constexpr std::size_t kMaxUnsentBytes = std::size_t{64} * 1024;
// A command line longer than this is answered with 500 and the connection closed.
constexpr std::size_t kMaxLineBytes = std::size_t{256} * 1024;
// Lines answered per connection and round, so a flood cannot hold up the others.
constexpr int kLinesPerTurn = 64;

struct Chunk {
  Clock::time_point due;
  std::string bytes;
};

struct Connection {
  NetSocket socket;
  int id = 0;
  const SimOptions* options = nullptr;  // with the faults of the address it came to
  std::string name;                     // "peer -> local" for the log
  std::string input;
  std::size_t scanned = 0;  // input bytes already known to hold no line feed
  std::deque<Chunk> output;
  std::size_t unsent = 0;  // bytes in output
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
  std::vector<NetSocket> listeners;
  std::vector<const SimOptions*> listener_options;  // per listener
  std::vector<SimOptions> range_options;            // options with each range's faults
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
  c.unsent += bytes.size();
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

// Which options a connection to `host_address` is served with.
const SimOptions* options_for(const Server& server, std::uint32_t host_address) {
  for (std::size_t i = 0; i < server.options.ranges.size(); ++i) {
    const SimRange& range = server.options.ranges[i];
    if (host_address >= range.first && host_address <= range.last) return &server.range_options[i];
  }
  return &server.options;
}

bool open_listeners(Server& server) {
  for (const SimRange& range : server.options.ranges) {
    SimOptions& copy = server.range_options.emplace_back();
    copy.password = server.options.password;
    copy.faults = range.faults;
  }
  for (std::uint32_t host_address : server.options.listen) {
    std::string where = address_text(host_address, server.options.port);
    std::int32_t error = 0;
    NetSocket listener =
        net_listen_tcp(network_order(host_address), server.options.port, 64, error);
    if (!listener.is_open()) {
      std::fprintf(stderr, "kestal-sim: cannot listen on %s: socket error %d%s\n", where.c_str(),
                   static_cast<int>(error), error == 10048 ? " (address in use)" : "");
      return false;
    }
    server.listeners.push_back(std::move(listener));
    server.listener_options.push_back(options_for(server, host_address));
    server.note(nullptr, "listening on " + where);
  }
  return true;
}

void accept_on(Server& server, std::size_t listener) {
  for (;;) {
    std::int32_t error = 0;
    NetSocket accepted = net_accept(server.listeners[listener].get(), error);
    if (!accepted.is_open()) return;
    Connection& c = server.connections.emplace_back();
    c.socket = std::move(accepted);
    const NetHandle handle = c.socket.get();
    c.id = server.next_id++;
    c.options = server.listener_options[listener];
    c.name = net_endpoint_text(handle, true) + " -> " + net_endpoint_text(handle, false);
    server.note(&c, "connected " + c.name);
    std::string greeting = sim_greeting(*c.options);
    server.note(&c, greeting.empty() ? "   no greeting (injected)" : "-> " + sim_escape(greeting));
    queue_reply(*c.options, c, greeting);
    if (c.options->faults.close_after == 0) c.close_when_sent = true;
  }
}

// Ends a connection whose line grew past the limit: a 500 reply, then closed.
void refuse_long_line(Server& server, Connection& c) {
  server.note(&c, "<- line of over " + std::to_string(kMaxLineBytes) + " bytes");
  std::string reply = "500 line too long\r\n";
  server.note(&c, "-> " + sim_escape(reply));
  queue_reply(*c.options, c, reply);
  c.close_when_sent = true;
  c.input.clear();
  c.scanned = 0;
}

// Answers the complete lines received, a few per round; each byte is scanned once,
// and lines stay unanswered while too many replies wait to be sent.
void handle_input(Server& server, Connection& c) {
  std::size_t begin = 0;
  for (int turn = 0; turn < kLinesPerTurn && !c.close_when_sent && c.unsent <= kMaxUnsentBytes;
       ++turn) {
    std::size_t end = c.input.find('\n', std::max(begin, c.scanned));
    if (end == std::string::npos) {
      c.scanned = c.input.size();
      break;
    }
    std::string line = c.input.substr(begin, end - begin);
    begin = end + 1;
    SimAction action = sim_handle_line(c.session, line, *c.options);
    server.note(&c, "<- " + action.seen);
    if (!action.reply.empty())
      server.note(&c, "-> " + sim_escape(action.reply) +
                          (action.note.empty() ? "" : "  (" + action.note + ")"));
    else if (!action.note.empty())
      server.note(&c, "   " + action.note);
    if (action.accepted) server.registry.write(action.accepted_entry + "\n");
    queue_reply(*c.options, c, action.reply);
    if (action.close_after_reply) c.close_when_sent = true;
  }
  c.input.erase(0, begin);
  c.scanned = c.scanned > begin ? c.scanned - begin : 0;
  if (c.scanned > kMaxLineBytes && !c.close_when_sent) refuse_long_line(server, c);
}

// Lines are waiting and may be answered now.
bool has_turn(const Connection& c) {
  return !c.close_when_sent && c.unsent <= kMaxUnsentBytes && c.scanned < c.input.size();
}

// Reads what is there; false once the connection is over.
bool read_from(Server& server, Connection& c) {
  char buffer[4096];
  std::int32_t error = 0;
  std::int64_t got = net_receive(c.socket.get(), buffer, sizeof buffer, error);
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
    std::int64_t sent = net_send(c.socket.get(), bytes.data(), bytes.size(), error);
    if (sent < 0) {
      if (error == kNetWouldBlock) return true;
      server.note(&c, "send failed: socket error " + std::to_string(error));
      return false;
    }
    bytes.erase(0, static_cast<std::size_t>(sent));
    c.unsent -= static_cast<std::size_t>(sent);
    if (!bytes.empty()) return true;
    c.output.pop_front();
  }
  // Lines held back while the replies piled up are answered once they are sent.
  if (has_turn(c)) handle_input(server, c);
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
    if (has_turn(c)) return 0;
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
    for (const NetSocket& listener : server.listeners) watched.push_back({listener.get()});
    Clock::time_point now = Clock::now();
    for (const Connection& c : server.connections) {
      NetPollItem& item = watched.emplace_back();
      item.handle = c.socket.get();
      item.want_read =
          !c.close_when_sent && c.unsent <= kMaxUnsentBytes && c.scanned == c.input.size();
      item.want_write = !c.output.empty() && c.output.front().due <= now;
    }
    std::int32_t error = 0;
    if (net_poll(watched, wait_timeout_ms(server), error) < 0) {
      std::fprintf(stderr, "kestal-sim: waiting failed: socket error %d\n",
                   static_cast<int>(error));
      return false;
    }
    std::size_t slot = 0;
    for (; slot < server.listeners.size(); ++slot)
      if (watched[slot].readable) accept_on(server, slot);
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
        it = server.connections.erase(it);
      }
    }
  }
  return true;
}

}  // namespace

int run_sim_server(const SimOptions& options) {
  Server server{options, {}, {}, {}, {}, {}, {}, {}, 1};
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
  // Every socket is closed before the last log line.
  server.connections.clear();
  server.listeners.clear();
  server.note(nullptr, status == 0 ? "stopped" : "stopped after an error");
  return status;
}
