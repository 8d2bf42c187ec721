// The push's own process pool: posix_spawn per transfer, one poll() over the outcome
// pipes, the output pipes and the signal descriptor, waitpid for each child's end. Each
// result is read from the pipes of the child that produced it.
#include "fleet_engine.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <optional>

#include "fleet_spawn.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kKeep = 16384;  // bytes of output kept; the last line fits many times
constexpr std::string_view kOutcomePrefix = "kestalentry-outcome ";
constexpr int kOutcomeFd = 3;

struct Running {
  std::size_t index = 0;
  std::size_t machine = 0;
  Spawned child;
  Clock::time_point started;
  double start_unix = 0;
  std::optional<Clock::time_point> term_at;  // --timeout
  std::optional<Clock::time_point> kill_at;  // SIGTERM sent: SIGKILL then
  bool timed_out = false;
  bool interrupted = false;
  bool exited = false;
  int wait_status = 0;
  std::string out;
  std::string outcome;  // the outcome pipe, or ssh's standard error
};

double unix_now() {
  return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

void keep_tail(std::string& buffer, const char* data, std::size_t size) {
  buffer.append(data, size);
  if (buffer.size() > 2 * kKeep) buffer.erase(0, buffer.size() - kKeep);
}

// Reads what is there; closes the descriptor at its end.
void drain(Fd& fd, std::string& into) {
  char buffer[4096];
  while (fd.valid()) {
    ssize_t got = read(fd.get(), buffer, sizeof buffer);
    if (got > 0) {
      keep_tail(into, buffer, static_cast<std::size_t>(got));
    } else if (got == 0 || errno != EINTR) {
      if (got == 0 || errno != EAGAIN) fd.close();
      return;
    }
  }
}

// The last outcome line in `text` (several in ssh's standard error are not expected).
std::string outcome_line_of(const std::string& text) {
  std::size_t at = text.rfind(kOutcomePrefix);
  while (at != std::string::npos && at > 0 && text[at - 1] != '\n')
    at = at == 0 ? std::string::npos : text.rfind(kOutcomePrefix, at - 1);
  if (at == std::string::npos) return "";
  std::size_t end = text.find('\n', at);
  return text.substr(at, end == std::string::npos ? std::string::npos : end - at);
}

void nonblocking(const Fd& fd) {
  if (fd.valid()) fcntl(fd.get(), F_SETFL, fcntl(fd.get(), F_GETFL) | O_NONBLOCK);
}

// The machine with the most free slots, or none.
std::optional<std::size_t> free_machine(const std::vector<Machine>& machines) {
  std::optional<std::size_t> best;
  int most = 0;
  for (std::size_t i = 0; i < machines.size(); ++i) {
    int free = machines[i].slots - machines[i].running;
    if (free > most) {
      most = free;
      best = i;
    }
  }
  return best;
}

JobRecord record_of(const Engine& e, Running& r) {
  JobRecord job;
  job.index = r.index;
  job.host = e.machines[r.machine].label;
  job.remote = !e.machines[r.machine].ssh.empty();
  job.start_unix = r.start_unix;
  job.seconds = std::chrono::duration<double>(Clock::now() - r.started).count();
  job.timed_out = r.timed_out;
  job.interrupted = r.interrupted;
  job.wait_status = r.wait_status;
  job.output = std::move(r.out);
  job.outcome_line = outcome_line_of(r.outcome);
  return job;
}

// Starts the transfer of name `index` on `machine`; a child that cannot be started
// ends at once as a program that was not found (exit 127).
void start(Engine& e, const RoundPlan& plan, std::size_t index, std::size_t machine,
           std::vector<Running>& running) {
  Machine& m = e.machines[machine];
  bool local = m.ssh.empty();
  std::vector<std::string> command{plan.kestalentry, plan.user, plan.names[index], plan.mode};
  SpawnRequest request;
  request.argv = transfer_argv(m, plan.workdir, command);
  request.group = e.guard.pid.get();
  request.capture_stdout = true;
  request.capture_stderr = !local;  // ssh's standard error carries the outcome line
  request.hold_stdin = !local;      // its end tells the remote run to stop
  if (local) {
    request.extra_env = {"KESTAL_OUTCOME_FD=" + std::to_string(kOutcomeFd)};
    request.outcome_fd = kOutcomeFd;
  }
  Running r;
  r.index = index;
  r.machine = machine;
  r.started = Clock::now();
  r.start_unix = unix_now();
  if (plan.timeout > 0) r.term_at = r.started + std::chrono::seconds(plan.timeout);
  std::string error;
  if (!spawn_child(request, r.child, error)) {
    r.exited = true;
    r.wait_status = 127 << 8;
  }
  for (const Fd* fd : {&r.child.out, &r.child.err, &r.child.outcome}) nonblocking(*fd);
  ++m.running;
  running.push_back(std::move(r));
}

void send(Running& r, int signal, Clock::duration grace) {
  if (r.exited || r.child.pid.get() <= 0) return;
  kill(r.child.pid.get(), signal);
  r.child.in.close();  // a remote run learns of the stop from its input's end
  if (signal == SIGTERM && !r.kill_at) r.kill_at = Clock::now() + grace;
}

// Applies interrupts and time-outs; returns the milliseconds to the next deadline.
int apply_deadlines(Engine& e, const RoundPlan& plan, std::vector<Running>& running) {
  auto grace = std::chrono::seconds(plan.grace);
  auto now = Clock::now();
  std::optional<Clock::time_point> next;
  for (Running& r : running) {
    if (e.stop.count > 0 && !r.interrupted && !r.timed_out) {
      r.interrupted = true;
      send(r, SIGTERM, grace);
    }
    if (e.stop.count > 1 || (r.kill_at && now >= *r.kill_at)) send(r, SIGKILL, grace);
    if (r.term_at && now >= *r.term_at && !r.timed_out && !r.interrupted) {
      r.timed_out = true;
      send(r, SIGTERM, grace);
    }
    for (const auto& at : {r.term_at, r.kill_at})
      if (at && *at > now && !r.exited && (!next || *at < *next)) next = at;
  }
  if (!next) return -1;
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(*next - now).count() + 1;
  return static_cast<int>(ms);
}

void reap(std::vector<Running>& running) {
  for (Running& r : running) {
    if (r.exited) continue;
    int status = 0;
    if (waitpid(r.child.pid.get(), &status, WNOHANG) != r.child.pid.get()) continue;
    r.child.pid.reaped();
    r.exited = true;
    r.wait_status = status;
  }
}

// Waits for output, a signal or a deadline, and reads what came (only from the
// descriptors poll() names, so a wake-up costs the same whatever the jobs).
void wait_events(Engine& e, std::vector<Running>& running, int timeout_ms) {
  std::vector<pollfd> fds{{e.stop.fd.get(), POLLIN, 0}};
  std::vector<std::pair<Fd*, std::string*>> owners{{nullptr, nullptr}};
  for (Running& r : running) {
    for (auto [fd, into] : {std::pair{&r.child.out, &r.out}, std::pair{&r.child.err, &r.outcome},
                            std::pair{&r.child.outcome, &r.outcome}}) {
      if (!fd->valid()) continue;
      fds.push_back({fd->get(), POLLIN, 0});
      owners.emplace_back(fd, into);
    }
  }
  if (poll(fds.data(), fds.size(), timeout_ms) <= 0) return;
  if (fds[0].revents != 0) take_signals(e.stop);
  for (std::size_t i = 1; i < fds.size(); ++i)
    if (fds[i].revents != 0) drain(*owners[i].first, *owners[i].second);
}

}  // namespace

