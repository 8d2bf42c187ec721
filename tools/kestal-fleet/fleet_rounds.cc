// Rounds, retries and the end of a push. Each finished transfer costs the same: its
// classification, one job-log line and one progress line; nothing is read back.
#include "fleet_rounds.h"

#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "fleet_outcome.h"
#include "fleet_page.h"
#include "fleet_push.h"
#include "fleet_records.h"
#include "kestal_version.h"
#include "log/format.h"

namespace {

double unix_now() {
  return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

// The command as a job-log column: shell words, control bytes as \xNN so the line stays one.
std::string command_text(const Push& push, const std::string& name) {
  std::string text;
  for (const std::string* w : {&push.kestalentry, &push.options.user, &name, &push.options.mode})
    text += (text.empty() ? "" : " ") + printable(shell_quote(*w));
  return text;
}

void log_job(Push& push, const JobRecord& job, const TerminalResult& r) {
  if (!push.joblog.fd.valid()) return;
  bool signalled = WIFSIGNALED(job.wait_status);
  std::string host = job.remote ? job.host : ":";
  append(push.joblog, text_printf("%zu\t%s\t%.3f\t%.3f\t0\t%zu\t%d\t%d\t", ++push.joblog_seq,
                                  host.c_str(), job.start_unix, job.seconds, job.output.size(),
                                  signalled ? -1 : WEXITSTATUS(job.wait_status),
                                  signalled ? WTERMSIG(job.wait_status) : 0) +
                          command_text(push, r.terminal) + "\n");
}

RunFacts facts_of(const JobRecord& job) {
  RunFacts f;
  f.line = parse_outcome_line(job.outcome_line);
  if (WIFEXITED(job.wait_status)) f.exit_status = WEXITSTATUS(job.wait_status);
  if (WIFSIGNALED(job.wait_status)) f.end_signal = WTERMSIG(job.wait_status);
  f.timed_out = job.timed_out;
  f.interrupted = job.interrupted;
  f.remote = job.remote;
  f.last_line = last_line_of(job.output);
  return f;
}

// One round over `pending`; returns those to retry.
std::vector<std::size_t> push_round(Push& push, const std::vector<std::size_t>& pending,
                                    int round) {
  const FleetOptions& o = push.options;
  RoundPlan plan{push.kestalentry, o.user, o.mode, {}, o.timeout, 5, push.workdir};
  for (std::size_t i : pending) plan.names.push_back(push.report.results[i].terminal);
  std::vector<std::size_t> again;
  run_round(push.engine, plan, [&](const JobRecord& job) {
    TerminalResult& r = push.report.results[pending[job.index]];
    r.tries = round + 1;
    r.host = job.host;
    r.started = job.start_unix - push.started;
    r.seconds = job.seconds;
    classify_run(facts_of(job), r);
    log_job(push, job, r);
    bool retry = round < o.retries && word_info(r.outcome).retried;
    if (retry) again.push_back(pending[job.index]);
    progress_note(push.progress, r, retry);
  });
  return again;
}

// Waits before retry round `round`; false when an interrupt came first.
bool retry_pause(Push& push, int round) {
  // Doubling per round, but never past an hour.
  long long seconds =
      std::min(3600LL, static_cast<long long>(push.options.retry_delay) << std::min(round - 1, 12));
  auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (push.engine.stop.count == 0) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        until - std::chrono::steady_clock::now());
    if (left.count() <= 0) return true;
    wait_signal(push.engine.stop, static_cast<int>(std::min<long long>(left.count(), 60000)));
  }
  return false;
}

}  // namespace

void run_rounds(Push& push, std::vector<std::size_t> pending) {
  for (int round = 0; round <= push.options.retries && !pending.empty(); ++round) {
    if (round > 0 && !retry_pause(push, round)) break;
    pending = push_round(push, pending, round);
  }
}

int finish_push(Push& push) {
  push.report.seconds = unix_now() - push.started;
  std::fputs(push_recap(push.report, push.options.retries > 0).c_str(), stdout);
  std::fflush(stdout);
  std::string lines;
  for (const TerminalResult& r : push.report.results) lines += push_json_line(r) + "\n";
  std::string error;
  int status = 0;
  for (const TerminalResult& r : push.report.results)
    if (r.outcome != Outcome::kOk) status = 1;
  if (push.engine.stop.count > 0) status = 128 + push.engine.stop.first;
  std::string page = push_page_html(push.report, KESTAL_VERSION);
  bool written = write_outputs(push.options, lines, page, error) &&
                 (!push.joblog.fd.valid() || finish(push.joblog, error)) &&
                 record_push(push.options, push.report, lines, page, status, error);
  return written ? status : fleet_fail(error);
}
