// The terminal's side of the line protocol for one connection: greeting, login and
// UPDSYSDB checks, with the faults the options ask for. No I/O here.
#pragma once

#include <cstdint>
#include <string>

#include "sim_options.h"

struct SimSession {
  enum class Stage { kUser, kPass, kLoggedIn } stage = Stage::kUser;
  int commands = 0;  // command lines seen
  int entries = 0;   // UPDSYSDB lines seen
};

struct SimAction {
  std::string reply;           // bytes to send; empty sends nothing
  std::string seen;            // the command as the log shows it (passwords masked)
  std::string note;            // why this reply, for the log
  std::string accepted_entry;  // entry text for the registry, when accepted
  bool accepted = false;
  bool close_after_reply = false;
};

// The greeting, or nothing with --no-greeting.
std::string sim_greeting(const SimOptions& options);
// Handles one line received up to (not including) its LF.
SimAction sim_handle_line(SimSession& session, const std::string& line, const SimOptions& options);

// CRC-16/ARC, computed here rather than taken from the tool, so that a fault in the
// tool's CRC shows up as a refused entry.
std::uint16_t sim_crc16(const std::string& text);
// Non-printable bytes as \xNN, CR and LF as \r and \n, for readable logs.
std::string sim_escape(const std::string& bytes);
