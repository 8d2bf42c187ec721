// kestal-sim's command line, parsed GNU style.
#include "sim_options.h"

#include "command_line.h"

namespace {

// Four dotted decimal parts of 0 to 255 without leading zeros, as inet_pton takes
// them (kept portable: Windows has no inet_pton before Vista's headers).
bool parse_one_address(const std::string& text, std::uint32_t& out) {
  std::uint32_t address = 0;
  std::size_t at = 0;
  for (int part = 0; part < 4; ++part) {
    if (part > 0) {
      if (at >= text.size() || text[at] != '.') return false;
      ++at;
    }
    std::size_t start = at;
    unsigned value = 0;
    while (at < text.size() && at - start < 4 && text[at] >= '0' && text[at] <= '9')
      value = value * 10 + static_cast<unsigned>(text[at++] - '0');
    std::size_t digits = at - start;
    if (digits == 0 || digits > 3 || value > 255 || (digits > 1 && text[start] == '0'))
      return false;
    address = (address << 8) | value;
  }
  if (at != text.size()) return false;
  out = address;
  return true;
}

// Where the options of one command line land: fault options go to the faults of
// the latest --range, or to those of every other address before the first.
struct Target {
  SimOptions& options;
  SimFaults* faults;
  bool listen_given = false;
};

using Apply = bool (*)(const std::string& arg, Target& target);

bool set_listen(const std::string& arg, Target& t) {
  if (!t.listen_given) t.options.listen.clear();
  t.listen_given = true;
  return parse_address_range(arg, t.options.listen);
}

bool set_range(const std::string& arg, Target& t) {
  std::vector<std::uint32_t> addresses;
  if (!parse_address_range(arg, addresses)) return false;
  t.options.ranges.push_back({addresses.front(), addresses.back(), {}});
  t.faults = &t.options.ranges.back().faults;
  return true;
}

bool set_port(const std::string& arg, Target& t) {
  int port = 0;
  if (!parse_count(arg, 1, 65535, port)) return false;
  t.options.port = static_cast<std::uint16_t>(port);
  return true;
}

bool set_fail_entry(const std::string& arg, Target& t) {
  std::size_t colon = arg.find(':');
  int k = 0;
  int code = 0;
  if (colon == std::string::npos || !parse_count(arg.substr(0, colon), 1, 1000000, k) ||
      !parse_count(arg.substr(colon + 1), 0, 999, code))
    return false;
  t.faults->fail_entry[k] = code;
  return true;
}

bool add_entry_number(const std::string& arg, std::set<int>& to) {
  int k = 0;
  if (!parse_count(arg, 1, 1000000, k)) return false;
  to.insert(k);
  return true;
}

bool set_count(const std::string& arg, int& to) {
  return parse_count(arg, 0, 3600000, to);
}
bool assign(std::string& to, const std::string& arg) {
  to = arg;
  return true;
}
bool raise(bool& flag) {
  flag = true;
  return true;
}

struct Rule {
  const char* name;
  const char* bad;  // what a malformed argument is called; null: takes none
  Apply apply;
};

// One row per option; the order is --help's order.
const Rule kRules[] = {
    {"listen", "--listen address or range", set_listen},
    {"port", "--port", set_port},
    {"registry", "",
     [](const std::string& a, Target& t) { return assign(t.options.registry_path, a); }},
    {"log", "", [](const std::string& a, Target& t) { return assign(t.options.log_path, a); }},
    {"capture", "",
     [](const std::string& a, Target& t) { return assign(t.options.capture_path, a); }},
    {"password", "", [](const std::string& a, Target& t) { return assign(t.options.password, a); }},
    {"ready-file", "",
     [](const std::string& a, Target& t) { return assign(t.options.ready_file, a); }},
    {"range", "--range address or range", set_range},
    {"no-greeting", nullptr,
     [](const std::string&, Target& t) { return raise(t.faults->no_greeting); }},
    {"reject-password", nullptr,
     [](const std::string&, Target& t) { return raise(t.faults->reject_password); }},
    {"fail-entry", "--fail-entry (want K:CODE)", set_fail_entry},
    {"split-replies", nullptr,
     [](const std::string&, Target& t) { return raise(t.faults->split_replies); }},
    {"nul-reply", "entry number",
     [](const std::string& a, Target& t) { return add_entry_number(a, t.faults->nul_reply); }},
    {"long-reply", "entry number",
     [](const std::string& a, Target& t) { return add_entry_number(a, t.faults->long_reply); }},
    {"delay-ms", "count",
     [](const std::string& a, Target& t) { return set_count(a, t.faults->delay_ms); }},
    {"close-after", "count",
     [](const std::string& a, Target& t) { return set_count(a, t.faults->close_after); }},
    {"silent-after", "count",
     [](const std::string& a, Target& t) { return set_count(a, t.faults->silent_after); }},
};
std::vector<CliOption> cli_options() {
  std::vector<CliOption> options;
  for (const Rule& rule : kRules) options.push_back({rule.name, rule.bad != nullptr});
  return options;
}

}  // namespace

