// The terminal dialogue: walks the command sequence, comparing each reply's code with
// the awaited step and sending the next command, and builds one UPDSYSDB step per entry.
#include "terminal/dialogue.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdlib>
#include <cstring>

#include "log/format.h"
#include "platform/interrupt.h"
#include "terminal/crc16.h"
#include "terminal/reply_text.h"

namespace {

constexpr const char* kTerminalUser = "Supervisor";
constexpr const char* kTerminalPassword = "m3k8r2p9w4tzqh";
constexpr std::int32_t kReplyBufferSize = 2000;
constexpr std::size_t kLoggedReplyLength = 190;

// The three-character code of an unexpected reply as atoi reads it; a text that does
// not read as a positive number gives 99, so it can never pass for success.
std::int32_t reply_code(const std::string& first_three) {
  std::int32_t code = std::atoi(first_three.c_str());
  return code > 0 ? code : 99;
}

// printf's %x (lower case) or %d of a non-negative number.
void append_number(std::string& text, std::size_t value, int base) {
  char digits[24];
  auto [end, error] = std::to_chars(digits, digits + sizeof digits, value, base);
  static_cast<void>(error);  // 24 characters hold any 64-bit number
  text.append(digits, end);
}

// Writes a failure's code into the status row.
void record_failure(Dialogue& dialogue, std::int32_t code, const TerminalLink& link) {
  dialogue.recorded_code = code;
  if (link.record_status) link.record_status(code);
}

// A lost connection would otherwise leave the row as if every entry had arrived. Only
// the first socket failure is written: once the socket is closed every later entry
// fails with 10022, which says less than the failure that closed it.
void record_socket_failure(Dialogue& dialogue, std::int32_t code, const TerminalLink& link) {
  if (dialogue.socket_failure_recorded || code == 0) return;
  dialogue.socket_failure_recorded = true;
  record_failure(dialogue, code, link);
}

// Sends the command of the step at the cursor; 0 when sent, else the socket's code.
std::int32_t send_step(Dialogue& dialogue, const TerminalLink& link) {
  std::string& command = dialogue.line;
  command.clear();
  dialogue.command_sequence.append_command(command, dialogue.step_cursor);
  command += "\r\n";
  if (tsock_send(link.socket, command.data(), static_cast<std::int32_t>(command.size()), 1) == -1) {
    std::int32_t code = tsock_last_error(link.socket);
    if (code == kInterruptedCode) return code;  // the run reports the stop request
    link.report.log_line(text_printf("   Socket-Error Schreiben : %d", code));
    link.report.print(text_printf("Write Error: %d\n", code));
    return code;
  }
  if (!link.report.verbose) return 0;
  if (command.find("USER") != std::string::npos || command.find("PASS") != std::string::npos) {
    link.report.print_verbose(
        text_printf("An Terminal gesendet: %s\n", (command.substr(0, 5) + "**********").c_str()));
  } else {
    link.report.print_verbose(text_printf("An Terminal gesendet: %s", command.c_str()));
  }
  return 0;
}

// A terminal that has not answered within the time-out is taken as gone, as after a
// hang-up: every later entry then fails at once instead of waiting out its own
// time-out, and the code that stays in the status row is the time-out's.
std::int32_t fail_receive(Dialogue& dialogue, const TerminalLink& link) {
  std::int32_t code = tsock_last_error(link.socket);
  if (code == kInterruptedCode) return code;  // the run reports the stop request
  link.report.log_line(text_printf("   Socket-Error Lesen : %d", code));
  link.report.print_verbose(text_printf("Read-Error: %d\n", code));
  record_socket_failure(dialogue, code, link);
  tsock_close(link.socket);
  return code;
}

// Logs the reply (cut as the log keeps it) and shows it in verbose mode, control
// bytes made visible so that a reply cannot forge a line of its own.
void report_reply(const std::string& reply, std::int32_t received, const Report& report,
                  std::string& line) {
  std::size_t n = static_cast<std::size_t>(received);
  std::size_t logged = n == 1 ? 1 : n <= kLoggedReplyLength ? n - 2 : kLoggedReplyLength;
  std::size_t line_end = reply.size() >= 2 && reply.compare(reply.size() - 2, 2, "\r\n") == 0
                             ? reply.size() - 2
                             : std::string::npos;
  line.assign("   ");
  append_printable_reply(line, std::string_view(reply).substr(0, logged), line_end);
  report.log_line(line);
  if (report.verbose)
    report.print_verbose(
        text_printf("Terminalantwort: %s", printable_reply(reply, line_end).c_str()));
}

}  // namespace

