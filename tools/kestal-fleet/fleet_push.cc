// A push: check the files it will write, take the working directory's lock, select,
// then the rounds on this machine or the ssh logins, and the recap and the files.
#include "fleet_push.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "entries/entry_table.h"
#include "fleet_db.h"
#include "fleet_files.h"
#include "fleet_input.h"
#include "fleet_page.h"
#include "fleet_rounds.h"
#include "run/database_rows.h"
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
    EntryRequest run{name, o.mode, false};
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
      for (const Entry& entry : table)
        std::printf("%s\t%s\n", name.c_str(), entry_command(entry).c_str());
  }
  return all_built ? 0 : 1;
}

// --jobs within the terminals and what the process and descriptor limits allow.
void cap_slots(std::vector<Machine>& machines, std::size_t terminals) {
  rlimit files{}, processes{};
  getrlimit(RLIMIT_NOFILE, &files);
  getrlimit(RLIMIT_NPROC, &processes);
  // Each transfer holds up to three pipe ends here; keep room for the rest.
  rlim_t limit = files.rlim_cur > 64 ? (files.rlim_cur - 64) / 3 : 1;
  if (processes.rlim_cur != RLIM_INFINITY) limit = std::min(limit, processes.rlim_cur / 2);
  limit = std::max<rlim_t>(limit, 1);
  std::size_t total = 0;
  for (Machine& m : machines) {
    m.slots = static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(m.slots), terminals));
    total += static_cast<std::size_t>(m.slots);
  }
  if (total <= limit) return;
  std::fprintf(stderr, "kestal-fleet: %zu transfers at a time is more than the limits allow; ",
               total);
  std::size_t capped = 0;
  for (Machine& m : machines) {
    m.slots = std::max(1, static_cast<int>(static_cast<std::size_t>(m.slots) * limit / total));
    capped += static_cast<std::size_t>(m.slots);
  }
  std::fprintf(stderr, "running %zu\n", capped);
}

// Where the transfers run: this machine, or the logins of --sshloginfile.
bool plan_machines(const FleetOptions& o, std::vector<Machine>& machines, std::string& error) {
  if (!o.sshloginfile.empty()) return read_sshloginfile(o.sshloginfile, o.jobs, machines, error);
  Machine local;
  local.label = "local";
  local.slots = o.jobs;
  machines.push_back(std::move(local));
  return true;
}

bool check_outputs(const FleetOptions& o, std::string& error) {
  for (const std::string* path : {&o.json_file, &o.html_file, &o.joblog_file, &o.metrics_file})
    if (!path->empty() && !check_output_path(*path, error)) return false;
  return o.history_dir.empty() || check_output_folder(o.history_dir, error);
}

// Results for every terminal, `interrupted` until a transfer says otherwise; names
// kestalentry cannot take end `setup-failed` here. Returns the ones to push.
std::vector<std::size_t> prepare_results(PushReport& report, std::vector<Selected>& selected) {
  std::vector<std::size_t> pending;
  for (Selected& s : selected) {
    TerminalResult& r = report.results.emplace_back();
    r.terminal = std::move(s.name);
    r.outcome = Outcome::kInterrupted;
    r.meaning = word_info(Outcome::kInterrupted).meaning;
    r.tries = 0;
    std::string problem = name_problem(r.terminal);
    if (problem.empty()) {
      pending.push_back(report.results.size() - 1);
      continue;
    }
    r.outcome = Outcome::kSetupFailed;
    r.code = 91;
    r.meaning = problem;
  }
  return pending;
}

// Starts what the transfers need (signals, guard, ssh masters), runs the rounds and
// ends it all; the exit status.
int run_push(Push& push, std::vector<std::size_t> pending, const std::string& scratch) {
  Engine& e = push.engine;
  std::string error;
  std::vector<std::string> leftovers{scratch};
  if (!push.joblog.temporary.empty()) leftovers.push_back(push.joblog.temporary);
  if (!catch_stop_signals(e.stop) || !start_guard(e.guard, 5, leftovers))
    return fleet_fail("cannot set up the push's process group");
  if (!start_masters(e.machines, scratch, e.guard.pid.get(), error)) {
    stop_guard(e.guard);
    return fleet_fail(error);
  }
  push.progress.total = pending.size();
  push.progress.live = isatty(STDERR_FILENO) != 0;
  run_rounds(push, std::move(pending));
  progress_end(push.progress);
  stop_masters(e.machines);
  stop_guard(e.guard);
  return finish_push(push);
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
  std::string error;
  Fd lock;
  if (!check_outputs(o, error) || (!o.dry_run && !lock_working_directory(lock, o.wait, error)))
    return fleet_fail(error);
  FleetDatabase database;
  std::vector<Selected> selected;
  if (!fleet_connect(database, error) ||
      !select_terminals(database, o.selection, false, selected, error))
    return fleet_fail(error);
  if (o.dry_run) {
    std::vector<std::string> names;
    names.reserve(selected.size());
    for (Selected& s : selected) names.push_back(std::move(s.name));
    return dry_run(database, o, names);
  }
  ScratchFolder scratch;
  if (scratch.path.empty()) return fleet_fail("cannot make a scratch folder");
  Push push{o,
            {},
            {o.user, o.mode, o.selection.text, 0, 0, o.jobs, {}},
            {},
            unix_now(),
            sibling_program("kestalentry"),
            std::filesystem::current_path().string(),
            {},
            0};
  push.report.started_unix = static_cast<std::int64_t>(push.started);
  if (!plan_machines(o, push.engine.machines, error)) return fleet_fail(error);
  if (!o.joblog_file.empty() && !open_growing(push.joblog, o.joblog_file, error))
    return fleet_fail(error);
  append(push.joblog,
         "Seq\tHost\tStarttime\tJobRuntime\tSend\tReceive\tExitval\tSignal\tCommand\n");
  std::vector<std::size_t> pending = prepare_results(push.report, selected);
  cap_slots(push.engine.machines, pending.size());
  push.report.jobs = 0;
  for (const Machine& m : push.engine.machines) push.report.jobs += m.slots;
  return run_push(push, std::move(pending), scratch.path);
}
