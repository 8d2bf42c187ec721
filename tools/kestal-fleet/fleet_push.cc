// A push: select, then rounds through GNU parallel (retrying the terminals that
// were unreachable, silent or hung up), each finished transfer classified at once
// from its exit status, last line and status row; then the recap and the JSON.
#include "fleet_push.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "entries/entry_table.h"
#include "fleet_db.h"
#include "fleet_outcome.h"
#include "fleet_page.h"
#include "fleet_parallel.h"
#include "fleet_records.h"
#include "fleet_report.h"
#include "kestal_version.h"
#include "settings/text.h"
#include "terminal/dialogue.h"

namespace {

// A private folder for a push's scratch files, removed with everything in it.
struct ScratchFolder {
  std::string path;
  ScratchFolder() {
    std::filesystem::path base = std::filesystem::temp_directory_path();
    std::string pattern = (base / "kestal-fleet.XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) path = pattern;
  }
  ~ScratchFolder() {
    std::error_code ignored;
    if (!path.empty()) std::filesystem::remove_all(path, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
};

double unix_now() {
  return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

// Prints each terminal's entries as the transfer would send them.
int dry_run(FleetDatabase& database, const FleetOptions& o, const std::vector<std::string>& names) {
  bool all_built = true;
  for (const std::string& name : names) {
    std::string console;
    Report report{RunLog{}, Console{&console}, false};
    RunContext run{o.user, name, o.mode, false};
    text_upper(run.mode);
    EntryTable table;
    DatabaseRows rows(database.db);
    std::int32_t status =
        build_entry_table(table, EntrySources{rows, run, database.database_system, report});
    if (status != 0) {
      all_built = false;
      std::fprintf(stderr, "kestal-fleet: %s: entries not built (status %d)\n%s",
                   printable(name).c_str(), static_cast<int>(status), console.c_str());
    }
    if (status == 0)
      for (const Entry& entry : table_entries(table))
        std::printf("%s\t%s\n", name.c_str(), entry_command(entry).c_str());
    string_list_release(table.values);
    string_list_release(table.types);
    string_list_release(table.names);
  }
  return all_built ? 0 : 1;
}

struct Push {
  const FleetOptions& options;
  FleetDatabase& database;
  PushReport report;
  Progress progress;
  double started = unix_now();
};

// One round over `pending` (indices into the results); returns those to retry.
bool push_round(Push& push, const std::vector<std::size_t>& pending, int round,
                const std::string& scratch, std::vector<std::size_t>& again, std::string& error) {
  const FleetOptions& o = push.options;
  RoundPlan plan{sibling_program("kestalentry"),
                 o.user,
                 o.mode,
                 {},
                 o.jobs,
                 o.timeout,
                 o.joblog_file.empty() ? scratch + "/joblog" : o.joblog_file,
                 round > 0,
                 o.sshloginfile,
                 std::filesystem::current_path().string(),
                 scratch};
  for (std::size_t i : pending) plan.names.push_back(push.report.results[i].terminal);
  return run_round(
      plan,
      [&](const JobRecord& job) {
        TerminalResult& r = push.report.results[pending[job.index]];
        r.tries = round + 1;
        r.host = job.host;
        r.started = job.start_unix - push.started;
        r.seconds = job.seconds;
        RunFacts facts{job.killed, job.exit_status, last_line_of(job.output), std::nullopt};
        if (!job.killed) facts.row = read_one_row(push.database, r.terminal);
        classify_run(facts, r);
        bool retry = round < o.retries && word_info(r.outcome).retried;
        if (retry) again.push_back(pending[job.index]);
        progress_note(push.progress, r, retry);
      },
      error);
}

int finish(Push& push) {
  push.report.seconds = unix_now() - push.started;
  std::fputs(push_recap(push.report, push.options.retries > 0).c_str(), stdout);
  std::string lines;
  for (const TerminalResult& r : push.report.results) lines += push_json_line(r) + "\n";
  std::string error;
  std::string page = push_page_html(push.report, KESTAL_VERSION);
  if (!write_outputs(push.options, lines, page, error)) return fleet_fail(error);
  int status = 0;
  for (const TerminalResult& r : push.report.results)
    if (r.outcome != Outcome::kOk) status = 1;
  if (!record_push(push.options, push.report, lines, page, status, error)) return fleet_fail(error);
  return status;
}

}  // namespace

bool write_outputs(const FleetOptions& options, const std::string& json_lines,
                   const std::string& page, std::string& error) {
  if (!options.json_file.empty() && !write_text_file(options.json_file, json_lines, error))
    return false;
  return options.html_file.empty() || write_text_file(options.html_file, page, error);
}

int fleet_fail(const std::string& text) {
  std::fprintf(stderr, "kestal-fleet: %s\n", text.c_str());
  return 2;
}

int fleet_push(const FleetOptions& o) {
  FleetDatabase database;
  std::string error;
  std::vector<std::string> names;
  if (!fleet_connect(database, error) || !select_terminals(database, o.selection, names, error))
    return fleet_fail(error);
  if (o.dry_run) return dry_run(database, o, names);
  ScratchFolder scratch;
  if (scratch.path.empty()) return fleet_fail("cannot make a scratch folder");
  Push push{o, database, {o.user, o.mode, o.selection.text, 0, 0, o.jobs, {}}, {}, unix_now()};
  push.report.started_unix = static_cast<std::int64_t>(push.started);
  for (const std::string& name : names) push.report.results.emplace_back().terminal = name;
  push.progress.total = names.size();
  push.progress.live = isatty(STDERR_FILENO) != 0;
  std::vector<std::size_t> pending;
  for (std::size_t i = 0; i < names.size(); ++i) pending.push_back(i);
  for (int round = 0; round <= o.retries && !pending.empty(); ++round) {
    std::vector<std::size_t> again;
    if (!push_round(push, pending, round, scratch.path, again, error)) {
      progress_end(push.progress);
      return fleet_fail(error);
    }
    pending = std::move(again);
  }
  progress_end(push.progress);
  return finish(push);
}
