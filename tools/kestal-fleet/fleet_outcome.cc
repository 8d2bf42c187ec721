// Outcome rules of a fleet push. The stage a failure happened in is read from the
// last line: a failed login prints its German notice before the terminal's reply.
#include "fleet_outcome.h"

#include <algorithm>
#include <cstdlib>

namespace {

struct Meaning {
  std::int32_t code;
  const char* text;
};

// Socket codes (Windows Sockets numbering on every platform) and reply codes.
constexpr Meaning kCodeMeanings[] = {
    {99, "reply not a number"},
    {503, "login out of order"},
    {530, "password refused"},
    {10022, "invalid socket operation"},
    {10024, "too many open sockets"},
    {10035, "no answer within 30 s"},
    {10049, "address not available"},
    {10051, "network unreachable"},
    {10053, "connection not made within 30 s"},
    {10054, "connection closed by the terminal"},
    {10055, "no buffer space"},
    {10057, "socket not connected"},
    {10060, "no answer within 30 s"},
    {10061, "connection refused"},
    {10065, "host unreachable"},
    {11001, "host not found"},
    {11002, "host lookup failed for now"},
    {11003, "host lookup failed"},
    {11004, "host name has no IPv4 address"},
};

// Exit statuses of runs that ended before the terminal stage.
constexpr Meaning kExitMeanings[] = {
    {3, "entry definition file gave no text"},
    {91, "bad arguments (user, terminal name or mode) or unequal *GEN lists"},
    {100, "value statement returned no row"},
    {126, "kestalentry could not be run"},
    {127, "kestalentry not found"},
    {255, "database connection failed"},
};

const char* find(const Meaning* begin, const Meaning* end, std::int32_t code) {
  for (const Meaning* m = begin; m != end; ++m)
    if (m->code == code) return m->text;
  return nullptr;
}

constexpr std::string_view kLoginFailed = "Anmeldung an Term. fehlgeschlagen, Fehler ";

// After a failed login the line is the notice, the code, then the last reply.
struct LineFacts {
  bool login_failed = false;
  bool reply_seen = false;
  std::optional<std::int32_t> code;  // from the line, when the row has none
};

// The code printed after a failed login runs into the reply that follows it: the row's
// code says where it ends; without a row a socket code has five digits, a reply three.
std::size_t code_length(std::string_view rest, std::optional<std::int32_t> row_code) {
  std::string known = row_code ? std::to_string(*row_code) : std::string();
  if (!known.empty() && rest.substr(0, known.size()) == known) return known.size();
  if (rest.size() >= 5 && rest[0] == '1' &&
      rest.substr(0, 5).find_first_not_of("0123456789") == std::string_view::npos)
    return 5;
  return std::min<std::size_t>(rest.size(), 3);
}

LineFacts read_line(const std::string& line, std::optional<std::int32_t> row_code) {
  LineFacts facts;
  if (line.compare(0, kLoginFailed.size(), kLoginFailed) == 0) {
    std::string_view rest = std::string_view(line).substr(kLoginFailed.size());
    std::size_t length = code_length(rest, row_code);
    facts.login_failed = true;
    facts.code = std::atoi(std::string(rest.substr(0, length)).c_str());
    facts.reply_seen = rest.size() > length;
    return facts;
  }
  facts.reply_seen = !line.empty();
  bool good = line.compare(0, 3, "200") == 0 || line.compare(0, 3, "250") == 0 ||
              line.compare(0, 3, "230") == 0;
  if (facts.reply_seen && !good) {
    std::int32_t code = std::atoi(line.substr(0, 3).c_str());
    facts.code = code > 0 ? code : 99;
  }
  return facts;
}

void set(TerminalResult& r, Outcome outcome, std::optional<std::int32_t> code,
         std::string meaning) {
  r.outcome = outcome;
  r.code = code;
  r.meaning = std::move(meaning);
}

// A run that reached the terminal stage and did not end well.
void classify_failure(const LineFacts& line, std::int32_t code, TerminalResult& r) {
  std::string meaning = code_meaning(code);
  if (!line.reply_seen)
    set(r, Outcome::kUnreachable, code, meaning);
  else if (code == 10035 || code == 10060)
    set(r, Outcome::kNoAnswer, code, meaning);
  else if (code >= 10000)  // 10054 and any other broken connection
    set(r, Outcome::kHungUp, code, meaning);
  else
    set(r, line.login_failed ? Outcome::kLoginRefused : Outcome::kEntryRefused, code, meaning);
}

}  // namespace

std::string code_meaning(std::int32_t code) {
  if (const char* text = find(std::begin(kCodeMeanings), std::end(kCodeMeanings), code))
    return text;
  if (code >= 10000) return "socket error " + std::to_string(code);
  return "unexpected reply " + std::to_string(code);
}

std::string exit_meaning(int exit_status) {
  if (const char* text = find(std::begin(kExitMeanings), std::end(kExitMeanings), exit_status))
    return text;
  return "database statement failed (status " + std::to_string(exit_status) + ")";
}

void classify_run(const RunFacts& facts, TerminalResult& r) {
  r.last_line = facts.last_line;
  r.exit_status = facts.exit_status;
  if (facts.killed) {
    r.exit_status.reset();
    return set(r, Outcome::kKilled, std::nullopt, std::string(word_info(Outcome::kKilled).meaning));
  }
  if (facts.exit_status != 0)
    return set(r, Outcome::kSetupFailed, facts.exit_status, exit_meaning(facts.exit_status));
  LineFacts line =
      read_line(facts.last_line, facts.row ? facts.row->code : std::optional<std::int32_t>());
  std::optional<std::int32_t> code = facts.row ? facts.row->code : line.code;
  if (code) return classify_failure(line, *code, r);
  if (!line.reply_seen)
    return set(r, Outcome::kUnreachable, std::nullopt, "terminal never answered");
  if (facts.row && facts.row->active.value_or(0) != 0)
    return set(r, Outcome::kSetupFailed, std::nullopt, "status row still marked running");
  set(r, Outcome::kOk, std::nullopt, "ok");
}

State row_state(const StatusRow& row) {
  if (row.active == 0) return row.code ? State::kFailed : State::kOk;
  if (row.active == 1) return State::kRunning;
  return State::kUnknown;
}

std::string last_line_of(std::string_view output) {
  if (!output.empty() && output.back() == '\n') output.remove_suffix(1);
  std::size_t start = output.rfind('\n');
  return std::string(start == std::string_view::npos ? output : output.substr(start + 1));
}
