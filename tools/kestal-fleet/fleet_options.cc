// kestal-fleet's command line, parsed GNU style from one table of options; which
// options a command takes is checked after the parse.
#include "fleet_options.h"

#include <vector>

#include "command_line.h"
#include "fleet_records.h"

namespace {

void note_selection(Selection& s, const std::string& option, const std::string& arg) {
  s.text += (s.text.empty() ? "" : " ") + option + (arg.empty() ? "" : " " + arg);
}

using Apply = bool (*)(const std::string& arg, FleetOptions& o);

struct Rule {
  const char* name;
  bool takes_argument;
  bool push_only;
  Apply apply;
};

const Rule kRules[] = {
    {"terminals", true, false,
     [](const std::string& a, FleetOptions& o) {
       o.selection.terminals_file = a;
       note_selection(o.selection, "--terminals", a);
       return !a.empty();
     }},
    {"all", false, false,
     [](const std::string&, FleetOptions& o) {
       note_selection(o.selection, "--all", "");
       return o.selection.all = true;
     }},
    {"like", true, false,
     [](const std::string& a, FleetOptions& o) {
       o.selection.like = a;
       note_selection(o.selection, "--like", a);
       return true;
     }},
    {"failed", false, false,
     [](const std::string&, FleetOptions& o) {
       note_selection(o.selection, "--failed", "");
       return o.selection.failed = true;
     }},
    {"resume", true, true,
     [](const std::string& a, FleetOptions& o) {
       o.selection.resume_file = a;
       note_selection(o.selection, "--resume", a);
       return !a.empty();
     }},
    {"retry-delay", true, true,
     [](const std::string& a, FleetOptions& o) { return parse_count(a, 0, 3600, o.retry_delay); }},
    {"wait", false, true, [](const std::string&, FleetOptions& o) { return o.wait = true; }},
    {"jobs", true, true,
     [](const std::string& a, FleetOptions& o) { return parse_count(a, 1, 10000, o.jobs); }},
    {"timeout", true, true,
     [](const std::string& a, FleetOptions& o) { return parse_count(a, 1, 86400, o.timeout); }},
    {"retries", true, true,
     [](const std::string& a, FleetOptions& o) { return parse_count(a, 0, 100, o.retries); }},
    {"json", true, false,
     [](const std::string& a, FleetOptions& o) { return !(o.json_file = a).empty(); }},
    {"html", true, false,
     [](const std::string& a, FleetOptions& o) { return !(o.html_file = a).empty(); }},
    {"joblog", true, true,
     [](const std::string& a, FleetOptions& o) { return !(o.joblog_file = a).empty(); }},
    {"sshloginfile", true, true,
     [](const std::string& a, FleetOptions& o) { return !(o.sshloginfile = a).empty(); }},
    {"dry-run", false, true, [](const std::string&, FleetOptions& o) { return o.dry_run = true; }},
    {"history", true, true,
     [](const std::string& a, FleetOptions& o) { return !(o.history_dir = a).empty(); }},
    {"keep", true, true,
     [](const std::string& a, FleetOptions& o) {
       o.keep_given = true;
       return parse_count(a, 1, 100000, o.keep);
     }},
    {"metrics", true, false,
     [](const std::string& a, FleetOptions& o) { return !(o.metrics_file = a).empty(); }},
};
std::vector<CliOption> cli_options() {
  std::vector<CliOption> options;
  for (const Rule& rule : kRules) options.push_back({rule.name, rule.takes_argument});
  return options;
}

// The positional arguments and the selection fit the command.
bool check_command(const std::vector<std::string>& words, FleetOptions& o, std::string& error) {
  const Selection& s = o.selection;
  bool push = o.command == "push";
  if (push && words.size() == 3) {
    o.user = words[1];
    o.mode = words[2];
  } else if (push || words.size() != 1) {
    error = push ? "push wants USER and MODE" : "unexpected argument: " + words.back();
    return false;
  }
  int kinds = (s.terminals_file.empty() ? 0 : 1) + (s.all ? 1 : 0) +
              ((s.like || s.failed) ? 1 : 0) + (s.resume_file.empty() ? 0 : 1);
  if (kinds == 0 && push)
    error = "no selection: give --terminals, --all, --like, --failed or --resume";
  if (kinds > 1) error = "--terminals, --all, --like/--failed and --resume do not combine";
  if (kinds == 0 && !push) o.selection.all = true;
  return error.empty();
}

}  // namespace

