// Fuzzes the terminal dialogue's reply handling: fuzzed reply pieces come from a peer
// thread over a connected socket pair while transfer_entries logs in and sends entries.
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "fuzz_support.h"
#include "terminal/dialogue.h"
#include "terminal/terminal_socket.h"

namespace {

// The peer: writes each piece, gives the tool a moment to answer and reads what it
// sent; after the last piece it closes its sending side and reads until the end.
void play_terminal(int fd, const std::vector<std::string_view>& pieces, std::string& received) {
  char buffer[4096];
  auto drain = [&](int wait_ms) {
    pollfd p{fd, POLLIN, 0};
    while (poll(&p, 1, wait_ms) > 0) {
      ssize_t got = read(fd, buffer, sizeof buffer);
      if (got <= 0) return false;
      received.append(buffer, std::size_t(got));
      wait_ms = 0;
    }
    return true;
  };
  for (std::string_view piece : pieces) {
    if (!piece.empty() && send(fd, piece.data(), piece.size(), MSG_NOSIGNAL) < 0) break;
    if (!drain(2)) break;
  }
  shutdown(fd, SHUT_WR);
  while (drain(5000)) {
  }
  close(fd);
}

// Input: one flag byte, then pieces, each a length byte and that many bytes.
std::vector<std::string_view> pieces_of(FuzzReader& input) {
  std::vector<std::string_view> pieces;
  while (!input.empty()) {
    std::size_t length = input.byte();
    std::string_view rest = input.rest();
    pieces.push_back(rest.substr(0, length));
    for (std::size_t i = 0; i < length && !input.empty(); ++i) input.byte();
  }
  return pieces;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static ScratchFile log_file("KestalLog.txt");
  FuzzReader input(data, size);
  std::uint8_t flags = input.byte();
  std::vector<std::string_view> pieces = pieces_of(input);

  int pair[2];
  fuzz_require(socketpair(AF_UNIX, SOCK_STREAM, 0, pair) == 0, "socketpair");
  std::int32_t error = 0;
  TerminalSocket* socket = tsock_create(error);
  fuzz_require(socket != nullptr, "tsock_create");
  socket->handle = NetSocket(pair[0]);
  fuzz_require(net_set_nonblocking(socket->handle.get()) == 0, "non-blocking socket");
  tsock_set_timeout(socket, 2);

  std::string received;
  std::thread peer(play_terminal, pair[1], std::cref(pieces), std::ref(received));

  std::string console;
  Report report;
  report.log.path = log_file.path();
  report.log.backup_path = log_file.path() + ".bak";
  report.log.limit = 65536;
  report.console.capture = &console;
  report.verbose = (flags & 4) != 0;
  std::vector<std::int32_t> recorded;
  const std::string terminal_name = "fuzz-terminal";
  TerminalLink link{socket, terminal_name, report,
                    [&](std::int32_t code) { recorded.push_back(code); }};

  std::vector<Entry> table;
  const std::string values[] = {"7", "", std::string(300, 'v')};
  int entries = flags % 4;
  for (int i = 0; i < entries; ++i)
    table.push_back({"STRING", "StoNr" + std::to_string(i + 1), values[i]});
  Dialogue dialogue;
  std::int32_t result = transfer_entries(dialogue, table, link);
  tsock_free(socket);
  peer.join();

  const std::size_t steps = dialogue.command_sequence.size();
  fuzz_require(dialogue.step_cursor <= steps, "the cursor stays in the sequence");
  fuzz_require(dialogue.last_reply.size() <= 1999, "the last reply fits its buffer");
  fuzz_require(steps == 3 || steps == 3 + 2 * static_cast<std::size_t>(entries),
               "login steps and two per entry");
  for (std::int32_t code : recorded) fuzz_require(code != 0, "a recorded failure is never 0");
  if (result == 0) {
    // Success needs every command on the wire.
    fuzz_require(received.find("USER Supervisor\r\n") != std::string::npos &&
                     received.find("PASS m3k8r2p9w4tzqh\r\n") != std::string::npos,
                 "success only after the login was sent");
    if (entries > 0)
      fuzz_require(received.find("StoNr" + std::to_string(entries)) != std::string::npos,
                   "success only after the last entry was sent");
  }
  // The console shows the replies, so only a terminal that sent it may see it there.
  std::string replies;
  for (std::string_view piece : pieces) replies.append(piece);
  if (replies.find("m3k8r2p9w4tzqh") == std::string::npos)
    fuzz_require(console.find("m3k8r2p9w4tzqh") == std::string::npos,
                 "the terminal password never reaches the console");
  return 0;
}
