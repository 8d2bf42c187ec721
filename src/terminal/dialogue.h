// The terminal dialogue: login and one UPDSYSDB command per entry, driven by a
// command sequence of (expected reply code, command) steps.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "entries/entry.h"
#include "log/report.h"
#include "terminal/terminal_socket.h"

// One step: the reply code awaited, and the command sent once the reply before it was
// as awaited (none for the greeting and for an entry's start).
struct DialogueStep {
  std::string_view expected;
  std::string command;
};

// The steps in order: the login's three, then two for every entry handed to the
// dialogue so far (its start, then its UPDSYSDB command). Entry steps are made from
// the entry table when needed, so a long transfer keeps no copy of its commands; the
// table must outlive every use of them.
struct CommandSequence {
  std::vector<DialogueStep> login;
  std::span<const Entry> entries;
  std::size_t entries_added = 0;

  std::size_t size() const { return login.size() + 2 * entries_added; }
  std::string_view expected(std::size_t step) const;
  // Appends the command of `step` (nothing for a step without one).
  void append_command(std::string& out, std::size_t step) const;
  DialogueStep at(std::size_t step) const;
};

struct Dialogue {
  CommandSequence command_sequence;
  std::size_t step_cursor = 0;  // never reset after the login
  std::string last_reply;
  bool socket_failure_recorded = false;  // the first failed receive or send is in the row
  std::int32_t recorded_code = 0;        // the code the status row got last, 0 for none
  bool logged_in = false;                // the login was answered as awaited
  std::size_t commands_sent = 0;         // commands that went out whole
  std::size_t entries_sent = 0;          // UPDSYSDB commands sent
  std::size_t entries_accepted = 0;      // of those, answered with the awaited code
  std::string line;  // each log line and command is built here: an entry allocates once
};

// Writes a failure's code into the terminal's status row, and reports for itself
// when that fails.
using StatusRecorder = std::function<void(std::int32_t code)>;

struct TerminalLink {
  TerminalSocket* socket;
  const std::string& terminal_name;
  const Report& report;
  StatusRecorder record_status;
};

std::int32_t transfer_entries(Dialogue& dialogue, const std::vector<Entry>& entries,
                              const TerminalLink& link);
// The UPDSYSDB command of one entry (an empty value is sent as 0).
std::string entry_command(const Entry& entry);
void append_entry_command(std::string& out, const Entry& entry);
std::int32_t run_dialogue(Dialogue& dialogue, bool start_reply, const TerminalLink& link);
