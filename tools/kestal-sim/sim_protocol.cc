// The simulated terminal's replies: 200 greeting, 331/230 login, 200 for every
// UPDSYSDB line whose CRC and length match its entry text, 5xx otherwise.
#include "sim_protocol.h"

#include <array>
#include <cstdio>

namespace {

std::array<std::uint16_t, 256> make_crc_table() {
  std::array<std::uint16_t, 256> table{};
  for (unsigned i = 0; i < 256; ++i) {
    unsigned crc = i;
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? (crc >> 1) ^ 0xA001u : crc >> 1;
    table[i] = static_cast<std::uint16_t>(crc);
  }
  return table;
}

std::string reply(int code, const std::string& text) {
  char digits[8];
  std::snprintf(digits, sizeof digits, "%03d", code);
  return std::string(digits) + " " + text + "\r\n";
}

bool all_of(const std::string& text, const char* allowed) {
  if (text.empty()) return false;
  for (char c : text)
    if (std::string(allowed).find(c) == std::string::npos) return false;
  return true;
}

SimAction handle_entry(SimSession& session, const std::string& line, const SimOptions& options) {
  SimAction action;
  action.seen = line;
  const int k = ++session.entries;
  if (session.stage != SimSession::Stage::kLoggedIn) {
    action.reply = reply(530, "not logged in");
    action.note = "UPDSYSDB before login";
    return action;
  }
  // "UPDSYSDB " crc " " length " " entry text
  std::size_t crc_end = line.find(' ', 9);
  std::size_t length_end = crc_end == std::string::npos ? crc_end : line.find(' ', crc_end + 1);
  if (line.size() < 10 || line[8] != ' ' || length_end == std::string::npos) {
    action.reply = reply(501, "malformed UPDSYSDB line, want: UPDSYSDB crc length text");
    action.note = "malformed";
    return action;
  }
  std::string crc_field = line.substr(9, crc_end - 9);
  std::string length_field = line.substr(crc_end + 1, length_end - crc_end - 1);
  std::string text = line.substr(length_end + 1);
  if (!all_of(crc_field, "0123456789abcdefABCDEF") || !all_of(length_field, "0123456789")) {
    action.reply = reply(501, "malformed CRC or length field");
    action.note = "malformed";
    return action;
  }
  char want_crc[8];
  std::snprintf(want_crc, sizeof want_crc, "%x", sim_crc16(text));
  std::string want_length = std::to_string(text.size());
  if (crc_field != want_crc || length_field != want_length) {
    action.reply = reply(502, "CRC or length does not match the entry text");
    action.note = "entry text has CRC " + std::string(want_crc) + " and length " + want_length;
    return action;
  }
  if (auto it = options.faults.fail_entry.find(k); it != options.faults.fail_entry.end()) {
    action.reply = reply(it->second, "entry refused (injected fault)");
    action.note = "injected failure of entry " + std::to_string(k);
    return action;
  }
  if (options.faults.nul_reply.count(k) != 0) {
    action.reply = std::string("\0\r\n", 3);
    action.note = "injected NUL reply to entry " + std::to_string(k);
    return action;
  }
  action.accepted = true;
  action.accepted_entry = text;
  if (options.faults.long_reply.count(k) != 0) {
    std::string filler = "entry accepted;";
    while (filler.size() < 230) filler += " this reply is long on purpose;";
    action.reply = reply(200, filler);
    action.note = "accepted, injected long reply";
  } else {
    action.reply = reply(200, "entry accepted");
    action.note = "accepted";
  }
  return action;
}

}  // namespace

std::uint16_t sim_crc16(const std::string& text) {
  static const std::array<std::uint16_t, 256> table = make_crc_table();
  std::uint16_t crc = 0;
  for (unsigned char c : text)
    crc = static_cast<std::uint16_t>((crc >> 8) ^ table[(crc ^ c) & 0xFF]);
  return crc;
}

std::string sim_escape(const std::string& bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\\') {
      out += "\\\\";
    } else if (c < 0x20 || c >= 0x7F) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

std::string sim_greeting(const SimOptions& options) {
  return options.faults.no_greeting ? std::string() : reply(200, "kestal-sim terminal ready");
}

SimAction sim_handle_line(SimSession& session, const std::string& raw, const SimOptions& options) {
  const int n = ++session.commands;
  SimAction action;
  if (options.faults.silent_after >= 0 && n > options.faults.silent_after) {
    action.seen = sim_escape(raw);
    action.note = "silent (injected), no reply";
    return action;
  }
  if (options.faults.close_after >= 0 && n >= options.faults.close_after)
    action.close_after_reply = true;

  if (raw.empty() || raw.back() != '\r') {
    action.seen = sim_escape(raw);
    action.reply = reply(500, "line not ended by CR LF");
    action.note = "bad line end";
    return action;
  }
  const std::string line = raw.substr(0, raw.size() - 1);
  SimAction result;
  if (line.compare(0, 5, "USER ") == 0) {
    result.seen = sim_escape(line);
    if (line == "USER Supervisor") {
      session.stage = SimSession::Stage::kPass;
      result.reply = reply(331, "user name okay, need password");
    } else {
      session.stage = SimSession::Stage::kUser;
      result.reply = reply(530, "unknown user");
    }
  } else if (line.compare(0, 5, "PASS ") == 0) {
    result.seen = "PASS **********";
    bool right = line.substr(5) == options.password;
    if (session.stage != SimSession::Stage::kPass) {
      result.reply = reply(503, "send USER first");
    } else if (options.faults.reject_password) {
      session.stage = SimSession::Stage::kUser;
      result.reply = reply(530, "login refused");
      result.note = "password rejected (injected)";
    } else if (!right) {
      session.stage = SimSession::Stage::kUser;
      result.reply = reply(530, "login refused");
      result.note = "wrong password";
    } else {
      session.stage = SimSession::Stage::kLoggedIn;
      result.reply = reply(230, "user logged in");
    }
  } else if (line.compare(0, 8, "UPDSYSDB") == 0) {
    result = handle_entry(session, line, options);
    result.seen = sim_escape(result.seen);
  } else {
    result.seen = sim_escape(line);
    result.reply = reply(500, line.empty() ? "empty command" : "unknown command");
  }
  result.close_after_reply = action.close_after_reply;
  return result;
}
