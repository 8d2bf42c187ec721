// Outcome rules of a fleet push, on the stage the run reports it reached. The status
// row plays no part: a terminal without one, or pushed twice at once, reads the same.
#include "fleet_outcome.h"

#include <charconv>

#include "platform/wsa_codes.h"

namespace {

struct Meaning {
  std::string_view key;
  std::string_view text;
};

// Reply codes; socket codes have their meanings in the Windows Sockets table.
constexpr std::pair<std::int32_t, std::string_view> kReplyMeanings[] = {
    {99, "reply not a number"},
    {503, "login out of order"},
    {530, "password refused"},
};

// What a setup failure's stage (and, for the entries, its step) names.
constexpr Meaning kSetupMeanings[] = {
    {"arguments", "bad arguments (user, terminal name or mode)"},
    {"database", "database connection failed"},
    {"mode", "bad argument: unknown mode"},
    {"lists", "bad arguments: unequal *GEN lists"},
    {"definition-file", "entry definition file gave no text"},
    {"value-statement", "*GEN value statement failed"},
    {"value-row", "value statement returned no row"},
    {"site-table", "reading the site table VXS113STO failed"},
};

std::string_view setup_meaning(const OutcomeLine& line) {
  std::string_view key = line.stage == "entries" ? line.step : line.stage;
  for (const Meaning& m : kSetupMeanings)
    if (m.key == key) return m.text;
  return "the run ended before the terminal stage";
}

bool is_time_out(std::int32_t code) {
  return code == 10035 || code == 10060;
}

void set(TerminalResult& r, Outcome outcome, std::optional<std::int32_t> code,
         std::string meaning) {
  r.outcome = outcome;
  r.code = code;
  r.meaning = std::move(meaning);
}

// A run that wrote no outcome line: it died first, or never ran.
void classify_silent(const RunFacts& f, TerminalResult& r) {
  int exit = f.exit_status.value_or(0);
  if (f.remote && exit == 255)
    return set(r, Outcome::kSetupFailed, exit, "ssh could not run the transfer there");
  if (exit == 127) return set(r, Outcome::kSetupFailed, exit, "kestalentry not found");
  if (exit == 126) return set(r, Outcome::kSetupFailed, exit, "kestalentry could not be run");
  set(r, Outcome::kSetupFailed, exit,
      "kestalentry ended without saying how (exit " + std::to_string(exit) + ")");
}

// A run that reached the terminal stage.
void classify_terminal(const OutcomeLine& l, TerminalResult& r) {
  std::int32_t code = l.code;
  if (l.stage == "connection") return set(r, Outcome::kUnreachable, code, code_meaning(code));
  if (code == 0 && l.accepted == l.sent) return set(r, Outcome::kOk, std::nullopt, "ok");
  if (code == 0) return set(r, Outcome::kEntryRefused, std::nullopt, "an entry was not accepted");
  if (is_time_out(code)) return set(r, Outcome::kNoAnswer, code, code_meaning(code));
  if (code >= 10000) return set(r, Outcome::kHungUp, code, code_meaning(code));
  Outcome refused = l.stage == "login" ? Outcome::kLoginRefused : Outcome::kEntryRefused;
  set(r, refused, code, code_meaning(code));
}

template <typename T>
bool number(std::string_view text, T& value) {
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size();
}

}  // namespace

std::optional<OutcomeLine> parse_outcome_line(std::string_view line) {
  constexpr std::string_view kKeys[] = {"stage",    "step", "code",   "entries", "sent",
                                        "accepted", "row",  "signal", "exit"};
  constexpr std::string_view kPrefix = "kestalentry-outcome";
  if (line.substr(0, kPrefix.size()) != kPrefix) return std::nullopt;
  line.remove_prefix(kPrefix.size());
  std::string_view values[std::size(kKeys)];
  for (std::size_t i = 0; i < std::size(kKeys); ++i) {
    if (line.empty() || line[0] != ' ') return std::nullopt;
    line.remove_prefix(1);
    std::size_t end = line.find(' ');
    std::string_view field = line.substr(0, end);
    line.remove_prefix(field.size());
    if (field.substr(0, kKeys[i].size() + 1) != std::string(kKeys[i]) + "=") return std::nullopt;
    values[i] = field.substr(kKeys[i].size() + 1);
  }
  OutcomeLine l;
  l.stage = values[0];
  l.step = values[1];
  std::int32_t row = 0;
  bool ok = line.empty() && number(values[2], l.code) && number(values[3], l.entries) &&
            number(values[4], l.sent) && number(values[5], l.accepted) &&
            number(values[7], l.signal) && number(values[8], l.exit);
  if (values[6] != "-") ok = ok && number(values[6], row), l.row = row;
  return ok ? std::optional<OutcomeLine>(l) : std::nullopt;
}

std::string code_meaning(std::int32_t code) {
  if (const WsaCode* wsa = wsa_code(code)) return std::string(wsa->meaning);
  for (const auto& [reply, text] : kReplyMeanings)
    if (reply == code) return std::string(text);
  if (code >= 10000) return "socket error " + std::to_string(code);
  return "unexpected reply " + std::to_string(code);
}

void classify_run(const RunFacts& f, TerminalResult& r) {
  r.last_line = f.last_line;
  r.exit_status = f.exit_status;
  r.status_row = f.line ? f.line->row : std::nullopt;
  if (f.timed_out || f.interrupted || !f.exit_status || (f.line && f.line->signal != 0)) {
    r.exit_status.reset();
    std::string why = f.timed_out     ? "killed after the time-out"
                      : f.interrupted ? "stopped: the push was interrupted"
                      : f.end_signal  ? "killed by signal " + std::to_string(f.end_signal)
                                      : "interrupted by signal " + std::to_string(f.line->signal);
    return set(r, Outcome::kKilled, std::nullopt, why);
  }
  if (!f.line) return classify_silent(f, r);
  const OutcomeLine& l = *f.line;
  // The code of a setup failure is the exit status, as scripts have always read it.
  if (l.stage == "arguments" || l.stage == "database" || l.stage == "entries")
    return set(r, Outcome::kSetupFailed, *f.exit_status, std::string(setup_meaning(l)));
  if (l.stage == "connection" || l.stage == "login" || l.stage == "sent")
    return classify_terminal(l, r);
  set(r, Outcome::kSetupFailed, *f.exit_status, "unknown stage " + l.stage);
}

State row_state(const StatusRow& row) {
  if (row.updated.empty()) return State::kNever;
  if (row.active == 0) return row.code ? State::kFailed : State::kOk;
  if (row.active == 1) return State::kRunning;
  return State::kUnknown;
}

std::string last_line_of(std::string_view output) {
  if (!output.empty() && output.back() == '\n') output.remove_suffix(1);
  std::size_t start = output.rfind('\n');
  return std::string(start == std::string_view::npos ? output : output.substr(start + 1));
}