bool parse_address_range(const std::string& text, std::vector<std::uint32_t>& out) {
  std::size_t dash = text.find('-');
  std::uint32_t first = 0;
  std::uint32_t last = 0;
  if (dash == std::string::npos) {
    if (!parse_one_address(text, first)) return false;
    last = first;
  } else if (!parse_one_address(text.substr(0, dash), first) ||
             !parse_one_address(text.substr(dash + 1), last)) {
    return false;
  }
  if (last < first || last - first >= 65536) return false;
  for (std::uint64_t a = first; a <= last; ++a) out.push_back(static_cast<std::uint32_t>(a));
  return true;
}

const char* sim_usage() {
  return "Usage: kestal-sim [OPTION]...\n"
         "A terminal for trying entry transfers: it greets, takes the login and\n"
         "checks every UPDSYSDB line's CRC-16 and length against its entry text.\n"
         "\n"
         "  --listen ADDR[-ADDR]   IPv4 address or inclusive range to listen on;\n"
         "                         may be repeated (default 127.0.0.1)\n"
         "  --port N               TCP port (default 5010)\n"
         "  --registry FILE        append every accepted entry text, one a line\n"
         "  --log FILE             readable record of connections, commands and replies\n"
         "  --capture FILE         every byte received, unchanged (passwords included)\n"
         "  --password TEXT        the password PASS must carry (default built in)\n"
         "  --ready-file FILE      written once all addresses listen\n"
         "\n"
         "Fault injection (UPDSYSDB commands are counted from 1 per connection). Fault\n"
         "options before the first --range apply to every address outside the ranges:\n"
         "  --range ADDR[-ADDR]    the fault options that follow (up to the next --range)\n"
         "                         apply to connections made to these addresses only;\n"
         "                         an address in several ranges takes the first\n"
         "  --no-greeting          send no 200 greeting\n"
         "  --reject-password      answer PASS with 530\n"
         "  --fail-entry K:CODE    answer the K-th UPDSYSDB with reply code CODE\n"
         "  --split-replies        send each reply in two writes, 50 ms apart\n"
         "  --nul-reply K          answer the K-th UPDSYSDB with a NUL byte and CR LF\n"
         "  --long-reply K         answer the K-th UPDSYSDB with a 200 reply of over 190 bytes\n"
         "  --delay-ms N           delay every reply by N milliseconds\n"
         "  --close-after K        close the connection once K commands were answered\n"
         "  --silent-after K       answer nothing after the first K commands\n"
         "  --help                 show this text\n"
         "  --version              show the version\n"
         "\n"
         "A fleet with a fault mix, in one process (addresses not listened on refuse):\n"
         "  kestal-sim --listen 127.0.1.1-127.0.1.100 --delay-ms 2 \\\n"
         "             --range 127.0.1.1-127.0.1.5 --reject-password \\\n"
         "             --range 127.0.1.6-127.0.1.9 --silent-after 2 --delay-ms 2\n"
         "\n"
         "Stops cleanly on SIGTERM or SIGINT.\n";
}

CliResult parse_sim_options(int argc, char** argv, SimOptions& options, std::string& error) {
  Target target{options, &options.faults};
  CliResult result = read_command_line(
      argc, argv, cli_options(),
      [&](std::size_t rule, const std::string& arg) {
        if (kRules[rule].apply(arg, target)) return true;
        error = std::string("bad ") + kRules[rule].bad + ": " + arg;
        return false;
      },
      nullptr, error);
  if (result != CliResult::kRun) return result;
  if (options.listen.empty()) options.listen.push_back(0x7F000001u);
  return CliResult::kRun;
}

const SimFaults& sim_faults_for(const SimOptions& options, std::uint32_t address) {
  for (const SimRange& range : options.ranges)
    if (address >= range.first && address <= range.last) return range.faults;
  return options.faults;
}