std::size_t run_round(Engine& e, const RoundPlan& plan,
                      const std::function<void(const JobRecord&)>& on_done) {
  std::vector<Running> running;
  std::size_t next = 0;
  for (;;) {
    while (e.stop.count == 0 && next < plan.names.size()) {
      std::optional<std::size_t> machine = free_machine(e.machines);
      if (!machine) break;
      start(e, plan, next++, *machine, running);
    }
    if (running.empty()) return next;
    int timeout_ms = apply_deadlines(e, plan, running);
    bool any_exited = false;
    for (const Running& r : running) any_exited = any_exited || r.exited;
    wait_events(e, running, any_exited ? 0 : timeout_ms);
    if (e.stop.child || any_exited) {
      e.stop.child = false;
      reap(running);
    }
    apply_deadlines(e, plan, running);
    for (std::size_t i = 0; i < running.size();) {
      Running& r = running[i];
      if (!r.exited) {
        ++i;
        continue;
      }
      drain(r.child.out, r.out);  // what the child wrote before its end
      drain(r.child.err, r.outcome);
      drain(r.child.outcome, r.outcome);
      --e.machines[r.machine].running;
      on_done(record_of(e, r));
      running[i] = std::move(running.back());
      running.pop_back();
    }
  }
}

std::string sibling_program(const char* name) {
  std::error_code failed;
  std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", failed);
  if (!failed) {
    std::filesystem::path beside = self.parent_path() / name;
    if (access(beside.c_str(), X_OK) == 0) return beside.string();
  }
  return name;
}