CliResult parse_fleet_options(int argc, char** argv, FleetOptions& o, std::string& error) {
  std::vector<std::string> words;
  std::string push_only;  // a push option given, to refuse it for status
  CliResult result = read_command_line(
      argc, argv, cli_options(),
      [&](std::size_t rule, const std::string& arg) {
        if (kRules[rule].push_only) push_only = kRules[rule].name;
        if (kRules[rule].apply(arg, o)) return true;
        error = std::string("bad --") + kRules[rule].name + ": " + arg;
        return false;
      },
      [&words](const std::string& word) { words.push_back(word); }, error);
  if (result != CliResult::kRun) return result;
  if (words.empty() || (words[0] != "push" && words[0] != "status")) {
    error = words.empty() ? "no command: push or status" : "unknown command: " + words[0];
    return CliResult::kError;
  }
  o.command = words[0];
  if (o.command == "status" && !push_only.empty()) {
    error = "--" + push_only + " is for push only";
    return CliResult::kError;
  }
  bool usable = check_command(words, o, error) && check_record_options(o, error);
  return usable ? CliResult::kRun : CliResult::kError;
}

const char* fleet_usage() {
  return "Usage: kestal-fleet push USER MODE SELECTION [OPTION]...\n"
         "       kestal-fleet status [SELECTION] [--json FILE] [--html FILE]\n"
         "                           [--metrics FILE]\n"
         "Pushes entries to many terminals, one kestalentry run each,\n"
         "and reads the fleet's status rows. Run it from kestalentry's working directory.\n"
         "\n"
         "Selection (status without one reads every row):\n"
         "  --terminals FILE     one terminal name a line; - for standard input\n"
         "  --all                every row of VXSYSTEM.VXS1140TRM\n"
         "  --like PATTERN       rows whose TrmNam is LIKE PATTERN\n"
         "  --failed             rows whose last transfer did not end well (TrmDst set or\n"
         "                       TrmDac 1); combines with --like\n"
         "  --resume FILE        (push) the terminals of an earlier push's --json FILE\n"
         "                       that did not end ok\n"
         "\n"
         "Push options:\n"
         "  --jobs N             transfers at a time (default 8; per machine with ssh);\n"
         "                       capped at the terminals and the process limits\n"
         "  --timeout S          stop a transfer after S seconds: SIGTERM, SIGKILL 5 s\n"
         "                       later (outcome killed)\n"
         "  --retries N          push again up to N rounds to the terminals that were\n"
         "                       unreachable, gave no answer or hung up\n"
         "  --retry-delay S      wait S seconds before the first retry round, twice as\n"
         "                       long before each further one, at most an hour\n"
         "                       (default 5)\n"
         "  --json FILE          one JSON object per terminal and line\n"
         "  --html FILE          one self-contained HTML page of the push (also for status)\n"
         "  --joblog FILE        a job log in GNU parallel's format\n"
         "  --sshloginfile FILE  run the transfers on these machines through ssh (GNU\n"
         "                       parallel's format: 'ssh -p 2222 push@host2', 'N/login',\n"
         "                       ':' is this one), each holding the same installation;\n"
         "                       they run in this working directory\n"
         "  --wait               wait for another push in this working directory to end\n"
         "                       (else refuse to start)\n"
         "  --dry-run            print each terminal's entries, TERMINAL<TAB>UPDSYSDB line,\n"
         "                       touching neither terminal nor status row\n"
         "  --history DIR        keep each push's JSON and page in DIR under a dated name,\n"
         "                       and the newest as latest.json and latest.html\n"
         "  --keep N             the pushes --history keeps (default 30)\n"
         "  --metrics FILE       write the push's (or status read's) metrics in\n"
         "                       Prometheus's text format, for node_exporter's textfile\n"
         "                       collector (also for status)\n"
         "\n"
         "  --help               show this text\n"
         "  --version            show the version\n"
         "\n"
         "Outcomes: ok, unreachable, login-refused, entry-refused, hung-up, no-answer,\n"
         "setup-failed, killed, interrupted. SIGINT, SIGTERM or SIGHUP stop the push: no\n"
         "new transfer starts, running ones get SIGTERM, the recap and files are written.\n"
         "Exit status: 0 when every terminal ended ok (status: when the rows could be\n"
         "read), 1 when any did not, 2 for a usage or set-up error, 128 + the signal\n"
         "after an interrupt (130 for SIGINT, 143 for SIGTERM).\n";
}