std::int32_t run_dialogue(Dialogue& dialogue, bool start_reply, const TerminalLink& link) {
  // Only the bytes received are read back, so the buffer needs no clearing.
  std::array<char, kReplyBufferSize> reply_buffer;
  std::string reply;
  for (;;) {
    const std::size_t steps = dialogue.command_sequence.size();
    if (dialogue.step_cursor >= steps) return 0;

    if (start_reply) {
      reply = "200";
      start_reply = false;
    } else {
      std::int32_t n = tsock_receive(link.socket, reply_buffer.data(), kReplyBufferSize - 1, 3);
      if (n < 1) return fail_receive(dialogue, link);
      // From here on the reply is a C text: a NUL byte ends it.
      reply.assign(reply_buffer.data(), strnlen(reply_buffer.data(), static_cast<std::size_t>(n)));
      report_reply(reply, n, link.report, dialogue.line);
    }
    if (reply.size() < 2)
      dialogue.last_reply.clear();
    else
      dialogue.last_reply.assign(reply, 0, reply.size() - 2);

    const std::string_view expected = dialogue.command_sequence.expected(dialogue.step_cursor);
    if (reply.size() < 3 || std::string_view(reply).substr(0, 3) != expected) {
      if (reply.empty()) reply = " 99keine Antwort  ";
      dialogue.last_reply = reply.substr(0, 3);
      std::int32_t code = reply_code(dialogue.last_reply);
      link.report.log_line(text_printf("   unerwartete Antwort v. Terminal : %d", code));
      record_failure(dialogue, code, link);
      ++dialogue.step_cursor;
      return code;
    }

    ++dialogue.step_cursor;
    if (dialogue.step_cursor >= steps) return 0;
    std::int32_t code = send_step(dialogue, link);
    if (code != 0) {
      if (code != kInterruptedCode) record_socket_failure(dialogue, code, link);
      return code;
    }
    ++dialogue.commands_sent;
  }
}

void append_entry_command(std::string& out, const Entry& entry) {
  // Entry and command texts are built whole, however long the type, name or value;
  // the CRC runs over the pieces, so no entry text is made of its own.
  const std::string_view value = entry.value.empty() ? std::string_view("0") : entry.value;
  const std::string_view pieces[] = {entry.type, " ", entry.name, " ", value};
  std::uint16_t crc = 0;
  std::size_t length = 0;
  for (std::string_view piece : pieces) {
    crc = crc16_block(piece.data(), piece.size(), crc);
    length += piece.size();
  }
  out += "UPDSYSDB ";
  append_number(out, crc, 16);
  out += ' ';
  append_number(out, length, 10);
  out += ' ';
  for (std::string_view piece : pieces) out += piece;
}

std::string entry_command(const Entry& entry) {
  std::string command;
  append_entry_command(command, entry);
  return command;
}

std::string_view CommandSequence::expected(std::size_t step) const {
  return step < login.size() ? login[step].expected : "200";
}

void CommandSequence::append_command(std::string& out, std::size_t step) const {
  if (step < login.size()) {
    out += login[step].command;
    return;
  }
  const std::size_t entry_step = step - login.size();
  if (entry_step % 2 == 1) append_entry_command(out, entries[entry_step / 2]);
}

DialogueStep CommandSequence::at(std::size_t step) const {
  DialogueStep result{expected(step), {}};
  append_command(result.command, step);
  return result;
}

std::int32_t transfer_entries(Dialogue& dialogue, const std::vector<Entry>& entries,
                              const TerminalLink& link) {
  link.report.log_line(text_printf("-->Registry schreiben: %s", ""));
  link.report.print_verbose("Befehlsfolge festlegen.\n");
  dialogue.command_sequence.login = {{"200", ""},
                                     {"331", std::string("USER ") + kTerminalUser},
                                     {"230", std::string("PASS ") + kTerminalPassword}};
  dialogue.command_sequence.entries = entries;
  dialogue.step_cursor = 0;

  std::int32_t result = run_dialogue(dialogue, false, link);
  if (result != 0) {
    std::string text = text_printf("Anmeldung an Term. fehlgeschlagen, Fehler %d", result);
    link.report.log_line(text);
    link.report.print(text);
    return result;
  }
  dialogue.logged_in = true;

  for (const Entry& entry : entries) {
    // Built piece by piece: this text is made for every entry. The same as
    // "an Terminal %s: 200%s".
    ++dialogue.command_sequence.entries_added;
    std::string& logged = dialogue.line;
    logged.assign("an Terminal ");
    // The terminal name and the command are C texts there: a NUL byte would end them.
    logged.append(link.terminal_name.c_str());
    logged += ": 200";
    const std::size_t command_start = logged.size();
    append_entry_command(logged, entry);
    logged.resize(std::min(logged.size(), logged.find('\0', command_start)));
    link.report.log_line(logged);
    const std::size_t sent_before = dialogue.commands_sent;
    result = run_dialogue(dialogue, true, link);
    if (dialogue.commands_sent != sent_before) ++dialogue.entries_sent;
    if (result == 0) ++dialogue.entries_accepted;
    if (result == kInterruptedCode) break;
  }
  return result;
}
