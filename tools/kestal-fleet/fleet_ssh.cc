// The masters are children of the push in the foreground (-N, no ControlPersist), so
// they end with it; transfers join them with ControlMaster=no and never open logins
// of their own.
#include "fleet_ssh.h"

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>

#include "fleet_spawn.h"

namespace {

bool parse_login(const std::string& line, int jobs, Machine& m) {
  std::string login = line;
  std::size_t slash = login.find('/');
  std::size_t digits = login.find_first_not_of("0123456789");
  m.slots = jobs;
  if (slash != std::string::npos && slash > 0 && digits == slash) {
    m.slots = std::stoi(login.substr(0, slash));
    login = login.substr(slash + 1);
  }
  std::istringstream words(login);
  std::vector<std::string> ssh;
  for (std::string w; words >> w;) ssh.push_back(w);
  if (ssh.empty() || m.slots < 1) return false;
  if (ssh.size() == 1 && ssh[0] != ":") ssh.insert(ssh.begin(), "ssh");
  m.label = ssh.size() == 1 ? "local" : login;
  if (ssh.size() > 1) m.ssh = std::move(ssh);
  return true;
}

// The ssh command with our options ahead of the file's (ssh takes the first value).
std::vector<std::string> ssh_with(const Machine& m, std::vector<std::string> ours) {
  std::vector<std::string> argv{m.ssh[0]};
  argv.insert(argv.end(), ours.begin(), ours.end());
  argv.insert(argv.end(), m.ssh.begin() + 1, m.ssh.end());
  return argv;
}

bool wait_listening(Machine& m) {
  auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  struct stat seen {};
  while (std::chrono::steady_clock::now() < until) {
    if (stat(m.control.c_str(), &seen) == 0) return true;
    if (waitpid(m.master.get(), nullptr, WNOHANG) == m.master.get()) {
      m.master.reaped();
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

}  // namespace

bool read_sshloginfile(const std::string& path, int jobs, std::vector<Machine>& machines,
                       std::string& error) {
  std::ifstream in(path);
  if (!in) {
    error = "cannot read " + path;
    return false;
  }
  for (std::string line; std::getline(in, line);) {
    std::size_t start = line.find_first_not_of(" \t\r");
    if (start == std::string::npos || line[start] == '#') continue;
    Machine m;
    if (!parse_login(line.substr(start, line.find_last_not_of(" \t\r") + 1 - start), jobs, m)) {
      error = "bad login in ";
      error += path;
      error += ": ";
      error += line;
      return false;
    }
    machines.push_back(std::move(m));
  }
  if (machines.empty()) error = "no login in " + path;
  return !machines.empty();
}

bool start_masters(std::vector<Machine>& machines, const std::string& scratch, pid_t group,
                   std::string& error) {
  for (std::size_t i = 0; i < machines.size(); ++i) {
    Machine& m = machines[i];
    if (m.ssh.empty()) continue;
    m.control = scratch + "/ssh-" + std::to_string(i);
    SpawnRequest request{ssh_with(m, {"-M", "-N", "-o", "ControlPath=" + m.control, "-o",
                                      "ControlPersist=no", "-o", "BatchMode=yes"}),
                         {},
                         group,
                         false,
                         false,
                         -1};
    Spawned master;
    if (spawn_child(request, master, error)) m.master = std::move(master.pid);
  }
  std::vector<Machine> usable;
  for (Machine& m : machines) {
    if (m.ssh.empty() || wait_listening(m)) {
      usable.push_back(std::move(m));
      continue;
    }
    std::fprintf(stderr, "kestal-fleet: no ssh connection to %s; the other machines push\n",
                 m.label.c_str());
  }
  machines = std::move(usable);
  if (machines.empty()) error = "no machine of the sshlogin file could be reached";
  return !machines.empty();
}

void stop_masters(std::vector<Machine>& machines) {
  for (Machine& m : machines) {
    if (m.master.get() <= 0) continue;
    kill(m.master.get(), SIGTERM);
    while (waitpid(m.master.get(), nullptr, 0) < 0 && errno == EINTR) {
    }
    m.master.reaped();
  }
}

std::string shell_quote(std::string_view text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

// Runs "$@" and sends it SIGTERM when standard input ends: ssh gives no signal to a
// remote command, but when the push stops a transfer (or dies) its ssh ends and the
// channel's input with it, so the run still stops in order and leaves a true row.
// A watcher that is no longer needed is ended before it could signal anything.
constexpr const char* kRemoteScript =
    "exec 3<&0 </dev/null; KESTAL_OUTCOME_FD=2 \"$@\" & p=$!; "
    "{ cat <&3 >/dev/null 2>&1; kill -TERM \"$p\"; } 2>/dev/null & w=$!; exec 3<&-; "
    "wait \"$p\"; s=$?; kill \"$w\" 2>/dev/null; exit \"$s\"";

std::vector<std::string> transfer_argv(const Machine& m, const std::string& workdir,
                                       const std::vector<std::string>& command) {
  if (m.ssh.empty()) return command;
  std::string remote =
      "cd " + shell_quote(workdir) + " && exec sh -c " + shell_quote(kRemoteScript) + " sh";
  for (const std::string& word : command) remote += " " + shell_quote(word);
  std::vector<std::string> argv = ssh_with(
      m, {"-o", "ControlPath=" + m.control, "-o", "ControlMaster=no", "-o", "BatchMode=yes"});
  argv.insert(argv.end(), {"--", remote});
  return argv;
}
